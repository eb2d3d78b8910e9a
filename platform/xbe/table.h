// One open table handle: its files, structure, the record cursor that all of the handle's
// orders share, the pending (edited or appended) record and the handle's locks.
//
// Each handle has its own open file descriptions, so its locks belong to it alone (closing one
// handle never drops another's) and two handles in one process exclude each other exactly as
// two processes do. Records are read from the file at every move, so the writes of other
// handles and processes show at once; only exclusive handles and those whose caller asked for
// it (CacheRecords) read ahead in blocks.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xbe/dbf_header.h"
#include "platform/xbe/julian.h"
#include "platform/xbe/lock_scheme.h"
#include "platform/xbe/memo_store.h"
#include "platform/xbe/numeric_text.h"
#include "platform/xbe/order.h"
#include "platform/xbe/raw_file.h"
#include "platform/xbe/record_read_ahead.h"
#include "platform/xbe/record_hooks.h"
#include "platform/xbe/table_files.h"

namespace xbe {

class TableJournal;
class Transaction;
class WriteIntent;
class DeadIntent;

// Open options (XbeOpenTable) and the bits reported by XbeGetTableOpenOptions.
constexpr std::uint32_t kOpenExclusive = 1;
constexpr std::uint32_t kOpenReadOnly = 2;
constexpr std::uint32_t kReportUpdates = 0x20;
constexpr std::uint32_t kReportInserts = 0x40;

struct OpenRequest {
  std::string name;  // Windows-style, with or without extension
  TableType type = TableType::kNtx;
  CharType charType = CharType::kAnsi;
  LockType lockType = LockType::kCompatible;
  bool rightsChecking = true;
  std::uint32_t options = 0;
};

struct Cursor {
  std::uint32_t recno = 0;  // 0 before the first record; count + 1 after the last
  bool bof = true;
  bool eof = true;
  bool OnRecord() const { return !bof && !eof && recno != 0; }
};

class Table {
 public:
  static std::unique_ptr<Table> Open(const OpenRequest& request);
  ~Table();
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  // Writes a pending record and releases the files; errors are raised (the destructor then
  // closes without raising).
  void Close();

  // Structure and options.
  const Schema& Fields() const { return header_.schema; }
  const FieldDesc& Field(std::size_t index) const { return header_.schema.fields.at(index); }
  // Field index from a 1-based ordinal or a name; raises kFieldNotFound.
  std::size_t FieldIndexOrdinal(std::uint32_t ordinal) const {
    if (ordinal == 0 || ordinal > header_.schema.fields.size()) NoFieldNumber(ordinal);
    return ordinal - 1;
  }
  std::size_t FieldIndexName(std::string_view name) const;
  TableType Type() const { return type_; }
  CharType Chars() const { return charType_; }
  bool IsXdt() const { return header_.IsXdt(); }
  bool Writable() const { return writable_; }
  bool Exclusive() const { return exclusive_; }
  std::uint32_t ReportedOptions() const;
  const std::string& DisplayName() const { return names_.windowsName; }
  const TableNames& Names() const { return names_; }
  std::uint32_t LastAutoInc() const { return lastAutoInc_; }

  // Counts: the records in the file now (other writers' appends included).
  std::uint32_t RecordCount();
  // The count RecordCount() last saw. Records below it stay (only an append taken back before
  // it was written shortens the file), so walks need not ask the file again.
  std::uint32_t KnownRecordCount() const { return knownCount_; }
  // Records the order shows, with deleted-record visibility; filters too unless told otherwise.
  std::uint32_t CountVisible(Order& order, bool withFilters = true);

  // Navigation through an order (natural order: NaturalOrderOf()). A pending record is written
  // before the cursor moves.
  Order& Natural() { return *natural_; }
  const Cursor& CursorState() const { return cursor_; }
  void GotoTop(Order& order);
  void GotoBottom(Order& order);
  void GotoBOF(Order& order);
  void Skip(Order& order, std::int32_t count);
  // Every stored record in record-number order, read from the file without moving the cursor
  // (building and checking orders).
  void ForEachRecord(const std::function<void(const RecordView&)>& visit);
  // Makes a stored record current, deleted or not; false when there is no such record.
  bool GotoRecord(std::uint32_t recno);
  bool IsVisible(Order& order);
  // Makes `recno` current when it is visible, else the next visible record of the order in the
  // direction given; EOF (false) when there is none. Seeks land this way.
  bool SettleOn(Order& order, std::uint32_t recno, bool forward);
  // The 1-based place of the current record among the visible records of the order; 0 when
  // there is no current record.
  std::uint32_t KeyNumber(Order& order);
  void GotoKeyNumber(Order& order, std::uint32_t keyNumber);

  // Deleted-record visibility and filters decide what navigation sees.
  void AddFilter(RecordFilter* filter);
  void RemoveFilter(RecordFilter* filter);
  void AddHook(RecordHook* hook);
  void RemoveHook(RecordHook* hook);

