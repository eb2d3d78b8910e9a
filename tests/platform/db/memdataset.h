// A dataset over rows held in memory, implementing every hook the way a table layer does, so
// that the framework's own behaviour can be watched: the order of hook calls, the buffers in
// use, the engine cursor it positions.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/db/blobfields.h"
#include "platform/db/dataset.h"
#include "platform/db/fielddefs.h"
#include "platform/db/indexdefs.h"

namespace dbtest {

struct Column {
  std::string name;
  db::TFieldType type;
  int size = 0;
  int precision = 0;
};

// One stored value in native form; nullopt = no value. Blob columns hold their text.
using Cell = std::optional<std::vector<std::uint8_t>>;
using Row = std::vector<Cell>;

// Native forms of test values.
Cell Str(const std::string& s, int size);
Cell I16(std::int16_t v);
Cell I32(std::int32_t v);
Cell U16(std::uint16_t v);
Cell F64(double v);
Cell Bool16(bool v);
Cell Bcd(db::Currency tenThousandths);
Cell Text(const std::string& blob);

class TMemDataSet;
// Columns ID (integer) and NAME (string of 10); rows ID 1..n, NAME "N1".."Nn".
void FillNumbers(TMemDataSet& ds, int n);

class TMemDataSet : public db::TDataSet {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TMemDataSet(classes::TComponent* owner);
  ~TMemDataSet() override;

  std::vector<Column> columns;
  std::vector<Row> rows;
  struct IndexEntry {
    std::string name, fields;
    db::TIndexOptions options;
  };
  std::vector<IndexEntry> indexes;
  db::TIndexDefs indexDefs{this};

  // Test controls and observations.
  bool failOpen = false;            // OpenTableCursor raises after its work
  std::vector<std::string>* log = nullptr;  // hook calls, in order
  int allocated = 0, released = 0;
  int* releasedCounter = nullptr;  // also counts releases, readable after destruction
  int fieldDefLoads = 0;
  bool activeDuringOpen = true;
  int definitionsChanged = 0;
  std::map<db::GetMode, int> fetches;
  int cursor() const { return cursor_; }

  // Protected framework services, opened for the tests.
  using TDataSet::ActiveBuffer;
  using TDataSet::ActiveRecord;
  using TDataSet::BindFields;
  using TDataSet::BufferCount;
  using TDataSet::BufferedRecordCount;
  using TDataSet::Buffers;
  using TDataSet::CalcFieldsSize;
  using TDataSet::BlobFieldCount;
  using TDataSet::CheckInactive;
  using TDataSet::Resync;
  using TDataSet::SetTempState;
  using TDataSet::RestoreState;
  using TDataSet::TempBuffer;
  using TDataSet::BookmarkSize;
  // The row a buffer holds (-1 for a new one).
  int RowOf(db::TRecordBuffer buffer) const;
  db::Byte FlagOf(db::TRecordBuffer buffer) { return BookmarkFlagOf(buffer); }

 protected:
  void OpenTableCursor() override;
  void CloseTableCursor() override;
  bool IsTableOpen() const override { return open_; }
  void LoadFieldDefs() override;
  void LoadIndexDefs() override;
  void DefinitionsChanged(classes::TObject*) override { ++definitionsChanged; }
  db::TRecordBuffer AllocateRecordBuffer() override;
  void ReleaseRecordBuffer(db::TRecordBuffer& buffer) override;
  int RecordSizeOf() const override { return recordSize_; }
  db::GetResult FetchRecord(db::TRecordBuffer buffer, db::GetMode mode, bool check) override;
  void CopyBookmark(db::TRecordBuffer buffer, db::Byte* target) override;
  db::Byte BookmarkFlagOf(db::TRecordBuffer buffer) override;
  void SetBufferBookmarkFlag(db::TRecordBuffer buffer, db::Byte flag) override;
  void SetBufferBookmark(db::TRecordBuffer buffer, const db::Byte* bookmark) override;
  void InitRecordDefaults(db::TRecordBuffer buffer) override;
  void GoBeforeFirst() override;
  void GoAfterLast() override;
  void GoToBookmark(const db::Byte* bookmark) override;
  void PositionOnBuffer(db::TRecordBuffer buffer) override;
  bool IsBookmarkValid(const db::Byte* bookmark) override;
  int CompareBookmarkOrder(const db::Byte* a, const db::Byte* b) override;
  int CountRecords() override;
  int CurrentRecordNumber() override;
  void MoveToRecordNumber(int number) override;
  bool ReadFieldData(db::TField* field, void* target) override;
  void WriteFieldData(db::TField* field, const void* value) override;
  std::unique_ptr<classes::TStream> OpenBlobStream(db::TField* field, db::BlobMode mode) override;
  void PostRecord() override;
  void DeleteRecord() override;
  void AfterOpenHook() override;

 private:
  void Log(const std::string& s) {
    if (log) log->push_back(s);
  }
  db::TRecordBuffer BufferForState() const;
  int CellOffset(int column) const;  // presence byte, then the native bytes
  int ColumnSize(int column) const;
  int InfoOffset() const { return recordSize_ + CalcFieldsSize(); }
  void StoreRow(int row, db::TRecordBuffer buffer);

  bool open_ = false;
  int recordSize_ = 0;
  int cursor_ = -1;  // -1 before the first row, rows.size() after the last
  db::TRecordBuffer filterBuffer_ = nullptr;
  std::set<db::TRecordBuffer> live_;
};

}  // namespace dbtest
