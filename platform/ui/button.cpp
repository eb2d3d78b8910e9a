#include "platform/classes/classbuilder.h"
#include "platform/ui/forms.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/windowsystem.h"

namespace ui {

const classes::TClassInfo& TButton::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TButton, TWinControl>("TButton", [](auto& c) {
    c.Bool("Cancel", &TButton::Cancel, &TButton::SetCancel).Default(false);
    c.Bool("Default", &TButton::Default, &TButton::SetDefault).Default(false);
    c.Integer("ModalResult", &TButton::ModalResult, &TButton::SetModalResult).Default(0);
  });
  return info;
}

const classes::TClassInfo& TBitBtn::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TBitBtn, TButton>("TBitBtn", [](auto& c) {
    c.Enum("Kind", &TBitBtn::Kind, &TBitBtn::SetKind,
           {"bkCustom", "bkOK", "bkCancel", "bkHelp", "bkYes", "bkNo", "bkClose", "bkAbort", "bkRetry", "bkIgnore", "bkAll"})
        .Default(bkCustom);
    c.Enum("Layout", &TBitBtn::Layout, &TBitBtn::SetLayout, {"blGlyphLeft", "blGlyphRight", "blGlyphTop", "blGlyphBottom"})
        .Default(blGlyphLeft);
    c.Integer("Margin", &TBitBtn::Margin, &TBitBtn::SetMargin).Default(-1);
    c.Integer("NumGlyphs", &TBitBtn::NumGlyphs, &TBitBtn::SetNumGlyphs).Default(1);
    c.Integer("Spacing", &TBitBtn::Spacing, &TBitBtn::SetSpacing).Default(4);
  });
  return info;
}

TButton::TButton(classes::TComponent* owner) : TWinControl(owner) {
  controlStyle_ = csSetCaption | csDoubleClicks;
  SetBounds(0, 0, 75, 25);
  SetTabStop(true);
}

void TButton::SetDefault(bool v) {
  if (v == default_) return;
  default_ = v;
  Invalidate();
}

void TButton::Click() {
  if (TCustomForm* form = GetParentForm(this); form && modalResult_ != 0) form->SetModalResult(modalResult_);
  TWinControl::Click();
}

bool TButton::ActiveForEnter() const {
  if (Focused()) return true;
  if (!default_) return false;
  TWinControl* focus = Windows() ? Windows()->FocusedControl() : nullptr;
  return !dynamic_cast<TButton*>(focus);
}

void TButton::WndProc(TMessage& m) {
  if (m.msg == CM_DIALOGKEY) {
    const int key = static_cast<int>(m.wParam);
    if (((key == VK_RETURN && ActiveForEnter()) || (key == VK_ESCAPE && cancel_)) && CanFocus()) {
      Click();
      m.result = 1;
    }
    return;
  }
  if (m.msg == CM_DIALOGCHAR) {
    if (IsAccelerator(static_cast<int>(m.wParam), Caption()) && CanFocus()) {
      SetFocus();
      Click();
      m.result = 1;
    }
    return;
  }
  if (m.msg == WM_SETFOCUS || m.msg == WM_KILLFOCUS) {
    // A button with the focus shows the heavy frame; the default one loses it meanwhile.
    if (TCustomForm* form = GetParentForm(this)) form->Invalidate();
  }
  TWinControl::WndProc(m);
}

void TButton::KeyDown(int& key, TShiftState) {
  if (key == VK_SPACE) {
    spaceDown_ = true;
    pressed_ = true;
    Invalidate();
  }
}

void TButton::KeyUp(int& key, TShiftState) {
  if (key == VK_SPACE && spaceDown_) {
    spaceDown_ = false;
    pressed_ = false;
    Invalidate();
    Click();
  }
}

void TButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft && Enabled()) {
    if (CanFocus() && !Focused()) SetFocus();
    SetMouseCapture(true);
    tracking_ = true;
    pressed_ = true;
    Invalidate();
  }
  TWinControl::MouseDown(button, shift, x, y);
}

void TButton::MouseMove(TShiftState shift, int x, int y) {
  if (tracking_) {
    const bool inside = x >= 0 && y >= 0 && x < Width() && y < Height();
    if (inside != pressed_) {
      pressed_ = inside;
      Invalidate();
    }
  }
  TWinControl::MouseMove(shift, x, y);
}

void TButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  const bool click = tracking_ && button == mbLeft && x >= 0 && y >= 0 && x < Width() && y < Height();
  if (tracking_ && button == mbLeft) {
    tracking_ = false;
    pressed_ = false;
    SetMouseCapture(false);
    Invalidate();
  }
  TWinControl::MouseUp(button, shift, x, y);
  if (click) Click();
}

void TButton::PaintWindow(TCanvas& dc) {
  TRect r = Rect(0, 0, Width(), Height());
  dc.Brush().SetColor(clBtnFace);
  dc.FillRect(r);
  const bool heavy = Focused() || ActiveForEnter();
  if (heavy) {
    dc.Brush().SetColor(clWindowFrame);
    dc.FrameRect(r);
    r = InflateRect(r, -1, -1);
  }
  if (pressed_) {
    dc.Brush().SetColor(clBtnShadow);
    dc.FrameRect(r);
    r = InflateRect(r, -1, -1);
  } else {
    dc.Frame3D(r, clBtnHighlight, cl3DDkShadow, 1);
    dc.Frame3D(r, clBtnFace, clBtnShadow, 1);
  }
  dc.Font().Assign(Font());
  dc.Brush().SetStyle(bsClear);
  TRect text = Rect(0, 0, Width(), Height());
  if (pressed_) text = OffsetRect(text, 1, 1);
  const unsigned flags = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
  if (!Enabled()) {
    TRect shifted = OffsetRect(text, 1, 1);
    dc.SetTextColor(clBtnHighlight);
    dc.DrawText(Caption(), shifted, flags);
    dc.SetTextColor(clBtnShadow);
  } else {
    dc.SetTextColor(Font().Color());
  }
  dc.DrawText(Caption(), text, flags);
  if (Focused()) {
    // The dotted focus rectangle inside the face.
    const TRect f = InflateRect(Rect(0, 0, Width(), Height()), -4, -4);
    const TColor ink = ColorToRGB(clBtnText);
    for (int x = f.left; x < f.right; x += 2) {
      dc.SetPixel(x, f.top, ink);
      dc.SetPixel(x, f.bottom - 1, ink);
    }
    for (int y = f.top; y < f.bottom; y += 2) {
      dc.SetPixel(f.left, y, ink);
      dc.SetPixel(f.right - 1, y, ink);
    }
  }
}

}  // namespace ui
