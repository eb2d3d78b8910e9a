// Construction, destruction, open and close, states and the buffer list.
#include <algorithm>

#include "platform/db/dataset.h"
#include "platform/db/datasource.h"
#include "platform/db/fielddefs.h"

namespace db {

TDataSet::TDataSet(classes::TComponent* owner)
    : classes::TComponent(owner), fieldDefs_(std::make_unique<TFieldDefs>(this)), fields_(this) {}

TDataSet::~TDataSet() {
  // A derived destructor should have closed through the hooks already; here the hooks are
  // gone, so only what needs none of them is released.
  if (!destroyed_) {
    Destroying();
    state_ = DSState::Inactive;
    buffers_.clear();  // the derived part that allocated them is already destroyed
    bufferCount_ = recordCount_ = 0;
    destroyed_ = true;
    while (!dataSources_.empty()) dataSources_.back()->SetDataSet(nullptr);
    DestroyFields();
  }
}

void TDataSet::DestroyDataSet() {
  if (destroyed_) return;
  Destroying();
  if (Active()) {
    try {
      CloseDataSet(false);
    } catch (...) {
      // A destructor must not raise; the cursor is closed as far as the hooks got.
    }
  }
  destroyed_ = true;
  while (!dataSources_.empty()) dataSources_.back()->SetDataSet(nullptr);
  DestroyFields();
}

void TDataSet::SetActive(bool active) {
  if (InState(classes::csReading) || InState(classes::csLoading)) {
    streamedActive_ = active;
    return;
  }
  if (active == Active()) return;
  if (active) {
    OpenDataSet();
  } else {
    CloseDataSet(!InState(classes::csDestroying));
  }
}

void TDataSet::Loaded() {
  classes::TComponent::Loaded();
  if (streamedActive_) {
    streamedActive_ = false;
    SetActive(true);
  }
}

void TDataSet::OpenDataSet() {
  BeforeOpen.Fire(this);
  StartOpen();
  SetState(DSState::Browse);
  AfterOpenHook();
  if (!IsEmpty()) DoAfterScroll();
}

void TDataSet::StartOpen() {
  defaultFields_ = fields_.Count() == 0;
  try {
    OpenTableCursor();
    bufferCount_ = LinkBufferCount();
    SetBufferListSize(bufferCount_ + 1);
    ClearBuffers();
    GetNextRecords();
    bof_ = true;
    eof_ = recordCount_ == 0;
  } catch (...) {
    state_ = DSState::Inactive;
    try {
      CloseCursor();
    } catch (...) {
      // The open's own failure is the one the caller must see.
    }
    throw;
  }
}

void TDataSet::AfterOpenHook() { AfterOpen.Fire(this); }

void TDataSet::CloseDataSet(bool withEvents) {
  if (withEvents) BeforeClose.Fire(this);
  SetState(DSState::Inactive);
  CloseCursor();
  if (withEvents) AfterClose.Fire(this);
}

void TDataSet::CloseCursor() {
  SetBufferListSize(0);
  bufferCount_ = 0;
  ClearBuffers();
  calcBuffer_ = nullptr;
  CloseTableCursor();
}

int TDataSet::LinkBufferCount() const {
  int count = 1;
  for (const TDataSource* source : dataSources_)
    for (int i = 0; i < source->LinkCount(); ++i) count = std::max(count, source->Links(i)->BufferCount());
  return count;
}

void TDataSet::SetBufferListSize(int count) {
  if (count < 0) count = 0;
  while (static_cast<int>(buffers_.size()) > count) {
    TRecordBuffer buffer = buffers_.back();
    buffers_.pop_back();
    ReleaseRecordBuffer(buffer);
  }
  while (static_cast<int>(buffers_.size()) < count) {
    // Reserve first so that the new buffer always finds its place in the list.
    buffers_.reserve(buffers_.size() + 1);
    buffers_.push_back(AllocateRecordBuffer());
  }
  const int ringSlots = std::max(0, count - 1);
  recordCount_ = std::min(recordCount_, ringSlots);
  if (activeRecord_ >= recordCount_) activeRecord_ = std::max(0, recordCount_ - 1);
  if (currentRecord_ >= recordCount_) currentRecord_ = -1;
  if (count == 0) calcBuffer_ = nullptr;
}

TRecordBuffer TDataSet::ActiveBuffer() const {
  return activeRecord_ < static_cast<int>(buffers_.size()) ? buffers_[static_cast<std::size_t>(activeRecord_)]
                                                            : nullptr;
}

TRecordBuffer TDataSet::Buffers(int index) const {
  return index >= 0 && index < static_cast<int>(buffers_.size()) ? buffers_[static_cast<std::size_t>(index)]
                                                                  : nullptr;
}

TRecordBuffer TDataSet::TempBuffer() const { return Buffers(bufferCount_); }

void TDataSet::SetState(DSState state) {
  if (state_ == state) return;
  const bool wasActive = Active();
  state_ = state;
  modified_ = false;
  DataEvent(DataEventKind::UpdateState, wasActive != Active() ? 1 : 0);
}

DSState TDataSet::SetTempState(DSState state) {
  const DSState previous = state_;
  state_ = state;
  ++tempStateDepth_;
  return previous;
}

void TDataSet::RestoreState(DSState previous) {
  state_ = previous;
  if (tempStateDepth_ > 0) --tempStateDepth_;
}

void TDataSet::CheckActive() const {
  if (state_ == DSState::Inactive) DatabaseError(kDataSetClosedText, this);
}

void TDataSet::CheckInactive() {
  if (!Active()) return;
  if (InState(classes::csUpdating) || InState(classes::csDesigning)) {
    Close();
    return;
  }
  DatabaseError(kDataSetOpenText, this);
}

void TDataSet::CheckCanModify() {
  if (!CanModifyData()) DatabaseError(kDataSetReadOnlyText, this);
}

}  // namespace db
