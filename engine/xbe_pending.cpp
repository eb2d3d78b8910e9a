// Binds the engine calls of xbe_pending.h weakly: the engine's own definition is taken when it
// is linked in, and a missing one reports a clear error instead of failing to link. This file
// deliberately does not include xbe.h's declarations of these names (there are none yet).
#include <cstdint>
#include <string>

typedef std::uint32_t XBERESULT;
typedef std::uint32_t XBEHANDLE;

extern "C" {
XBERESULT XbeSetLastError(std::uint32_t code, const char* text);
#define WEAK __attribute__((weak))
XBERESULT XbeOpenIndex(XBEHANDLE, const char*, XBEHANDLE*, std::uint16_t*) WEAK;
XBERESULT XbeCloseIndex(XBEHANDLE) WEAK;
XBERESULT XbeGetIndexHandle(XBEHANDLE, const char*, XBEHANDLE*) WEAK;
XBERESULT XbeGetIndexName(XBEHANDLE, char*, std::uint16_t*) WEAK;
XBERESULT XbeGetIndexFilename(XBEHANDLE, std::uint16_t, char*, std::uint16_t*) WEAK;
XBERESULT XbeGetNumSegments(XBEHANDLE, std::uint16_t*) WEAK;
XBERESULT XbeGetSegmentFieldname(XBEHANDLE, std::uint16_t, char*, std::uint16_t*) WEAK;
XBERESULT XbeIsIndexDescending(XBEHANDLE, std::uint16_t*) WEAK;
XBERESULT XbeIsIndexUnique(XBEHANDLE, std::uint16_t*) WEAK;
XBERESULT XbeIsIndexPrimaryKey(XBEHANDLE, std::uint16_t*) WEAK;
XBERESULT XbeGetIndexFlags(XBEHANDLE, std::uint32_t*) WEAK;
XBERESULT XbeGetIndexCondition(XBEHANDLE, char*, std::uint16_t*) WEAK;
XBERESULT XbeGetScope(XBEHANDLE, std::uint16_t, char*, std::uint16_t*) WEAK;
#undef WEAK
}

namespace {
constexpr std::uint32_t kLayerCode = 5121;

XBERESULT NotAvailable(const char* function) {
  const std::string text = std::string(function) + " is not available in this engine.";
  XbeSetLastError(kLayerCode, text.c_str());
  return kLayerCode;
}
}  // namespace

#define FORWARD(name, ...) return ::name ? ::name(__VA_ARGS__) : NotAvailable(#name)

namespace xbe_pending {

XBERESULT XbeOpenIndex(XBEHANDLE t, const char* f, XBEHANDLE* o, std::uint16_t* n) { FORWARD(XbeOpenIndex, t, f, o, n); }
XBERESULT XbeCloseIndex(XBEHANDLE o) { FORWARD(XbeCloseIndex, o); }
XBERESULT XbeGetIndexHandle(XBEHANDLE t, const char* n, XBEHANDLE* o) { FORWARD(XbeGetIndexHandle, t, n, o); }
XBERESULT XbeGetIndexName(XBEHANDLE o, char* n, std::uint16_t* l) { FORWARD(XbeGetIndexName, o, n, l); }
XBERESULT XbeGetIndexFilename(XBEHANDLE o, std::uint16_t opt, char* n, std::uint16_t* l) {
  FORWARD(XbeGetIndexFilename, o, opt, n, l);
}
XBERESULT XbeGetNumSegments(XBEHANDLE o, std::uint16_t* c) { FORWARD(XbeGetNumSegments, o, c); }
XBERESULT XbeGetSegmentFieldname(XBEHANDLE o, std::uint16_t s, char* n, std::uint16_t* l) {
  FORWARD(XbeGetSegmentFieldname, o, s, n, l);
}
XBERESULT XbeIsIndexDescending(XBEHANDLE o, std::uint16_t* v) { FORWARD(XbeIsIndexDescending, o, v); }
XBERESULT XbeIsIndexUnique(XBEHANDLE o, std::uint16_t* v) { FORWARD(XbeIsIndexUnique, o, v); }
XBERESULT XbeIsIndexPrimaryKey(XBEHANDLE o, std::uint16_t* v) { FORWARD(XbeIsIndexPrimaryKey, o, v); }
XBERESULT XbeGetIndexFlags(XBEHANDLE o, std::uint32_t* f) { FORWARD(XbeGetIndexFlags, o, f); }
XBERESULT XbeGetIndexCondition(XBEHANDLE o, char* c, std::uint16_t* l) { FORWARD(XbeGetIndexCondition, o, c, l); }
XBERESULT XbeGetScope(XBEHANDLE o, std::uint16_t w, char* b, std::uint16_t* l) { FORWARD(XbeGetScope, o, w, b, l); }

}  // namespace xbe_pending
