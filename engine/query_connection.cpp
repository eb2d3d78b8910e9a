// What the query asks of its connection component: a connected handle for its statement, the
// read-only setting, whether it is a data-dictionary connection, and the unbinding.
#include "engine/xbecnnct.h"
#include "engine/xbequery.h"

XBEHANDLE TXbeQuery::ConnectionComponentHandle() {
  TXbeConnection* connection = XbeConnection();
  if (!connection->IsConnected()) connection->SetIsConnected(true);
  return static_cast<XBEHANDLE>(connection->ConnectionHandle());
}

bool TXbeQuery::ConnectionComponentReadOnly() const {
  return XbeConnection() != nullptr && XbeConnection()->ReadOnly();
}

bool TXbeQuery::ConnectionComponentConnected() const {
  return XbeConnection() != nullptr && XbeConnection()->IsConnected();
}

bool TXbeQuery::HasDictionaryConnection() const {
  return XbeConnection() != nullptr && XbeConnection()->IsDictionaryConnection();
}

void TXbeQuery::DropConnectionComponent() { SetXbeConnection(nullptr); }
