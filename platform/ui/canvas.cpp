#include "platform/ui/canvas.h"

#include <cstdlib>

#include "platform/ui/bitmap.h"
#include "platform/ui/fontengine.h"
#include "platform/ui/rop.h"

namespace ui {

std::uint32_t ToMonochrome(std::uint32_t rgb) {
  const int r = GetRValue(rgb), g = GetGValue(rgb), b = GetBValue(rgb);
  return (77 * r + 150 * g + 29 * b) >= 128 * 256 ? 0xFFFFFF : 0x000000;
}

TCanvas::TCanvas() { HookTools(); }

TCanvas::TCanvas(Surface* surface) {
  HookTools();
  SetTarget(surface);
}

void TCanvas::HookTools() {
  textColor_ = font_.Color();
  font_.OnChange = [this] {
    face_ = nullptr;
    textColor_ = font_.Color();
  };
  brush_.OnChange = [this] {
    if (brush_.Style() == bsClear) {
      bkColor_ = ~ColorToRGB(brush_.Color()) & 0x00FFFFFF;
      bkMode_ = TRANSPARENT;
    } else {
      bkColor_ = brush_.Color();
      bkMode_ = OPAQUE;
    }
  };
}

void TCanvas::SetTarget(Surface* surface) {
  surface_ = surface;
  clipNarrowed_ = false;
  clip_ = surface ? Rect(0, 0, surface->width, surface->height) : TRect{};
}

TRect TCanvas::ClipRect() const {
  TRect device = clip_;
  if (!clipNarrowed_ && surface_) device = Rect(0, 0, surface_->width, surface_->height);
  return OffsetRect(device, -origin_.x, -origin_.y);
}

void TCanvas::IntersectClipRect(const TRect& r) {
  const TRect current = clipNarrowed_ || !surface_ ? clip_ : Rect(0, 0, surface_->width, surface_->height);
  clip_ = IntersectRect(current, OffsetRect(r, origin_.x, origin_.y));
  clipNarrowed_ = true;
}

TRect TCanvas::DeviceClip() const {
  if (clipNarrowed_) return clip_;
  return surface_ ? Rect(0, 0, surface_->width, surface_->height) : TRect{};
}

void TCanvas::SetDeviceClip(const TRect& deviceRect) {
  clip_ = deviceRect;
  clipNarrowed_ = true;
}

int TCanvas::SaveDC() {
  saved_.push_back(State{origin_, clipNarrowed_ ? clip_ : TRect{-1, -1, -1, -1}, textColor_,
                         bkColor_, bkMode_, font_, pen_.Color(), brush_.Color(), brush_.Style(),
                         brush_.Bitmap(), penPos_});
  return static_cast<int>(saved_.size());
}

void TCanvas::RestoreDC(int saved) {
  if (saved_.empty()) return;
  std::size_t index = saved < 0 ? saved_.size() - 1 : static_cast<std::size_t>(saved - 1);
  if (index >= saved_.size()) return;
  State s = saved_[index];
  saved_.resize(index);
  font_.Assign(s.font);
  pen_.SetColor(s.penColor);
  if (s.brushStyle == bsPattern) {
    brush_.SetBitmap(s.brushBitmap);
  } else {
    brush_.SetColor(s.brushColor);
    brush_.SetStyle(s.brushStyle);
  }
  origin_ = s.origin;
  if (s.clip == TRect{-1, -1, -1, -1}) {
    clipNarrowed_ = false;
    clip_ = surface_ ? Rect(0, 0, surface_->width, surface_->height) : TRect{};
  } else {
    clip_ = s.clip;
    clipNarrowed_ = true;
  }
  textColor_ = s.textColor;
  bkColor_ = s.bkColor;
  bkMode_ = s.bkMode;
  penPos_ = s.penPos;
}

void TCanvas::PutDevicePixel(int dx, int dy, std::uint32_t rgb) {
  if (!surface_ || !surface_->Inside(dx, dy)) return;
  if (clipNarrowed_ && !clip_.Contains({dx, dy})) return;
  surface_->At(dx, dy) = surface_->monochrome ? ToMonochrome(rgb) : (rgb & 0x00FFFFFF);
}

std::uint32_t TCanvas::PatternPixel(int dx, int dy) const {
  TBitmap* pattern = brush_.Bitmap();
  if (brush_.Style() == bsPattern && pattern && !pattern->Empty()) {
    const Surface& ps = pattern->Pixels();
    const int px = ((dx % ps.width) + ps.width) % ps.width;
    const int py = ((dy % ps.height) + ps.height) % ps.height;
    const std::uint32_t v = ps.At(px, py);
    if (ps.monochrome) return v ? ColorToRGB(bkColor_) : ColorToRGB(textColor_);
    return v;
  }
  return ColorToRGB(brush_.Color());
}

void TCanvas::FillDeviceRect(TRect device, bool usePattern) {
  if (!surface_) return;
  device = IntersectRect(device, Rect(0, 0, surface_->width, surface_->height));
  if (clipNarrowed_) device = IntersectRect(device, clip_);
  const std::uint32_t solid = ColorToRGB(brush_.Color());
  for (int y = device.top; y < device.bottom; ++y)
    for (int x = device.left; x < device.right; ++x)
      PutDevicePixel(x, y, usePattern ? PatternPixel(x, y) : solid);
}

void TCanvas::FillRect(const TRect& r) {
  if (brush_.Style() == bsClear) return;
  FillDeviceRect(OffsetRect(r, origin_.x, origin_.y), brush_.Style() == bsPattern);
  Changed();
}

void TCanvas::FrameRect(const TRect& r) {
  if (r.IsEmpty() || brush_.Style() == bsClear) return;
  const TRect d = OffsetRect(r, origin_.x, origin_.y);
  const bool pat = brush_.Style() == bsPattern;
  FillDeviceRect(Rect(d.left, d.top, d.right, d.top + 1), pat);
  FillDeviceRect(Rect(d.left, d.bottom - 1, d.right, d.bottom), pat);
  FillDeviceRect(Rect(d.left, d.top, d.left + 1, d.bottom), pat);
  FillDeviceRect(Rect(d.right - 1, d.top, d.right, d.bottom), pat);
  Changed();
}

void TCanvas::Rectangle(const TRect& r) {
  if (r.IsEmpty()) return;
  if (brush_.Style() != bsClear)
    FillDeviceRect(OffsetRect(InflateRect(r, -1, -1), origin_.x, origin_.y), brush_.Style() == bsPattern);
  const std::uint32_t pen = ColorToRGB(pen_.Color());
  DrawLine({r.left, r.top}, {r.right - 1, r.top}, pen);
  DrawLine({r.right - 1, r.top}, {r.right - 1, r.bottom - 1}, pen);
  DrawLine({r.right - 1, r.bottom - 1}, {r.left, r.bottom - 1}, pen);
  DrawLine({r.left, r.bottom - 1}, {r.left, r.top}, pen);
  Changed();
}

void TCanvas::Frame3D(TRect& r, TColor topLeft, TColor bottomRight, int width) {
  const std::uint32_t first = ColorToRGB(topLeft);
  const std::uint32_t second = ColorToRGB(bottomRight);
  for (int i = 0; i < width; ++i) {
    const int l = r.left, t = r.top, rr = r.right - 1, b = r.bottom - 1;
    // As two poly-lines without their end points: (l,b)-(l,t)-(rr,t), then (rr,t)-(rr,b)-(l-1,b).
    DrawLine({l, b}, {l, t}, first);
    DrawLine({l, t}, {rr, t}, first);
    DrawLine({rr, t}, {rr, b}, second);
    DrawLine({rr, b}, {l - 1, b}, second);
    r = InflateRect(r, -1, -1);
  }
  Changed();
}

void TCanvas::DrawLine(TPoint from, TPoint to, std::uint32_t rgb) {
  int x0 = from.x, y0 = from.y;
  const int x1 = to.x, y1 = to.y;
  const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
  const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  while (!(x0 == x1 && y0 == y1)) {
    PutDevicePixel(x0 + origin_.x, y0 + origin_.y, rgb);
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
}

void TCanvas::MoveTo(int x, int y) { penPos_ = {x, y}; }

void TCanvas::LineTo(int x, int y) {
  DrawLine(penPos_, {x, y}, ColorToRGB(pen_.Color()));
  penPos_ = {x, y};
  Changed();
}

void TCanvas::Polyline(const std::vector<TPoint>& points) {
  if (points.empty()) return;
  const TPoint keep = penPos_;
  penPos_ = points.front();
  for (std::size_t i = 1; i < points.size(); ++i) {
    DrawLine(penPos_, points[i], ColorToRGB(pen_.Color()));
    penPos_ = points[i];
  }
  penPos_ = keep;  // a poly-line leaves the current position alone
  Changed();
}

TColor TCanvas::Pixel(int x, int y) const {
  const int dx = x + origin_.x, dy = y + origin_.y;
  if (!surface_ || !surface_->Inside(dx, dy)) return CLR_INVALID;
  if (clipNarrowed_ && !clip_.Contains({dx, dy})) return CLR_INVALID;
  return surface_->At(dx, dy);
}

void TCanvas::SetPixel(int x, int y, TColor c) {
  PutDevicePixel(x + origin_.x, y + origin_.y, ColorToRGB(c));
  Changed();
}

void TCanvas::Draw(int x, int y, TBitmap& bitmap) {
  if (bitmap.Empty()) return;
  if (bitmap.Transparent()) {
    const std::uint32_t key = ColorToRGB(bitmap.TransparentColor() & ~kPaletteRelativeFlag);
    const Surface& s = bitmap.Pixels();
    for (int sy = 0; sy < s.height; ++sy)
      for (int sx = 0; sx < s.width; ++sx) {
        const std::uint32_t v = s.At(sx, sy);
        if (v != key) PutDevicePixel(x + sx + origin_.x, y + sy + origin_.y, v);
      }
    Changed();
    return;
  }
  BitBlt(*this, x, y, bitmap.Width(), bitmap.Height(), &bitmap.Canvas(), 0, 0, SRCCOPY);
}

void TCanvas::CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect) {
  StretchBlt(*this, dest, &source, sourceRect, SRCCOPY);
}

}  // namespace ui
