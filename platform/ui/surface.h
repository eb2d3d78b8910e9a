// A block of 32-bit pixels: what bitmaps hold and what windows show. Pixels are RGB colour
// values (0x00BBGGRR). A monochrome surface holds only black (0) and white (0xFFFFFF).
#pragma once
#include <cstdint>
#include <vector>

#include "platform/ui/colors.h"

namespace ui {

struct Surface {
  int width = 0;
  int height = 0;
  bool monochrome = false;
  std::vector<std::uint32_t> pixels;

  void Resize(int w, int h, TColor fill = 0xFFFFFF) {
    width = w < 0 ? 0 : w;
    height = h < 0 ? 0 : h;
    pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill);
  }
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  std::uint32_t At(int x, int y) const {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
  }
  std::uint32_t& At(int x, int y) {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
  }
};

}  // namespace ui
