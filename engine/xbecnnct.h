// Unit xbecnnct: the explicit connection component. One engine connection to a directory, a
// data-dictionary file or an alias of the alias file, shared by the datasets bound to it, with
// login, transactions, the connection's catalogue and SQL execution.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/xbedata.h"
#include "engine/xbeset.h"
#include "platform/classes/component.h"
#include "platform/classes/method.h"
#include "platform/classes/stringlist.h"
#include "platform/classes/threadlist.h"
#include "platform/db/params.h"
#include "platform/rtl/exception.h"

namespace xbecnnct {

// Built from an engine result code; the message is the engine's last error text (the code is
// not kept). Distinct from the settings unit's class of the same name.
class XbeError : public rtl::Exception {
 public:
  explicit XbeError(XBERESULT code);
};

// The component's own rule violations.
class XbeConnectionError : public rtl::Exception {
 public:
  using Exception::Exception;
};

}  // namespace xbecnnct

enum TXbeCompressionTypes { ccXbeCompressionNotSet, ccXbeCompressInternet, ccXbeCompressAlways, ccXbeCompressNever };

class TXbeConnection;
using TXbeDatabaseLoginEvent = classes::TMethod<void(TXbeConnection* connection, std::string& username,
                                                     std::string& password)>;

// One prepared statement of the cache, found by the hash and the text of its SQL.
struct TStmtInfo {
  std::int32_t Hash = 0;
  XBEHANDLE Statement = 0;
  std::string SQL;
};

// The statement settings of ExecuteSQLWithOptions, in the engine's codes.
struct StatementOptions {
  std::uint16_t LockType = 0;
  std::uint16_t CharType = 0;
  std::uint16_t Rights = 0;
  std::uint16_t TableType = 0;
};

// The cache's key: case-sensitive, over every character of a short text and a sample of a
// long one.
std::int32_t StatementTextHash(const std::string& text);

// An entry of section "Databases" of the alias file: the path and the table-type code
// (0 none, 1 CDX, 2 NTX, 3 XDT); False when the alias gives no path.
bool ReadConnectionAlias(const std::string& alias, std::string& path, std::uint8_t& typeCode);

// Called, when installed, to ask for the user name and password of a dictionary connection:
// (component name, user name, password, name read-only) -> False declines.
extern std::function<bool(const std::string&, std::string&, std::string&, bool)> LoginDialogHook;
// Called, when installed, with a failure that design mode cannot raise to anyone.
extern std::function<void(const rtl::Exception&)> DesignErrorHook;

// Every live connection component. Absent until the first one is constructed.
classes::TThreadList<TXbeConnection>* ConnectionComponentList();
// The list, created when absent (by the constructor of a connection).
classes::TThreadList<TXbeConnection>& CreateConnectionComponentList();
std::uint32_t CurrentThreadIdOf();
// Unit shut-down: frees the list.
void FinalizeXbeConnectionUnit();

