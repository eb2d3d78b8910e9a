#include "controls/resources.h"

#include <array>

namespace {

// "FEDITBMP": 14 x 12, the 16-colour palette; an open yellow folder with a black arrow on the
// magenta that the button draws transparent.
//   m magenta  k black  y yellow  o olive (dark yellow)  w white  g grey
constexpr std::array<std::string_view, 12> kFolderGlyph = {
    "mmmmmmmmmkmmmm",
    "mmmmmmmmmkkmmm",
    "mkkkkmmkkkkkmm",
    "kwyywkmmmkkmmk",
    "kywyywkkkkmmmk",
    "kwyywyyyyykkkk",
    "kywkkkkkkkkkkk",
    "kwkooooooooook",
    "kkooooooooookm",
    "kkoooooooookmm",
    "kkkkkkkkkkkmmm",
    "mmmmmmmmmmmmmm",
};

ui::TColor PaletteColor(char c) {
  switch (c) {
    case 'k': return 0x000000;
    case 'y': return 0x00FFFF;
    case 'o': return 0x008080;
    case 'w': return 0xFFFFFF;
    case 'g': return 0x808080;
    default: return 0xFF00FF;  // magenta
  }
}

// 32 x 32 monochrome cursors: 'x' is the shape (black), anything else white.
constexpr std::array<std::string_view, 32> kHandCursor = {
    "",
    "",
    "      xx",
    "     x..x",
    "     x..x",
    "     x..x",
    "     x..x",
    "     x..xxx",
    "     x..x..xxx",
    "     x..x..x..xx",
    "  xx x..x..x..x.x",
    " x..xx.........x",
    " x...x.........x",
    "  x............x",
    "   x...........x",
    "   x..........x",
    "    x.........x",
    "    x........x",
    "     x.......x",
    "     x.......x",
    "     xxxxxxxxx",
};

constexpr std::array<std::string_view, 32> kDragCursor = {
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "         xx xx xx",
    "        x..x..x..xx",
    "        x........x.x",
    "       xx..........x",
    "      x.x..........x",
    "      x............x",
    "       x...........x",
    "        x..........x",
    "        x.........x",
    "         x........x",
    "          x......x",
    "          x......x",
    "          xxxxxxxx",
};

template <std::size_t N>
std::shared_ptr<ui::TBitmap> MonochromeCursor(const std::array<std::string_view, N>& rows) {
  auto bmp = std::make_shared<ui::TBitmap>(32, 32);
  ui::Surface& s = bmp->Pixels();
  s.monochrome = true;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const std::string_view row = rows[static_cast<std::size_t>(y)];
      const bool shape = static_cast<std::size_t>(x) < row.size() && row[static_cast<std::size_t>(x)] == 'x';
      s.At(x, y) = shape ? 0x000000 : 0xFFFFFF;
    }
  return bmp;
}

}  // namespace

std::unique_ptr<ui::TBitmap> LoadBitmapResource(std::string_view name) {
  if (name != "FEDITBMP") return nullptr;
  auto bmp = std::make_unique<ui::TBitmap>(14, 12);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 14; ++x)
      bmp->Pixels().At(x, y) = PaletteColor(kFolderGlyph[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]);
  return bmp;
}

CursorResource LoadCursorResource(std::string_view name) {
  if (name == "VX_HANDCUR") return {MonochromeCursor(kHandCursor), {6, 16}};
  if (name == "VX_DRAGCUR") return {MonochromeCursor(kDragCursor), {15, 16}};
  return {};
}

