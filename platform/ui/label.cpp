#include <cctype>

#include "platform/classes/classbuilder.h"
#include "platform/ui/forms.h"
#include "platform/ui/stdctrls.h"

namespace ui {

const classes::TClassInfo& TCustomLabel::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TCustomLabel, TGraphicControl>("TCustomLabel", [](auto& c) {
    c.Enum("Alignment", &TCustomLabel::Alignment, &TCustomLabel::SetAlignment,
           {"taLeftJustify", "taRightJustify", "taCenter"})
        .Default(taLeftJustify);
    c.Bool("AutoSize", &TCustomLabel::AutoSize, &TCustomLabel::SetAutoSize).Default(true);
    c.Component("FocusControl", &TCustomLabel::FocusControl, &TCustomLabel::SetFocusControl);
    c.Enum("Layout", &TCustomLabel::Layout, &TCustomLabel::SetLayout, {"tlTop", "tlCenter", "tlBottom"})
        .Default(tlTop);
    c.Bool("ShowAccelChar", &TCustomLabel::ShowAccelChar, &TCustomLabel::SetShowAccelChar).Default(true);
    c.Bool("Transparent", &TCustomLabel::Transparent, &TCustomLabel::SetTransparent).Default(false);
    c.Bool("WordWrap", &TCustomLabel::WordWrap, &TCustomLabel::SetWordWrap).Default(false);
  });
  return info;
}

const classes::TClassInfo& TLabel::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TLabel, TCustomLabel>("TLabel", [](auto&) {});
  return info;
}

TCustomLabel::TCustomLabel(classes::TComponent* owner) : TGraphicControl(owner) {
  controlStyle_ |= csReplicatable;
  SetBounds(0, 0, 65, 17);
  SetParentColor(true);
}

unsigned TCustomLabel::TextFlags() const {
  unsigned flags = DT_EXPANDTABS;
  if (wordWrap_) flags |= DT_WORDBREAK;
  if (!showAccelChar_) flags |= DT_NOPREFIX;
  if (alignment_ == taCenter) flags |= DT_CENTER;
  else if (alignment_ == taRightJustify) flags |= DT_RIGHT;
  return flags;
}

void TCustomLabel::AdjustBounds() {
  if (!autoSize_ || InState(classes::csReading) || InState(classes::csLoading)) return;
  TBitmap scratch(1, 1);
  TCanvas& dc = scratch.Canvas();
  dc.Font().Assign(Font());
  std::string text = Caption();
  // An empty caption (or a lone prefix) still takes one line.
  if (text.empty() || (showAccelChar_ && text == "&")) text += ' ';
  TRect r = Rect(0, 0, wordWrap_ ? Width() : 0x7FFF, 0);
  dc.DrawText(text, r, TextFlags() | DT_CALCRECT);
  int left = Left();
  if (alignment_ == taRightJustify) left = Left() + Width() - r.Width();
  else if (alignment_ == taCenter) left = Left() + (Width() - r.Width()) / 2;
  SetBounds(wordWrap_ ? Left() : left, Top(), wordWrap_ ? Width() : r.Width(), r.Height());
}

void TCustomLabel::SetAutoSize(bool v) {
  if (v == autoSize_) return;
  autoSize_ = v;
  AdjustBounds();
}

void TCustomLabel::SetAlignment(TAlignment v) {
  if (v == alignment_) return;
  alignment_ = v;
  Invalidate();
}

void TCustomLabel::SetLayout(TTextLayout v) {
  if (v == layout_) return;
  layout_ = v;
  Invalidate();
}

void TCustomLabel::SetWordWrap(bool v) {
  if (v == wordWrap_) return;
  wordWrap_ = v;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetTransparent(bool v) {
  if (v == transparent_) return;
  transparent_ = v;
  Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool v) {
  if (v == showAccelChar_) return;
  showAccelChar_ = v;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetText(const std::string& v) {
  TGraphicControl::SetText(v);
  AdjustBounds();
}

void TCustomLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

void TCustomLabel::FontChanged() {
  TGraphicControl::FontChanged();
  AdjustBounds();
}

bool IsAccelerator(int key, const std::string& caption) {
  for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    return std::toupper(static_cast<unsigned char>(caption[i + 1])) == std::toupper(key);
  }
  return false;
}

void TCustomLabel::WndProc(TMessage& m) {
  // The accelerator of the caption moves the focus to the associated control.
  if (m.msg == CM_DIALOGCHAR && focusControl_ && showAccelChar_ && Enabled() &&
      IsAccelerator(static_cast<int>(m.wParam), Caption()) && focusControl_->CanFocus()) {
    focusControl_->SetFocus();
    m.result = 1;
    return;
  }
  TGraphicControl::WndProc(m);
}

void TCustomLabel::Paint() {
  TCanvas& dc = Canvas();
  TRect r = Rect(0, 0, Width(), Height());
  if (!transparent_) {
    dc.Brush().SetColor(Color());
    dc.FillRect(r);
  }
  dc.Brush().SetStyle(bsClear);
  unsigned flags = TextFlags();
  std::string text = Caption();
  if (layout_ != tlTop) {
    TRect calc = r;
    dc.DrawText(text.empty() ? " " : text, calc, flags | DT_CALCRECT);
    const int dy = layout_ == tlBottom ? r.Height() - calc.Height() : (r.Height() - calc.Height()) / 2;
    r.top += dy;
  }
  if (!Enabled()) {
    TRect shifted = OffsetRect(r, 1, 1);
    dc.SetTextColor(clBtnHighlight);
    dc.DrawText(text, shifted, flags);
    dc.SetTextColor(clBtnShadow);
    dc.DrawText(text, r, flags);
  } else {
    dc.SetTextColor(Font().Color());
    dc.DrawText(text, r, flags);
  }
}

}  // namespace ui
