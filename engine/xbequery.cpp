// The query component: published properties, construction and destruction, and what a change
// of the SQL text does.
#include "engine/xbequery.h"

#include "platform/classes/classbuilder.h"

const classes::TClassInfo& TXbeQuery::StaticClassInfo() {
  using T = TXbeQuery;
  static const auto info = classes::TClassInfo::Make<T, TXbeExtendedDataSet>("TXbeQuery", [](auto& c) {
    c.Object("XbeTableOptions", [](T& q) -> TXbeTableOptions& { return q.XbeTableOptions(); });
    c.Bool("ReadAllColumns", &T::ReadAllColumns, &T::SetReadAllColumns).Default(false);
    c.Bool("Constrained", &T::Constrained, &T::SetConstrained).Default(false);
    c.Component("DataSource", &T::DataSource, &T::SetDataSource);
    c.Bool("ParamCheck", &T::ParamCheck, &T::SetParamCheck).Default(true);
    // The parameters travel as "ParamData".
    c.Object("Params", [](T& q) -> db::TParams& { return q.Params(); }).Stored(false);
    c.Bool("RequestLive", &T::RequestLive, &T::SetRequestLive).Default(false);
    c.Object("SQL", [](T& q) -> classes::TStrings& { return q.SQL(); });
    c.Enum("SourceTableType", &T::SourceTableType, &T::SetSourceTableType,
           {"ttXbeCDX", "ttXbeNTX", "ttXbeXDT", "ttXbeDefault"})
        .Default(ttXbeXDT);
  });
  return info;
}

TXbeQuery::TXbeQuery(classes::TComponent* owner) : TXbeExtendedDataSet(owner) {
  sql_ = std::make_unique<classes::TStringList>();
  params_ = std::make_unique<db::TParams>(this);
  dataLink_ = std::make_unique<TXbeQueryDataLink>(this);
  sql_->SetOnChange(classes::TNotifyEvent(this, &TXbeQuery::QueryChanged));
  prepared_ = false;
  readAllColumns_ = false;
  requestLive_ = false;
  constrained_ = false;
  paramCheck_ = true;
  statementHandle_ = kNoHandle;
  implicitConnection_ = kNoHandle;
}

TXbeQuery::~TXbeQuery() {
  Destroying();
  // The link goes first so that no master notification reaches a query being taken apart.
  dataLink_.reset();
  storedStatementData_.reset();
  const bool componentConnected = ConnectionComponentConnected();
  DestroyDataSet();
  if (statementHandle_ != kNoHandle &&
      (componentConnected || static_cast<std::int32_t>(implicitConnection_) > 0)) {
    try {
      CloseStatementHandle();
    } catch (...) {
      // A destructor cannot pass the engine's refusal on; the handle dies with the connection.
    }
  }
  statementHandle_ = kNoHandle;
  params_.reset();
  sql_.reset();
}

void TXbeQuery::SetSQL(const classes::TStrings& value) {
  if (sql_->Text() == value.Text()) return;
  CloseAndUnprepare();
  sql_->BeginUpdate();
  try {
    sql_->Assign(value);
  } catch (...) {
    sql_->EndUpdate();
    throw;
  }
  sql_->EndUpdate();
}

void TXbeQuery::SetSQLText(const std::string& text) {
  classes::TStringList lines;
  lines.SetText(text);
  SetSQL(lines);
}

void TXbeQuery::SetParams(const db::TParams& value) { params_->AssignValues(value); }

void TXbeQuery::QueryChanged(classes::TObject*) {
  const std::string text = sql_->Text();
  CheckXbeResult(this, XbeGetSQLStmtParams(text.c_str()));
  // While a stored form is read the parameters come from "ParamData" and "Data" stays.
  if (InState(classes::csReading)) return;
  CloseAndUnprepare();
  storedStatementData_.reset();
  if (paramCheck_ || InState(classes::csDesigning)) {
    db::TParams scanned(this);
    scanned.ParseSQL(text, true);
    scanned.AssignValues(*params_);
    params_->Clear();
    params_->Assign(scanned);
  }
  NotifyPropertyChanged();
}

void TXbeQuery::CloseAndUnprepare() {
  Close();
  MarkUnprepared();
}

void TXbeQuery::MarkPrepared() {
  if (TableHandle() != kNoHandle) RaiseXbeError(this, "Cannot perform this operation on an open dataset");
  affectedRowCount_ = -1;
  prepared_ = true;
}

void TXbeQuery::MarkUnprepared() {
  if (TableHandle() != kNoHandle) RaiseXbeError(this, "Cannot perform this operation on an open dataset");
  prepared_ = false;
}

void TXbeQuery::SetDatabaseName(const std::string& value) {
  const bool differs = value != DatabaseName();
  DropConnectionComponent();
  TXbeExtendedDataSet::SetDatabaseName(value);
  if (differs && implicitConnection_ != kNoHandle) {
    CheckXbeResult(this, XbeCloseSQLStatement(statementHandle_));
    implicitConnection_ = kNoHandle;
    statementHandle_ = kNoHandle;
  }
}

void TXbeQuery::SetTableType(TXbeTableTypes value) {
  if (value == ttXbeNTX && !HasDictionaryConnection())
    RaiseXbeError(this, "The TXbeQuery component does not support the NTX table type");
  TXbeExtendedDataSet::SetTableType(value);
}

void TXbeQuery::ConnectionClosing() {
  MarkUnprepared();
  statementHandle_ = kNoHandle;
  implicitConnection_ = kNoHandle;
}
