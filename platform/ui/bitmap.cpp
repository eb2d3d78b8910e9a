#include "platform/ui/bitmap.h"

#include <cstdio>

namespace ui {

TBitmap::TBitmap() : canvas_(std::make_unique<TCanvas>(&surface_)) {
  canvas_->OnChange = [this] { Changed(); };
}

TBitmap::TBitmap(int width, int height) : TBitmap() { SetSize(width, height); }

TBitmap::~TBitmap() = default;

void TBitmap::Changed() {
  if (OnChange) OnChange();
}

void TBitmap::SetSize(int w, int h) {
  w = std::max(0, w);
  h = std::max(0, h);
  if (w == surface_.width && h == surface_.height) return;
  std::uint32_t fill = ColorToRGB(canvas_->Brush().Color());
  if (surface_.monochrome) fill = ToMonochrome(fill);
  Surface next;
  next.monochrome = surface_.monochrome;
  next.Resize(w, h, fill);
  for (int y = 0; y < std::min(h, surface_.height); ++y)
    for (int x = 0; x < std::min(w, surface_.width); ++x) next.At(x, y) = surface_.At(x, y);
  surface_.width = next.width;
  surface_.height = next.height;
  surface_.pixels = std::move(next.pixels);
  canvas_->SetTarget(&surface_);
  Changed();
}

void TBitmap::SetMonochrome(bool v) {
  if (v == surface_.monochrome) return;
  if (v) {
    const std::uint32_t back = ColorToRGB(canvas_->BkColor());
    for (auto& px : surface_.pixels) px = px == back ? 0xFFFFFF : 0x000000;
  } else {
    const std::uint32_t zero = ColorToRGB(canvas_->TextColor());
    const std::uint32_t one = ColorToRGB(canvas_->BkColor());
    for (auto& px : surface_.pixels) px = px ? one : zero;
  }
  surface_.monochrome = v;
  Changed();
}

TColor TBitmap::TransparentColor() const {
  if (transparentMode_ == tmFixed && transparentColor_ != clDefault) return transparentColor_;
  if (surface_.monochrome) return clWhite;
  if (Empty()) return clDefault;
  return surface_.At(0, surface_.height - 1) | kPaletteRelativeFlag;
}

void TBitmap::SetTransparentColor(TColor c) {
  if (c == transparentColor_) return;
  transparentColor_ = c;
  transparentMode_ = c == clDefault ? tmAuto : tmFixed;
  Changed();
}

void TBitmap::SetTransparentMode(TTransparentMode m) {
  if (m == transparentMode_) return;
  transparentMode_ = m;
  if (m == tmAuto) transparentColor_ = clDefault;
  Changed();
}

void TBitmap::SetTransparent(bool v) {
  if (v == transparent_) return;
  transparent_ = v;
  Changed();
}

void TBitmap::Assign(const TBitmap& other) {
  if (&other == this) return;
  surface_.width = other.surface_.width;
  surface_.height = other.surface_.height;
  surface_.monochrome = other.surface_.monochrome;
  surface_.pixels = other.surface_.pixels;
  transparentColor_ = other.transparentColor_;
  transparentMode_ = other.transparentMode_;
  transparent_ = other.transparent_;
  canvas_->SetTarget(&surface_);
  Changed();
}

bool TBitmap::SaveToBmpFile(const std::string& hostPath) const {
  std::FILE* f = std::fopen(hostPath.c_str(), "wb");
  if (!f) return false;
  const int w = surface_.width, h = surface_.height;
  const int rowBytes = (w * 3 + 3) & ~3;
  const std::uint32_t dataSize = static_cast<std::uint32_t>(rowBytes * h);
  unsigned char header[54] = {'B', 'M'};
  auto put32 = [&](int at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) header[at + i] = static_cast<unsigned char>(v >> (8 * i));
  };
  put32(2, 54 + dataSize);
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(w));
  put32(22, static_cast<std::uint32_t>(h));
  header[26] = 1;
  header[28] = 24;
  put32(34, dataSize);
  put32(38, 3780);
  put32(42, 3780);
  bool ok = std::fwrite(header, 1, sizeof header, f) == sizeof header;
  std::vector<unsigned char> row(static_cast<std::size_t>(rowBytes), 0);
  for (int y = h - 1; y >= 0 && ok; --y) {
    for (int x = 0; x < w; ++x) {
      const std::uint32_t px = surface_.At(x, y);
      row[static_cast<std::size_t>(x * 3)] = static_cast<unsigned char>(GetBValue(px));
      row[static_cast<std::size_t>(x * 3 + 1)] = static_cast<unsigned char>(GetGValue(px));
      row[static_cast<std::size_t>(x * 3 + 2)] = static_cast<unsigned char>(GetRValue(px));
    }
    ok = std::fwrite(row.data(), 1, row.size(), f) == row.size();
  }
  return std::fclose(f) == 0 && ok;
}

}  // namespace ui
