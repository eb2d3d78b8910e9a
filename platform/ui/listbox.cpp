#include <algorithm>

#include "platform/classes/classbuilder.h"
#include "platform/ui/edit.h"
#include "platform/ui/stdctrls.h"

namespace ui {

const classes::TClassInfo& TListBox::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TListBox, TWinControl>("TListBox", [](auto& c) {
    c.Object("Items", [](TListBox& self) -> classes::TStringList& { return self.Items(); });
    c.Event("OnChange", &TListBox::OnChange, &TListBox::SetOnChange);
  });
  return info;
}

TListBox::TListBox(classes::TComponent* owner) : TWinControl(owner) {
  controlStyle_ = csCaptureMouse | csClickEvents | csDoubleClicks | csSetCaption;
  SetBounds(0, 0, 121, 97);
  SetTabStop(true);
  SetColor(clWindow);
  items_.SetOnChange(classes::TNotifyEvent::FromFunction([this](classes::TObject*) {
    if (itemIndex_ >= items_.Count()) itemIndex_ = -1;
    Invalidate();
  }));
}

TRect TListBox::ClientRect() const { return Rect(0, 0, std::max(0, Width() - 4), std::max(0, Height() - 4)); }

int TListBox::ItemHeight() const { return FontTextHeight(Font()); }

int TListBox::ItemAtPos(TPoint p) const {
  if (p.x < 0 || p.y < 0 || p.x >= ClientWidth() || p.y >= ClientHeight()) return -1;
  const int row = topIndex_ + p.y / std::max(1, ItemHeight());
  return row < items_.Count() ? row : -1;
}

void TListBox::SetItemIndex(int v) { Select(v, false); }

void TListBox::Select(int index, bool byUser) {
  if (index < -1 || index >= items_.Count()) index = -1;
  if (index == itemIndex_) return;
  itemIndex_ = index;
  const int visible = std::max(1, ClientHeight() / std::max(1, ItemHeight()));
  if (index >= 0) {
    if (index < topIndex_) topIndex_ = index;
    if (index >= topIndex_ + visible) topIndex_ = index - visible + 1;
  }
  Invalidate();
  if (byUser) onChange_.Fire(this);
}

void TListBox::KeyDown(int& key, TShiftState) {
  const int n = items_.Count();
  if (n == 0) return;
  const int visible = std::max(1, ClientHeight() / std::max(1, ItemHeight()));
  switch (key) {
    case VK_UP: Select(std::max(0, itemIndex_ - 1), true); break;
    case VK_DOWN: Select(std::min(n - 1, itemIndex_ + 1), true); break;
    case VK_HOME: Select(0, true); break;
    case VK_END: Select(n - 1, true); break;
    case VK_PRIOR: Select(std::max(0, itemIndex_ - visible), true); break;
    case VK_NEXT: Select(std::min(n - 1, itemIndex_ + visible), true); break;
    default: return;
  }
  key = 0;
}

void TListBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    const int row = ItemAtPos({x, y});
    if (row >= 0) Select(row, true);
  }
  TWinControl::MouseDown(button, shift, x, y);
}

void TListBox::EraseBackground(TCanvas& dc) {
  dc.Brush().SetColor(Color());
  dc.FillRect(Rect(0, 0, Width(), Height()));
}

void TListBox::PaintWindow(TCanvas& dc) {
  DrawSunkenBorder(dc, Rect(0, 0, Width(), Height()), true);
  const int saved = dc.SaveDC();
  const TPoint o = dc.ViewportOrigin();
  dc.SetViewportOrigin({o.x + 2, o.y + 2});
  dc.IntersectClipRect(ClientRect());
  dc.Font().Assign(Font());
  const int h = ItemHeight();
  for (int i = topIndex_, y = 0; i < items_.Count() && y < ClientHeight(); ++i, y += h) {
    TRect row = Rect(0, y, ClientWidth(), y + h);
    const bool selected = i == itemIndex_;
    if (selected) {
      dc.Brush().SetColor(Focused() ? clHighlight : clBtnFace);
      dc.FillRect(row);
    }
    dc.Brush().SetStyle(bsClear);
    dc.SetTextColor(!Enabled() ? clGrayText : (selected && Focused()) ? clHighlightText : Font().Color());
    TRect text = Rect(2, y, ClientWidth(), y + h);
    dc.DrawText(items_.Get(i), text, ItemTextFlags());
  }
  dc.RestoreDC(saved);
}

}  // namespace ui
