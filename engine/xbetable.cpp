// The table component: published properties, opening the engine table and restructuring.
#include "engine/xbetable.h"

#include <cstring>

#include "engine/xbecnnct.h"
#include "platform/classes/classbuilder.h"
#include "platform/rtl/strutils.h"

const classes::TClassInfo& TXbeExtendedDataSet::StaticClassInfo() {
  static const auto info =
      classes::TClassInfo::Make<TXbeExtendedDataSet, TXbeDataSet>("TXbeExtendedDataSet", [](auto&) {});
  return info;
}

const classes::TClassInfo& TXbeExtendedTable::StaticClassInfo() {
  static const auto info =
      classes::TClassInfo::Make<TXbeExtendedTable, TXbeExtendedDataSet>("TXbeExtendedTable", [](auto&) {});
  return info;
}

const classes::TClassInfo& TXbeTable::StaticClassInfo() {
  using T = TXbeTable;
  static const auto info = classes::TClassInfo::Make<T, TXbeExtendedTable>("TXbeTable", [](auto& c) {
    c.Component("XbeConnection", &T::XbeConnection, &T::SetXbeConnection);
    c.Object("XbeTableOptions", [](T& t) -> TXbeTableOptions& { return t.XbeTableOptions(); });
    c.Object("FieldDefs", [](T& t) -> db::TFieldDefs& { return t.FieldDefs(); }).Stored(&T::StoreFieldDefs);
    c.Object("IndexDefs", [](T& t) -> db::TIndexDefs& { return t.IndexDefs(); }).Stored(&T::StoreIndexDefs);
    c.Bool("StoreDefs", &T::StoreDefs, &T::SetStoreDefs).Default(false);
    c.Object("IndexFiles", [](T& t) -> TXbeIndexFiles& { return t.IndexFiles(); });
    c.String("InfoExpression", &T::InfoExpression, &T::SetInfoExpression);
    c.Bool("Exclusive", &T::Exclusive, &T::SetExclusive).Default(false);
    c.Bool("ReadOnly", &T::ReadOnly, &T::SetReadOnly).Default(false);
    c.String("TableName", &T::TableName, &T::SetTableName);
    c.Enum("TableType", &T::TableType, &T::SetTableType, {"ttXbeCDX", "ttXbeNTX", "ttXbeXDT", "ttXbeDefault"})
        .Default(ttXbeXDT);
    c.Enum("IndexCollationMismatch", &T::IndexCollationMismatch, &T::SetIndexCollationMismatch,
           {"icmError", "icmIgnore", "icmReindex"})
        .Default(icmError);
    c.String("EncryptionPassword", &T::EncryptionPassword, &T::SetEncryptionPassword);
  });
  return info;
}

TXbeTable::TXbeTable(classes::TComponent* owner) : TXbeExtendedTable(owner) {
  SetIndexCollationMismatch(icmError);
  encryptionPassword_.clear();
}

bool TXbeTable::StoreFieldDefs() const {
  return storeDefs_ && const_cast<TXbeTable*>(this)->FieldDefs().Count() > 0;
}

bool TXbeTable::StoreIndexDefs() const {
  return storeDefs_ && const_cast<TXbeTable*>(this)->IndexDefs().Count() > 0;
}

void TXbeTable::SetTableName(const std::string& name) {
  if (Active()) RaiseXbeError(this, "Cannot perform this operation on an open dataset");
  if (!InState(classes::csReading) && name != TableName()) IndexFiles().Clear();
  SetTableNameValue(name);
  ReadDictionaryDefaultIndex();
  NotifyPropertyChanged();
}

