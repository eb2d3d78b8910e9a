// Key buffers and ranges: key values are edited into a buffer's record image and turned into
// engine scopes on the active index.
#include <cstring>

#include "engine/xbedata.h"
#include "platform/rtl/strutils.h"

namespace {

constexpr std::size_t kKeyHeaderSize = 12;
constexpr std::uint16_t kNotGiven = 0xFFFF;
constexpr int kRangeStartEdited = 1;
constexpr int kRangeEndEdited = 2;
constexpr int kRangeStartInForce = 3;
constexpr int kRangeEndInForce = 4;
constexpr int kSavedKeyBuffer = 5;
constexpr std::uint16_t kKeyCapacity = 4083;

std::uint32_t BlockSize(const db::Byte* block) {
  std::uint32_t size = 0;
  std::memcpy(&size, block + 8, sizeof size);
  return size;
}

std::int32_t KeyFieldCount(const db::Byte* block) {
  std::int32_t count = 0;
  std::memcpy(&count, block + 4, sizeof count);
  return count;
}

bool IsCharacterType(std::uint16_t t) { return t == 4 || t == 20; }

}  // namespace

std::string TXbeDataSet::ActiveIndexFieldNames() {
  auto fieldsOf = [&](const std::string& name) {
    const int i = indexDefs_->IndexOf(name);
    return i < 0 ? std::string() : indexDefs_->Items(i).Fields();
  };
  switch (activeIndexKind_) {
    case IndexKindNamed: return fieldsOf(indexName_);
    case IndexKindByFields: return indexFieldNames_;
    case IndexKindDefault: return fieldsOf(dictionaryDefaultIndex_);
    default: return std::string();
  }
}

bool TXbeDataSet::IsActiveIndexField(db::TField* field) {
  if (activeHandle_ == tableHandle_ || activeHandle_ == kNoHandle) return true;
  bool anySegment = false;
  for (std::uint16_t segment = 0;; ++segment) {
    char name[129] = {};
    std::uint16_t length = sizeof name;
    if (XbeGetSegmentFieldname(activeHandle_, segment, name, &length) != 0) break;
    anySegment = true;
    if (rtl::SameText(name, field->FieldName())) return true;
  }
  return !anySegment;
}

db::Byte* TXbeDataSet::KeyBufferOf(int number) const {
  if (keyBuffers_.empty()) db::DatabaseError(db::kDataSetClosedText, this);
  return keyBuffers_.at(static_cast<std::size_t>(number)).get();
}

void TXbeDataSet::ClearEditedRange() {
  ClearKeyBuffer(KeyBufferOf(kRangeStartEdited));
  ClearKeyBuffer(KeyBufferOf(kRangeEndEdited));
}

void TXbeDataSet::BeginKeyEdit(int number, bool clear) {
  if (activeHandle_ == tableHandle_) RaiseXbeError(this, "Index is not set.");
  CheckBrowseMode();
  currentKeyBuffer_ = KeyBufferOf(number);
  std::memcpy(KeyBufferOf(kSavedKeyBuffer), currentKeyBuffer_, BlockSize(currentKeyBuffer_));
  if (clear) {
    ClearKeyBuffer(currentKeyBuffer_);
    std::memset(currentKeyBuffer_ + 4, 0, 4);
  }
  SetState(db::DSState::SetKey);
  currentKeyBuffer_[0] = 1;
  SetModified(true);
  DataEvent(db::DataEventKind::DataSetChange, 0);
}

void TXbeDataSet::EndKeyEdit(bool commit) {
  DataEvent(db::DataEventKind::CheckBrowseMode, 0);
  if (commit)
    currentKeyBuffer_[0] = Modified() ? 1 : 0;
  else
    std::memcpy(currentKeyBuffer_, KeyBufferOf(kSavedKeyBuffer), BlockSize(currentKeyBuffer_));
  SetState(db::DSState::Browse);
  DataEvent(db::DataEventKind::DataSetChange, 0);
}

void TXbeDataSet::Post() {
  db::TDataSet::Post();
  if (State() == db::DSState::SetKey) EndKeyEdit(true);
}

void TXbeDataSet::Cancel() {
  db::TDataSet::Cancel();
  if (State() == db::DSState::SetKey) EndKeyEdit(false);
}

