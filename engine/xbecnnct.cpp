// The connection component: properties, connecting and disconnecting, the bound datasets,
// renaming and transactions.
#include "engine/xbecnnct.h"

#include <algorithm>
#include <cstring>

#include "platform/classes/classbuilder.h"
#include "platform/rtl/strutils.h"

using xbecnnct::XbeConnectionError;
using xbecnnct::XbeError;

namespace {

constexpr const char* kNoConnection = "No connection to Xbase server.";

bool HoldsDictionaryName(const std::string& path) { return rtl::UpperCase(path).find(".XDD") != std::string::npos; }

std::string QualifiedName(const classes::TComponent* owner, const std::string& name) {
  return owner->Name() + "." + name;
}

}  // namespace

const classes::TClassInfo& TXbeConnection::StaticClassInfo() {
  using C = TXbeConnection;
  static const auto info = classes::TClassInfo::Make<C, classes::TComponent>("TXbeConnection", [](auto& c) {
    c.String("AliasName", &C::AliasName, &C::SetAliasName);
    c.Bool("IsConnected", &C::IsConnected, &C::SetIsConnected).Stored(&C::StoreConnected);
    c.String("ConnectPath", &C::ConnectPath, &C::SetConnectPath);
    c.String("ServerName", &C::ServerName, nullptr);
    c.Integer("ConnectionHandle", &C::ConnectionHandle, nullptr);
    c.Set("XbeServerTypes", &C::XbeServerTypes, &C::SetXbeServerTypes, {"stXBE_REMOTE", "stXBE_LOCAL", "stXBE_XIS"});
    c.Bool("LoginPrompt", &C::LoginPrompt, &C::SetLoginPrompt);
    c.String("Username", &C::Username, &C::SetUsername);
    c.String("Password", &C::Password, &C::SetPassword);
    c.Bool("MiddleTierConnection", &C::MiddleTierConnection, &C::SetMiddleTierConnection).Default(false);
    c.Bool("StoreConnected", &C::StoreConnected, &C::SetStoreConnected).Default(true);
    c.Bool("StoredProcedureConnection", &C::StoredProcedureConnection, &C::SetStoredProcedureConnection)
        .Default(false);
    c.Enum("Compression", &C::Compression, &C::SetCompression,
           {"ccXbeCompressionNotSet", "ccXbeCompressInternet", "ccXbeCompressAlways", "ccXbeCompressNever"});
    c.Bool("ReadOnly", &C::ReadOnly, &C::SetReadOnly).Default(false);
    c.Event("AfterCommit", &C::AfterCommit);
    c.Event("BeforeCommit", &C::BeforeCommit);
    c.Event("AfterRollback", &C::AfterRollback);
    c.Event("BeforeRollback", &C::BeforeRollback);
    c.Event("OnConnect", &C::OnConnect);
    c.Event("OnDisconnect", &C::OnDisconnect);
    c.Event("AfterConnect", &C::AfterConnect);
    c.Event("BeforeConnect", &C::BeforeConnect);
    c.Event("AfterDisconnect", &C::AfterDisconnect);
    c.Event("BeforeDisconnect", &C::BeforeDisconnect);
    c.Event("OnLogin", &C::OnLogin);
  });
  return info;
}

TXbeConnection::TXbeConnection(classes::TComponent* owner) : classes::TComponent(owner) {
  creatorThreadId_ = CurrentThreadIdOf();
  try {
    userGroups_ = std::make_unique<classes::TStringList>();
  } catch (const std::bad_alloc&) {
    throw rtl::Exception("Error allocating internal group list.");
  }
  userGroups_->SetDelimiter(';');
  CreateConnectionComponentList().Add(this);
}

TXbeConnection::~TXbeConnection() {
  Destroying();
  if (isConnected_) {
    // A destructor cannot raise: a dataset that fails to close stays bound to nothing, and
    // a failed disconnect goes to the design error hook when one is installed.
    for (TXbeDataSet* dataSet : connectedDataSets_) {
      try {
        dataSet->SetActive(false);
        dataSet->SendConnectionClosing();
      } catch (...) {
      }
      dataSet->ForgetXbeConnection();
    }
    connectedDataSets_.clear();
    XBERESULT result = 0;
    try {
      CloseCachedStatements();
    } catch (...) {
    }
    result = XbeDisconnect(handle_);
    try {
      DoDisconnect();
    } catch (...) {
    }
    handle_ = 0;
    isConnected_ = false;
    if (result != 0 && result != 5024 && DesignErrorHook) {
      try {
        DesignErrorHook(XbeError(result));
      } catch (...) {
      }
    }
  } else {
    for (TXbeDataSet* dataSet : connectedDataSets_) dataSet->ForgetXbeConnection();
    connectedDataSets_.clear();
  }
  if (auto* list = ConnectionComponentList()) list->Remove(this);
  userGroups_.reset();
}

