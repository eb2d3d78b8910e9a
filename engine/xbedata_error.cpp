// The engine's result check and the layer's database error.
#include <cstring>

#include "engine/xbedata.h"
#include "platform/rtl/strutils.h"

thread_local bool BuildingEngineError = false;

namespace {

constexpr std::size_t kResultTextCapacity = 600;
constexpr std::size_t kColumnNameLimit = 900;

}  // namespace

EXBEDatabaseError::EXBEDatabaseError(const TXbeDataSet* dataSet, std::int32_t code, const std::string& text)
    : db::EDatabaseError(std::string()) {
  // An error raised while another one is being built carries nothing; the outer one wins.
  if (BuildingEngineError) return;
  BuildingEngineError = true;
  EngineCode = code;
  try {
    CollectDataSetFields(dataSet, code, text);
    ParseNativeError(text);
  } catch (...) {
    // The fields collected so far stay; the message depends only on the dataset's name.
  }
  SetMessage(DataSetName.empty() ? text : DataSetName + ": " + text);
  BuildingEngineError = false;
}

EXBEDatabaseError::~EXBEDatabaseError() { BuildingEngineError = false; }

void EXBEDatabaseError::CollectDataSetFields(const TXbeDataSet* dataSet, std::int32_t code,
                                             const std::string& text) {
  if (dataSet == nullptr) return;
  DataSetName = dataSet->Name();
  if (dataSet->Owner() != nullptr) OwnerName = dataSet->Owner()->Name();
  DataSetDatabase = dataSet->DatabaseName();
  DataSetPath = dataSet->ResolveDatabasePath();
  DataSetTable = dataSet->TableName();
  if (code >= 5147 && code <= 5149) {
    ColumnName.clear();
    const std::size_t at = text.find("column \"");
    if (at != std::string::npos) {
      std::string rest = text.substr(at + 8, kColumnNameLimit);
      const std::size_t quote = rest.find('"');
      if (quote != std::string::npos) rest.resize(quote);
      ColumnName = rest;
    }
  }
}

void EXBEDatabaseError::ParseNativeError(const std::string& text) {
  NativeCode = 0;
  const std::string upper = rtl::UpperCase(text);
  static constexpr std::string_view kMarker = "NATIVEERROR = ";
  if (upper.find("ERROR 7200:") == std::string::npos) return;
  const std::size_t at = upper.find(kMarker);
  if (at == std::string::npos) return;
  std::string part = text.substr(at + kMarker.size());
  const std::size_t semicolon = part.find(';');
  if (semicolon != std::string::npos) part.resize(semicolon);
  NativeCode = rtl::StrToInt(part);
}

void CheckXbeResult(const TXbeDataSet* dataSet, XBERESULT result) {
  if (result == 0) return;
  if (BuildingEngineError) return;
  std::uint32_t code = 0;
  char buffer[kResultTextCapacity + 1];
  std::memset(buffer, 0, sizeof buffer);
  std::uint16_t length = sizeof buffer;  // the terminating zero needs its place too
  XbeGetLastError(&code, buffer, &length);
  buffer[kResultTextCapacity] = 0;
  throw EXBEDatabaseError(dataSet, static_cast<std::int32_t>(code), std::string(buffer));
}

void RaiseXbeError(const TXbeDataSet* dataSet, const std::string& text) {
  throw EXBEDatabaseError(dataSet, kXbeLayerErrorCode, text);
}
