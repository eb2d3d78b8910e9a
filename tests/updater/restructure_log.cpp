#include "restructure_log.h"

// The linker routes the engine layer's calls of XbeRestructureTable here (--wrap).
extern "C" XBERESULT __real_XbeRestructureTable(XBEHANDLE connection, const char* name, const char* alias,
                                                uint16_t tableType, uint16_t charType, uint16_t lockType,
                                                uint16_t rightsChecking, const char* addFields,
                                                const char* deleteFields, const char* changeFields);

namespace updatertest {

std::vector<std::string>& Events() {
  static std::vector<std::string> events;
  return events;
}

namespace {

std::string BaseName(const std::string& path) {
  const auto at = path.find_last_of("\\/");
  return at == std::string::npos ? path : path.substr(at + 1);
}

std::string Text(const char* s) { return s ? s : "<null>"; }

}  // namespace

XBERESULT EngineRestructure(XBEHANDLE connection, const char* name, const char* addFields,
                            const char* deleteFields, const char* changeFields) {
  return __real_XbeRestructureTable(connection, name, nullptr, XBE_NTX, XBE_OEM, XBE_COMPATIBLE_LOCKING,
                                    XBE_IGNORE_RIGHTS, addFields, deleteFields, changeFields);
}

}  // namespace updatertest

extern "C" XBERESULT __wrap_XbeRestructureTable(XBEHANDLE connection, const char* name, const char* alias,
                                                uint16_t tableType, uint16_t charType, uint16_t lockType,
                                                uint16_t rightsChecking, const char* addFields,
                                                const char* deleteFields, const char* changeFields) {
  std::string event = "add " + updatertest::BaseName(updatertest::Text(name)) + " " + updatertest::Text(addFields);
  // The updater only ever adds: anything in the other lists shows up in the event.
  if (updatertest::Text(deleteFields) != "" || updatertest::Text(changeFields) != "")
    event += " delete=" + updatertest::Text(deleteFields) + " change=" + updatertest::Text(changeFields);
  updatertest::Events().push_back(event);
  return __real_XbeRestructureTable(connection, name, alias, tableType, charType, lockType, rightsChecking,
                                    addFields, deleteFields, changeFields);
}
