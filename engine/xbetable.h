// Unit xbetable: the table component over one engine table, and the implicit connections
// that datasets without a connection component share, one per directory.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "engine/xbefunc.h"

enum TIndexCollationMismatchOptions { icmError, icmIgnore, icmReindex };

// A value outside the range of the type it must be returned in.
class ERangeError : public rtl::Exception {
 public:
  using Exception::Exception;
};

class TXbeTable : public TXbeExtendedTable {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TXbeTable(classes::TComponent* owner);

  void SetTableName(const std::string& name);
  void SetExclusive(bool value);
  void SetReadOnly(bool value);
  TIndexCollationMismatchOptions IndexCollationMismatch() const { return indexCollationMismatch_; }
  void SetIndexCollationMismatch(TIndexCollationMismatchOptions value);
  const std::string& EncryptionPassword() const { return encryptionPassword_; }
  void SetEncryptionPassword(const std::string& value) { encryptionPassword_ = value; }
  const std::string& InfoExpression() const { return infoExpression_; }
  void SetInfoExpression(const std::string& value) { infoExpression_ = value; }
  bool StoreDefs() const { return storeDefs_; }
  void SetStoreDefs(bool value) { storeDefs_ = value; }

  // Changes the structure of the closed table; each list is passed to the engine unchanged.
  void RestructureTable(const std::string& addFields, const std::string& deleteFields,
                        const std::string& changeFields);

  std::int32_t GetLastAutoIncValue() override;
  void ReadDictionaryDefaultIndex() override;

 protected:
  XBEHANDLE OpenTable() override;
  void DefinitionsChanged(classes::TObject* sender) override;
  void GetDetailLinkFields(std::vector<db::TField*>& master, std::vector<db::TField*>& detail) override;
  std::string ProviderTableName() override;
  void ProviderSetCommandText(const std::string& text) override;

 private:
  bool StoreFieldDefs() const;
  bool StoreIndexDefs() const;
  XBEHANDLE ConnectionHandleFor(const std::string& directory);
  std::string EngineTableName(const std::string& directory) const;
  bool OnDictionary() const;
  // The table type and character type that the dictionary gives its table.
  void AdoptDictionaryTableSettings(XBEHANDLE handle);

  TIndexCollationMismatchOptions indexCollationMismatch_ = icmError;
  std::string encryptionPassword_;
  std::string infoExpression_;
  bool storeDefs_ = false;
};

// One implicit connection.
class TDynamicConn {
 public:
  XBEHANDLE Handle = 0;
  std::string Path;
};

// The implicit connections of the process, in order of creation; never shrinks before its
// destruction, which disconnects every entry.
class TDynamicConnList {
 public:
  TDynamicConnList() = default;
  ~TDynamicConnList() noexcept(false);
  TDynamicConnList(const TDynamicConnList&) = delete;
  TDynamicConnList& operator=(const TDynamicConnList&) = delete;

  XBEHANDLE FindConnection(const std::string& path);
  XBEHANDLE AddConnection(const std::string& path);
  int Count();

 private:
  std::vector<std::unique_ptr<TDynamicConn>> items_;
  rtl::TCriticalSection lock_;
};

// Created at the unit's start-up, destroyed at its shut-down (program end).
TDynamicConnList* ImplicitConnections();
void InitializeXbeTableUnit();
void FinalizeXbeTableUnit();