  // The current record (pending changes included); raises 5068 without one.
  const std::string& CurrentImage() const {
    if (pending_ != Pending::kNone) return pendingImage_;
    if (!cursor_.OnRecord()) NoCurrentRecord();
    return current_;
  }
  const RecordView& CurrentView() const;
  bool HasCurrentRecord() const { return cursor_.OnRecord() || pending_ == Pending::kAppend; }
  std::uint32_t CurrentRecordNumber() const { return cursor_.recno; }
  void Refresh();
  // Read-ahead of `records` records on a shared handle (0 or 1: none; exclusive handles always
  // read ahead).
  void CacheRecords(std::uint16_t records);
  std::uint32_t RecordCrc();
  std::string NullRecord() const;

  // Field access on the current record.
  std::string GetFieldText(std::size_t index);  // character fields converted to ANSI
  // GetFieldText's text when it is the current image's own bytes (no conversion needed);
  // nullopt otherwise. Valid until the record changes.
  std::optional<std::string_view> FieldTextInPlace(std::size_t index);
  // FieldTextInPlace for a 1-based ordinal on the current record as read, by the field's read
  // plan: the quick path of a browse reading every field. False when the ordinal, the record or
  // the field needs the general path (which also raises the errors).
  bool QuickFieldText(std::uintptr_t ordinal, std::string_view* text) const;
  MemoBlob GetMemo(std::size_t index);          // text memos converted to ANSI
  void SetFieldText(std::size_t index, std::string_view text);
  void SetFieldRaw(std::size_t index, std::string_view bytes);
  void SetFieldEmpty(std::size_t index);
  void SetMemo(std::size_t index, std::string_view data);
  bool IsFieldEmpty(std::size_t index);

  // Editing.
  void Append();
  void Write();
  void Delete();
  void Recall();
  // Discards the pending changes; false when nothing was pending.
  bool Cancel();
  // A pending change whose write failed when the table closes: cancelled, never written later.
  void DropFailedPending() noexcept;

  // Character data between the table's code page and the program's (1252).
  std::string ToAnsi(std::string_view s) const;
  std::string ToOem(std::string_view s) const;

  // Locks (no-ops on an exclusive handle).
  void LockRecord(std::uint32_t recno);
  void UnlockRecord(std::uint32_t recno);
  void LockFile();
  void UnlockFile();
  bool HoldsRecordLock(std::uint32_t recno) const { return lockedRecords_.count(recno) != 0; }
  const LockScheme& Locks() const { return *scheme_; }
  // Every later write and lock fails with `code` and `text` (a materialised SQL result).
  void RefuseChanges(std::uint32_t code, std::string text) {
    refusalCode_ = code;
    refusalText_ = std::move(text);
  }

  // Transactions (transaction.h, table_transaction.cpp): the connection's transaction while the
  // table is attached to it; the table joins at its first write.
  void SetTransaction(Transaction* transaction) { transaction_ = transaction; }
  // After a rollback the table reads its files afresh; pending changes are dropped.
  void EndTransaction(bool rolledBack);

  // The write intent (write_intent.h, table_write_intent.cpp): the handle's journal while a
  // change is in flight (null otherwise).
  WriteIntent* IntentInFlight() const;
  // A dead process's append: its reserved record, still blank, is taken back when it is the
  // last, else left blank and deleted; a reservation cut before the count was written is cut
  // off. Nothing when that part is done already or the change was no append.
  void RecoverInterruptedAppend(DeadIntent& dead);
  // The record as the file holds it now (null when the table ends before it).
  void WithStoredRecord(std::uint32_t recno, const std::function<void(const RecordView*)>& visit);

 private:
  enum class Pending { kNone, kEdit, kAppend };
  class ImageView;
  class HeaderLock;
  class ChangeBracket;