// ---- alias and server path ----------------------------------------------------------------

void TXbeConnection::SetAliasName(const std::string& value) {
  if (isConnected_)
    throw XbeConnectionError("The TXbeConnection.AliasName may not be changed when IsConnected is TRUE");
  aliasValid_ = true;
  if (value.empty()) {
    aliasName_.clear();
    aliasPath_.clear();
    aliasTableType_ = 0;
    return;
  }
  std::string path;
  std::uint8_t code = 0;
  if (!ReadConnectionAlias(value, path, code)) {
    aliasValid_ = false;
    aliasName_ = value;
    aliasPath_.clear();
    aliasTableType_ = 0;
    return;
  }
  connectPath_.clear();
  aliasName_ = value;
  aliasPath_ = path;
  aliasTableType_ = code;
  dictionaryConnection_ = HoldsDictionaryName(aliasPath_);
  if (Owner() == nullptr || code == 0) return;
  const TXbeTableTypes type = code == 1 ? ttXbeCDX : code == 2 ? ttXbeNTX : ttXbeXDT;
  for (int i = 0; i < Owner()->ComponentCount(); ++i) {
    auto* dataSet = dynamic_cast<TXbeDataSet*>(Owner()->Components(i));
    if (dataSet == nullptr || dataSet->XbeConnection() != this) continue;
    if (dataSet->DatabaseName().empty() || dataSet->DatabaseName() == Name()) dataSet->SetTableType(type);
  }
}

void TXbeConnection::SetConnectPath(const std::string& value) {
  if (isConnected_)
    throw XbeConnectionError("The TXbeConnection.ConnectPath may not be changed when IsConnected is TRUE");
  connectPath_ = value;
  dictionaryConnection_ = HoldsDictionaryName(value);
  aliasName_.clear();
  aliasPath_.clear();
  aliasTableType_ = 0;
}

std::string TXbeConnection::GetDataDirectory() {
  std::string path = GetServerPath();
  const std::size_t n = path.size();
  if (n > 4 && path[n - 4] == '.' && rtl::SameText(path.substr(n - 3), "XDD")) {
    const std::size_t slash = path.rfind('/');
    const std::size_t backslash = path.rfind('\\');
    if (slash != std::string::npos)
      path.erase(slash);
    else if (backslash != std::string::npos)
      path.erase(backslash);
    else
      path = ".\\";
  }
  return path;
}

std::string TXbeConnection::ServerName() {
  if (!isConnected_) {
    if (InState(classes::csDesigning)) return std::string();
    throw XbeConnectionError("Must be connected to get Xbase server name.");
  }
  char name[256] = {};
  std::uint16_t length = 255;
  if (XBERESULT r = XbeGetServerName(handle_, name, &length)) throw XbeError(r);
  name[255] = 0;
  return std::string(name);
}

std::string TXbeConnection::GetConnectionType() {
  if (!isConnected_) return std::string();
  std::uint16_t type = 0;
  if (XBERESULT r = XbeGetConnectionType(handle_, &type)) throw XbeError(r);
  switch (type) {
    case 1: return "Local";
    case 2: return "Remote";
    case 4: return "Internet";
    default: return std::string();
  }
}

// ---- connecting -------------------------------------------------------------------------

void TXbeConnection::SetIsConnected(bool value) {
  if (value == isConnected_) return;
  if (value && InState(classes::csLoading)) {
    connectOnLoaded_ = true;
    return;
  }
  userGroupsLoaded_ = false;
  if (value)
    ConnectEngine();
  else
    DisconnectEngine();
  isConnected_ = value;
}

