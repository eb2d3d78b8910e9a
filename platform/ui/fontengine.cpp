#include "platform/ui/fontengine.h"

#include <cmath>
#include <filesystem>
#include <tuple>

#include "platform/rtl/ansi.h"
#include "platform/rtl/strutils.h"

#ifdef TULMEVARA_UI_FREETYPE
#include <ft2build.h>
#include FT_FREETYPE_H
#endif

namespace ui {

char32_t AnsiCodePoint(unsigned char ansi) {
  if (ansi >= 0x80 && ansi < 0xA0) {
    const char32_t cp = rtl::detail::kCp1252High[ansi - 0x80];
    return cp != 0 ? cp : ansi;
  }
  return ansi;
}

int FontFace::TextWidth(std::string_view ansi) {
  int w = 0;
  for (char c : ansi) w += GlyphOf(static_cast<unsigned char>(c)).advance;
  return w;
}

namespace {

int EmPixels(int height) {
  if (height < 0) return -height;
  if (height == 0) return 11;
  // A positive height is the cell height; the em is about four fifths of it.
  return std::max(1, (height * 4 + 2) / 5);
}

// Hollow boxes in the proportions of the packaged sans-serif, for hosts without its files.
class BoxFace final : public FontFace {
 public:
  explicit BoxFace(int em) {
    metrics_.ascent = em - em / 10;
    metrics_.descent = std::max(1, (em * 24 + 50) / 100);
    metrics_.height = metrics_.ascent + metrics_.descent;
    metrics_.aveCharWidth = std::max(1, em / 2);
  }
  const FontMetrics& Metrics() const override { return metrics_; }
  const Glyph& GlyphOf(unsigned char ansi) override {
    Glyph& g = glyphs_[ansi];
    if (g.advance == 0) {
      g.advance = metrics_.aveCharWidth + 1;
      if (ansi > ' ') {
        g.width = metrics_.aveCharWidth;
        g.rows = metrics_.ascent * 3 / 4;
        g.top = g.rows;
        g.bits.assign(static_cast<std::size_t>(g.width * g.rows), 0);
        for (int y = 0; y < g.rows; ++y)
          for (int x = 0; x < g.width; ++x)
            if (y == 0 || x == 0 || y == g.rows - 1 || x == g.width - 1)
              g.bits[static_cast<std::size_t>(y * g.width + x)] = 1;
      }
    }
    return g;
  }

 private:
  FontMetrics metrics_;
  Glyph glyphs_[256];
};

#ifdef TULMEVARA_UI_FREETYPE
class FreeTypeFace final : public FontFace {
 public:
  FreeTypeFace(FT_Library lib, const std::string& file, int em) {
    if (FT_New_Face(lib, file.c_str(), 0, &face_) != 0) {
      face_ = nullptr;
      return;
    }
    FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(em));
    const double upem = face_->units_per_EM;
    metrics_.ascent = static_cast<int>(std::lround(em * face_->ascender / upem));
    metrics_.descent = static_cast<int>(std::lround(em * -face_->descender / upem));
    metrics_.height = metrics_.ascent + metrics_.descent;
    metrics_.aveCharWidth = GlyphOf('x').advance;
  }
  ~FreeTypeFace() override {
    if (face_) FT_Done_Face(face_);
  }
  bool ok() const { return face_ != nullptr; }
  const FontMetrics& Metrics() const override { return metrics_; }
  const Glyph& GlyphOf(unsigned char ansi) override {
    Glyph& g = glyphs_[ansi];
    if (loaded_[ansi]) return g;
    loaded_[ansi] = true;
    const char32_t cp = AnsiCodePoint(ansi);
    if (cp < 0x20) return g;  // control characters take no room
    if (FT_Load_Char(face_, cp, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) != 0)
      return g;
    const FT_GlyphSlot slot = face_->glyph;
    g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = static_cast<int>(slot->bitmap.width);
    g.rows = static_cast<int>(slot->bitmap.rows);
    g.bits.assign(static_cast<std::size_t>(g.width * g.rows), 0);
    for (int y = 0; y < g.rows; ++y) {
      const unsigned char* row = slot->bitmap.buffer + y * slot->bitmap.pitch;
      for (int x = 0; x < g.width; ++x) {
        const bool on = slot->bitmap.pixel_mode == FT_PIXEL_MODE_MONO
                            ? (row[x >> 3] & (0x80 >> (x & 7))) != 0
                            : row[x] >= 128;
        g.bits[static_cast<std::size_t>(y * g.width + x)] = on ? 1 : 0;
      }
    }
    return g;
  }

