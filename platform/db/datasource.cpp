#include "platform/db/datasource.h"

#include <algorithm>

#include "platform/db/dataset.h"

namespace db {

TDataSource::TDataSource(classes::TComponent* owner) : classes::TComponent(owner) {}

TDataSource::~TDataSource() {
  while (!links_.empty()) links_.back()->SetDataSource(nullptr);
  SetDataSet(nullptr);
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
  if (dataSet == dataSet_) return;
  if (dataSet_) dataSet_->RemoveDataSource(this);
  dataSet_ = dataSet;
  if (dataSet_) dataSet_->AddDataSource(this);
  NotifyActiveChanged();
}

DSState TDataSource::State() const { return dataSet_ ? dataSet_->State() : DSState::Inactive; }

void TDataSource::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  NotifyActiveChanged();
}

void TDataSource::NotifyActiveChanged() {
  const std::vector<TDataLink*> links = links_;
  for (TDataLink* link : links) link->UpdateActive();
}

void TDataSource::DataEvent(DataEventKind event, std::intptr_t info) {
  if (!enabled_ && event != DataEventKind::UpdateState) return;
  const std::vector<TDataLink*> links = links_;
  for (TDataLink* link : links) link->DataEvent(event, info);
}

void TDataSource::AddLink(TDataLink* link) { links_.push_back(link); }

void TDataSource::RemoveLink(TDataLink* link) {
  links_.erase(std::remove(links_.begin(), links_.end(), link), links_.end());
}

TDataLink::~TDataLink() {
  if (dataSource_) dataSource_->RemoveLink(this);
}

void TDataLink::SetDataSource(TDataSource* source) {
  if (source == dataSource_) return;
  if (dataSource_) dataSource_->RemoveLink(this);
  dataSource_ = source;
  if (dataSource_) dataSource_->AddLink(this);
  UpdateActive();
}

TDataSet* TDataLink::DataSet() const { return dataSource_ ? dataSource_->DataSet() : nullptr; }

void TDataLink::UpdateActive() {
  const bool active = dataSource_ && dataSource_->Enabled() && dataSource_->DataSet() &&
                      dataSource_->DataSet()->Active();
  if (active != active_) {
    active_ = active;
    ActiveChanged();
  }
  const bool editing = active_ && (DataSet()->State() == DSState::Edit || DataSet()->State() == DSState::Insert ||
                                   DataSet()->State() == DSState::SetKey);
  if (editing != editing_) {
    editing_ = editing;
    EditingChanged();
  }
}

void TDataLink::DataEvent(DataEventKind event, std::intptr_t info) {
  if (event == DataEventKind::UpdateState) {
    UpdateActive();
    return;
  }
  if (!active_) return;
  switch (event) {
    case DataEventKind::FieldChange:
    case DataEventKind::RecordChange:
      RecordChanged(reinterpret_cast<TField*>(info));
      break;
    case DataEventKind::DataSetChange:
      DataSetChanged();
      break;
    case DataEventKind::DataSetScroll:
      DataSetScrolled(static_cast<int>(info));
      break;
    case DataEventKind::LayoutChange:
      LayoutChanged();
      break;
    case DataEventKind::UpdateRecord:
      UpdateData();
      break;
    case DataEventKind::CheckBrowseMode:
      CheckBrowseMode();
      break;
    default:
      break;
  }
}

bool TMasterDataLink::DetailUsable() const {
  return detail_ && detail_->Active() && !detail_->InState(classes::csDestroying);
}

void TMasterDataLink::ActiveChanged() {
  fields_.clear();
  if (Active()) {
    try {
      DataSet()->GetFieldList(fields_, fieldNames_);
    } catch (...) {
      fields_.clear();
      throw;
    }
  }
  if (!DetailUsable()) return;
  if (Active() && !fields_.empty())
    OnMasterChange.Fire();
  else
    OnMasterDisable.Fire();
}

void TMasterDataLink::SetFieldNames(const std::string& names) {
  if (names == fieldNames_) return;
  fieldNames_ = names;
  ActiveChanged();
}

void TMasterDataLink::RecordChanged(TField* field) {
  if (!DataSet() || DataSet()->State() == DSState::SetKey || !DetailUsable() || fields_.empty()) return;
  if (field && std::find(fields_.begin(), fields_.end(), field) == fields_.end()) return;
  OnMasterChange.Fire();
}

void TMasterDataLink::CheckBrowseMode() {
  if (detail_ && detail_->Active()) detail_->CheckBrowseMode();
}

}  // namespace db