void TXbeConnection::ConnectEngine() {
  BeforeConnect.Fire(this);
  if (!aliasValid_) {
    SetAliasName(aliasName_);
    if (!aliasValid_) throw XbeConnectionError("TXbeConnection.AliasName is not valid");
  }
  const std::string serverPath = GetServerPath();
  if (serverPath.empty()) {
    isConnected_ = false;
    throw XbeConnectionError("Must specify connection string before getting a server connection.");
  }
  char path[255] = {};
  std::strncpy(path, serverPath.c_str(), 254);
  OpenEngineConnection(path);
  isConnected_ = true;
  if (dictionaryConnection_) {
    // A copy: refreshing may not change the list, but a handler of the table might.
    const std::vector<TXbeDataSet*> dataSets = connectedDataSets_;
    for (TXbeDataSet* dataSet : dataSets) dataSet->ReadDictionaryDefaultIndex();
  }
  AfterConnect.Fire(this);
  DoConnect();
}

void TXbeConnection::DisconnectEngine() {
  BeforeDisconnect.Fire(this);
  const std::vector<TXbeDataSet*> dataSets = connectedDataSets_;
  for (TXbeDataSet* dataSet : dataSets) {
    try {
      dataSet->SetActive(false);
    } catch (const rtl::Exception&) {
    }
    dataSet->SendConnectionClosing();
  }
  CloseCachedStatements();
  const XBERESULT result = XbeDisconnect(handle_);
  isConnected_ = false;
  handle_ = 0;
  // A transaction does not outlive its connection.
  inTransaction_ = false;
  AfterDisconnect.Fire(this);
  DoDisconnect();
  if (result != 0) throw XbeError(result);
}

void TXbeConnection::Loaded() {
  classes::TComponent::Loaded();
  if (!connectOnLoaded_ || isConnected_) return;
  connectOnLoaded_ = false;
  try {
    SetIsConnected(true);
  } catch (const rtl::Exception& e) {
    if (!InState(classes::csDesigning)) throw;
    if (DesignErrorHook) DesignErrorHook(e);
  }
}

// ---- bound datasets ---------------------------------------------------------------------

void TXbeConnection::UnregisterDataSet(TXbeDataSet* dataSet) {
  auto it = std::find(connectedDataSets_.begin(), connectedDataSets_.end(), dataSet);
  if (it != connectedDataSets_.end()) connectedDataSets_.erase(it);
}

void TXbeConnection::SetName(const std::string& name) {
  const std::string oldName = Name();
  classes::TComponent::SetName(name);
  if (Owner() == nullptr || !DataSetComponentListExists()) return;
  std::vector<TXbeDataSet*>& dataSets = LockDataSetComponentList();
  try {
    const std::string oldQualified = QualifiedName(Owner(), oldName);
    const std::string newQualified = QualifiedName(Owner(), name);
    // A copy: a dataset's DatabaseName setter does not change the list, but stay safe.
    const std::vector<TXbeDataSet*> items = dataSets;
    for (TXbeDataSet* d : items) {
      if (d == nullptr) continue;
      const bool free = d->XbeConnection() == nullptr || d->XbeConnection() == this;
      if (!oldName.empty() && free) {
        if (rtl::SameText(d->DatabaseName(), oldName))
          d->SetDatabaseName(name);
        else if (rtl::SameText(d->DatabaseName(), oldQualified))
          d->SetDatabaseName(newQualified);
      }
      if (d->Owner() != nullptr && free &&
          rtl::SameText(newQualified, QualifiedName(d->Owner(), d->DatabaseName())))
        d->SetDatabaseName(name);
    }
  } catch (...) {
    UnlockDataSetComponentList();
    throw;
  }
  UnlockDataSetComponentList();
}

// ---- transactions -----------------------------------------------------------------------

void TXbeConnection::RequireConnected() const {
  if (!isConnected_) throw XbeConnectionError(kNoConnection);
}

bool TXbeConnection::GetTransactionActive() {
  RequireConnected();
  return inTransaction_;
}

void TXbeConnection::BeginTransaction() {
  RequireConnected();
  if (XBERESULT r = XbeBeginTransaction(handle_)) throw XbeError(r);
  inTransaction_ = true;
}

void TXbeConnection::Commit() {
  RequireConnected();
  DoBeforeCommit();
  CloseCachedStatements();
  if (XBERESULT r = XbeCommitTransaction(handle_)) throw XbeError(r);
  inTransaction_ = false;
  DoAfterCommit();
}

void TXbeConnection::Rollback() {
  RequireConnected();
  DoBeforeRollback();
  CloseCachedStatements();
  const std::vector<TXbeDataSet*> dataSets = connectedDataSets_;
  for (TXbeDataSet* dataSet : dataSets) dataSet->CancelWithKey();
  if (XBERESULT r = XbeRollbackTransaction(handle_)) throw XbeError(r);
  inTransaction_ = false;
  DoAfterRollback();
}
