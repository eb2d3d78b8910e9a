// The test double's answers for searching: seeks, filter queries, the exact flag and
// expression evaluation. Each call is logged and answers a scripted failure when one is set.
#include <cstring>
#include <string>

#include "fake_xbe.h"

namespace {

XBERESULT Logged(const std::string& call, const char* name) {
  fake::E().calls.push_back(call);
  auto it = fake::E().failures.find(name);
  if (it == fake::E().failures.end()) return 0;
  fake::E().lastCode = it->second;
  fake::E().lastText = "Error " + std::to_string(it->second) + ": " + name + " failed";
  return it->second;
}

XBERESULT Answer(XBERESULT code) {
  fake::E().lastCode = code;
  fake::E().lastText = "Error " + std::to_string(code) + ": text";
  return code;
}

}  // namespace

extern "C" {

XBERESULT XbeGetBookmark(XBEHANDLE, uint32_t* bookmark) {
  if (XBERESULT r = Logged("XbeGetBookmark()", "XbeGetBookmark")) return r;
  *bookmark = fake::E().bookmark;
  return 0;
}

XBERESULT XbeSeek(XBEHANDLE, const void*, uint16_t length, uint16_t keyType, uint16_t mode, uint16_t* found) {
  if (XBERESULT r = Logged("XbeSeek(" + std::to_string(length) + "," + std::to_string(keyType) + "," +
                               std::to_string(mode) + ")",
                           "XbeSeek"))
    return r;
  *found = fake::E().seekFinds ? 1 : 0;
  return 0;
}

XBERESULT XbeGetXOF(XBEHANDLE, char*, uint16_t*) {
  Logged("XbeGetXOF()", "XbeGetXOF");
  return Answer(fake::E().optimizedFilterSet ? 5005 : 5037);
}

XBERESULT XbeGetFilter(XBEHANDLE, char*, uint16_t*) {
  Logged("XbeGetFilter()", "XbeGetFilter");
  return Answer(fake::E().filterSet ? 5005 : 5037);
}

XBERESULT XbeGetExact22(XBEHANDLE, uint16_t* exact) {
  if (XBERESULT r = Logged("XbeGetExact22()", "XbeGetExact22")) return r;
  *exact = fake::E().exact;
  return 0;
}

XBERESULT XbeEvalLogicalExpr(XBEHANDLE, const char* expression, uint16_t* result) {
  if (XBERESULT r = Logged(std::string("XbeEvalLogicalExpr('") + expression + "')", "XbeEvalLogicalExpr")) return r;
  *result = 0;
  return 0;
}

XBERESULT XbeIsIndexCustom(XBEHANDLE, uint16_t* custom) {
  Logged("XbeIsIndexCustom()", "XbeIsIndexCustom");
  *custom = 0;
  return Answer(5017);
}

}  // extern "C"
