// The 850 <-> 1252 byte tables (upper halves; bytes below 0x80 map to themselves).
#pragma once

namespace rtl::detail {

extern const unsigned char kOemToAnsiHigh[128];
extern const unsigned char kAnsiToOemHigh[128];

}  // namespace rtl::detail
