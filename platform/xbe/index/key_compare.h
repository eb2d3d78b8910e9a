// Stored index keys compared as unsigned bytes, as both index formats order them.
#pragma once
#include <bit>
#include <cstdint>
#include <cstring>

namespace xbe::index {

// The first n bytes of two keys as unsigned bytes, eight at a time (searches compare keys at
// every step): negative, 0 or positive.
inline int CompareKeyBytes(const char* a, const char* b, std::size_t n) {
  for (; n >= 8; a += 8, b += 8, n -= 8) {
    std::uint64_t x, y;
    std::memcpy(&x, a, 8);
    std::memcpy(&y, b, 8);
    if (x == y) continue;
    if constexpr (std::endian::native == std::endian::little) {
      x = __builtin_bswap64(x);
      y = __builtin_bswap64(y);
    }
    return x < y ? -1 : 1;
  }
  for (; n != 0; ++a, ++b, --n)
    if (*a != *b) return static_cast<unsigned char>(*a) < static_cast<unsigned char>(*b) ? -1 : 1;
  return 0;
}

}  // namespace xbe::index