void TXbeTable::ReadDictionaryDefaultIndex() {
  TXbeConnection* connection = XbeConnection();
  if (connection == nullptr || !connection->IsDictionaryConnection()) return;
  char buffer[201] = {};
  std::uint16_t length = 200;
  const XBERESULT result = XbeDDGetTableProperty(static_cast<XBEHANDLE>(connection->ConnectionHandle()),
                                                 TableName().c_str(), XBE_DD_TABLE_DEFAULT_INDEX, buffer, &length);
  if (result == 0) {
    SetDictionaryDefaultIndex(std::string(buffer, strnlen(buffer, 200)));
    if (IndexName() == "XBE_DEFAULT" || (IndexName().empty() && !InState(classes::csLoading))) {
      SetActiveIndexKindValue(IndexKindDefault);
      SetIndexNameValue("XBE_DEFAULT");
    }
  } else if (result == 5138) {
    if (IndexName() == "XBE_DEFAULT") SetIndexName("");
  }
}

void TXbeTable::SetExclusive(bool value) {
  CheckInactive();
  SetExclusiveValue(value);
}

void TXbeTable::SetReadOnly(bool value) {
  CheckInactive();
  SetReadOnlyValue(value);
}

void TXbeTable::SetIndexCollationMismatch(TIndexCollationMismatchOptions value) {
  if (Active()) RaiseXbeError(this, "Cannot perform this operation on an open dataset");
  indexCollationMismatch_ = value;
}

void TXbeTable::DefinitionsChanged(classes::TObject*) { storeDefs_ = true; }

bool TXbeTable::OnDictionary() const {
  return XbeConnection() != nullptr && XbeConnection()->IsDictionaryConnection();
}

std::string TXbeTable::EngineTableName(const std::string& directory) const {
  return OnDictionary() ? TableName() : directory + "\\" + TableName();
}

XBEHANDLE TXbeTable::ConnectionHandleFor(const std::string& directory) {
  if (TXbeConnection* connection = XbeConnection()) {
    if (!connection->IsConnected()) connection->SetIsConnected(true);
    const XBEHANDLE handle = static_cast<XBEHANDLE>(connection->ConnectionHandle());
    if (handle == 0) RaiseXbeError(this, "Internal Error: invalid connection handle.");
    return handle;
  }
  TDynamicConnList* connections = ImplicitConnections();
  XBEHANDLE handle = connections ? connections->FindConnection(directory) : 0;
  if (handle == 0 && connections) handle = connections->AddConnection(directory);
  if (handle == 0) RaiseXbeError(this, "Internal Error: invalid connection handle.");
  return handle;
}

XBEHANDLE TXbeTable::OpenTable() {
  if (TableName().empty()) RaiseXbeError(this, "Missing TableName property");
  std::uint32_t options = 0;
  if (Exclusive() && ReadOnly())
    options = 3;
  else if (Exclusive())
    options = 1;
  else if (ReadOnly())
    options = 2;
  if (XbeConnection() != nullptr && XbeConnection()->ReadOnly()) {
    options |= 2;
    if (!InState(classes::csDesigning)) SetReadOnlyValue(true);  // stays after the close
  }
  if (indexCollationMismatch_ == icmIgnore) options |= 512;
  if (indexCollationMismatch_ == icmReindex) options |= 256;
  const TXbeTableOptions& o = XbeTableOptions();
  const std::uint16_t lockType = o.EngineLockType();
  const std::uint16_t charType = o.EngineCharType();
  const std::uint16_t rights = o.EngineRightsChecking();

  const std::string directory = ResolveDatabasePath();
  if (directory.empty())
    RaiseXbeError(this, "One of the DatabaseName property or the XbeConnection property must have a value.");
  std::string name = EngineTableName(directory);
  const bool wasConnected = XbeConnection() == nullptr || XbeConnection()->IsConnected();
  const XBEHANDLE connection = ConnectionHandleFor(directory);
  if (!wasConnected) name = EngineTableName(directory);
  const bool dictionary = OnDictionary();

  XBEHANDLE handle = 0;
  XBERESULT result = XbeOpenTable(connection, name.c_str(), nullptr, dictionary ? 0 : EngineTableType(), charType,
                                  lockType, rights, options, &handle);
  if (result == 5132 && dictionary) {
    // Not a table of the dictionary: a free table of its directory.
    const std::string freeName = directory + "\\" + TableName();
    result = XbeOpenTable(connection, freeName.c_str(), nullptr, EngineTableType(), charType, lockType, rights,
                          options, &handle);
  }
  CheckXbeResult(this, result);
  try {
    if (dictionary) AdoptDictionaryTableSettings(handle);
    if (!encryptionPassword_.empty()) {
      std::uint16_t encrypted = 0, enabled = 0;
      CheckXbeResult(this, XbeIsTableEncrypted(handle, &encrypted));
      CheckXbeResult(this, XbeIsEncryptionEnabled(handle, &enabled));
      if (encrypted == 1 && enabled != 1)
        CheckXbeResult(this, XbeEnableEncryption(handle, encryptionPassword_.c_str()));
    }
    for (int i = 0; i < IndexFiles().Count(); ++i) {
      const std::string file = directory + "\\" + IndexFiles().Get(i);
      XBEHANDLE orders[50] = {};
      std::uint16_t count = 50;
      CheckXbeResult(this, XbeOpenIndex(handle, file.c_str(), orders, &count));
    }
  } catch (...) {
    // A handle that is not returned is closed here, whichever step failed.
    XbeCloseTable(handle);
    throw;
  }
  return handle;
}

