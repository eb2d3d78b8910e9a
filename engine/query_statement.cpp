// The query's statement: created once on its connection and reused while the engine still knows
// it, given the query's options, prepared, bound, executed; the cursor it returns and the
// query's open and close hooks.
#include <cmath>

#include "engine/xbequery.h"

namespace {

constexpr XBERESULT kStatementAlreadyClosed = 5106;
constexpr XBERESULT kNoAffectedRowCount = 5117;
constexpr XBERESULT kNoKeyPosition = 5041;

// Statements know no default type of their own: it means NTX to them.
std::uint16_t StatementTableType(TXbeTableTypes type) {
  switch (type) {
    case ttXbeXDT: return XBE_XDT;
    case ttXbeCDX: return XBE_CDX;
    case ttXbeNTX:
    case ttXbeDefault: return XBE_NTX;
  }
  return XBE_NTX;
}

}  // namespace

void TXbeQuery::EnsureStatement() {
  if (statementHandle_ != kNoHandle) {
    std::uint16_t type = 0;
    if (XbeGetHandleType(statementHandle_, &type) == 0 && type == XBE_STATEMENT_HANDLE) return;
  }
  statementHandle_ = kNoHandle;
  if (DatabaseName().empty()) RaiseXbeError(this, "The DatabaseName property has not been assigned a value.");
  const XBEHANDLE connection = ConnectionForStatement();
  if (connection == 0 || connection == kNoHandle) RaiseXbeError(this, "Internal Error: invalid connection handle.");
  XBEHANDLE statement = 0;
  CheckXbeResult(this, XbeCreateSQLStatement(connection, &statement));
  statementHandle_ = statement;
}

XBEHANDLE TXbeQuery::ConnectionForStatement() {
  // A statement created on the implicit connection that the engine no longer knows leaves
  // nothing to create a new one on until the handles are released.
  if (implicitConnection_ != kNoHandle) return 0;
  if (XbeConnection() != nullptr) return ConnectionComponentHandle();
  std::string directory = ResolveDatabasePath();
  if (directory.size() == 2 && directory[1] == ':') directory += '\\';
  TDynamicConnList* connections = ImplicitConnections();
  if (connections == nullptr) return 0;
  XBEHANDLE handle = connections->FindConnection(directory);
  if (handle == 0) handle = connections->AddConnection(directory);
  implicitConnection_ = handle;
  return handle;
}

void TXbeQuery::SetStatementOptions() {
  const TXbeTableOptions& o = XbeTableOptions();
  CheckXbeResult(this, XbeStmtSetTableLockType(statementHandle_, o.EngineLockType()));
  CheckXbeResult(this, XbeStmtSetTableCharType(statementHandle_, o.EngineCharType()));
  CheckXbeResult(this, XbeStmtSetTableRights(statementHandle_, o.EngineRightsChecking()));
  CheckXbeResult(this, XbeStmtSetTableReadOnly(statementHandle_, requestLive_ ? 2 : 1));
  if (XbeConnection() != nullptr && ConnectionComponentReadOnly())
    CheckXbeResult(this, XbeStmtSetTableReadOnly(statementHandle_, 1));
  CheckXbeResult(this, XbeStmtSetTableType(statementHandle_, StatementTableType(TableType())));
  CheckXbeResult(this, XbeStmtConstrainUpdates(statementHandle_, constrained_ ? 1 : 2));
  CheckXbeResult(this, XbeStmtReadAllColumns(statementHandle_, readAllColumns_ ? 1 : 2));
}

XBEHANDLE TXbeQuery::ExecuteStatement() {
  CheckInactive();
  EnsureStatement();
  SetStatementOptions();
  MarkPrepared();
  const std::string text = sql_->Text();
  CheckXbeResult(this, XbePrepareSQL(statementHandle_, text.c_str()));
  if (DataSource() != nullptr) SetParamsFromMaster();
  BindParams();

  XBEHANDLE cursor = 0;
  try {
    CheckXbeResult(this, XbeExecuteSQL(statementHandle_, &cursor));
  } catch (const rtl::Exception& e) {
    if (e.Message().find("7209") != std::string::npos) ReleaseStatement();
    throw;
  }
  if (cursor == 0) {
    ReadExecutionResult(0);
    return kNoHandle;
  }
  try {
    ReadExecutionResult(cursor);
  } catch (...) {
    // The cursor is not handed to anyone: it must not stay open behind the query's back.
    XbeCloseTable(cursor);
    throw;
  }
  return cursor;
}