void TXbeDataSet::BuildKeyFromBuffer(int number, bool partial, void* key, std::uint16_t& keyLength) {
  const db::Byte* block = KeyBufferOf(number);
  const db::Byte* image = block + kKeyHeaderSize;
  CheckXbeResult(this, XbeInitRawKey(activeHandle_));
  for (std::uint16_t segment = 0;; ++segment) {
    char name[129] = {};
    std::uint16_t nameLength = sizeof name;
    if (XbeGetSegmentFieldname(activeHandle_, segment, name, &nameLength) != 0) break;
    const int index = xbeFieldDefs_->IndexOfName(name);
    if (index < 0) continue;
    const TXbeFieldDef* def = xbeFieldDefs_->GetDef(index);
    std::uint16_t entered = 0;
    std::memcpy(&entered, image + recordSize_ + 2 * index, 2);
    const auto field = reinterpret_cast<XBEFIELD>(name);
    if (entered == kNotGiven) {
      if (tableOptions_->XbeAutoKeyFieldCount() || KeyFieldCount(block) != 0) continue;
      CheckXbeResult(this, XbeSetEmpty(activeHandle_, field));
      continue;
    }
    const std::uint32_t length = partial && IsCharacterType(def->EngineType) ? entered : def->Length;
    if (IsCharacterType(def->EngineType))
      CheckXbeResult(this, XbeSetField(activeHandle_, field, image + def->Offset, length));
    else
      CheckXbeResult(this, XbeSetFieldRaw(activeHandle_, field, image + def->Offset, length));
  }
  CheckXbeResult(this, XbeBuildRawKey(activeHandle_, key, &keyLength));
}

bool TXbeDataSet::ApplyKeyRange() {
  if (scoped_) RaiseXbeError(this, "Cannot set range on table when there is an active scope.");
  const std::size_t compared = recordSize_ + kKeyHeaderSize;
  if (std::memcmp(KeyBufferOf(kRangeStartEdited), KeyBufferOf(kRangeStartInForce), compared) == 0 &&
      std::memcmp(KeyBufferOf(kRangeEndEdited), KeyBufferOf(kRangeEndInForce), compared) == 0)
    return false;
  std::uint16_t orderKeyLength = 0;
  CheckXbeResult(this, XbeGetKeyLength(activeHandle_, &orderKeyLength));
  const struct {
    int edited, inForce;
    std::uint16_t which;
  } bounds[] = {{kRangeStartEdited, kRangeStartInForce, XBE_TOP_SCOPE},
                {kRangeEndEdited, kRangeEndInForce, XBE_BOTTOM_SCOPE}};
  for (const auto& bound : bounds) {
    db::Byte* block = KeyBufferOf(bound.edited);
    if (!block[0]) continue;
    char key[kKeyCapacity] = {};
    std::uint16_t keyLength = kKeyCapacity;
    BuildKeyFromBuffer(bound.edited, false, key, keyLength);
    CheckXbeResult(this, XbeSetScope(activeHandle_, bound.which, key, keyLength, XBE_RAW_KEY));
    std::memcpy(KeyBufferOf(bound.inForce), block, BlockSize(block));
  }
  SetState(db::DSState::Browse);
  return true;
}

void TXbeDataSet::ApplyRange() {
  CheckBrowseMode();
  if (ApplyKeyRange()) First();
}

bool TXbeDataSet::ResetKeyRange() {
  if (scoped_) return true;
  if (!KeyBufferOf(kRangeStartInForce)[0] && !KeyBufferOf(kRangeEndInForce)[0]) return false;
  CheckXbeResult(this, XbeClearAllScopes(tableHandle_));
  std::uint16_t atEof = 0, atBof = 0;
  CheckXbeResult(this, XbeAtEOF(tableHandle_, &atEof));
  CheckXbeResult(this, XbeAtBOF(tableHandle_, &atBof));
  if (atEof && atBof) CheckXbeResult(this, XbeGotoTop(activeHandle_));
  ClearKeyBuffer(KeyBufferOf(kRangeStartInForce));
  ClearKeyBuffer(KeyBufferOf(kRangeEndInForce));
  return true;
}

void TXbeDataSet::CancelRange() {
  CheckBrowseMode();
  UpdateCursorPos();
  if (ResetKeyRange()) Resync({});
}
