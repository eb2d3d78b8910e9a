// The test double's answer to which kind of handle a statement handle is.
#include "fake_xbe.h"

extern "C" {

XBERESULT XbeGetHandleType(XBEHANDLE handle, uint16_t* type) {
  fake::E().calls.push_back("XbeGetHandleType(" + std::to_string(handle) + ")");
  if (fake::E().statements.count(handle) == 0) {
    fake::E().lastCode = 6001;
    fake::E().lastText = "Error 6001: Invalid handle " + std::to_string(handle) + ".";
    return 6001;
  }
  *type = XBE_STATEMENT_HANDLE;
  return 0;
}

}  // extern "C"
