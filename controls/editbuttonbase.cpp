#include "controls/editbuttonbase.h"

#include <algorithm>

#include "platform/classes/classbuilder.h"

namespace controls {

const classes::TClassInfo& TEditButtonBase::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TEditButtonBase, ui::TGraphicControl>("TEditButtonBase", [](auto&) {});
  return info;
}

TEditButtonBase::TEditButtonBase(classes::TComponent* owner)
    : ui::TGraphicControl(owner), glyph_(std::make_unique<ui::TBitmap>()) {
  // The button clicks on its own release (below), not through the control's click events.
  controlStyle_ = ui::csCaptureMouse | ui::csDoubleClicks;
  SetBounds(0, 0, 23, 22);
  glyph_->OnChange = [this] { Invalidate(); };
}

void TEditButtonBase::SetGlyph(const ui::TBitmap* v) {
  if (v) glyph_->Assign(*v);
  else glyph_->SetSize(0, 0);
  Invalidate();
}

void TEditButtonBase::SetNumGlyphs(int v) {
  numGlyphs_ = std::clamp(v, 1, 4);
  Invalidate();
}

void TEditButtonBase::SetEnabled(bool v) {
  ui::TGraphicControl::SetEnabled(v);
  state_ = v ? bsUp : bsDisabled;
  Invalidate();
}

void TEditButtonBase::Paint() {
  ui::TCanvas& dc = Canvas();
  const bool down = state_ == bsDown;
  ui::TRect r = ui::Rect(0, 0, Width(), Height());
  dc.Brush().SetColor(ui::clBtnFace);
  dc.FillRect(r);
  if (down) {
    dc.Frame3D(r, ui::clBtnShadow, ui::clBtnHighlight, 1);
  } else {
    dc.Frame3D(r, ui::clBtnHighlight, ui::clWindowFrame, 1);
    dc.Frame3D(r, ui::clBtnFace, ui::clBtnShadow, 1);
  }
  if (glyph_->Empty()) return;
  // Image 0 up, 1 disabled (when there is one), 2 down; the magenta-or-corner colour is clear.
  const int count = std::max(1, numGlyphs_);
  const int w = glyph_->Width() / count;
  const int h = glyph_->Height();
  int index = 0;
  if (state_ == bsDisabled && count > 1) index = 1;
  else if (down && count > 2) index = 2;
  const ui::Surface& s = glyph_->Pixels();
  const std::uint32_t clear = s.At(0, h - 1);
  const int x0 = (Width() - w) / 2 + (down ? 1 : 0);
  const int y0 = (Height() - h) / 2 + (down ? 1 : 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const std::uint32_t p = s.At(index * w + x, y);
      if (p == clear) continue;
      // Disabled without its own image: the dark pixels in the shadow colour, the rest dropped.
      if (state_ == bsDisabled && count == 1) {
        const unsigned lum = (p & 0xFF) + ((p >> 8) & 0xFF) + ((p >> 16) & 0xFF);
        if (lum > 3 * 0x80) continue;
        dc.SetPixel(x0 + x + 1, y0 + y + 1, ui::ColorToRGB(ui::clBtnHighlight));
        dc.SetPixel(x0 + x, y0 + y, ui::ColorToRGB(ui::clBtnShadow));
        continue;
      }
      dc.SetPixel(x0 + x, y0 + y, p);
    }
}

void TEditButtonBase::MouseDown(ui::TMouseButton button, ui::TShiftState shift, int x, int y) {
  ui::TGraphicControl::MouseDown(button, shift, x, y);
  if (button != ui::mbLeft || !Enabled()) return;
  state_ = bsDown;
  dragging_ = true;
  Invalidate();
}

void TEditButtonBase::MouseMove(ui::TShiftState shift, int x, int y) {
  ui::TGraphicControl::MouseMove(shift, x, y);
  if (!dragging_) return;
  const TButtonState now = (x >= 0 && y >= 0 && x < Width() && y < Height()) ? bsDown : bsUp;
  if (now != state_) {
    state_ = now;
    Invalidate();
  }
}

void TEditButtonBase::MouseUp(ui::TMouseButton button, ui::TShiftState shift, int x, int y) {
  ui::TGraphicControl::MouseUp(button, shift, x, y);
  if (!dragging_ || button != ui::mbLeft) return;
  dragging_ = false;
  const bool inside = x >= 0 && y >= 0 && x < Width() && y < Height();
  state_ = Enabled() ? bsUp : bsDisabled;
  Invalidate();
  if (inside) Click();
}

}  // namespace controls
