// The query's master: parameters that have no value of their own take the master's field of the
// same name, and an open query runs again whenever the master opens or moves. Also the provider
// operations of the query.
#include "engine/xbequery.h"
#include "platform/db/fielddefs.h"
#include "platform/db/sqltext.h"

db::TDataSet* TXbeQueryDataLink::DetailDataSet() const { return query_; }

void TXbeQueryDataLink::ActiveChanged() {
  if (query_->Active()) query_->RefreshFromMaster();
}

void TXbeQueryDataLink::RecordChanged(db::TField* field) {
  // One field of the master changing leaves the query alone; a move or a new record does not.
  if (field == nullptr && query_->Active()) query_->RefreshFromMaster();
}

void TXbeQueryDataLink::CheckBrowseMode() {
  if (query_->Active()) query_->CheckBrowseMode();
}

db::TDataSource* TXbeQuery::DataSource() const { return dataLink_ ? dataLink_->DataSource() : nullptr; }

void TXbeQuery::SetDataSource(db::TDataSource* value) {
  if (value != nullptr && IsLinkedTo(value)) RaiseXbeError(this, "Circular Data Link");
  dataLink_->SetDataSource(value);
}

void TXbeQuery::RefreshFromMaster() {
  DisableControls();
  try {
    db::TDataSource* source = DataSource();
    db::TDataSet* master = source != nullptr ? source->DataSet() : nullptr;
    if (master != nullptr && master->Active() && master->State() != db::DSState::SetKey) {
      Close();
      Open();
    }
  } catch (...) {
    EnableControls();
    throw;
  }
  EnableControls();
}

void TXbeQuery::SetParamsFromMaster() {
  db::TDataSource* source = DataSource();
  db::TDataSet* master = source != nullptr ? source->DataSet() : nullptr;
  if (master == nullptr) return;
  master->FieldDefs().Update();
  for (int i = 0; i < params_->Count(); ++i) {
    db::TParam& param = params_->Items(i);
    if (param.Bound()) continue;
    param.AssignField(master->FieldByName(param.Name()));
    // Taken anew from the master at every execution.
    param.SetBound(false);
  }
}

void TXbeQuery::GetDetailLinkFields(std::vector<db::TField*>& master, std::vector<db::TField*>& detail) {
  master.clear();
  detail.clear();
  db::TDataSource* source = DataSource();
  db::TDataSet* masterSet = source != nullptr ? source->DataSet() : nullptr;
  if (masterSet == nullptr) return;
  for (int i = 0; i < params_->Count(); ++i) {
    const std::string& name = params_->Items(i).Name();
    db::TField* masterField = masterSet->FindField(name);
    if (masterField == nullptr) continue;
    master.push_back(masterField);
    if (db::TField* detailField = FindField(name)) detail.push_back(detailField);
  }
}

std::unique_ptr<db::TIndexDef> TXbeQuery::ProviderDefaultOrder() {
  std::unique_ptr<db::TIndexDef> order = TXbeExtendedDataSet::ProviderDefaultOrder();
  if (!order) order = db::IndexDefFromOrderBy(sql_->Text());
  return order;
}

std::string TXbeQuery::ProviderTableName() { return db::TableNameFromSQL(sql_->Text()); }

void TXbeQuery::ProviderSetParams(const db::TParams& params) {
  if (params.Count() > 0) params_->Assign(params);
  Close();
}

void TXbeQuery::ProviderSetCommandText(const std::string& text) {
  if (!text.empty()) SetSQLText(text);
}
