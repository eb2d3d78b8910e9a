// Record buffers, the record-reading loop, record numbers and counts, and field values.
#include <cmath>
#include <cstring>

#include "engine/xbeblob.h"
#include "engine/xbedata.h"
#include "platform/db/bcd.h"
#include "platform/db/datetime.h"
#include "platform/rtl/strutils.h"

namespace {

// A slot holds the buffer's reference to its cache.
constexpr std::uint16_t kBlobSlotSize = sizeof(TXbeBlobCache*);
constexpr std::uint16_t kRecordInfoSize = 8;
constexpr double kJulianOfDayZero = 1721425.0;

bool IsBlobType(std::uint16_t t) { return t >= 5 && t <= 8; }

template <class T>
T Load(const db::Byte* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <class T>
void Store(void* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

// Sets a byte to 0 for the length of a parse and puts it back on every path.
class ByteTerminator {
 public:
  explicit ByteTerminator(db::Byte* at) : at_(at), saved_(*at) { *at_ = 0; }
  ~ByteTerminator() { *at_ = saved_; }
  ByteTerminator(const ByteTerminator&) = delete;
  ByteTerminator& operator=(const ByteTerminator&) = delete;

 private:
  db::Byte* at_;
  db::Byte saved_;
};

class DecimalSeparatorDot {
 public:
  DecimalSeparatorDot() : saved_(db::HostDecimalSeparator) { db::HostDecimalSeparator = '.'; }
  ~DecimalSeparatorDot() { db::HostDecimalSeparator = saved_; }
  DecimalSeparatorDot(const DecimalSeparatorDot&) = delete;
  DecimalSeparatorDot& operator=(const DecimalSeparatorDot&) = delete;

 private:
  char saved_;
};

std::string PackedDateToText(const db::Byte* b) {
  const int year = b[0] * 128 + b[1] / 2;
  const int month = (b[1] & 1) * 8 + b[2] / 32;
  const int day = b[2] & 31;
  std::string y = "0000" + std::to_string(year);
  y = y.substr(y.size() - 4);
  auto two = [](int v) { return (v < 10 ? "0" : "") + std::to_string(v); };
  return y + two(month) + two(day);
}

}  // namespace

TXbeDataSet::RecordInfo TXbeDataSet::LoadInfo(db::TRecordBuffer buffer) const {
  return Load<RecordInfo>(buffer + recordInfoOffset_);
}

void TXbeDataSet::StoreInfo(db::TRecordBuffer buffer, const RecordInfo& info) const {
  Store(buffer + recordInfoOffset_, info);
}

void TXbeDataSet::LayOutRecordBuffer() {
  blobCacheOffset_ = static_cast<std::uint16_t>(recordSize_ + CalcFieldsSize());
  recordInfoOffset_ = static_cast<std::uint16_t>(blobCacheOffset_ + kBlobSlotSize * BlobFieldCount());
  bookmarkOffset_ = static_cast<std::uint16_t>(recordInfoOffset_ + kRecordInfoSize);
  std::uint32_t bookmarkLength = 0;
  CheckXbeResult(this, XbeGetBookmarkLength(BookmarkHandle(), &bookmarkLength));
  BookmarkSize() = static_cast<int>(bookmarkLength);
  recordBufferSize_ = static_cast<std::uint16_t>(bookmarkOffset_ + BookmarkSize());
}

db::TRecordBuffer TXbeDataSet::AllocateRecordBuffer() {
  // Owned by the framework's buffer list from here on and released by ReleaseRecordBuffer,
  // with one blob cache per blob-cache slot.
  auto buffer = std::make_unique<db::Byte[]>(recordBufferSize_);
  std::vector<std::unique_ptr<TXbeBlobCache>> caches;
  for (int slot = 0; slot < BlobSlotCount(); ++slot) caches.push_back(std::make_unique<TXbeBlobCache>());
  for (int slot = 0; slot < BlobSlotCount(); ++slot) {
    TXbeBlobCache* cache = caches[static_cast<std::size_t>(slot)].release();
    Store(buffer.get() + blobCacheOffset_ + kBlobSlotSize * slot, cache);
  }
  return buffer.release();
}

void TXbeDataSet::ReleaseRecordBuffer(db::TRecordBuffer& buffer) {
  if (buffer == nullptr) return;
  for (int slot = 0; slot < BlobSlotCount(); ++slot)
    delete Load<TXbeBlobCache*>(buffer + blobCacheOffset_ + kBlobSlotSize * slot);
  delete[] buffer;
  buffer = nullptr;
}

void TXbeDataSet::CopyBookmark(db::TRecordBuffer buffer, db::Byte* target) {
  std::memcpy(target, buffer + bookmarkOffset_, static_cast<std::size_t>(BookmarkSize()));
}

db::Byte TXbeDataSet::BookmarkFlagOf(db::TRecordBuffer buffer) { return LoadInfo(buffer).bookmarkFlag; }

void TXbeDataSet::SetBufferBookmarkFlag(db::TRecordBuffer buffer, db::Byte flag) {
  RecordInfo info = LoadInfo(buffer);
  info.bookmarkFlag = flag;
  StoreInfo(buffer, info);
}

void TXbeDataSet::SetBufferBookmark(db::TRecordBuffer buffer, const db::Byte* bookmark) {
  std::memcpy(buffer + bookmarkOffset_, bookmark, static_cast<std::size_t>(BookmarkSize()));
}

void TXbeDataSet::InitRecordInfo(db::TRecordBuffer buffer) {
  db::TDataSet::InitRecordInfo(buffer);
  RecordInfo info = LoadInfo(buffer);
  info.position = -1;
  info.status = 0;
  info.bookmarkFlag = db::bfCurrent;
  StoreInfo(buffer, info);
  std::memset(buffer + bookmarkOffset_, 0, 4);
}

db::GetResult TXbeDataSet::FetchRecord(db::TRecordBuffer buffer, db::GetMode mode, bool /*check*/) {
  if (tableHandle_ == kNoHandle || State() == db::DSState::Insert) return db::GetResult::Error;
  if (mode == db::GetMode::Next)
    CheckXbeResult(this, XbeSkip(activeHandle_, 1));
  else if (mode == db::GetMode::Prior)
    CheckXbeResult(this, XbeSkip(activeHandle_, -1));
  else if (mode != db::GetMode::Current)
    return db::GetResult::Error;
  const db::GetResult result = ReadVisibleRecord(buffer, recordBufferSize_, mode);
  if (result != db::GetResult::Ok) return result;
  RecordInfo info = LoadInfo(buffer);
  info.status = 0;
  info.bookmarkFlag = db::bfCurrent;
  info.position = RecordPosition();
  StoreInfo(buffer, info);
  return db::GetResult::Ok;
}

db::GetResult TXbeDataSet::ReadVisibleRecord(db::TRecordBuffer buffer, std::uint32_t length, db::GetMode mode) {
  std::uint16_t fieldCount = 0;
  CheckXbeResult(this, XbeGetNumFields(tableHandle_, &fieldCount));
  const bool backward = mode == db::GetMode::Prior;
  for (;;) {
    std::uint16_t flag = 0;
    CheckXbeResult(this, XbeAtEOF(tableHandle_, &flag));
    if (flag && mode != db::GetMode::Prior) return db::GetResult::Eof;
    CheckXbeResult(this, XbeAtBOF(tableHandle_, &flag));
    if (flag && mode != db::GetMode::Next) return db::GetResult::Bof;

    std::uint16_t visible = 0;
    const XBERESULT r = XbeIsRecordVisible(activeHandle_, &visible);
    if (r == 5068)
      visible = 0;
    else
      CheckXbeResult(this, r);
    if (!visible) {
      if (mode == db::GetMode::Current) return db::GetResult::Error;
      CheckXbeResult(this, XbeSkip(activeHandle_, backward ? -1 : 1));
      continue;
    }

    LoadCurrentRecord(buffer, length, fieldCount);
    if (OnFilterRecord().Assigned() && Filtered()) {
      bool accept = true;
      TestFilterRecord(buffer, accept);
      if (!accept) {
        CheckXbeResult(this, XbeSkip(activeHandle_, backward ? -1 : 1));
        continue;
      }
    }
    if (!tableOptions_->XbeCalcFieldsBeforeFilter()) GetCalcFields(buffer);
    return db::GetResult::Ok;
  }
}

void TXbeDataSet::LoadCurrentRecord(db::TRecordBuffer buffer, std::uint32_t length, std::uint16_t fieldCount) {
  CheckXbeResult(this, XbeGetRecord(tableHandle_, buffer, length));
  std::uint32_t bookmarkLength = static_cast<std::uint32_t>(BookmarkSize());
  CheckXbeResult(this, XbeGetBookmark60(BookmarkHandle(), buffer + bookmarkOffset_, &bookmarkLength));
  BookmarkSize() = static_cast<int>(bookmarkLength);

  if (BlobFieldCount() > 0) {
    for (std::uint16_t i = 1; i <= fieldCount; ++i) {
      const TXbeFieldDef* def = xbeFieldDefs_->GetDef(i - 1);
      if (!IsBlobType(def->EngineType)) continue;
      std::uint16_t empty = 0;
      CheckXbeResult(this, XbeIsEmpty(tableHandle_, XBE_FIELD_ORDINAL(i), &empty));
      Store<std::int32_t>(buffer + def->Offset, empty ? 0 : -1);
    }
    if (ResetsBlobCaches()) ResetBlobCaches(buffer);
  }

  if (tableOptions_->XbeCharType() == OEM) {
    for (std::uint16_t i = 1; i <= fieldCount; ++i) {
      const TXbeFieldDef* def = xbeFieldDefs_->GetDef(i - 1);
      if (def->EngineType != 4 && def->EngineType != 20) continue;
      db::Byte* place = buffer + def->Offset;
      const db::Byte after = place[def->Length];
      std::uint32_t fieldLength = def->Length + 1;
      try {
        CheckXbeResult(this, XbeGetField(tableHandle_, XBE_FIELD_ORDINAL(i), place, &fieldLength, 0));
      } catch (...) {
        place[def->Length] = after;
        throw;
      }
      place[def->Length] = after;
    }
  }

  if (tableOptions_->XbeCalcFieldsBeforeFilter()) GetCalcFields(buffer);
}

bool TXbeDataSet::FilterEventAcceptsCurrent() {
  if (!OnFilterRecord().Assigned() || !Filtered()) return true;
  std::uint16_t fieldCount = 0;
  CheckXbeResult(this, XbeGetNumFields(tableHandle_, &fieldCount));
  // A locate keeps its values in the filter buffer while the handler looks at another one.
  const db::TRecordBuffer searched = filterRecordBuffer_;
  db::TRecordBuffer buffer = AllocateRecordBuffer();
  bool accept = true;
  try {
    LoadCurrentRecord(buffer, recordBufferSize_, fieldCount);
    TestFilterRecord(buffer, accept);
  } catch (...) {
    filterRecordBuffer_ = searched;
    ReleaseRecordBuffer(buffer);
    throw;
  }
  filterRecordBuffer_ = searched;
  ReleaseRecordBuffer(buffer);
  return accept;
}

void TXbeDataSet::TestFilterRecord(db::TRecordBuffer buffer, bool& accept) {
  const db::DSState saved = SetTempState(db::DSState::Filter);
  filterRecordBuffer_ = buffer;
  try {
    OnFilterRecord()(this, accept);
  } catch (...) {
    RestoreState(saved);
    throw;
  }
  RestoreState(saved);
}

std::int32_t TXbeDataSet::RecordPosition() {
  if ((indexName_.empty() && indexFieldNames_.empty()) || !sequenced_) {
    std::uint32_t number = 0;
    CheckXbeResult(this, XbeGetRecordNum(tableHandle_, 2, &number));
    return static_cast<std::int32_t>(number);
  }
  if (sequencedLevel_ == slExact) {
    std::uint32_t number = 0;
    CheckXbeResult(this, XbeGetKeyNum(activeHandle_, 1, &number));
    return static_cast<std::int32_t>(number);
  }
  std::uint32_t count = 0;
  CheckXbeResult(this, XbeGetRecordCount(tableHandle_, 2, &count));
  double fraction = 0;
  const XBERESULT r = XbeGetRelKeyPos(activeHandle_, &fraction);
  if (r == 5041)
    fraction = 0;
  else
    CheckXbeResult(this, r);
  return static_cast<std::int32_t>(std::trunc(count * fraction));
}

bool TXbeDataSet::ActiveIndexHasScope() {
  if (activeHandle_ == tableHandle_ || activeHandle_ == kNoHandle) return false;
  char bound[4082];
  std::uint16_t length = sizeof bound;
  XBERESULT r = XbeGetScope(activeHandle_, 1, bound, &length);
  if (r == 5038) {
    length = sizeof bound;
    r = XbeGetScope(activeHandle_, 2, bound, &length);
    if (r == 5038) return false;
  }
  CheckXbeResult(this, r);
  return true;
}

int TXbeDataSet::CountRecords() {
  CheckActive();
  std::uint16_t mode = 2;
  if (tableOptions_->XbeFilterOptions() == RESPECT_WHEN_COUNTING)
    mode = 1;
  else if (tableOptions_->XbeScopeOptions() == RESPECT_SCOPES_WHEN_COUNTING)
    mode = 3;
  XBEHANDLE handle = activeHandle_;
  if (mode == 1 && activeHandle_ != tableHandle_) {
    std::uint32_t flags = 0;
    CheckXbeResult(this, XbeGetIndexFlags(activeHandle_, &flags));
    if (tableType_ == ttXbeXDT || (flags & 1) == 0) {
      char condition[510];
      std::uint16_t length = sizeof condition;
      CheckXbeResult(this, XbeGetIndexCondition(activeHandle_, condition, &length));
      if (length == 0 && !ActiveIndexHasScope()) handle = tableHandle_;
    }
  }
  if (tableOptions_->XbeFreshRecordCount()) mode += 4;
  std::uint32_t count = 0;
  CheckXbeResult(this, XbeGetRecordCount(handle, mode, &count));
  return static_cast<int>(count);
}

void TXbeDataSet::MoveToRecordNumber(int number) {
  CheckBrowseMode();
  DoBeforeScroll();
  if (activeIndexKind_ == IndexKindNone) {
    if (Filtered()) {
      CheckXbeResult(this, XbeGotoTop(tableHandle_));
      CheckXbeResult(this, XbeSkip(tableHandle_, number - 1));
    } else {
      CheckXbeResult(this, XbeGotoRecord(tableHandle_, static_cast<std::uint32_t>(number)));
    }
  } else {
    std::uint32_t count = 0;
    CheckXbeResult(this, XbeGetRecordCount(tableHandle_, 2, &count));
    double fraction = count == 0 ? 0.0 : static_cast<double>(number) / count;
    if (fraction >= 1.0) fraction = 1.0;
    CheckXbeResult(this, XbeSetRelKeyPos(activeHandle_, fraction));
  }
  Resync({});
  DoAfterScroll();
}

int TXbeDataSet::CurrentRecordNumber() {
  CheckActive();
  if (State() == db::DSState::CalcFields) {
    // Left open by the design: the calculation buffer's bookmark holds the engine record
    // number, which is what the record information would hold for a table.
    if (CalcBuffer() == nullptr) return -1;
    return Load<std::int32_t>(CalcBuffer() + bookmarkOffset_);
  }
  if (IsEmpty()) return -1;
  return LoadInfo(ActiveBuffer()).position;
}

void TXbeDataSet::GoBeforeFirst() { CheckXbeResult(this, XbeGotoBOF(activeHandle_)); }

void TXbeDataSet::GoAfterLast() {
  CheckXbeResult(this, XbeGotoBottom(activeHandle_));
  CheckXbeResult(this, XbeSkip(activeHandle_, 1));
}

void TXbeDataSet::GoToBookmark(const db::Byte* bookmark) {
  if (State() == db::DSState::Insert) return;
  const XBERESULT r = XbeGotoBookmark(tableHandle_, Load<std::uint32_t>(bookmark));
  if (r != 5022) CheckXbeResult(this, r);
}

void TXbeDataSet::PositionOnBuffer(db::TRecordBuffer buffer) { GoToBookmark(buffer + bookmarkOffset_); }

bool TXbeDataSet::IsBookmarkValid(const db::Byte* bookmark) {
  if (!Active() || bookmark == nullptr) return false;
  CursorPosChanged();
  if (XbeGotoBookmark(tableHandle_, Load<std::uint32_t>(bookmark)) != 0) return false;
  std::uint16_t atEof = 0;
  if (XbeAtEOF(tableHandle_, &atEof) != 0 || atEof) return false;
  if (tableType_ == ttXbeCDX || tableType_ == ttXbeNTX) {
    std::uint16_t deleted = 0, shown = 0;
    CheckXbeResult(this, XbeIsRecordDeleted(tableHandle_, &deleted));
    CheckXbeResult(this, XbeGetDeleted(&shown));
    if (deleted == 1 && !shown) return false;
  }
  return true;
}

int TXbeDataSet::CompareBookmarkOrder(const db::Byte* a, const db::Byte* b) {
  if (a == nullptr && b == nullptr) return 0;
  if (a == nullptr) return 1;
  if (b == nullptr) return -1;
  std::int16_t result = 0;
  CheckXbeResult(this, XbeCompareBookmarks(a, b, &result));
  return result;
}

db::TRecordBuffer TXbeDataSet::BufferForState() {
  switch (State()) {
    case db::DSState::Browse:
    case db::DSState::BlockRead:
      return IsEmpty() ? nullptr : ActiveBuffer();
    case db::DSState::Edit:
    case db::DSState::Insert:
    case db::DSState::NewValue:
      return ActiveBuffer();
    case db::DSState::SetKey:
      return currentKeyBuffer_ ? currentKeyBuffer_ + 12 : nullptr;
    case db::DSState::CalcFields:
      return CalcBuffer();
    case db::DSState::Filter:
      return filterRecordBuffer_;
    case db::DSState::OldValue:
      return oldRecordBuffer_.empty() ? nullptr : oldRecordBuffer_.data();
    default:
      return nullptr;
  }
}

bool TXbeDataSet::ReadFieldData(db::TField* field, void* target) {
  db::TRecordBuffer buffer = BufferForState();
  if (buffer == nullptr) return false;
  if (field->FieldNo() > 0) return !ConvertFieldValue(field, buffer, target);
  switch (State()) {
    case db::DSState::Browse:
    case db::DSState::Edit:
    case db::DSState::Insert:
    case db::DSState::CalcFields:
    case db::DSState::Filter:
      break;
    default:
      return false;
  }
  const db::Byte* presence = buffer + recordSize_ + field->Offset();
  if (*presence != 0 && target != nullptr)
    std::memcpy(target, presence + 1, static_cast<std::size_t>(field->DataSize()));
  return *presence != 0;
}

bool TXbeDataSet::ConvertFieldValue(db::TField* field, db::TRecordBuffer buffer, void* target) {
  const TXbeFieldDef* def = xbeFieldDefs_->GetDef(field->FieldNo() - 1);
  const std::uint16_t t = def->EngineType;
  const std::uint32_t length = def->Length;
  db::Byte* raw = buffer + def->Offset;
  const bool editing = State() == db::DSState::Edit || State() == db::DSState::Insert;
  const bool blank = editing && IsBlobType(t) ? IsBlobFieldBlank(buffer, field, t, raw) : IsRawValueBlank(raw, length, t);
  if (target == nullptr || blank) return blank;

  switch (t) {
    case 1: {
      const char c = static_cast<char>(raw[0]);
      const bool yes = c == '1' || c == 'T' || c == 'Y' || c == 't' || c == 'y';
      Store<std::int16_t>(target, yes ? -1 : 0);
      break;
    }
    case 2: {
      ByteTerminator end(raw + length);
      DecimalSeparatorDot dot;
      const std::string text = rtl::Trim(reinterpret_cast<const char*>(raw));
      if (field->DataType() == db::ftSmallint) {
        int value = 0;
        if (rtl::TryStrToInt(text, value)) Store<std::int16_t>(target, static_cast<std::int16_t>(value));
      } else {
        double value = 0;
        if (rtl::TryStrToFloat(text, value)) Store<double>(target, value);
      }
      break;
    }
    case 3: {
      if (length == 4) {
        Store<std::int32_t>(target, Load<std::int32_t>(raw) - static_cast<std::int32_t>(kJulianOfDayZero));
      } else {
        double julian = 0;
        {
          ByteTerminator end(raw + length);
          CheckXbeResult(this, XbeConvertStringToJulian(reinterpret_cast<const char*>(raw),
                                                        static_cast<std::uint16_t>(length), &julian));
        }
        Store<std::int32_t>(target, static_cast<std::int32_t>(std::trunc(julian - kJulianOfDayZero)));
      }
      break;
    }
    case 4:
    case 20: {
      auto* out = static_cast<char*>(target);
      std::memcpy(out, raw, length);
      out[length] = 0;
      for (std::uint32_t i = length; i > 0 && out[i - 1] == ' '; --i) out[i - 1] = 0;
      break;
    }
    case 9: {
      const std::string text = PackedDateToText(raw);
      double julian = 0;
      CheckXbeResult(this, XbeConvertStringToJulian(text.c_str(), 8, &julian));
      Store<std::int32_t>(target, static_cast<std::int32_t>(std::trunc(julian - kJulianOfDayZero)));
      break;
    }
    case 10:
    case 17: std::memcpy(target, raw, 8); break;
    case 11:
    case 15: std::memcpy(target, raw, 4); break;
    case 12: std::memcpy(target, raw, 2); break;
    case 13: std::memcpy(target, raw, 4); break;
    case 14: {
      const double date = Load<std::uint32_t>(raw);
      const double time = Load<std::uint32_t>(raw + 4);
      double value = (date - kJulianOfDayZero) * 86400000.0 + time;
      if (value < 0) value = 0.0;
      Store<double>(target, value);
      break;
    }
    case 16: std::memcpy(target, raw, length); break;
    case 18: {
      const db::TBcd bcd = db::CurrencyToBcd(Load<std::int64_t>(raw), 20, 4);
      std::memcpy(target, &bcd, sizeof bcd);
      break;
    }
    default: break;  // memo and binary contents come through blob streams
  }
  return false;
}

bool TXbeDataSet::IsRawValueBlank(const db::Byte* raw, std::uint32_t length, std::uint16_t t) {
  std::uint16_t tableType = 0;
  CheckXbeResult(this, XbeGetTableType(tableHandle_, &tableType));
  auto allZero = [&] {
    for (std::uint32_t i = 0; i < length; ++i)
      if (raw[i] != 0) return false;
    return true;
  };
  auto allZeroOrBlank = [&] {
    for (std::uint32_t i = 0; i < length; ++i)
      if (raw[i] != 0 && raw[i] != ' ') return false;
    return true;
  };
  if (tableType == 3) {
    switch (t) {
      case 1: return raw[0] == ' ';
      case 2: case 3: case 4: case 9: case 16: case 20: return allZero();
      case 5: case 6: case 7: case 8: return Load<std::int32_t>(raw) == 0;
      case 10: case 17: return Load<std::uint32_t>(raw) == 32 && Load<std::uint32_t>(raw + 4) == 0x80000000u;
      case 11: return Load<std::uint32_t>(raw) == 0x80000000u;
      case 12: return Load<std::uint16_t>(raw) == 0x8000u;
      case 13: case 15: return Load<std::int32_t>(raw) == -1;
      case 14: return Load<std::uint32_t>(raw) == 0;
      case 18: return Load<std::uint32_t>(raw + 4) == 0x80000000u && Load<std::uint32_t>(raw) == 0;
      default: return true;
    }
  }
  switch (t) {
    case 1: case 2: case 4: return allZeroOrBlank();
    case 3: return length == 4 ? Load<std::int32_t>(raw) == 0 : allZeroOrBlank();
    case 9: return allZero();
    case 5: case 6: case 7: case 8: return Load<std::int32_t>(raw) == 0;
    case 10: case 11: case 12: case 17: return false;
    default: return true;
  }
}

bool TXbeDataSet::IsBlobFieldBlank(db::TRecordBuffer buffer, db::TField* field, std::uint16_t t, const db::Byte* raw) {
  // Changed contents decide by their size; otherwise the record's empty marker does.
  TXbeBlobCache* cache = BlobCacheOf(buffer, field);
  if (cache != nullptr && cache->IsModified()) return cache->Size() <= 0;
  return IsRawValueBlank(raw, 0, t);
}