class TXbeConnection : public classes::TComponent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TXbeConnection(classes::TComponent* owner);
  ~TXbeConnection() override;

  // Published properties.
  const std::string& AliasName() const { return aliasName_; }
  virtual void SetAliasName(const std::string& value);
  bool IsConnected() const { return isConnected_; }
  virtual void SetIsConnected(bool value);
  virtual std::string ConnectPath() const { return connectPath_; }
  virtual void SetConnectPath(const std::string& value);
  virtual std::string ServerName();
  virtual std::int32_t ConnectionHandle() const { return isConnected_ ? static_cast<std::int32_t>(handle_) : 0; }
  TXbeServerTypes XbeServerTypes() const { return serverTypes_; }
  void SetXbeServerTypes(TXbeServerTypes value) { serverTypes_ = value; }
  bool LoginPrompt() const { return loginPrompt_; }
  void SetLoginPrompt(bool value) { loginPrompt_ = value; }
  const std::string& Username() const { return username_; }
  void SetUsername(const std::string& value) { username_ = value; }
  const std::string& Password() const { return password_; }
  void SetPassword(const std::string& value) { password_ = value; }
  bool MiddleTierConnection() const { return middleTier_; }
  void SetMiddleTierConnection(bool value) { middleTier_ = value; }
  bool StoreConnected() const { return storeConnected_; }
  void SetStoreConnected(bool value) { storeConnected_ = value; }
  bool StoredProcedureConnection() const { return storedProcedure_; }
  void SetStoredProcedureConnection(bool value) { storedProcedure_ = value; }
  TXbeCompressionTypes Compression() const { return compression_; }
  void SetCompression(TXbeCompressionTypes value) { compression_ = value; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value) { readOnly_ = value; }

  classes::TNotifyEvent AfterCommit, BeforeCommit, AfterRollback, BeforeRollback, OnConnect, OnDisconnect,
      AfterConnect, BeforeConnect, AfterDisconnect, BeforeDisconnect;
  TXbeDatabaseLoginEvent OnLogin;

  bool AliasValid() const { return aliasValid_; }
  const std::string& AliasPath() const { return aliasPath_; }
  std::uint32_t CreatorThreadId() const { return creatorThreadId_; }

  void Connect() { SetIsConnected(true); }
  void Disconnect() { SetIsConnected(false); }
  virtual std::string GetConnectionType();
  virtual bool GetTransactionActive();
  virtual TXbeDataSet* GetDataSet(int index) const { return connectedDataSets_.at(static_cast<std::size_t>(index)); }
  virtual int GetDataSetCount() const { return static_cast<int>(connectedDataSets_.size()); }
  virtual void CloseCachedStatements();
  virtual bool IsDictionaryConnection() const { return dictionaryConnection_; }
  virtual void RegisterDataSet(TXbeDataSet* dataSet) { connectedDataSets_.push_back(dataSet); }
  virtual void UnregisterDataSet(TXbeDataSet* dataSet);
  // The directory that the connection's tables live in.
  virtual std::string GetDataDirectory();
  virtual std::string GetServerPath() const { return connectPath_.empty() ? aliasPath_ : connectPath_; }
  // 0 none, 1 CDX, 2 NTX, 3 XDT.
  virtual std::uint8_t GetAliasTableType() const { return aliasTableType_; }
  virtual void BeginTransaction();
  virtual void Commit();
  virtual void Rollback();

  // The catalogue.
  virtual classes::TStringList& GetUserGroups();
  virtual std::string GetUserGroupsText();
  virtual void LoadUserGroups();
  virtual void GetTableNames(classes::TStrings* list, const std::string& mask);
  virtual void GetTableNameLists(classes::TStrings* first, classes::TStrings* second, const std::string& mask);
  virtual void GetDictionaryObjectNames(classes::TStrings* list);
  virtual db::TDateTime GetServerTime();
  virtual std::int32_t GetActiveLinkCount();
  virtual void GetActiveLinkInfo(std::uint16_t link, classes::TStrings* list);
  virtual void CloseCachedTables();

  // SQL: the number of records the statement affected, or 0 when the caller takes a cursor.
  virtual std::int32_t ExecuteSQL(const std::string& sql, const db::TParams* params = nullptr,
                                  bool keepStatement = false, XBEHANDLE* cursor = nullptr);
  virtual std::int32_t ExecuteSQLWithOptions(const StatementOptions& options, const std::string& sql,
                                             const db::TParams* params = nullptr, bool keepStatement = false,
                                             XBEHANDLE* cursor = nullptr);
  // The prepared statements kept by KeepStatement (none until the first one).
  const std::vector<TStmtInfo>* StatementCache() const { return statementCache_.get(); }

  // Renames and keeps the datasets that name this connection in step.
  void SetName(const std::string& name) override;
  // Connects when the stored description asked for it.
  void Loaded() override;

 protected:
  virtual void DoAfterCommit() { AfterCommit.Fire(this); }
  virtual void DoBeforeCommit() { BeforeCommit.Fire(this); }
  virtual void DoAfterRollback() { AfterRollback.Fire(this); }
  virtual void DoBeforeRollback() { BeforeRollback.Fire(this); }
  virtual void DoConnect() { OnConnect.Fire(this); }
  virtual void DoDisconnect() { OnDisconnect.Fire(this); }
  virtual void OpenEngineConnection(const char* serverPath);

 private:
  void ConnectEngine();
  void DisconnectEngine();
  void RequireConnected() const;
  std::string TableSearchPattern(const std::string& mask) const;
  void SearchTables(classes::TStrings* first, classes::TStrings* second, const std::string& mask, bool twoNames);
  std::int32_t RunStatement(const StatementOptions* options, const std::string& sql, const db::TParams* params,
                            bool keepStatement, XBEHANDLE* cursor);
  XBEHANDLE PrepareStatement(const StatementOptions* options, const std::string& sql, bool keepStatement,
                             bool wantsCursor);
  // The position of the statement's entry in the cache, added (unprepared) when absent.
  std::size_t FindOrAddCachedStatement(const std::string& sql);
  void BindStatementParams(XBEHANDLE statement, const db::TParams& params);

  std::string aliasName_;
  bool aliasValid_ = true;
  bool isConnected_ = false;
  std::string connectPath_;
  bool inTransaction_ = false;
  XBEHANDLE handle_ = 0;
  std::vector<TXbeDataSet*> connectedDataSets_;
  bool connectOnLoaded_ = false;
  std::string aliasPath_;
  std::uint8_t aliasTableType_ = 0;
  bool dictionaryConnection_ = false;
  bool loginPrompt_ = true;
  std::string username_;
  std::string password_;
  TXbeServerTypes serverTypes_;
  std::unique_ptr<std::vector<TStmtInfo>> statementCache_;
  bool middleTier_ = false;
  bool storedProcedure_ = false;
  bool storeConnected_ = true;
  TXbeCompressionTypes compression_ = ccXbeCompressionNotSet;
  bool readOnly_ = false;
  std::uint32_t creatorThreadId_ = 0;
  std::unique_ptr<classes::TStringList> userGroups_;
  std::string userGroupsText_;
  bool userGroupsLoaded_ = false;
};
