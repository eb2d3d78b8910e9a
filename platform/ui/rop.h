// Ternary raster operations: the result of combining destination, source and pattern bits as
// the operation's truth-table byte (bits 16..23 of the code) says, bit by bit on each channel.
#pragma once
#include <cstdint>

namespace ui {

inline constexpr std::uint32_t SRCCOPY = 0x00CC0020;
inline constexpr std::uint32_t SRCPAINT = 0x00EE0086;
inline constexpr std::uint32_t SRCAND = 0x008800C6;
inline constexpr std::uint32_t SRCINVERT = 0x00660046;
inline constexpr std::uint32_t NOTSRCCOPY = 0x00330008;
inline constexpr std::uint32_t PATCOPY = 0x00F00021;
inline constexpr std::uint32_t PATINVERT = 0x005A0049;
inline constexpr std::uint32_t DSTINVERT = 0x00550009;
inline constexpr std::uint32_t BLACKNESS = 0x00000042;
inline constexpr std::uint32_t WHITENESS = 0x00FF0062;
// Where the source is 1 the pattern, where it is 0 the destination: (S & P) | (~S & D).
inline constexpr std::uint32_t ROP_PSDPxax = 0x00E20746;

// Evaluates the operation on 24-bit RGB values.
inline std::uint32_t ApplyRop3(std::uint32_t rop, std::uint32_t dst, std::uint32_t src,
                               std::uint32_t pat) {
  const std::uint32_t table = (rop >> 16) & 0xFF;
  switch (table) {
    case 0xCC: return src;
    case 0xF0: return pat;
    case 0xAA: return dst;
    case 0xE2: return (src & pat) | (~src & dst & 0x00FFFFFF);
    default: break;
  }
  std::uint32_t result = 0;
  for (int index = 0; index < 8; ++index) {
    if (!(table & (1u << index))) continue;
    const std::uint32_t p = (index & 4) ? pat : ~pat;
    const std::uint32_t s = (index & 2) ? src : ~src;
    const std::uint32_t d = (index & 1) ? dst : ~dst;
    result |= p & s & d;
  }
  return result & 0x00FFFFFF;
}

}  // namespace ui
