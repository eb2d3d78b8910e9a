// Master/detail links: a detail restricts itself, by a range on its active index, to the
// records whose leading key fields equal the master's current values.
#include <cstring>

#include "engine/xbedata.h"

namespace {

constexpr int kRangeStartEdited = 1;
constexpr int kRangeEndEdited = 2;

std::uint32_t BlockSize(const db::Byte* block) {
  std::uint32_t size = 0;
  std::memcpy(&size, block + 8, sizeof size);
  return size;
}

}  // namespace

void TXbeDataSet::SetMasterSource(db::TDataSource* value) {
  if (IsLinkedTo(value)) RaiseXbeError(this, "Circular Data Link");
  masterLink_->SetDataSource(value);
  if (value == nullptr) SetMasterFields(std::string());
}

void TXbeDataSet::FollowMaster() {
  CheckBrowseMode();
  SetRangeFromMaster();
  ApplyRange();
}

void TXbeDataSet::ReleaseMaster() { CancelRange(); }

void TXbeDataSet::SetRangeFromMaster() { SetRangeFromValues(masterLink_->Fields()); }

void TXbeDataSet::SetRangeFromValues(const std::vector<db::TField*>& values) {
  db::Byte* start = KeyBufferOf(kRangeStartEdited);
  const db::DSState saved = SetTempState(db::DSState::SetKey);
  try {
    ClearKeyBuffer(start);
    currentKeyBuffer_ = start;
    start[0] = 1;
    for (std::size_t i = 0; i < values.size(); ++i) AssignSegmentField(static_cast<int>(i), values[i]);
    const auto count = static_cast<std::int32_t>(values.size());
    std::memcpy(start + 4, &count, sizeof count);
  } catch (...) {
    RestoreState(saved);
    throw;
  }
  RestoreState(saved);
  std::memcpy(KeyBufferOf(kRangeEndEdited), start, BlockSize(start));
}

void TXbeDataSet::AssignSegmentField(int segment, db::TField* source) { GetSegmentField(segment)->Assign(*source); }

void TXbeDataSet::AfterOpenHook() {
  db::TDataSet::AfterOpenHook();
  // A link whose names do not resolve has no values to follow: a range built from none would
  // show only the details with blank keys.
  db::TDataSource* source = MasterSource();
  if (source != nullptr && source->DataSet() != nullptr && source->DataSet()->Active() &&
      !masterLink_->Fields().empty())
    FollowMaster();
}
