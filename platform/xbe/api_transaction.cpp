// Transactions of a connection in local mode (transaction.h).
#include "platform/xbe/api_support.h"

using namespace xbe;

namespace {

ConnectionObject& ConnectionOf(XBEHANDLE h) { return Handles().Get<ConnectionObject>(h, HandleKind::kConnection); }

Transaction& RunningTransaction(ConnectionObject& c, const char* call) {
  if (!c.transaction)
    Fail(kTransactionState, std::string("There is no transaction to ") + call + " on this connection.");
  return *c.transaction;
}

}  // namespace

extern "C" {

XBERESULT XbeBeginTransaction(XBEHANDLE connection) {
  return Guarded([&] {
    ConnectionObject& c = ConnectionOf(connection);
    if (c.transaction)
      Fail(kTransactionState, "A transaction is already running on this connection; transactions do not nest.");
    c.transaction = std::make_unique<Transaction>(c.transactionFaults);
    Handles().ForEach([&](std::uint32_t, HandleObject& o) {
      if (o.Kind() != HandleKind::kTable) return;
      auto& t = static_cast<TableObject&>(o);
      if (t.connection == connection) c.transaction->Attach(*t.table);
    });
  });
}

XBERESULT XbeCommitTransaction(XBEHANDLE connection) {
  return Guarded([&] {
    ConnectionObject& c = ConnectionOf(connection);
    RunningTransaction(c, "commit").Commit();
    c.transaction.reset();
  });
}

XBERESULT XbeRollbackTransaction(XBEHANDLE connection) {
  return Guarded([&] {
    ConnectionObject& c = ConnectionOf(connection);
    RunningTransaction(c, "roll back").Rollback();
    c.transaction.reset();
  });
}

}  // extern "C"
