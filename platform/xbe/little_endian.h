// Numbers of the engine's own journals, little-endian of a given width.
#pragma once
#include <cstdint>
#include <string>

namespace xbe {

inline void PutLe(std::string& s, std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline std::uint64_t GetLe(const char* p, int bytes) {
  std::uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(p[i]);
  return v;
}

}  // namespace xbe