 private:
  FT_Face face_ = nullptr;
  FontMetrics metrics_;
  Glyph glyphs_[256];
  bool loaded_[256] = {};
};
#endif

const char* const kFontDirs[] = {
    "/usr/share/fonts/truetype/dejavu",
    "/usr/share/fonts/dejavu",
    "/usr/share/fonts/TTF",
    "/usr/local/share/fonts",
};

bool IsMonospaceName(std::string_view name) {
  const std::string upper = rtl::UpperCase(name);
  return upper.find("COURIER") != std::string::npos || upper.find("MONO") != std::string::npos ||
         upper.find("FIXED") != std::string::npos || upper == "TERMINAL";
}

bool IsSerifName(std::string_view name) {
  const std::string upper = rtl::UpperCase(name);
  return upper.find("TIMES") != std::string::npos || upper.find("SERIF") == 0 ||
         upper.find("ROMAN") != std::string::npos;
}

}  // namespace

struct FontEngine::Impl {
#ifdef TULMEVARA_UI_FREETYPE
  FT_Library lib = nullptr;
#endif
  std::map<std::tuple<std::string, int>, std::unique_ptr<FontFace>> faces;
};

FontEngine& FontEngine::Instance() {
  static FontEngine engine;
  return engine;
}

FontEngine::FontEngine() : impl_(std::make_unique<Impl>()) {
#ifdef TULMEVARA_UI_FREETYPE
  if (FT_Init_FreeType(&impl_->lib) != 0) impl_->lib = nullptr;
#endif
}

FontEngine::~FontEngine() {
  impl_->faces.clear();
#ifdef TULMEVARA_UI_FREETYPE
  if (impl_->lib) FT_Done_FreeType(impl_->lib);
#endif
}

std::string FontEngine::FontFileFor(const FontRequest& request) const {
  std::string base = "DejaVuSans";
  if (IsMonospaceName(request.name)) base = "DejaVuSansMono";
  else if (IsSerifName(request.name)) base = "DejaVuSerif";
  std::string style;
  if (request.bold && request.italic) style = base == "DejaVuSerif" ? "-BoldItalic" : "-BoldOblique";
  else if (request.bold) style = "-Bold";
  else if (request.italic) style = base == "DejaVuSerif" ? "-Italic" : "-Oblique";
  for (const char* dir : kFontDirs) {
    for (const std::string& candidate : {base + style, base}) {
      std::filesystem::path p = std::filesystem::path(dir) / (candidate + ".ttf");
      std::error_code ec;
      if (std::filesystem::exists(p, ec)) return p.string();
    }
  }
  return {};
}

FontFace& FontEngine::Face(const FontRequest& request) {
  const int em = EmPixels(request.height);
  const std::string file = FontFileFor(request);
  auto key = std::make_tuple(file.empty() ? std::string("<box>") : file, em);
  auto it = impl_->faces.find(key);
  if (it != impl_->faces.end()) return *it->second;
  std::unique_ptr<FontFace> face;
#ifdef TULMEVARA_UI_FREETYPE
  if (!file.empty() && impl_->lib) {
    auto ft = std::make_unique<FreeTypeFace>(impl_->lib, file, em);
    if (ft->ok()) face = std::move(ft);
  }
#endif
  if (!face) face = std::make_unique<BoxFace>(em);
  FontFace& ref = *face;
  impl_->faces.emplace(key, std::move(face));
  return ref;
}

}  // namespace ui