void TXbeTable::RestructureTable(const std::string& addFields, const std::string& deleteFields,
                                 const std::string& changeFields) {
  if (Active()) RaiseXbeError(this, "Cannot perform this operation on an open dataset");
  if (TableName().empty()) RaiseXbeError(this, "Missing TableName property");
  const TXbeTableOptions& o = XbeTableOptions();
  const std::string directory = ResolveDatabasePath();
  if (directory.empty())
    RaiseXbeError(this, "One of the DatabaseName property or the XbeConnection property must have a value.");
  const std::string name = EngineTableName(directory);
  const XBEHANDLE connection = ConnectionHandleFor(directory);
  const std::uint16_t tableType = OnDictionary() ? 0 : EngineTableType();
  CheckXbeResult(this, XbeRestructureTable(connection, name.c_str(), nullptr, tableType, o.EngineCharType(),
                                           o.EngineLockType(), o.EngineRightsChecking(), addFields.c_str(),
                                           deleteFields.c_str(), changeFields.c_str()));
}

void TXbeTable::AdoptDictionaryTableSettings(XBEHANDLE handle) {
  std::uint16_t type = 0;
  CheckXbeResult(this, XbeGetTableType(handle, &type));
  SetEngineTableTypeValue(type);
  SetTableType(type == 2 ? ttXbeCDX : type == 1 ? ttXbeNTX : ttXbeXDT);
  if (TableType() == ttXbeCDX || TableType() == ttXbeNTX) {
    std::uint16_t charType = 0;
    CheckXbeResult(this, XbeGetTableCharType(handle, &charType));
    XbeTableOptions().SetXbeCharType(charType == 2 ? OEM : ANSI);
  }
}

std::int32_t TXbeTable::GetLastAutoIncValue() {
  std::uint32_t value = 0;
  CheckXbeResult(this, XbeGetLastAutoinc(TableHandle(), &value));
  if (value > 2147483647u) throw ERangeError("Range check error");
  return static_cast<std::int32_t>(value);
}

void TXbeTable::GetDetailLinkFields(std::vector<db::TField*>& master, std::vector<db::TField*>& detail) {
  master.clear();
  detail.clear();
  db::TDataSource* source = MasterSource();
  if (source == nullptr || source->DataSet() == nullptr || MasterFields().empty()) return;
  source->DataSet()->GetFieldList(master, MasterFields());
  IndexDefs().Update();
  const db::TIndexDef* def = !IndexName().empty() ? IndexDefs().Find(IndexName())
                                                  : IndexDefs().GetIndexForFields(IndexFieldNames(), false);
  if (def != nullptr) GetFieldList(detail, def->Fields());
}

std::string TXbeTable::ProviderTableName() {
  std::string name = TableName();
  if (name.size() > 4 && name[name.size() - 4] == '.') name.resize(name.size() - 4);
  return name;
}

void TXbeTable::ProviderSetCommandText(const std::string& text) {
  if (!text.empty()) SetTableName(text);
}
