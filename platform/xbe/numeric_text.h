// Numeric fields stored as text, read where they lie.
#pragma once
#include <cstddef>
#include <string_view>

namespace xbe {

// The text of a numeric field stored as text: its bytes without the blanks and zero bytes
// around them (nothing is left exactly when the field is blank).
inline std::string_view TrimmedNumericText(const char* p, std::size_t length) {
  std::size_t b = 0, e = length;
  while (b < e && (p[b] == ' ' || p[b] == '\0')) ++b;
  while (e > b && (p[e - 1] == ' ' || p[e - 1] == '\0')) --e;
  return std::string_view(p + b, e - b);
}

}  // namespace xbe
