// The data dictionary of a dictionary connection: placeholder answers until dictionaries exist.
#include "platform/xbe/api_support.h"

using namespace xbe;

namespace {
XBERESULT NoDictionary() {
  return Guarded([] { Fail(kUnsupported, "Data dictionaries are not available in this engine."); });
}
}  // namespace

extern "C" {
XBERESULT XbeDDFindFirstObject(XBEHANDLE, uint16_t, const char*, char*, uint16_t*, XBEHANDLE*) {
  return NoDictionary();
}
XBERESULT XbeDDFindNextObject(XBEHANDLE, XBEHANDLE, char*, uint16_t*) { return NoDictionary(); }
XBERESULT XbeDDFindClose(XBEHANDLE, XBEHANDLE) { return NoDictionary(); }
XBERESULT XbeDDGetTableProperty(XBEHANDLE, const char*, uint16_t, void*, uint16_t*) { return NoDictionary(); }
XBERESULT XbeDDGetUserProperty(XBEHANDLE, const char*, uint16_t, void*, uint16_t*) { return NoDictionary(); }
}
