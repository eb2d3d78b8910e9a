#include "memdataset.h"

#include <cstring>

#include "platform/classes/classbuilder.h"
#include "platform/classes/streams.h"
#include "platform/db/bcd.h"

namespace dbtest {

namespace {

template <class T>
Cell Native(const T& v) {
  std::vector<std::uint8_t> b(sizeof(T));
  std::memcpy(b.data(), &v, sizeof(T));
  return b;
}

// A memory stream that hands its contents back when it is destroyed (a written blob).
class WriteBackStream : public classes::TMemoryStream {
 public:
  explicit WriteBackStream(std::function<void(const std::vector<std::uint8_t>&)> done) : done_(std::move(done)) {}
  ~WriteBackStream() override { done_(Bytes()); }

 private:
  std::function<void(const std::vector<std::uint8_t>&)> done_;
};

constexpr int kInfoSize = 5;  // row (32-bit), bookmark flag

}  // namespace

Cell Str(const std::string& s, int size) {
  std::vector<std::uint8_t> b(static_cast<std::size_t>(size) + 1, 0);
  std::memcpy(b.data(), s.data(), std::min(s.size(), static_cast<std::size_t>(size)));
  return b;
}
Cell I16(std::int16_t v) { return Native(v); }
Cell I32(std::int32_t v) { return Native(v); }
Cell U16(std::uint16_t v) { return Native(v); }
Cell F64(double v) { return Native(v); }
Cell Bool16(bool v) { return Native(static_cast<std::int16_t>(v ? -1 : 0)); }
Cell Bcd(db::Currency v) { return Native(db::CurrencyToBcd(v)); }
Cell Text(const std::string& blob) { return std::vector<std::uint8_t>(blob.begin(), blob.end()); }

void FillNumbers(TMemDataSet& ds, int n) {
  ds.columns = {{"ID", db::ftInteger}, {"NAME", db::ftString, 10}};
  ds.rows.clear();
  for (int i = 1; i <= n; ++i) ds.rows.push_back({I32(i), Str("N" + std::to_string(i), 10)});
}

const classes::TClassInfo& TMemDataSet::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TMemDataSet, db::TDataSet>("TMemDataSet", [](auto& c) {
    c.Bool("Active", &db::TDataSet::Active, &db::TDataSet::SetActive).Default(false);
  });
  return info;
}

TMemDataSet::TMemDataSet(classes::TComponent* owner) : db::TDataSet(owner) {}

TMemDataSet::~TMemDataSet() { DestroyDataSet(); }

int TMemDataSet::ColumnSize(int column) const {
  const Column& c = columns[static_cast<std::size_t>(column)];
  switch (c.type) {
    case db::ftString: return c.size + 1;
    case db::ftSmallint: case db::ftWord: case db::ftBoolean: return 2;
    case db::ftInteger: case db::ftAutoInc: case db::ftDate: case db::ftTime: return 4;
    case db::ftFloat: case db::ftCurrency: case db::ftDateTime: return 8;
    case db::ftBCD: return static_cast<int>(sizeof(db::TBcd));
    case db::ftBytes: return c.size;
    default: return 0;  // blobs: only the presence byte
  }
}

int TMemDataSet::CellOffset(int column) const {
  int offset = 0;
  for (int i = 0; i < column; ++i) offset += 1 + ColumnSize(i);
  return offset;
}

void TMemDataSet::OpenTableCursor() {
  Log("OpenTableCursor");
  open_ = true;
  BookmarkSize() = 4;
  FieldDefs().SetUpdated(false);
  FieldDefs().Update();
  if (DefaultFields()) CreateFields();
  BindFields(true);
  recordSize_ = CellOffset(static_cast<int>(columns.size()));
  indexDefs.SetUpdated(false);
  indexDefs.Update();
  activeDuringOpen = Active();
  // A table layer rebuilds its buffers when it activates an index, also inside the open.
  SetBufferListSize(0);
  SetBufferListSize(BufferCount() + 1);
  cursor_ = -1;
  if (failOpen) throw db::EDatabaseError("open refused");
}

void TMemDataSet::CloseTableCursor() {
  Log("CloseTableCursor");
  BindFields(false);
  if (DefaultFields()) DestroyFields();
  open_ = false;
}

void TMemDataSet::LoadFieldDefs() {
  ++fieldDefLoads;
  FieldDefs().Clear();
  for (const Column& c : columns) {
    FieldDefs().Add(c.name, c.type, c.size, false);
    if (c.precision) FieldDefs().Find(c.name)->SetPrecision(c.precision);
  }
}

void TMemDataSet::LoadIndexDefs() {
  if (indexDefs.Updated()) return;
  indexDefs.Clear();
  for (const IndexEntry& entry : indexes) indexDefs.Add(entry.name, entry.fields, entry.options);
  indexDefs.SetUpdated(true);
}

db::TRecordBuffer TMemDataSet::AllocateRecordBuffer() {
  const std::size_t size = static_cast<std::size_t>(InfoOffset() + kInfoSize + BookmarkSize());
  auto* buffer = new db::Byte[size];
  std::memset(buffer, 0xCC, size);  // a fresh buffer holds garbage, as the framework must expect
  live_.insert(buffer);
  ++allocated;
  return buffer;
}

