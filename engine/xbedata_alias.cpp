// The alias file "xbe.ini" and the binding of DatabaseName to a directory.
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
  // Connection components by name come with the connection unit; until then no list exists
  // and the text is a directory or an alias.
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

std::string TXbeDataSet::ResolveDatabasePath() const {
  std::string result;
  if (!cachedAliasPath_.empty()) {
    result = cachedAliasPath_;
  } else if (databaseName_.empty()) {
    // The bound connection's directory; without a connection there is none.
    result.clear();
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
  }
  tableType_ = value;
  engineTableType_ = EngineTableTypeOf(value);
}
