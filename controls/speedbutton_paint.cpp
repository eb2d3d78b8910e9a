// The speed button's face: composed off screen in FaceBitmap, then shown with one copy.
#include "controls/speedbutton.h"
#include "controls/vxutils.h"
#include "platform/ui/patternbitmap.h"
#include "platform/ui/winapi.h"

using namespace ui;

TRect PaintButtonBorder(TCanvas& canvas, const TRect& rect, bool pressed, TButtonStyle style, bool flat) {
  const bool newStyle = style == bsNew || (style == bsAutoDetect && NewStyleControls());
  TRect r = rect;
  if (pressed) {
    if (flat) {
      canvas.Frame3D(r, clWindowFrame, clBtnHighlight, 1);
    } else if (newStyle) {
      canvas.Frame3D(r, clWindowFrame, clBtnHighlight, 1);
      canvas.Frame3D(r, clBtnShadow, clBtnFace, 1);
    } else {
      canvas.Frame3D(r, clWindowFrame, clWindowFrame, 1);
      canvas.Pen().SetColor(clBtnShadow);
      canvas.Polyline({{r.left, r.bottom - 1}, {r.left, r.top}, {r.right, r.top}});
    }
  } else if (newStyle) {
    if (flat) {
      canvas.Frame3D(r, clBtnHighlight, clBtnShadow, 1);
    } else {
      canvas.Frame3D(r, clBtnHighlight, clWindowFrame, 1);
      canvas.Frame3D(r, clBtnFace, clBtnShadow, 1);
    }
  } else if (flat) {
    canvas.Frame3D(r, clBtnHighlight, clWindowFrame, 1);
  } else {
    canvas.Frame3D(r, clWindowFrame, clWindowFrame, 1);
    canvas.Frame3D(r, clBtnHighlight, clBtnShadow, 1);
  }
  return InflateRect(r, -1, -1);
}

void TVxSpeedButton::Paint() {
  if (!Enabled()) {
    faceState_ = gsDisabled;
    pressing_ = false;
  } else if (faceState_ == gsDisabled) {
    faceState_ = down_ && groupIndex_ != 0 ? gsExclusive : gsUp;
  }
  TGlyphState drawing = faceState_;
  if (flat_ && !mouseInside_ && !InState(classes::csDesigning)) drawing = gsInactive;
  const bool held = faceState_ == gsDown || faceState_ == gsExclusive;

  TRect face = Rect(0, 0, Width(), Height());
  faceBitmap_->SetSize(Width(), Height());
  TCanvas& dc = faceBitmap_->Canvas();
  dc.Font().Assign(Font());
  dc.Brush().SetBitmap(nullptr);
  dc.Brush().SetColor(clBtnFace);
  dc.FillRect(face);
  if (transparent_) PaintParentBackground(this, dc);

  if (drawing != gsInactive || faceState_ == gsExclusive) face = PaintButtonBorder(dc, face, held, style_, flat_);
  else face = InflateRect(face, -2, -2);  // flat and not hot: no border

  if (faceState_ == gsExclusive && !transparent_ && (!flat_ || drawing == gsInactive)) {
    face = InflateRect(face, 1, 1);
    dc.Brush().SetBitmap(AllocPatternBitmap(clBtnFace, clBtnHighlight));
    dc.FillRect(face);
    dc.Brush().SetBitmap(nullptr);
    face = InflateRect(face, -1, -1);
  }
  if (held) face = OffsetRect(face, 1, 1);

  const TGlyphState glyphState = faceState_ == gsDisabled || !grayedInactive_ ? faceState_ : drawing;
  DrawFaceContent(dc, face, markDropDown_ && dropDownMenu_, glyphState);
  Canvas().Draw(0, 0, *faceBitmap_);
}

void TVxSpeedButton::DrawFaceContent(TCanvas& canvas, const TRect& rect, bool withMark, TGlyphState state) {
  unsigned flags = Alignment() == taLeftJustify ? DT_LEFT : Alignment() == taRightJustify ? DT_RIGHT : DT_CENTER;
  if (UseRightToLeftAlignment()) {
    if (flags == DT_RIGHT) flags = DT_LEFT;
    else if (flags == DT_LEFT) flags = DT_RIGHT;
  }
  if (UseRightToLeftReading()) flags |= DT_RTLREADING;
  TRect textBounds;
  buttonGlyph_->PaintFace(canvas, rect, textBounds, flags, state, withMark, spacing_, margin_, layout_, Caption());
}
