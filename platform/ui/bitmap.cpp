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

}  // namespace ui
