// The alias file "xbe.ini" and the binding of DatabaseName to a directory.
#include <functional>

#include "engine/xbecnnct.h"
#include "platform/rtl/strutils.h"
#include "engine/xbedata.h"
#include "platform/rtl/files.h"
#include "platform/rtl/inifile.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/strutils.h"

namespace {

constexpr const char* kAliasFileName = "xbe.ini";
constexpr const char* kAliasSection = "Databases";

TXbeTableTypes TableTypeOfLetter(char letter) {
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  if (letter == 'N') return ttXbeNTX;
  if (letter == 'C') return ttXbeCDX;
  return ttXbeXDT;
}

std::uint16_t EngineTableTypeOf(TXbeTableTypes type) {
  switch (type) {
    case ttXbeCDX: return 2;
    case ttXbeNTX: return 1;
    default: return 3;
  }
}

}  // namespace

std::string XbeIniFilePath() {
  std::string exe = rtl::ExeFileName();
  const std::size_t cut = exe.rfind('\\');
  if (cut != std::string::npos) exe.resize(cut);
  const std::string beside = exe + "\\" + kAliasFileName;
  return rtl::FileExists(beside) ? beside : std::string(kAliasFileName);
}

bool ReadXbeIniAlias(const std::string& alias, std::string& path, TXbeTableTypes& tableType) {
  std::string value;
  {
    const rtl::TIniFile ini(XbeIniFilePath());
    value = ini.ReadString(kAliasSection, alias, "");
  }
  tableType = ttXbeXDT;
  const std::size_t semicolon = value.find(';');
  if (semicolon != std::string::npos) {
    if (semicolon + 1 < value.size()) tableType = TableTypeOfLetter(value[semicolon + 1]);
    value.resize(semicolon);
  }
  path = value;
  return !path.empty();
}

void TXbeDataSet::SetDatabaseName(const std::string& value) {
  if (Active()) RaiseXbeError(this, "Cannot perform this operation on an open dataset");
  if (value.empty()) {
    databaseName_.clear();
    cachedAliasPath_.clear();
    ResolveDatabasePath();  // for its effect on TableType when a connection is bound
    return;
  }
  if (TXbeConnection* connection = FindConnectionNamed(value)) {
    databaseName_ = value;
    cachedAliasPath_.clear();
    SetXbeConnection(connection);
    return;
  }
  databaseName_ = value;
  cachedAliasPath_.clear();
  if (HasPathSeparator(value)) return;
  std::string path;
  TXbeTableTypes type;
  if (ReadXbeIniAlias(value, path, type)) {
    cachedAliasPath_ = path;
    SetTableType(type);
  }
}

TXbeConnection* TXbeDataSet::FindConnectionNamed(const std::string& name) const {
  classes::TThreadList<TXbeConnection>* list = ConnectionComponentList();
  if (list == nullptr) return nullptr;
  const std::uint32_t thread = CurrentThreadIdOf();
  TXbeConnection* found = nullptr;
  std::vector<TXbeConnection*>& items = list->LockList();
  // The same owner and thread first, so that datasets of one form and thread keep to theirs.
  const auto sameName = [&](const TXbeConnection* c) { return rtl::SameText(c->Name(), name); };
  const std::function<bool(const TXbeConnection*)> passes[] = {
      [&](const TXbeConnection* c) { return sameName(c) && c->Owner() == Owner() && c->CreatorThreadId() == thread; },
      [&](const TXbeConnection* c) { return sameName(c) && c->CreatorThreadId() == thread; },
      [&](const TXbeConnection* c) { return sameName(c) && c->Owner() == Owner(); },
      [&](const TXbeConnection* c) {
        return sameName(c) || (c->Owner() != nullptr && rtl::SameText(c->Owner()->Name() + "." + c->Name(), name));
      }};
  for (const auto& pass : passes) {
    for (TXbeConnection* c : items)
      if (c != nullptr && pass(c)) {
        found = c;
        break;
      }
    if (found != nullptr) break;
  }
  list->UnlockList();
  return found;
}

void TXbeDataSet::SetXbeConnection(TXbeConnection* value) {
  if (Active()) RaiseXbeError(this, "Table must not be Active.");
  if (value != xbeConnection_) {
    if (xbeConnection_ != nullptr) xbeConnection_->UnregisterDataSet(this);
    if (value != nullptr) value->RegisterDataSet(this);
  }
  xbeConnection_ = value;
  ResolveDatabasePath();  // for its effect on TableType
}

bool TXbeDataSet::UsesConnection() const {
  if (databaseName_.empty()) return true;
  if (xbeConnection_ == nullptr) return false;
  if (rtl::SameText(databaseName_, xbeConnection_->Name())) return true;
  const classes::TComponent* owner = xbeConnection_->Owner();
  return owner != nullptr && rtl::SameText(databaseName_, owner->Name() + "." + xbeConnection_->Name());
}

std::string TXbeDataSet::ResolveDatabasePath() const {
  std::string result;
  if (!cachedAliasPath_.empty()) {
    result = cachedAliasPath_;
  } else if (UsesConnection()) {
    // The bound connection's directory; without a connection there is none.
    if (xbeConnection_ != nullptr) {
      result = xbeConnection_->GetDataDirectory();
      const std::uint8_t code = xbeConnection_->GetAliasTableType();
      if (code >= 1 && code <= 3) {
        const TXbeTableTypes type = code == 1 ? ttXbeCDX : code == 2 ? ttXbeNTX : ttXbeXDT;
        if (type != tableType_) const_cast<TXbeDataSet*>(this)->SetTableType(type);
      }
    }
  } else if (HasPathSeparator(databaseName_)) {
    result = databaseName_;
  } else {
    std::string path;
    TXbeTableTypes type;
    if (ReadXbeIniAlias(databaseName_, path, type)) {
      result = path;
      cachedAliasPath_ = path;
      if (type != tableType_) {
        tableType_ = type;
        engineTableType_ = EngineTableTypeOf(type);
      }
    } else {
      result = databaseName_;
    }
  }
  if (result.size() > 1 && IsPathSeparator(result.back())) result.pop_back();
  return result;
}

void TXbeDataSet::SetTableType(TXbeTableTypes value) {
  if (Active()) RaiseXbeError(this, "Cannot perform this operation on an open dataset");
  if (!databaseName_.empty()) {
    std::string path;
    TXbeTableTypes aliasType;
    if (!HasPathSeparator(databaseName_) && ReadXbeIniAlias(databaseName_, path, aliasType) &&
        aliasType != value)
      RaiseXbeError(this, "The table type must remain identical to the table type associated with the alias.");
  } else if (xbeConnection_ != nullptr) {
    const std::uint8_t code = xbeConnection_->GetAliasTableType();
    if ((code == 3 && value != ttXbeXDT) || (code == 2 && value != ttXbeNTX) || (code == 1 && value != ttXbeCDX))
      RaiseXbeError(this, "The table type must remain identical to the table type associated with the alias.");
  }
  tableType_ = value;
  engineTableType_ = EngineTableTypeOf(value);
}
