// The dataset's provider support that goes through its connection component: transactions and
// statements a provider runs.
#include <memory>

#include "engine/xbecnnct.h"
#include "engine/xbequery.h"

bool TXbeDataSet::ProviderInTransaction() {
  TXbeConnection* connection = XbeConnection();
  if (connection == nullptr || !connection->IsConnected()) return false;
  return connection->GetTransactionActive();
}

void TXbeDataSet::ProviderStartTransaction() {
  if (TXbeConnection* connection = XbeConnection()) connection->BeginTransaction();
}

void TXbeDataSet::ProviderEndTransaction(bool commit) {
  TXbeConnection* connection = XbeConnection();
  if (connection == nullptr) return;
  if (commit)
    connection->Commit();
  else
    connection->Rollback();
}

int TXbeDataSet::ProviderExecuteStatement(const std::string& sql, db::TParams* params, db::TDataSet** resultSet) {
  TXbeConnection* connection = XbeConnection();
  if (connection == nullptr)
    RaiseXbeError(this,
                  "A TXbeConnection component is required for TClientDataSet/IProvider support. Use either the "
                  "XbeConnection  property or the Database property to specify a TXbeConnection instance.");
  const TXbeTableOptions& o = XbeTableOptions();
  StatementOptions options;
  options.LockType = o.EngineLockType();
  options.CharType = o.EngineCharType();
  options.Rights = o.EngineRightsChecking();
  options.TableType = EngineTableType();
  if (resultSet == nullptr) return connection->ExecuteSQLWithOptions(options, sql, params, true, nullptr);

  XBEHANDLE cursor = 0;
  const int result = connection->ExecuteSQLWithOptions(options, sql, params, true, &cursor);
  auto query = std::make_unique<TXbeQuery>(nullptr);
  // A cursor the new query cannot open is closed by that failed open; nothing is left behind.
  query->AttachCursor(cursor);
  *resultSet = query.release();
  return result;
}
