// The memo calls of the test double: every memo is text of memoLength bytes unless a failure
// is scripted.
#include "fake_xbe.h"

namespace fake {
std::uint32_t memoLength = 0;
}

namespace {

XBERESULT Answer(const char* name) {
  fake::E().calls.push_back(std::string(name) + "()");
  auto it = fake::E().failures.find(name);
  if (it == fake::E().failures.end()) return 0;
  fake::E().lastCode = it->second;
  fake::E().lastText = "Error " + std::to_string(it->second) + ": " + name + " failed";
  return it->second;
}

}  // namespace

extern "C" {

XBERESULT XbeGetMemoDataType(XBEHANDLE, XBEFIELD, uint16_t* type) {
  if (XBERESULT r = Answer("XbeGetMemoDataType")) return r;
  *type = 5;
  return 0;
}

XBERESULT XbeGetMemoLength(XBEHANDLE, XBEFIELD, uint32_t* length) {
  if (XBERESULT r = Answer("XbeGetMemoLength")) return r;
  *length = fake::memoLength;
  return 0;
}

XBERESULT XbeGetBinaryLength(XBEHANDLE, XBEFIELD, uint32_t* length) {
  if (XBERESULT r = Answer("XbeGetBinaryLength")) return r;
  *length = fake::memoLength;
  return 0;
}

}  // extern "C"
