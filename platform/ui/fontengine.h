// Glyph rendering for the software canvas. Fonts are looked up by name in the packaged
// TrueType fonts (a sans-serif stands in for the forms' "MS Sans Serif"); glyphs are rendered
// without anti-aliasing, so text pixels carry exactly the text colour (raster operations and
// monochrome conversions then behave as on the original bitmap fonts). When no font file can be
// found, a plain box font keeps the metrics and the program running.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

struct FontMetrics {
  int ascent = 0;   // pixels above the baseline
  int descent = 0;  // pixels below it
  int height = 0;   // ascent + descent: the cell height of a line
  int aveCharWidth = 0;
};

struct Glyph {
  int advance = 0;
  int left = 0;    // offset of the bitmap from the pen position
  int top = 0;     // rows of the bitmap above the baseline
  int width = 0;
  int rows = 0;
  std::vector<std::uint8_t> bits;  // width * rows, 1 where the glyph is inked
};

struct FontRequest {
  std::string name;
  int height = -11;  // negative: character (em) height in pixels; positive: cell height
  bool bold = false;
  bool italic = false;
};

class FontFace {
 public:
  virtual ~FontFace() = default;
  virtual const FontMetrics& Metrics() const = 0;
  // The glyph of one code page 1252 byte.
  virtual const Glyph& GlyphOf(unsigned char ansi) = 0;
  int TextWidth(std::string_view ansi);
};

// The process's font service (like the window system's font mapper). Faces are cached.
class FontEngine {
 public:
  static FontEngine& Instance();
  FontFace& Face(const FontRequest& request);
  // The file a request would use, or empty when only the box font is available.
  std::string FontFileFor(const FontRequest& request) const;
  ~FontEngine();

 private:
  FontEngine();
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The Unicode code point of a 1252 byte.
char32_t AnsiCodePoint(unsigned char ansi);

}  // namespace ui