void TMemDataSet::ReleaseRecordBuffer(db::TRecordBuffer& buffer) {
  live_.erase(buffer);
  delete[] buffer;
  buffer = nullptr;
  ++released;
  if (releasedCounter) ++*releasedCounter;
}

int TMemDataSet::RowOf(db::TRecordBuffer buffer) const {
  std::int32_t row = 0;
  std::memcpy(&row, buffer + InfoOffset(), 4);
  return row;
}

db::GetResult TMemDataSet::FetchRecord(db::TRecordBuffer buffer, db::GetMode mode, bool) {
  ++fetches[mode];
  if (State() == db::DSState::Insert) return db::GetResult::Error;
  const int n = static_cast<int>(rows.size());
  for (;;) {
    if (mode == db::GetMode::Next && ++cursor_ >= n) {
      cursor_ = n;
      return db::GetResult::Eof;
    }
    if (mode == db::GetMode::Prior && --cursor_ < 0) {
      cursor_ = -1;
      return db::GetResult::Bof;
    }
    if (cursor_ >= n) return db::GetResult::Eof;
    if (cursor_ < 0) return db::GetResult::Bof;
    const Row& row = rows[static_cast<std::size_t>(cursor_)];
    for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
      db::Byte* cell = buffer + CellOffset(c);
      const Cell& value = row[static_cast<std::size_t>(c)];
      cell[0] = value.has_value() && !(ColumnSize(c) == 0 && value->empty()) ? 1 : 0;
      if (value && ColumnSize(c) > 0) std::memcpy(cell + 1, value->data(), static_cast<std::size_t>(ColumnSize(c)));
    }
    const std::int32_t r = cursor_;
    std::memcpy(buffer + InfoOffset(), &r, 4);
    buffer[InfoOffset() + 4] = db::bfCurrent;
    std::memcpy(buffer + InfoOffset() + kInfoSize, &r, 4);
    if (Filtered() && OnFilterRecord().Assigned()) {
      const db::DSState previous = SetTempState(db::DSState::Filter);
      filterBuffer_ = buffer;
      bool accept = true;
      try {
        OnFilterRecord()(this, accept);
      } catch (...) {
        RestoreState(previous);
        throw;
      }
      RestoreState(previous);
      if (!accept) {
        if (mode != db::GetMode::Prior) mode = db::GetMode::Next;
        continue;
      }
    }
    GetCalcFields(buffer);
    return db::GetResult::Ok;
  }
}

void TMemDataSet::CopyBookmark(db::TRecordBuffer buffer, db::Byte* target) {
  std::memcpy(target, buffer + InfoOffset() + kInfoSize, 4);
}

db::Byte TMemDataSet::BookmarkFlagOf(db::TRecordBuffer buffer) { return buffer[InfoOffset() + 4]; }

void TMemDataSet::SetBufferBookmarkFlag(db::TRecordBuffer buffer, db::Byte flag) { buffer[InfoOffset() + 4] = flag; }

void TMemDataSet::SetBufferBookmark(db::TRecordBuffer buffer, const db::Byte* bookmark) {
  std::memcpy(buffer + InfoOffset() + kInfoSize, bookmark, 4);
}

void TMemDataSet::InitRecordDefaults(db::TRecordBuffer buffer) {
  std::memset(buffer, 0, static_cast<std::size_t>(recordSize_));
  const std::int32_t none = -1;
  std::memcpy(buffer + InfoOffset(), &none, 4);
  buffer[InfoOffset() + 4] = db::bfCurrent;
  std::memcpy(buffer + InfoOffset() + kInfoSize, &none, 4);
}

void TMemDataSet::GoBeforeFirst() {
  Log("GoBeforeFirst");
  cursor_ = -1;
}

void TMemDataSet::GoAfterLast() {
  Log("GoAfterLast");
  cursor_ = static_cast<int>(rows.size());
}

void TMemDataSet::GoToBookmark(const db::Byte* bookmark) {
  if (State() == db::DSState::Insert) return;
  std::int32_t row = 0;
  std::memcpy(&row, bookmark, 4);
  cursor_ = row;
}

void TMemDataSet::PositionOnBuffer(db::TRecordBuffer buffer) {
  Log("PositionOnBuffer");
  GoToBookmark(buffer + InfoOffset() + kInfoSize);
}

bool TMemDataSet::IsBookmarkValid(const db::Byte* bookmark) {
  if (!bookmark || !Active()) return false;
  std::int32_t row = 0;
  std::memcpy(&row, bookmark, 4);
  return row >= 0 && row < static_cast<int>(rows.size());
}

int TMemDataSet::CompareBookmarkOrder(const db::Byte* a, const db::Byte* b) {
  if (!a && !b) return 0;
  if (!a) return 1;
  if (!b) return -1;
  std::int32_t x = 0, y = 0;
  std::memcpy(&x, a, 4);
  std::memcpy(&y, b, 4);
  return x < y ? -1 : x > y ? 1 : 0;
}

