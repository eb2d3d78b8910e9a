// Editing: edit, insert, append, post, cancel, delete and the browse-mode check.
#include "platform/db/dataset.h"

namespace db {

template <class Hook>
void TDataSet::RunWithErrorEvent(Hook&& hook, const TDataSetErrorEvent& event) {
  for (;;) {
    try {
      hook();
      return;
    } catch (EDatabaseError& error) {
      if (!event.Assigned()) throw;
      TDataAction action = TDataAction::daFail;
      event(this, error, action);
      if (action != TDataAction::daRetry) throw;
    }
  }
}

void TDataSet::CheckBrowseMode() {
  CheckActive();
  DataEvent(DataEventKind::CheckBrowseMode, 0);
  switch (state_) {
    case DSState::Edit:
    case DSState::Insert:
      DataEvent(DataEventKind::UpdateRecord, 0);
      if (modified_)
        Post();
      else
        Cancel();
      break;
    case DSState::SetKey:
      Post();
      break;
    default:
      break;
  }
}

void TDataSet::Edit() {
  if (state_ == DSState::Edit || state_ == DSState::Insert) return;
  CheckBrowseMode();
  if (IsEmpty()) {
    Insert();
    return;
  }
  CheckCanModify();
  BeforeEdit.Fire(this);
  RunWithErrorEvent(
      [this] {
        UpdateCursorPos();
        BeginEditRecord();
      },
      OnEditError);
  GetCalcFields(ActiveBuffer());
  SetState(DSState::Edit);
  DataEvent(DataEventKind::RecordChange, 0);
  AfterEdit.Fire(this);
}

void TDataSet::BeginInsertAppend() {
  CheckBrowseMode();
  CheckCanModify();
  BeforeInsert.Fire(this);
  DoBeforeScroll();
}

void TDataSet::EndInsertAppend() {
  BeginInsertRecord();
  SetState(DSState::Insert);
  try {
    NewRecordHook();
  } catch (...) {
    UpdateCursorPos();
    SetState(DSState::Browse);
    Resync({});
    throw;
  }
  modified_ = false;
  DataEvent(DataEventKind::DataSetChange, 0);
  AfterInsertHook();
  DoAfterScroll();
}

void TDataSet::Insert() {
  BeginInsertAppend();
  const bool wasEmpty = recordCount_ == 0;
  // The spare slot becomes the active one; the record that was current moves one slot on
  // (into the spare slot when the ring is full).
  MoveBuffer(recordCount_, activeRecord_);
  TRecordBuffer buffer = ActiveBuffer();
  InitRecordInfo(buffer);
  if (wasEmpty) {
    SetBufferBookmarkFlag(buffer, bfBOF);
  } else {
    // A new record is placed before the one that was current: it takes that record's bookmark.
    TBookmark previous(static_cast<std::size_t>(bookmarkSize_));
    if (bookmarkSize_ > 0) {
      CopyBookmark(buffers_[static_cast<std::size_t>(activeRecord_ + 1)], previous.data());
      SetBufferBookmark(buffer, previous.data());
    }
  }
  if (recordCount_ < bufferCount_) ++recordCount_;
  currentRecord_ = -1;
  eof_ = wasEmpty;
  bof_ = false;
  EndInsertAppend();
}

void TDataSet::Append() {
  BeginInsertAppend();
  ClearBuffers();
  TRecordBuffer buffer = buffers_[0];
  InitRecordInfo(buffer);
  SetBufferBookmarkFlag(buffer, bfEOF);
  recordCount_ = 1;
  currentRecord_ = -1;
  bof_ = false;
  // Earlier records fill the ring before the new one (none when the ring holds one record).
  while (recordCount_ < bufferCount_ && GetPriorRecord()) {
  }
  activeRecord_ = recordCount_ - 1;
  GoAfterLast();
  currentRecord_ = -1;
  eof_ = true;
  EndInsertAppend();
}

void TDataSet::Post() {
  DataEvent(DataEventKind::UpdateRecord, 0);
  if (state_ != DSState::Edit && state_ != DSState::Insert) return;
  DataEvent(DataEventKind::CheckBrowseMode, 0);
  BeforePost.Fire(this);
  RunWithErrorEvent([this] { PostRecord(); }, OnPostError);
  SetState(DSState::Browse);
  Resync({});
  AfterPost.Fire(this);
}

void TDataSet::Cancel() {
  if (state_ != DSState::Edit && state_ != DSState::Insert) return;
  DataEvent(DataEventKind::CheckBrowseMode, 0);
  BeforeCancelHook();
  const bool inserting = state_ == DSState::Insert;
  if (inserting) DoBeforeScroll();
  UpdateCursorPos();
  CancelRecord();
  SetState(DSState::Browse);
  Resync({});
  AfterCancel.Fire(this);
  if (inserting) DoAfterScroll();
}

void TDataSet::Delete() {
  CheckActive();
  if (state_ == DSState::Insert || state_ == DSState::SetKey) {
    Cancel();
    return;
  }
  if (IsEmpty()) DatabaseError(kDataSetEmptyText, this);
  CheckCanModify();
  DataEvent(DataEventKind::CheckBrowseMode, 0);
  BeforeDelete.Fire(this);
  DoBeforeScroll();
  RunWithErrorEvent(
      [this] {
        UpdateCursorPos();
        DeleteRecord();
      },
      OnDeleteError);
  SetState(DSState::Browse);
  Resync({});
  AfterDelete.Fire(this);
  DoAfterScroll();
}

void TDataSet::ClearFields() {
  if (state_ != DSState::Edit && state_ != DSState::Insert && state_ != DSState::SetKey) return;
  DataEvent(DataEventKind::CheckBrowseMode, 0);
  InitRecordDefaults(ActiveBuffer());
  if (state_ != DSState::SetKey) GetCalcFields(ActiveBuffer());
  DataEvent(DataEventKind::RecordChange, 0);
}

void TDataSet::PostRecord() {
  for (TField* field : fields_) {
    if (field->Required() && !field->ReadOnly() && field->FieldKind() == TFieldKind::Data && field->IsNull())
      DatabaseErrorFmt(kFieldRequiredText, field->DisplayName());
  }
}

void TDataSet::NewRecordHook() { OnNewRecord.Fire(this); }

void TDataSet::InitRecordInfo(TRecordBuffer buffer) {
  InitRecordDefaults(buffer);
  ClearCalcArea(buffer);
}

void TDataSet::ClearCalcArea(TRecordBuffer buffer) {
  if (buffer && calcFieldsSize_ > 0)
    std::fill(buffer + RecordSizeOf(), buffer + RecordSizeOf() + calcFieldsSize_, Byte{0});
}

}  // namespace db
