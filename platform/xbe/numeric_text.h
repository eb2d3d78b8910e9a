// Numeric fields stored as text, read where they lie.
#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace xbe {

// The text of a numeric field stored as text: its bytes without the blanks and zero bytes
// around them (nothing is left exactly when the field is blank).
inline std::string_view TrimmedNumericText(const char* p, std::size_t length) {
  std::size_t b = 0, e = length;
  // Leading blanks eight at a time: clearing bit 5 leaves a byte zero exactly when it is a
  // blank or a zero byte; the lowest byte left nonzero ends them.
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  while (e - b >= 8) {
    std::uint64_t x;
    std::memcpy(&x, p + b, 8);
    const std::uint64_t t = x & ~0x2020202020202020ull;
    const std::uint64_t nonBlank = (((t & kLow7) + kLow7) | t) & ~kLow7;
    if (nonBlank == 0) {
      b += 8;
      continue;
    }
    if constexpr (std::endian::native == std::endian::little) b += static_cast<std::size_t>(std::countr_zero(nonBlank)) / 8;
    break;
  }
  while (b < e && (p[b] == ' ' || p[b] == '\0')) ++b;
  while (e > b && (p[e - 1] == ' ' || p[e - 1] == '\0')) --e;
  return std::string_view(p + b, e - b);
}

}  // namespace xbe