  Table() = default;
  [[noreturn]] void NoFieldNumber(std::uint32_t ordinal) const;
  [[noreturn]] static void NoCurrentRecord();
  // Makes `recno` current; false when the file now ends before it (an append taken back).
  bool Load(std::uint32_t recno);
  void SetAtEof();
  void SetAtBof();
  // Deleted-record visibility and the order's own conditions; the filters too unless told otherwise.
  bool Visible(Order& order, const RecordView& view, bool withFilters = true);
  // Loads the first visible record from `recno` on in the direction given; false when the
  // order runs out (the cursor's end state is the caller's to set).
  bool LandVisible(Order& order, std::uint32_t recno, bool forward);
  // Where record `recno` (1-based; count + 1 for the end) starts in the DBF file.
  std::uint64_t RecordOffset(std::uint32_t recno) const {
    return header_.headerLength + static_cast<std::uint64_t>(recno - 1) * header_.recordLength;
  }
  // The record as the file holds it now (no read-ahead).
  std::string ReadImage(std::uint32_t recno);
  // The record's bytes for navigation, through the read-ahead when there is one; null when the
  // file ends before it.
  const char* RecordBytes(std::uint32_t recno);
  void FlushPending();
  void BeginEdit();
  std::string& EditImage();
  // The record count stored in the DBF header now (other writers' appends included).
  std::uint32_t ReadHeaderCount();
  void WriteHeaderCount(std::uint32_t count);
  // Drops the lock an append took on `recno`, unless the handle holds the record or the file.
  void ReleaseAppendLock(std::uint32_t recno);
  void RequireWritable() const;
  std::uint32_t NextAutoInc();
  // Before every write: joins the attached transaction, or refuses while another transaction's
  // journal lies beside the table.
  void JoinTransaction();
  void LeaveTransactionOnClose();
  // Records the write intent's entry of a change before anything is written: every hook names
  // its files, with the keys it will move when `after` is given. Nothing is recorded when the
  // handle keeps no journal (in a transaction, whose journal undoes everything, or where the
  // folder takes none) or when the change moves no key and reserves no record.
  void RecordIntent(std::uint32_t recno, RecordChange change, const RecordView* before, const RecordView* after);
  // The change is complete: nothing in flight.
  void IntentDone();
  // The change was undone: nothing in flight but a pending append's reserved record.
  void IntentUndone() noexcept;
  void RecoverInterruptedWrites();

  TableNames names_;
  TableType type_ = TableType::kNtx;
  CharType charType_ = CharType::kAnsi;
  LockType lockType_ = LockType::kCompatible;
  bool writable_ = false;
  bool exclusive_ = false;
  bool forcedReadOnly_ = false;
  std::uint32_t options_ = 0;
  RawFile dbf_;
  std::unique_ptr<MemoStore> memo_;
  DbfHeader header_;
  std::unique_ptr<LockScheme> scheme_;
  std::unique_ptr<NaturalOrder> natural_;
  bool modified_ = false;
  bool modifiedBeforeAppend_ = false;
  std::uint32_t lastAutoInc_ = 0;
  std::uint32_t knownCount_ = 0;
  RecordReadAhead readAhead_;
  std::string scratch_;  // a record read without read-ahead

  // How each field's text is taken from the record image, fixed when the table is opened.
  enum class FieldRead : std::uint8_t { kGeneral, kWhole, kTrimmed, kLogical, kDate };
  struct alignas(16) FieldPlan {  // sixteen bytes: the plan of an ordinal is found by a shift
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
    FieldRead read = FieldRead::kGeneral;
  };
  void PlanFieldReads();
  std::vector<FieldPlan> fieldPlans_;

  Cursor cursor_;
  std::string current_;  // the current record as read
  std::unique_ptr<ImageView> currentView_;
  Pending pending_ = Pending::kNone;
  std::string pendingImage_;
  std::map<std::size_t, MemoBlob> pendingMemos_;

  std::vector<RecordFilter*> filters_;
  std::vector<RecordHook*> hooks_;
  std::set<std::uint32_t> lockedRecords_;
  bool fileLocked_ = false;
  std::uint32_t appendLock_ = 0;  // record locked by an append until it is written or cancelled
  std::uint32_t refusalCode_ = 0;
  std::string refusalText_;

  Transaction* transaction_ = nullptr;
  TableJournal* journal_ = nullptr;  // set while the table has joined the transaction
  bool heldFileLock_ = false;        // the caller's own file lock, kept after the transaction
  bool modifiedAtJoin_ = false;
  std::unique_ptr<WriteIntent> intent_;  // created at the first change
  bool noIntent_ = false;                // the folder takes no journal
};

[[gnu::always_inline]] inline bool Table::QuickFieldText(std::uintptr_t ordinal, std::string_view* text) const {
  if (ordinal - 1 >= fieldPlans_.size() || pending_ != Pending::kNone || !cursor_.OnRecord()) return false;
  const FieldPlan& plan = fieldPlans_[ordinal - 1];
  const char* p = current_.data() + plan.offset;
  switch (plan.read) {
    case FieldRead::kWhole: *text = std::string_view(p, plan.length); return true;
    case FieldRead::kTrimmed: *text = TrimmedNumericText(p, plan.length); return true;
    case FieldRead::kLogical:  // one byte: blank, or true or false
      if (*p == ' ' || *p == '\0') *text = std::string_view(p, 0);
      else *text = (*p == 'T' || *p == 't' || *p == 'Y' || *p == 'y' || *p == '1') ? "T" : "F";
      return true;
    case FieldRead::kDate:  // a valid date is handed out as its stored digits
      if (!IsCivilDateText(p)) return false;
      *text = std::string_view(p, 8);
      return true;
    case FieldRead::kGeneral: break;
  }
  return false;
}

}  // namespace xbe
