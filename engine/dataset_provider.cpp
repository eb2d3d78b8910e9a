// The dataset's provider support that needs no connection, the three operations the layer does
// not offer, attaching a cursor and releasing the saved old record.
#include "engine/xbedata.h"

void TXbeDataSet::ProviderReset() {
  db::TDataSet::ProviderReset();
  if (!Active()) return;
  CheckXbeResult(this, XbeGotoTop(tableHandle_));
  CursorPosChanged();
}

bool TXbeDataSet::ProviderUpdateRecord(db::UpdateKind kind, db::TDataSet* delta) {
  if (!OnUpdateRecord.Assigned()) return false;
  db::TUpdateAction action = db::TUpdateAction::uaFail;
  OnUpdateRecord(delta, kind, action);
  return action == db::TUpdateAction::uaApplied;
}

db::TUpdateStatus TXbeDataSet::UpdateStatus() {
  RaiseXbeError(this, "The method UpdateStatus in TXbeDataSet is not supported.");
}

std::int32_t TXbeDataSet::BatchMove(db::TDataSet*, std::int32_t) {
  RaiseXbeError(this, "The method BatchMove in TXbeDataSet is not supported.");
}

void TXbeDataSet::RenameTable(const std::string&) {
  RaiseXbeError(this, "The method RenameTable in TXbeDataSet is not supported.");
}

void TXbeDataSet::AttachCursor(XBEHANDLE cursor) {
  Close();
  activeHandle_ = cursor;
  if (cursor == 0 || cursor == kNoHandle) return;
  try {
    Open();
  } catch (...) {
    activeHandle_ = kNoHandle;
    throw;
  }
}

void TXbeDataSet::ReleaseOldRecord() {
  oldRecordBuffer_.clear();
  oldRecordBuffer_.shrink_to_fit();
}
