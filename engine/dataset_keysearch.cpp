// The active index as key searches and the framework see it: its segments and their fields,
// and the tests that tell whether an index may serve a seek.
#include <cstring>

#include "engine/xbedata.h"

namespace {

constexpr std::uint16_t kScopeBufferLength = 4082;
constexpr std::uint16_t kConditionProbeLength = 10;
constexpr XBERESULT kBufferTooSmall = 5005;
constexpr XBERESULT kNotCustom = 5017;
constexpr XBERESULT kNoScope = 5038;

}  // namespace

std::uint16_t TXbeDataSet::GetSegmentFieldNum(int segment) {
  if (activeHandle_ == tableHandle_ || activeHandle_ == kNoHandle)
    RaiseXbeError(this, "Internal Error: GetSegmentFieldNum : No Active Index");
  char name[128] = {};
  std::uint16_t length = sizeof name;
  CheckXbeResult(this, XbeGetSegmentFieldname(activeHandle_, static_cast<std::uint16_t>(segment), name, &length));
  const int index = xbeFieldDefs_->IndexOfName(std::string(name, strnlen(name, sizeof name)));
  return index < 0 ? 0 : xbeFieldDefs_->GetDef(index)->FieldNumber;
}

std::uint16_t TXbeDataSet::ActiveIndexSegmentCount() {
  if (activeHandle_ == tableHandle_ || activeHandle_ == kNoHandle) return 0;
  std::uint16_t count = 0;
  CheckXbeResult(this, XbeGetNumSegments(activeHandle_, &count));
  return count;
}

bool TXbeDataSet::FieldIsIndexSegment(db::TField* field) {
  const std::uint16_t segments = ActiveIndexSegmentCount();
  if (State() == db::DSState::SetKey && segments == 0) return true;
  if (field->FieldNo() <= 0) return false;
  for (std::uint16_t i = 0; i < segments; ++i)
    if (field->FieldNo() == GetSegmentFieldNum(i)) return true;
  return false;
}

bool TXbeDataSet::ActiveIndexHasCondition() {
  if (activeHandle_ == tableHandle_ || activeHandle_ == kNoHandle) return false;
  char condition[kConditionProbeLength];
  std::uint16_t length = sizeof condition;
  const XBERESULT r = XbeGetIndexCondition(activeHandle_, condition, &length);
  if (r != kBufferTooSmall) CheckXbeResult(this, r);
  return length != 0;
}

bool TXbeDataSet::ActiveIndexIsUnique() {
  if (activeHandle_ == tableHandle_ || activeHandle_ == kNoHandle || tableType_ == ttXbeXDT) return false;
  std::uint16_t unique = 0;
  CheckXbeResult(this, XbeIsIndexUnique(activeHandle_, &unique));
  return unique == 1;
}

bool TXbeDataSet::ActiveIndexIsCustom() {
  if (activeHandle_ == tableHandle_ || activeHandle_ == kNoHandle) return false;
  std::uint16_t custom = 0;
  const XBERESULT r = XbeIsIndexCustom(activeHandle_, &custom);
  if (r == kNotCustom) return false;
  CheckXbeResult(this, r);
  return custom == 1;
}

bool TXbeDataSet::IndexUsableForSeek(XBEHANDLE index) {
  char bound[kScopeBufferLength];
  for (const std::uint16_t which : {XBE_TOP_SCOPE, XBE_BOTTOM_SCOPE}) {
    std::uint16_t length = sizeof bound;
    const XBERESULT r = XbeGetScope(index, which, bound, &length);
    if (r == kNoScope) continue;
    if (r != kBufferTooSmall) CheckXbeResult(this, r);
    if (length != 0) return false;
  }
  char condition[kConditionProbeLength];
  std::uint16_t length = sizeof condition;
  const XBERESULT r = XbeGetIndexCondition(index, condition, &length);
  if (r != kBufferTooSmall) CheckXbeResult(this, r);
  if (length != 0) return false;
  if (tableType_ != ttXbeXDT) {
    std::uint16_t unique = 0;
    CheckXbeResult(this, XbeIsIndexUnique(index, &unique));
    if (unique == 1) return false;
  }
  std::uint16_t custom = 0;
  const XBERESULT c = XbeIsIndexCustom(index, &custom);
  if (c != kNotCustom) CheckXbeResult(this, c);
  return !(c == 0 && custom == 1);
}

bool TXbeDataSet::CopyCurrentRecord(db::TRecordBuffer destination) {
  if (IsEmpty() || BookmarkFlagOf(ActiveBuffer()) != db::bfCurrent) return false;
  UpdateCursorPos();
  std::memcpy(destination, ActiveBuffer(), recordSize_);
  return true;
}
