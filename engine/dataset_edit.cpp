// Record editing: new records with their default values, field values in the engine's storage
// format, edit with record lock or checksum, post, delete, cancel and refresh.
#include <cmath>
#include <cstring>
#include <limits>

#include "engine/xbedata.h"
#include "platform/db/bcd.h"
#include "platform/db/datetime.h"
#include "platform/rtl/strutils.h"

namespace {

constexpr std::uint32_t kJulianOfDayZero = 1721425;
constexpr double kMsPerDay = 86400000.0;
constexpr std::uint32_t kUpdatesPermitted = 0x20;
constexpr std::uint32_t kInsertsPermitted = 0x40;
constexpr std::uint8_t kFieldUpdatePermitted = 2;
constexpr std::uint8_t kFieldInsertPermitted = 4;
constexpr XBERESULT kNoCurrentRecord = 5068;

bool IsBlobType(std::uint16_t t) { return t >= 5 && t <= 8; }
bool IsCharacterType(std::uint16_t t) { return t == 4 || t == 20; }

template <class T>
T Load(const void* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <class T>
void Store(void* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

void StoreWords(db::Byte* target, std::uint32_t first, std::uint32_t second) {
  Store(target, first);
  Store(target + 4, second);
}

// The blank value of a field: XDT tables have their own marks, other tables spaces or zeros.
void StoreBlank(db::Byte* target, std::uint16_t t, std::uint32_t length, bool xdt) {
  const auto fill = [&](db::Byte b) { std::memset(target, b, length); };
  if (xdt) {
    switch (t) {
      case 1: target[0] = ' '; return;
      case 10: case 17: StoreWords(target, 0x20, 0x80000000u); return;
      case 11: Store<std::uint32_t>(target, 0x80000000u); return;
      case 12: Store<std::uint16_t>(target, 0x8000); return;
      case 13: case 15: Store<std::uint32_t>(target, 0xFFFFFFFFu); return;
      case 14: StoreWords(target, 0, 0xFFFFFFFFu); return;
      case 18: StoreWords(target, 0, 0x80000000u); return;
      default: fill(0); return;
    }
  }
  switch (t) {
    case 5: case 6: case 7: case 8: case 9: case 10: case 11: case 12: case 17: fill(0); return;
    default: fill(' '); return;
  }
}

}  // namespace

void TextToPackedDate(db::Byte* target, const std::string& text) {
  auto number = [&](std::size_t at, std::size_t count) {
    return text.size() >= at + count ? rtl::StrToIntDef(text.substr(at, count), 0) : 0;
  };
  const int year = number(0, 4), month = number(4, 2), day = number(6, 2);
  const auto w = static_cast<std::uint16_t>((year << 1) | (month >> 3));
  target[0] = static_cast<db::Byte>(w >> 8);
  target[1] = static_cast<db::Byte>(w & 0xFF);
  target[2] = static_cast<db::Byte>(((month << 5) | day) & 0xFF);
}

void TXbeDataSet::StoreFieldValue(int ordinal, db::TFieldType type, db::TRecordBuffer buffer, const void* value) {
  const TXbeFieldDef* def = xbeFieldDefs_->GetDef(ordinal - 1);
  std::uint16_t tableType = 0;
  CheckXbeResult(this, XbeGetTableType(tableHandle_, &tableType));
  const bool xdt = tableType == 3;
  const std::uint16_t t = def->EngineType;
  const std::uint32_t length = def->Length;
  db::Byte* target = buffer + def->Offset;
  if (value == nullptr) {
    StoreBlank(target, t, length, xdt);
    return;
  }
  auto dateText = [&](std::int32_t day) {
    char text[13] = {};
    std::uint16_t textLength = sizeof text;
    CheckXbeResult(this, XbeConvertJulianToString(static_cast<double>(day) + kJulianOfDayZero, text, &textLength));
    return std::string(text, std::min<std::size_t>(textLength, std::strlen(text)));
  };
  switch (t) {
    case 1: target[0] = Load<std::int16_t>(value) != 0 ? 'T' : 'F'; break;
    case 2: {
      std::string text;
      if (type == db::ftSmallint) {
        text = std::to_string(Load<std::int16_t>(value));
      } else {
        // Through the engine's own text rounding (half away from zero) and never the host locale.
        const double v = Load<double>(value);
        if (std::isfinite(v)) text = rtl::FloatToStrFixed(v, def->Decimals);
      }
      if (text.empty() || text.size() > length || text.find_first_of("Ee") != std::string::npos)
        RaiseXbeError(this, "Numeric out of range.");
      text.insert(0, length - text.size(), ' ');
      std::memcpy(target, text.data(), length);
      break;
    }
    case 3: {
      const std::int32_t day = Load<std::int32_t>(value);
      if (length == 4) {
        Store<std::int32_t>(target, day + static_cast<std::int32_t>(kJulianOfDayZero));
        break;
      }
      const std::string text = dateText(day);
      if (text.size() > length) RaiseXbeError(this, "Something's wrong with XBE date functions");
      std::memcpy(target, text.data(), text.size());
      break;
    }
    case 4:
    case 20: {
      const char* text = static_cast<const char*>(value);
      const std::size_t size = std::min<std::size_t>(std::strlen(text), length);
      std::memset(target, size == 0 && tableType_ == ttXbeXDT ? 0 : ' ', length);
      std::memcpy(target, text, size);
      break;
    }
    case 9: TextToPackedDate(target, dateText(Load<std::int32_t>(value)).substr(0, 12)); break;
    case 10:
    case 17: std::memcpy(target, value, 8); break;
    case 11:
    case 13:
    case 15: std::memcpy(target, value, 4); break;
    case 12: std::memcpy(target, value, 2); break;
    case 14: {
      const double ms = Load<double>(value);
      const double day = std::trunc(ms / kMsPerDay);
      StoreWords(target, static_cast<std::uint32_t>(static_cast<std::int64_t>(day) + kJulianOfDayZero),
                 static_cast<std::uint32_t>(std::llround(ms - day * kMsPerDay)));
      break;
    }
    case 16: std::memcpy(target, value, length); break;
    case 18: Store<std::int64_t>(target, db::BcdToCurrency(Load<db::TBcd>(value))); break;
    default: break;  // memo and binary contents go through blob streams
  }
}

void TXbeDataSet::InitRecordDefaults(db::TRecordBuffer buffer) {
  CheckXbeResult(this, XbeClearRecordBuffer(tableHandle_, buffer, recordSize_));
  std::uint16_t fieldCount = 0;
  CheckXbeResult(this, XbeGetNumFields(tableHandle_, &fieldCount));
  for (std::uint16_t n = 1; n <= fieldCount; ++n) {
    TXbeFieldDef* def = xbeFieldDefs_->GetDef(n - 1);
    def->Changed = State() == db::DSState::Edit;
    if (def->EngineType == 15) {
      Store<std::int32_t>(buffer + def->Offset, -1);
      continue;
    }
    if (IsBlobType(def->EngineType)) continue;
    db::TField* field = FindField(def->Name);
    if (field == nullptr || field->DefaultExpression().empty()) continue;
    const std::string text = rtl::Trim(field->DefaultExpression());
    try {
      switch (def->EngineType) {
        case 1: {
          const std::string up = rtl::UpperCase(text);
          const std::int16_t yes = (up == "TRUE" || up == "T" || up == ".T." || up == "1") ? 1 : 0;
          StoreFieldValue(n, db::ftBoolean, buffer, &yes);
          break;
        }
        case 2:
        case 10:
        case 17: {
          const double v = rtl::StrToFloat(text);
          StoreFieldValue(n, db::ftFloat, buffer, &v);
          break;
        }
        case 3:
        case 9: {
          const auto day = static_cast<std::int32_t>(std::trunc(db::StrToDate(text)) + db::kDateDelta);
          StoreFieldValue(n, db::ftDate, buffer, &day);
          break;
        }
        case 4:
        case 20:
          if (text.size() >= 2 && text.front() == '\'' && text.back() == '\'') {
            const std::string inner = text.substr(1, text.size() - 2);
            StoreFieldValue(n, db::ftString, buffer, inner.c_str());
          }
          break;
        case 11:
        case 12: {
          const std::int64_t v = rtl::StrToInt64(text);
          constexpr std::int64_t kLow = std::numeric_limits<std::int32_t>::min();
          constexpr std::int64_t kHigh = std::numeric_limits<std::int32_t>::max();
          const bool outside = v <= kLow || v > kHigh ||
                               (def->EngineType == 12 && (v > 32767 || v <= -32768));
          if (outside) throw EXBEDatabaseError(this, 0, "Numeric out of range:" + text);
          if (def->EngineType == 12) {
            const auto small = static_cast<std::int16_t>(v);
            StoreFieldValue(n, db::ftSmallint, buffer, &small);
          } else {
            const auto whole = static_cast<std::int32_t>(v);
            StoreFieldValue(n, db::ftInteger, buffer, &whole);
          }
          break;
        }
        case 13: {
          const double fraction = db::StrToTime(text);
          const auto ms = static_cast<std::int32_t>(std::llround((fraction - std::floor(fraction)) * kMsPerDay));
          StoreFieldValue(n, db::ftTime, buffer, &ms);
          break;
        }
        case 14: {
          const double ms = (db::StrToDateTime(text) + db::kDateDelta) * kMsPerDay;
          StoreFieldValue(n, db::ftDateTime, buffer, &ms);
          break;
        }
        default: break;
      }
    } catch (const rtl::Exception& e) {
      throw EXBEDatabaseError(this, 0, "Error setting default field value. (" + field->DisplayName() + ")\r\n" +
                                           e.Message());
    }
    def->Changed = true;
  }
  if (BlobFieldCount() > 0 && ResetsBlobCaches()) ResetBlobCaches(buffer);
}

void TXbeDataSet::ClearCalcArea(db::TRecordBuffer buffer) {
  if (buffer != nullptr && CalcFieldsSize() > 0)
    std::memset(buffer + recordSize_, 0, static_cast<std::size_t>(CalcFieldsSize()));
}

void TXbeDataSet::WriteFieldData(db::TField* field, const void* value) {
  const db::DSState state = State();
  switch (state) {
    case db::DSState::Edit: case db::DSState::Insert: case db::DSState::SetKey: case db::DSState::CalcFields:
    case db::DSState::Filter: case db::DSState::NewValue: case db::DSState::InternalCalc:
      break;
    default:
      RaiseXbeError(this, "Dataset not in edit mode");
  }
  if (state == db::DSState::SetKey && (field->FieldNo() < 0 || !IsActiveIndexField(field)))
    db::DatabaseErrorFmt(db::kFieldNotIndexedText, field->DisplayName(), this);
  db::TRecordBuffer buffer = BufferForState();
  if (buffer == nullptr) RaiseXbeError(this, "Dataset not in edit mode");
  if (field->FieldNo() <= 0) {
    db::Byte* presence = buffer + recordSize_ + field->Offset();
    *presence = value != nullptr ? 1 : 0;
    if (value != nullptr) std::memcpy(presence + 1, value, static_cast<std::size_t>(field->DataSize()));
  } else {
    if (state == db::DSState::CalcFields) RaiseXbeError(this, "Dataset not in edit mode");
    if (field->ReadOnly() && state != db::DSState::SetKey && state != db::DSState::Filter)
      db::DatabaseErrorFmt(db::kFieldReadOnlyText, field->DisplayName(), this);
    if (field->FieldKind() != db::TFieldKind::InternalCalc) {
      TXbeFieldDef* def = xbeFieldDefs_->GetDef(field->FieldNo() - 1);
      if (state == db::DSState::Edit && (def->Permissions & kFieldUpdatePermitted) == 0)
        CheckXbeResult(this, XbeSetLastError(5054, ("Update permission not granted on this field: " + def->Name + ".").c_str()));
      if (state == db::DSState::Insert && (def->Permissions & kFieldInsertPermitted) == 0)
        CheckXbeResult(this, XbeSetLastError(5054, ("Insert permission not granted on this field: " + def->Name + ".").c_str()));
      StoreFieldValue(field->FieldNo(), field->DataType(), buffer, value);
      def->Changed = true;
    }
    if (state == db::DSState::SetKey) {
      const std::uint16_t keyLength =
          field->DataType() == db::ftString && value != nullptr
              ? static_cast<std::uint16_t>(std::strlen(static_cast<const char*>(value)))
              : 1;
      std::memcpy(currentKeyBuffer_ + 12 + recordSize_ + 2 * (field->FieldNo() - 1), &keyLength, 2);
    }
  }
  if (state != db::DSState::CalcFields && state != db::DSState::Filter && state != db::DSState::NewValue)
    DataEvent(db::DataEventKind::FieldChange, reinterpret_cast<std::intptr_t>(field));
}

void TXbeDataSet::BeginInsertRecord() {
  std::memset(ActiveBuffer() + bookmarkOffset_, 0, 4);
  oldRecordBuffer_.clear();
}

void TXbeDataSet::NewRecordHook() {
  if (State() == db::DSState::Insert && (tableOpenOptions_ & kInsertsPermitted) == 0)
    CheckXbeResult(this, XbeSetLastError(5054, "Insert permission not granted on this table."));
  // New details carry their master's key.
  if (masterLink_->Active()) {
    const std::vector<db::TField*>& master = masterLink_->Fields();
    for (std::size_t i = 0; i < master.size(); ++i) AssignSegmentField(static_cast<int>(i), master[i]);
  }
  db::TDataSet::NewRecordHook();
}

void TXbeDataSet::BeginEditRecord() {
  if ((tableOpenOptions_ & kUpdatesPermitted) == 0)
    CheckXbeResult(this, XbeSetLastError(5054, "Update permission not granted on this table."));
  db::TRecordBuffer buffer = ActiveBuffer();
  const auto record = Load<std::uint32_t>(buffer + bookmarkOffset_);
  const TXbeRecordLockingModes mode = tableOptions_->XbeRecordLockingMode();
  if (!exclusive_ && mode == lmPessimistic) {
    const XBERESULT r = XbeLockRecord(tableHandle_, record);
    if (r == 5064)
      throw EXBEDatabaseError(this, 5064, "This table is based on a static VIEW. Static VIEWs can not be updated.");
    CheckXbeResult(this, r);
  }
  try {
    // The engine keeps the current record's bytes as it last read them; another station may
    // have written since, and the edit must start from what is stored.
    const XBERESULT refreshed = XbeRefreshRecord(tableHandle_);
    if (refreshed != kNoCurrentRecord) CheckXbeResult(this, refreshed);
    ReadVisibleRecord(buffer, recordSize_, db::GetMode::Current);
    if (!exclusive_ && mode == lmOptimistic) CheckXbeResult(this, XbeGetRecordCRC(tableHandle_, &savedRecordCRC_, 0));
  } catch (...) {
    // A failed start leaves no lock behind: the framework stays in browse mode.
    if (!exclusive_ && mode == lmPessimistic) XbeUnlockRecord(tableHandle_, record);
    throw;
  }
  oldRecordBuffer_.assign(buffer, buffer + recordSize_);
  oldRecordBuffer_.push_back(0);
  std::uint16_t fieldCount = 0;
  CheckXbeResult(this, XbeGetNumFields(tableHandle_, &fieldCount));
  for (std::uint16_t i = 0; i < fieldCount; ++i) xbeFieldDefs_->GetDef(i)->Changed = false;
}

void TXbeDataSet::PostRecord() {
  const db::DSState state = State();
  if (state != db::DSState::Edit && state != db::DSState::Insert) return;
  db::TDataSet::PostRecord();
  db::TRecordBuffer buffer = ActiveBuffer();
  const bool optimistic = !exclusive_ && tableOptions_->XbeRecordLockingMode() == lmOptimistic;
  bool locked = false;
  try {
    if (state == db::DSState::Edit) {
      CheckXbeResult(this, XbeGotoRecord(tableHandle_, Load<std::uint32_t>(buffer + bookmarkOffset_)));
      if (optimistic) {
        CheckXbeResult(this, XbeLockRecord(tableHandle_, 0));
        locked = true;
        std::uint32_t crc = 0;
        CheckXbeResult(this, XbeGetRecordCRC(tableHandle_, &crc, 0));
        if (crc != savedRecordCRC_) throw EXBEDatabaseError(this, 5186, "Record was changed by another user.");
      }
    } else if (LoadInfo(buffer).bookmarkFlag != db::bfInserted) {
      CheckXbeResult(this, XbeAppendRecord(tableHandle_));
      SetBufferBookmarkFlag(buffer, db::bfInserted);
      std::uint32_t record = 0;
      CheckXbeResult(this, XbeGetRecordNum(tableHandle_, 2, &record));
      Store(buffer + bookmarkOffset_, record);
      RebindNewRecordBlobCaches(buffer, record);
    }
    std::uint16_t fieldCount = 0;
    CheckXbeResult(this, XbeGetNumFields(tableHandle_, &fieldCount));
    for (std::uint16_t n = fieldCount; n >= 1; --n) {
      const TXbeFieldDef* def = xbeFieldDefs_->GetDef(n - 1);
      if (!def->Changed || IsBlobType(def->EngineType) || def->EngineType == 15) continue;
      const db::Byte* raw = buffer + def->Offset;
      if (IsCharacterType(def->EngineType)) {
        bool blank = true;
        for (std::uint32_t i = 0; i < def->Length && blank; ++i) blank = raw[i] == ' ';
        if (blank)
          CheckXbeResult(this, XbeSetEmpty(tableHandle_, XBE_FIELD_ORDINAL(n)));
        else
          CheckXbeResult(this, XbeSetField(tableHandle_, XBE_FIELD_ORDINAL(n), raw, def->Length));
      } else {
        CheckXbeResult(this, XbeSetFieldRaw(tableHandle_, XBE_FIELD_ORDINAL(n), raw, def->Length));
      }
    }
    FlushBlobCaches(buffer);
    CheckXbeResult(this, XbeWriteRecord(tableHandle_));
    if (state == db::DSState::Edit && !exclusive_)
      CheckXbeResult(this, XbeUnlockRecord(tableHandle_, Load<std::uint32_t>(buffer + bookmarkOffset_)));
  } catch (...) {
    if (locked) XbeUnlockRecord(tableHandle_, Load<std::uint32_t>(buffer + bookmarkOffset_));
    throw;
  }
}

void TXbeDataSet::AddRecord(db::TRecordBuffer buffer, bool) {
  if (buffer != ActiveBuffer()) RaiseXbeError(this, "Unexpected error in InternalAddRecord.");
  PostRecord();
}

void TXbeDataSet::DeleteRecord() {
  try {
    CheckXbeResult(this, XbeDeleteRecord(tableHandle_));
    CheckXbeResult(this, XbeWriteRecord(tableHandle_));
  } catch (...) {
    XbeCancelUpdate(tableHandle_);
    throw;
  }
  std::uint16_t shown = 0;
  CheckXbeResult(this, XbeGetDeleted(&shown));
  if (!shown) CheckXbeResult(this, XbeSkip(activeHandle_, 1));
}

void TXbeDataSet::CancelRecord() {
  const XBERESULT r = XbeCancelUpdate(tableHandle_);
  if (r != 0 && r != 5068 && r != 5085) CheckXbeResult(this, r);
  db::TRecordBuffer buffer = ActiveBuffer();
  if (State() == db::DSState::Insert) {
    db::TRecordBuffer next = Buffers(ActiveRecord() + 1);
    if (Eof() || next == nullptr) {
      GoAfterLast();
      return;
    }
    CheckXbeResult(this, XbeGotoBookmark(tableHandle_, Load<std::uint32_t>(next + bookmarkOffset_)));
  }
  const auto record = Load<std::uint32_t>(buffer + bookmarkOffset_);
  ReadVisibleRecord(buffer, recordSize_, db::GetMode::Current);
  if (State() == db::DSState::Edit && !exclusive_ && tableOptions_->XbeRecordLockingMode() != lmOptimistic)
    CheckXbeResult(this, XbeUnlockRecord(tableHandle_, record));
}

void TXbeDataSet::RefreshRecord() {
  const XBERESULT r = XbeRefreshRecord(tableHandle_);
  if (r != 5068) CheckXbeResult(this, r);
}

bool TXbeDataSet::CanModifyData() { return canModifyTable_ && !readOnly_; }

bool TXbeDataSet::FindNextRecord(bool restart, bool forward) {
  CheckBrowseMode();
  DoBeforeScroll();
  bool found = false;
  UpdateCursorPos();
  CursorPosChanged();
  const bool filterForSearch = !Filtered();
  if (filterForSearch) ApplyEngineFilter();
  try {
    std::uint16_t atEnd = 0;
    if (forward) {
      CheckXbeResult(this, restart ? XbeGotoTop(activeHandle_) : XbeSkip(activeHandle_, 1));
      CheckXbeResult(this, XbeAtEOF(tableHandle_, &atEnd));
    } else {
      CheckXbeResult(this, restart ? XbeGotoBottom(activeHandle_) : XbeSkip(activeHandle_, -1));
      CheckXbeResult(this, XbeAtBOF(tableHandle_, &atEnd));
    }
    std::uint16_t atBof = 0, atEof = 0;
    CheckXbeResult(this, XbeAtBOF(tableHandle_, &atBof));
    CheckXbeResult(this, XbeAtEOF(tableHandle_, &atEof));
    if (!atBof && !atEof) {
      Resync({});
      found = true;
    }
  } catch (...) {
    if (filterForSearch) ClearEngineFilter();
    throw;
  }
  if (filterForSearch) ClearEngineFilter();
  if (found) DoAfterScroll();
  return found;
}