void TXbeQuery::ReadExecutionResult(XBEHANDLE cursor) {
  if (cursor != 0) {
    std::uint16_t live = 0;
    CheckXbeResult(this, XbeSqlPeekStatement(cursor, &live));
    SetReadOnlyValue(live == 0);
    if (live == 1) {
      std::uint16_t charType = 0;
      CheckXbeResult(this, XbeGetTableCharType(cursor, &charType));
      XbeTableOptions().SetXbeCharType(charType == 2 ? OEM : ANSI);
    }
  }
  std::uint32_t count = 0;
  const XBERESULT r = XbeGetRecordCount(statementHandle_, 2, &count);
  if (r == kNoAffectedRowCount) {
    affectedRowCount_ = -1;
  } else {
    CheckXbeResult(this, r);
    affectedRowCount_ = static_cast<std::int32_t>(count);
  }
}

XBEHANDLE TXbeQuery::OpenTable() {
  const XBEHANDLE cursor = ExecuteStatement();
  if (cursor == kNoHandle)
    RaiseXbeError(this,
                  "The SQL statement did not generate a cursor handle.  Use TXbeQuery.ExecSQL to execute SQL "
                  "statements that are not SELECT statements");
  try {
    const std::string directory = ResolveDatabasePath();
    for (int i = 0; i < IndexFiles().Count(); ++i) {
      const std::string file = directory + "\\" + IndexFiles().Get(i);
      XBEHANDLE orders[50] = {};
      std::uint16_t count = 50;
      CheckXbeResult(this, XbeOpenIndex(cursor, file.c_str(), orders, &count));
    }
  } catch (...) {
    XbeCloseTable(cursor);
    throw;
  }
  return cursor;
}

void TXbeQuery::ExecSQL() {
  const XBEHANDLE cursor = ExecuteStatement();
  if (cursor != kNoHandle) CheckXbeResult(this, XbeCloseTable(cursor));
}

void TXbeQuery::CloseTableCursor() {
  TXbeExtendedDataSet::CloseTableCursor();
  MarkUnprepared();
  if (InState(classes::csDesigning)) {
    CloseStatementHandle();
    statementHandle_ = kNoHandle;
    implicitConnection_ = kNoHandle;
  }
}

void TXbeQuery::CloseStatementHandle() {
  if (statementHandle_ == kNoHandle) return;
  const XBERESULT r = XbeCloseSQLStatement(statementHandle_);
  if (r != kStatementAlreadyClosed) CheckXbeResult(this, r);
}

void TXbeQuery::ReleaseStatement() {
  if (TableHandle() != kNoHandle) RaiseXbeError(this, "Cannot perform this operation on an open dataset");
  CloseStatementHandle();
  statementHandle_ = kNoHandle;
  implicitConnection_ = kNoHandle;
}

std::int32_t TXbeQuery::RecordPosition() {
  const XBEHANDLE cursor = TableHandle();
  XBEHANDLE order = 0;
  if (Sequenced()) {
    if (!IndexName().empty() || !IndexFieldNames().empty()) {
      order = ActiveHandle();
    } else if (XbeGetIndexHandle(cursor, nullptr, &order) != 0) {
      // A cursor without a current order counts by record number.
      order = 0;
    }
  }
  if (!Sequenced() || order == 0) {
    std::uint32_t number = 0;
    CheckXbeResult(this, XbeGetRecordNum(cursor, 2, &number));
    return static_cast<std::int32_t>(number);
  }
  if (SequencedLevel() == slExact) {
    std::uint32_t number = 0;
    CheckXbeResult(this, XbeGetKeyNum(order, 1, &number));
    return static_cast<std::int32_t>(number);
  }
  std::uint32_t count = 0;
  CheckXbeResult(this, XbeGetRecordCount(cursor, 2, &count));
  double fraction = 0;
  const XBERESULT r = XbeGetRelKeyPos(order, &fraction);
  if (r == kNoKeyPosition)
    fraction = 0;
  else
    CheckXbeResult(this, r);
  return static_cast<std::int32_t>(std::trunc(count * fraction));
}

std::int32_t TXbeQuery::GetLastAutoIncValue() {
  std::uint32_t value = 0;
  const XBEHANDLE handle = TableHandle() != kNoHandle ? TableHandle() : statementHandle_;
  CheckXbeResult(this, XbeGetLastAutoinc(handle, &value));
  if (value > 2147483647u) throw ERangeError("Range check error");
  return static_cast<std::int32_t>(value);
}
