// Until the connection component exists no dataset can be bound to one: the parts of the query
// and of the provider support that use a connection component see none.
#include "engine/xbequery.h"

XBEHANDLE TXbeQuery::ConnectionComponentHandle() { return 0; }
bool TXbeQuery::ConnectionComponentReadOnly() const { return false; }
bool TXbeQuery::ConnectionComponentConnected() const { return false; }
bool TXbeQuery::HasDictionaryConnection() const { return false; }
void TXbeQuery::DropConnectionComponent() { SetXbeConnectionValue(nullptr); }

bool TXbeDataSet::ProviderInTransaction() { return false; }
void TXbeDataSet::ProviderStartTransaction() {}
void TXbeDataSet::ProviderEndTransaction(bool) {}
int TXbeDataSet::ProviderExecuteStatement(const std::string&, db::TParams*, db::TDataSet**) {
  RaiseXbeError(this,
                "A TXbeConnection component is required for TClientDataSet/IProvider support. Use either the "
                "XbeConnection  property or the Database property to specify a TXbeConnection instance.");
}