int TMemDataSet::CountRecords() {
  CheckActive();
  return static_cast<int>(rows.size());
}

int TMemDataSet::CurrentRecordNumber() {
  CheckActive();
  return IsEmpty() ? 0 : RowOf(ActiveBuffer()) + 1;
}

void TMemDataSet::MoveToRecordNumber(int number) {
  CheckBrowseMode();
  DoBeforeScroll();
  cursor_ = number - 1;
  Resync({});
  DoAfterScroll();
}

db::TRecordBuffer TMemDataSet::BufferForState() const {
  switch (State()) {
    case db::DSState::Browse: return IsEmpty() ? nullptr : ActiveBuffer();
    case db::DSState::Edit: case db::DSState::Insert: return ActiveBuffer();
    case db::DSState::CalcFields: return CalcBuffer();
    case db::DSState::Filter: return filterBuffer_;
    default: return nullptr;
  }
}

bool TMemDataSet::ReadFieldData(db::TField* field, void* target) {
  db::TRecordBuffer buffer = BufferForState();
  if (!buffer) return false;
  db::Byte* cell = nullptr;
  int size = field->DataSize();
  if (field->FieldNo() > 0) {
    cell = buffer + CellOffset(field->FieldNo() - 1);
    size = ColumnSize(field->FieldNo() - 1);
  } else {
    cell = buffer + recordSize_ + field->Offset();
  }
  if (cell[0] == 0) return false;
  if (target && size > 0) std::memcpy(target, cell + 1, static_cast<std::size_t>(size));
  return true;
}

void TMemDataSet::WriteFieldData(db::TField* field, const void* value) {
  const db::DSState s = State();
  if (s != db::DSState::Edit && s != db::DSState::Insert && s != db::DSState::SetKey &&
      s != db::DSState::CalcFields && s != db::DSState::Filter)
    throw db::EDatabaseError("Dataset not in edit mode");
  db::TRecordBuffer buffer = BufferForState();
  db::Byte* cell = nullptr;
  if (field->FieldNo() > 0) {
    if (field->ReadOnly()) db::DatabaseErrorFmt(db::kFieldReadOnlyText, field->DisplayName());
    if (s == db::DSState::Edit || s == db::DSState::Insert) field->Validate(value);
    cell = buffer + CellOffset(field->FieldNo() - 1);
  } else {
    cell = buffer + recordSize_ + field->Offset();
  }
  cell[0] = value ? 1 : 0;
  if (value && field->DataSize() > 0) std::memcpy(cell + 1, value, static_cast<std::size_t>(field->DataSize()));
  if (s != db::DSState::CalcFields && s != db::DSState::Filter)
    DataEvent(db::DataEventKind::FieldChange, reinterpret_cast<std::intptr_t>(field));
}

std::unique_ptr<classes::TStream> TMemDataSet::OpenBlobStream(db::TField* field, db::BlobMode mode) {
  db::TBlobField& blob = db::BlobFieldOf(field);
  const int column = blob.FieldNo() - 1;
  const int row = IsEmpty() ? -1 : RowOf(ActiveBuffer());
  if (mode == db::BlobMode::Read) {
    auto stream = std::make_unique<classes::TMemoryStream>();
    if (row >= 0 && rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)]) {
      const auto& bytes = *rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
      if (!bytes.empty()) stream->WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
      stream->SetPosition(0);
    }
    return stream;
  }
  return std::make_unique<WriteBackStream>([this, row, column](const std::vector<std::uint8_t>& bytes) {
    if (row >= 0) rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = bytes;
  });
}

void TMemDataSet::StoreRow(int row, db::TRecordBuffer buffer) {
  Row& target = rows[static_cast<std::size_t>(row)];
  for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
    if (ColumnSize(c) == 0) continue;  // blobs travel through their streams
    const db::Byte* cell = buffer + CellOffset(c);
    if (cell[0] == 0)
      target[static_cast<std::size_t>(c)].reset();
    else
      target[static_cast<std::size_t>(c)] = std::vector<std::uint8_t>(cell + 1, cell + 1 + ColumnSize(c));
  }
}

void TMemDataSet::PostRecord() {
  db::TDataSet::PostRecord();
  db::TRecordBuffer buffer = ActiveBuffer();
  int row = 0;
  if (State() == db::DSState::Edit) {
    std::memcpy(&row, buffer + InfoOffset() + kInfoSize, 4);
  } else {
    const db::Byte flag = BookmarkFlagOf(buffer);
    std::int32_t before = 0;
    std::memcpy(&before, buffer + InfoOffset() + kInfoSize, 4);
    row = flag == db::bfEOF || flag == db::bfBOF || before < 0 ? static_cast<int>(rows.size()) : before;
    rows.insert(rows.begin() + row, Row(columns.size()));
  }
  StoreRow(row, buffer);
  cursor_ = row;
}

void TMemDataSet::DeleteRecord() {
  Log("DeleteRecord");
  rows.erase(rows.begin() + cursor_);
}

void TMemDataSet::AfterOpenHook() {
  Log("AfterOpenHook");
  db::TDataSet::AfterOpenHook();
}

}  // namespace dbtest
