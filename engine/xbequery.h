// The query component: a dataset over the cursor that an SQL statement of the engine returns.
// It shares everything with the table component but the way it gets its engine handle: an SQL
// statement on a connection, prepared, bound by position and executed. The statement handle is
// kept from one execution to the next.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/xbetable.h"
#include "platform/db/params.h"

class TXbeQuery;

// The query's link to the data source whose dataset gives its parameter values.
class TXbeQueryDataLink : public db::TDetailDataLink {
 public:
  explicit TXbeQueryDataLink(TXbeQuery* query) : query_(query) {}
  db::TDataSet* DetailDataSet() const override;

 protected:
  void ActiveChanged() override;
  void RecordChanged(db::TField* field) override;
  void CheckBrowseMode() override;

 private:
  TXbeQuery* query_;
};

class TXbeQuery : public TXbeExtendedDataSet {
  CLASSES_DECLARE_CLASSINFO()
  friend class TXbeQueryDataLink;

 public:
  explicit TXbeQuery(classes::TComponent* owner);
  ~TXbeQuery() override;

  // Published properties.
  classes::TStrings& SQL() { return *sql_; }
  // A different text (compared exactly) closes and unprepares the query first.
  void SetSQL(const classes::TStrings& value);
  void SetSQLText(const std::string& text);
  db::TParams& Params() { return *params_; }
  // Copies the values of the incoming parameters whose names match; the others are ignored.
  void SetParams(const db::TParams& value);
  bool ReadAllColumns() const { return readAllColumns_; }
  void SetReadAllColumns(bool value) { readAllColumns_ = value; }
  bool Constrained() const { return constrained_; }
  void SetConstrained(bool value) { constrained_ = value; }
  bool ParamCheck() const { return paramCheck_; }
  void SetParamCheck(bool value) { paramCheck_ = value; }
  bool RequestLive() const { return requestLive_; }
  void SetRequestLive(bool value) { requestLive_ = value; }
  db::TDataSource* DataSource() const;
  // Refuses a source that already leads back to this query.
  void SetDataSource(db::TDataSource* value);
  TXbeTableTypes SourceTableType() const { return TableType(); }
  void SetSourceTableType(TXbeTableTypes value) { SetTableType(value); }
  void SetTableType(TXbeTableTypes value) override;
  void SetDatabaseName(const std::string& value) override;

  // Run-time state.
  bool Prepared() const { return prepared_; }
  // Rows the last execution affected; -1 when the engine gave no count.
  std::int32_t AffectedRowCount() const { return affectedRowCount_; }
  XBEHANDLE StatementHandle() const { return statementHandle_; }
  // The stored form's "Data" block, kept only to be written back.
  const std::optional<std::vector<std::uint8_t>>& StoredStatementData() const { return storedStatementData_; }

  // Runs a statement that returns no rows; a cursor it produces anyway is closed at once.
  void ExecSQL();
  std::int32_t GetLastAutoIncValue() override;
  // The connection component went away: the statement and connection handles are forgotten.
  void ConnectionClosing() override;

  // Provider operations.
  void ProviderExecute() override { ExecSQL(); }
  std::unique_ptr<db::TIndexDef> ProviderDefaultOrder() override;
  db::TParams* ProviderParams() override { return params_.get(); }
  std::string ProviderTableName() override;
  void ProviderSetParams(const db::TParams& params) override;
  void ProviderSetCommandText(const std::string& text) override;

  void DefineProperties(classes::TFiler& filer) override;

 protected:
  XBEHANDLE OpenTable() override;
  void CloseTableCursor() override;
  std::int32_t RecordPosition() override;
  void GetDetailLinkFields(std::vector<db::TField*>& master, std::vector<db::TField*>& detail) override;
  db::TDataSource* GetDataSource() const override { return DataSource(); }

 private:
  void QueryChanged(classes::TObject* sender);
  void CloseAndUnprepare();
  void MarkPrepared();
  void MarkUnprepared();
  void EnsureStatement();
  XBEHANDLE ConnectionForStatement();
  void SetStatementOptions();
  XBEHANDLE ExecuteStatement();
  void ReadExecutionResult(XBEHANDLE cursor);
  void BindParams();
  void BindParam(std::uint16_t position, const db::TParam& param);
  // Closes the statement handle when there is one; the engine's "already closed" is no error.
  void CloseStatementHandle();
  void ReleaseStatement();
  void SetParamsFromMaster();
  void RefreshFromMaster();
  // What the query needs of a connection component.
  XBEHANDLE ConnectionComponentHandle();
  bool ConnectionComponentReadOnly() const;
  bool ConnectionComponentConnected() const;
  bool HasDictionaryConnection() const;
  void DropConnectionComponent();

  std::unique_ptr<classes::TStringList> sql_;
  bool prepared_ = false;
  bool readAllColumns_ = false;
  std::unique_ptr<db::TParams> params_;
  bool requestLive_ = false;
  bool constrained_ = false;
  bool paramCheck_ = true;
  std::unique_ptr<TXbeQueryDataLink> dataLink_;
  XBEHANDLE statementHandle_ = kNoHandle;
  XBEHANDLE implicitConnection_ = kNoHandle;
  std::int32_t affectedRowCount_ = -1;
  std::optional<std::vector<std::uint8_t>> storedStatementData_;
};
