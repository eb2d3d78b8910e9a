#include <algorithm>

#include "platform/classes/classbuilder.h"
#include "platform/classes/errors.h"
#include "platform/ui/fontengine.h"
#include "platform/ui/forms.h"
#include "platform/ui/stdctrls.h"

namespace ui {

void DrawSunkenBorder(TCanvas& dc, TRect r, bool ctl3D) {
  if (ctl3D) {
    dc.Frame3D(r, clBtnShadow, clBtnHighlight, 1);
    dc.Frame3D(r, cl3DDkShadow, cl3DLight, 1);
  } else {
    dc.Brush().SetColor(clWindowFrame);
    dc.FrameRect(r);
  }
}

std::string TMemoStrings::Get(int index) const {
  if (index < 0 || index >= Count()) throw classes::EListError("List index out of bounds (" + std::to_string(index) + ")");
  return lines_[static_cast<std::size_t>(index)];
}

void TMemoStrings::Put(int index, const std::string& s) {
  if (index < 0 || index >= Count()) throw classes::EListError("List index out of bounds (" + std::to_string(index) + ")");
  lines_[static_cast<std::size_t>(index)] = s;
  memo_.LinesChanged(false, s);
}

void TMemoStrings::Insert(int index, const std::string& s) {
  if (index < 0 || index > Count()) throw classes::EListError("List index out of bounds (" + std::to_string(index) + ")");
  const bool atEnd = index == Count();
  lines_.insert(lines_.begin() + index, s);
  memo_.LinesChanged(atEnd, s);
}

void TMemoStrings::Delete(int index) {
  if (index < 0 || index >= Count()) throw classes::EListError("List index out of bounds (" + std::to_string(index) + ")");
  lines_.erase(lines_.begin() + index);
  memo_.LinesChanged(false, {});
}

void TMemoStrings::Clear() {
  lines_.clear();
  memo_.LinesChanged(false, {});
}

const classes::TClassInfo& TCustomMemo::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TCustomMemo, TWinControl>("TCustomMemo", [](auto& c) {
    c.Enum("Alignment", &TCustomMemo::Alignment, &TCustomMemo::SetAlignment,
           {"taLeftJustify", "taRightJustify", "taCenter"})
        .Default(taLeftJustify);
    c.Enum("BorderStyle", &TCustomMemo::BorderStyle, &TCustomMemo::SetBorderStyle, {"bsNone", "bsSingle"})
        .Default(bsSingle);
    c.Object("Lines", [](TCustomMemo& self) -> TMemoStrings& { return self.Lines(); });
    c.Integer("MaxLength", &TCustomMemo::MaxLength, &TCustomMemo::SetMaxLength).Default(0);
    c.Bool("ReadOnly", &TCustomMemo::ReadOnly, &TCustomMemo::SetReadOnly).Default(false);
    c.Enum("ScrollBars", &TCustomMemo::ScrollBars, &TCustomMemo::SetScrollBars,
           {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"})
        .Default(ssNone);
    c.Bool("WantReturns", &TCustomMemo::WantReturns, &TCustomMemo::SetWantReturns).Default(true);
    c.Bool("WantTabs", &TCustomMemo::WantTabs, &TCustomMemo::SetWantTabs).Default(false);
    c.Bool("WordWrap", &TCustomMemo::WordWrap, &TCustomMemo::SetWordWrap).Default(true);
    c.Event("OnChange", &TCustomMemo::OnChange, &TCustomMemo::SetOnChange);
  });
  return info;
}

const classes::TClassInfo& TMemo::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TMemo, TCustomMemo>("TMemo", [](auto&) {});
  return info;
}

TCustomMemo::TCustomMemo(classes::TComponent* owner)
    : TWinControl(owner), lines_(std::make_unique<TMemoStrings>(*this)) {
  SetBounds(0, 0, 185, 89);
  SetTabStop(true);
  SetColor(clWindow);
  controlStyle_ |= csDoubleClicks;
}

TCustomMemo::~TCustomMemo() = default;

void TCustomMemo::SetWordWrap(bool v) {
  if (v == wordWrap_) return;
  wordWrap_ = v;
  Invalidate();
}

void TCustomMemo::SetBorderStyle(TBorderStyle v) {
  if (v == borderStyle_) return;
  borderStyle_ = v;
  Invalidate();
}

TRect TCustomMemo::ClientRect() const {
  const int b = borderStyle_ == bsNone ? 0 : (Ctl3D() ? 2 : 1);
  return Rect(0, 0, std::max(0, Width() - 2 * b), std::max(0, Height() - 2 * b));
}

TPoint TCustomMemo::ClientOrigin() const {
  const int b = borderStyle_ == bsNone ? 0 : (Ctl3D() ? 2 : 1);
  return {b, b};
}

std::string TCustomMemo::MemoText() const {
  std::string out;
  for (const std::string& l : lines_->Items()) {
    out += l;
    out += "\r\n";
  }
  return out;
}

void TCustomMemo::SetMemoText(const std::string& text) {
  lines_->BeginUpdate();
  lines_->Clear();
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '\r' || text[i] == '\n') {
      if (i < text.size() || i > start) lines_->Add(text.substr(start, i - start));
      if (i < text.size() && text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  lines_->EndUpdate();
}

void TCustomMemo::LinesChanged(bool appendedAtEnd, const std::string& line) {
  if (appendedAtEnd) {
    followEnd_ = true;
    if (Application && !InState(classes::csReading)) Application->Windows().GetBackend().MemoLineAdded(line);
  }
  Invalidate();
  if (!InState(classes::csReading) && !InState(classes::csLoading)) onChange_.Fire(this);
}

std::vector<std::string> TCustomMemo::Rows(TCanvas& dc) const {
  const int room = std::max(1, ClientWidth() - 4);
  std::vector<std::string> rows;
  for (const std::string& l : lines_->Items()) {
    if (!wordWrap_ || l.empty()) {
      rows.push_back(l);
      continue;
    }
    for (std::string& r : WrapText(dc.Face(), l, room)) rows.push_back(std::move(r));
  }
  return rows;
}

void TCustomMemo::EraseBackground(TCanvas& dc) {
  dc.Brush().SetColor(Color());
  dc.FillRect(Rect(0, 0, Width(), Height()));
}

void TCustomMemo::PaintWindow(TCanvas& dc) {
  if (borderStyle_ == bsSingle) DrawSunkenBorder(dc, Rect(0, 0, Width(), Height()), Ctl3D());
  const int b = borderStyle_ == bsNone ? 0 : (Ctl3D() ? 2 : 1);
  const int saved = dc.SaveDC();
  const TPoint o = dc.ViewportOrigin();
  dc.SetViewportOrigin({o.x + b, o.y + b});
  dc.IntersectClipRect(ClientRect());
  dc.Font().Assign(Font());
  dc.Brush().SetStyle(bsClear);
  dc.SetTextColor(Enabled() ? Font().Color() : clGrayText);
  const std::vector<std::string> rows = Rows(dc);
  const int lineHeight = dc.TextMetrics().height;
  const int visible = std::max(1, ClientHeight() / std::max(1, lineHeight));
  // The view follows the end of the log as lines are appended.
  if (followEnd_) topRow_ = std::max(0, static_cast<int>(rows.size()) - visible);
  topRow_ = std::clamp(topRow_, 0, std::max(0, static_cast<int>(rows.size()) - 1));
  int y = 0;
  for (std::size_t i = static_cast<std::size_t>(topRow_); i < rows.size() && y < ClientHeight(); ++i) {
    TRect r = Rect(2, y, ClientWidth() - 2, y + lineHeight);
    unsigned flags = DT_NOPREFIX | DT_SINGLELINE;
    if (alignment_ == taCenter) flags |= DT_CENTER;
    else if (alignment_ == taRightJustify) flags |= DT_RIGHT;
    dc.DrawText(rows[i], r, flags);
    y += lineHeight;
  }
  dc.RestoreDC(saved);
}

LRESULT TCustomMemo::DialogCode() const {
  LRESULT code = DLGC_WANTARROWS | DLGC_WANTCHARS;
  if (wantTabs_) code |= DLGC_WANTTAB;
  if (wantReturns_) code |= DLGC_WANTALLKEYS;
  return code;
}

void TCustomMemo::KeyPress(char& key) {
  if (readOnly_) return;
  // Typing goes to the end of the text (the log's caret stays there).
  if (key == '\r') {
    if (!wantReturns_) return;
    lines_->Add("");
  } else if (key == '\b') {
    if (lines_->Count() == 0) return;
    std::string last = lines_->Get(lines_->Count() - 1);
    if (last.empty()) lines_->Delete(lines_->Count() - 1);
    else {
      last.pop_back();
      lines_->Put(lines_->Count() - 1, last);
    }
  } else if (static_cast<unsigned char>(key) >= 0x20 || (key == '\t' && wantTabs_)) {
    if (lines_->Count() == 0) lines_->Add(std::string(1, key));
    else lines_->Put(lines_->Count() - 1, lines_->Get(lines_->Count() - 1) + key);
  }
}

void TCustomMemo::BoundsChanged(bool sizeChanged) {
  TWinControl::BoundsChanged(sizeChanged);
  followEnd_ = true;
}

}  // namespace ui
