#include "platform/ui/edit.h"

#include <algorithm>

#include "platform/classes/classbuilder.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/strutils.h"
#include "platform/ui/fontengine.h"
#include "platform/ui/forms.h"

namespace ui {

int FontTextHeight(const TFont& font) {
  TCanvas dc;
  dc.Font().Assign(font);
  return dc.TextMetrics().height;
}

const classes::TClassInfo& TCustomEdit::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TCustomEdit, TWinControl>("TCustomEdit", [](auto& c) {
    c.Bool("AutoSelect", &TCustomEdit::AutoSelect, &TCustomEdit::SetAutoSelect).Default(true);
    c.Bool("AutoSize", &TCustomEdit::AutoSize, &TCustomEdit::SetAutoSize).Default(true);
    c.Enum("BorderStyle", &TCustomEdit::BorderStyle, &TCustomEdit::SetBorderStyle, {"bsNone", "bsSingle"})
        .Default(bsSingle);
    c.Enum("CharCase", &TCustomEdit::CharCase, &TCustomEdit::SetCharCase, {"ecNormal", "ecUpperCase", "ecLowerCase"})
        .Default(ecNormal);
    c.Bool("HideSelection", &TCustomEdit::HideSelection, &TCustomEdit::SetHideSelection).Default(true);
    c.Integer("MaxLength", &TCustomEdit::MaxLength, &TCustomEdit::SetMaxLength).Default(0);
    c.Bool("OEMConvert", &TCustomEdit::OEMConvert, &TCustomEdit::SetOEMConvert).Default(false);
    c.Bool("ReadOnly", &TCustomEdit::ReadOnly, &TCustomEdit::SetReadOnly).Default(false);
    c.String("Text", &TCustomEdit::Text, &TCustomEdit::SetText);
    c.Event("OnChange", &TCustomEdit::OnChange, &TCustomEdit::SetOnChange);
  });
  return info;
}

const classes::TClassInfo& TEdit::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TEdit, TCustomEdit>("TEdit", [](auto&) {});
  return info;
}

const classes::TClassInfo& TCustomMaskEdit::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TCustomMaskEdit, TCustomEdit>("TCustomMaskEdit", [](auto& c) {
    c.String("EditMask", &TCustomMaskEdit::EditMask, &TCustomMaskEdit::SetEditMask);
  });
  return info;
}

const classes::TClassInfo& TMaskEdit::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TMaskEdit, TCustomMaskEdit>("TMaskEdit", [](auto&) {});
  return info;
}

TCustomEdit::TCustomEdit(classes::TComponent* owner) : TWinControl(owner) {
  controlStyle_ = csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks | csFixedHeight;
  SetBounds(0, 0, 121, 21);
  SetTabStop(true);
  SetColor(clWindow);
}

int TCustomEdit::BorderWidth() const {
  if (borderStyle_ == bsNone) return 0;
  return Ctl3D() ? 2 : 1;
}

TRect TCustomEdit::ClientRect() const {
  const int b = BorderWidth();
  return Rect(0, 0, std::max(0, Width() - 2 * b), std::max(0, Height() - 2 * b));
}

TPoint TCustomEdit::ClientOrigin() const { return {BorderWidth(), BorderWidth()}; }

TRect TCustomEdit::FormatRect() const {
  if (hasFormatRect_) return formatRect_;
  return ClientRect();
}

void TCustomEdit::CreateParams(TCreateParams& params) {
  params.style = WS_TABSTOP | WS_CLIPSIBLINGS | ES_AUTOHSCROLL | ES_LEFT;
  if (borderStyle_ == bsSingle) params.style |= WS_BORDER;
  if (readOnly_) params.style |= ES_READONLY;
  if (!hideSelection_) params.style |= ES_NOHIDESEL;
  if (oemConvert_) params.style |= ES_OEMCONVERT;
  if (charCase_ == ecUpperCase) params.style |= ES_UPPERCASE;
  if (charCase_ == ecLowerCase) params.style |= ES_LOWERCASE;
}

void TCustomEdit::CreateWnd() {
  params_ = TCreateParams{};
  CreateParams(params_);
  hasFormatRect_ = false;
  TWinControl::CreateWnd();
}

void TCustomEdit::SetReadOnly(bool v) {
  if (v == readOnly_) return;
  readOnly_ = v;
  if (v) params_.style |= ES_READONLY;
  else params_.style &= ~static_cast<unsigned>(ES_READONLY);
}

void TCustomEdit::SetHideSelection(bool v) {
  if (v == hideSelection_) return;
  hideSelection_ = v;
  RecreateWnd();
}

void TCustomEdit::SetCharCase(TEditCharCase v) {
  if (v == charCase_) return;
  charCase_ = v;
  if (v == ecUpperCase) SetText(rtl::AnsiUpperCase(Text()));
  else if (v == ecLowerCase) SetText(rtl::AnsiLowerCase(Text()));
  RecreateWnd();
}

void TCustomEdit::SetOEMConvert(bool v) {
  if (v == oemConvert_) return;
  oemConvert_ = v;
  RecreateWnd();
}

void TCustomEdit::SetBorderStyle(TBorderStyle v) {
  if (v == borderStyle_) return;
  borderStyle_ = v;
  RecreateWnd();
  Invalidate();
}

void TCustomEdit::SetText(const std::string& v) {
  if (v == Text()) return;
  TWinControl::SetText(v);
  const int n = static_cast<int>(Text().size());
  caret_ = std::min(caret_, n);
  anchor_ = caret_;
  selStart_ = std::min(selStart_, n);
  selLength_ = 0;
  Change();
}

void TCustomEdit::Change() {
  if (InState(classes::csReading) || InState(classes::csLoading) || (controlState_ & csCreating)) return;
  onChange_.Fire(this);
}

void TCustomEdit::SetSelStart(int v) {
  const int n = static_cast<int>(Text().size());
  selStart_ = std::clamp(v, 0, n);
  selLength_ = 0;
  caret_ = anchor_ = selStart_;
  Invalidate();
}

void TCustomEdit::SetSelLength(int v) {
  const int n = static_cast<int>(Text().size());
  selLength_ = std::clamp(v, 0, n - selStart_);
  anchor_ = selStart_;
  caret_ = selStart_ + selLength_;
  Invalidate();
}

std::string TCustomEdit::SelText() const {
  return Text().substr(static_cast<std::size_t>(selStart_), static_cast<std::size_t>(selLength_));
}

void TCustomEdit::SetSelText(const std::string& v) { ReplaceSelection(v, false); }

void TCustomEdit::SelectAll() {
  selStart_ = 0;
  selLength_ = static_cast<int>(Text().size());
  anchor_ = 0;
  caret_ = selLength_;
  Invalidate();
}

void TCustomEdit::ClearSelection() { ReplaceSelection("", false); }

void TCustomEdit::CopyToClipboard() {
  if (selLength_ > 0 && Application) Application->Windows().GetBackend().SetClipboardText(SelText());
}

void TCustomEdit::CutToClipboard() { Perform(WM_CUT); }
void TCustomEdit::PasteFromClipboard() { Perform(WM_PASTE); }

void TCustomEdit::ReplaceSelection(const std::string& text, bool typed) {
  std::string current = Text();
  std::string insert = text;
  if (maxLength_ > 0) {
    const int room = maxLength_ - (static_cast<int>(current.size()) - selLength_);
    if (room <= 0 && !insert.empty()) return;
    if (static_cast<int>(insert.size()) > room) insert.resize(static_cast<std::size_t>(std::max(0, room)));
  }
  current.replace(static_cast<std::size_t>(selStart_), static_cast<std::size_t>(selLength_), insert);
  const int pos = selStart_ + static_cast<int>(insert.size());
  TWinControl::SetText(current);
  selStart_ = caret_ = anchor_ = pos;
  selLength_ = 0;
  if (typed) modified_ = true;
  Change();
  Invalidate();
}

char TCustomEdit::ConvertTyped(char c) const {
  if (charCase_ == ecUpperCase) c = rtl::AnsiUpperCase(std::string(1, c))[0];
  else if (charCase_ == ecLowerCase) c = rtl::AnsiLowerCase(std::string(1, c))[0];
  // The text holds only characters the OEM set can carry.
  if (oemConvert_ || (params_.style & ES_OEMCONVERT)) c = rtl::OemToAnsiChar(rtl::AnsiToOemChar(c));
  return c;
}

void TCustomEdit::MoveCaret(int pos, bool extend) {
  const int n = static_cast<int>(Text().size());
  pos = std::clamp(pos, 0, n);
  if (!extend) anchor_ = pos;
  caret_ = pos;
  selStart_ = std::min(anchor_, caret_);
  selLength_ = std::abs(caret_ - anchor_);
  Invalidate();
}

void TCustomEdit::KeyDown(int& key, TShiftState shift) {
  const bool extend = (shift & ssShift) != 0;
  const bool ctrl = (shift & ssCtrl) != 0;
  switch (key) {
    case VK_LEFT: MoveCaret(caret_ - 1, extend); break;
    case VK_RIGHT: MoveCaret(caret_ + 1, extend); break;
    case VK_HOME: MoveCaret(0, extend); break;
    case VK_END: MoveCaret(static_cast<int>(Text().size()), extend); break;
    case VK_DELETE:
      if (extend) {
        Perform(WM_CUT);
      } else if (!(params_.style & ES_READONLY) && EditCanModify()) {
        if (selLength_ == 0 && caret_ < static_cast<int>(Text().size())) {
          selStart_ = caret_;
          selLength_ = 1;
        }
        ReplaceSelection("", true);
      }
      break;
    case VK_INSERT:
      if (extend) Perform(WM_PASTE);
      else if (ctrl) Perform(WM_COPY);
      break;
    case 'A':
      if (ctrl) SelectAll();
      break;
    case 'C':
      if (ctrl) Perform(WM_COPY);
      break;
    case 'X':
      if (ctrl) Perform(WM_CUT);
      break;
    case 'V':
      if (ctrl) Perform(WM_PASTE);
      break;
    default:
      break;
  }
}

void TCustomEdit::KeyPress(char& key) {
  const unsigned char k = static_cast<unsigned char>(key);
  if (params_.style & ES_READONLY) return;
  if (k == 8) {
    if (!EditCanModify()) return;
    if (selLength_ == 0 && caret_ > 0) {
      selStart_ = caret_ - 1;
      selLength_ = 1;
    }
    ReplaceSelection("", true);
    return;
  }
  if (k < 0x20) return;  // Enter, Escape, Tab and control characters enter no text
  if (!EditCanModify()) return;
  ReplaceSelection(std::string(1, ConvertTyped(key)), true);
}

int TCustomEdit::CharIndexAt(int x) {
  TCanvas dc;
  dc.Font().Assign(Font());
  const std::string& t = Text();
  const int origin = FormatRect().left + 1 - scrollX_;
  int pen = origin;
  for (std::size_t i = 0; i < t.size(); ++i) {
    const int w = dc.TextWidth(t.substr(i, 1));
    if (x < pen + w / 2) return static_cast<int>(i);
    pen += w;
  }
  return static_cast<int>(t.size());
}

void TCustomEdit::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    if (shift & ssDouble) {
      SelectAll();
    } else {
      MoveCaret(CharIndexAt(x), (shift & ssShift) != 0);
      mouseSelecting_ = true;
    }
  }
  TWinControl::MouseDown(button, shift, x, y);
}

void TCustomEdit::MouseMove(TShiftState shift, int x, int y) {
  if (mouseSelecting_) MoveCaret(CharIndexAt(x), true);
  TWinControl::MouseMove(shift, x, y);
}

void TCustomEdit::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) mouseSelecting_ = false;
  TWinControl::MouseUp(button, shift, x, y);
}

void TCustomEdit::WndProc(TMessage& m) {
  switch (m.msg) {
    case WM_COPY:
      CopyToClipboard();
      return;
    case WM_CUT:
      if ((params_.style & ES_READONLY) || !EditCanModify()) return;
      CopyToClipboard();
      ReplaceSelection("", true);
      return;
    case WM_PASTE: {
      if ((params_.style & ES_READONLY) || !EditCanModify() || !Application) return;
      // One line: the clipboard text up to its first line break.
      std::string t = Application->Windows().GetBackend().ClipboardText();
      const std::size_t br = t.find_first_of("\r\n");
      if (br != std::string::npos) t.resize(br);
      ReplaceSelection(t, true);
      return;
    }
    case WM_CLEAR:
      if (!(params_.style & ES_READONLY)) ReplaceSelection("", true);
      return;
    case EM_SETRECTNP:
      if (m.lParam) {
        formatRect_ = *reinterpret_cast<const TRect*>(m.lParam);
        hasFormatRect_ = true;
      } else {
        hasFormatRect_ = false;
      }
      return;
    case EM_SETREADONLY:
      if (m.wParam) params_.style |= ES_READONLY;
      else params_.style &= ~static_cast<unsigned>(ES_READONLY);
      m.result = 1;
      return;
    case CM_ENTER:
      // Focus arriving by the keyboard selects the whole text.
      if (autoSelect_ && !(controlState_ & csLButtonDown) && !(params_.style & ES_MULTILINE)) SelectAll();
      TWinControl::WndProc(m);
      return;
    default:
      TWinControl::WndProc(m);
  }
}

void TCustomEdit::EraseBackground(TCanvas& dc) {
  dc.Brush().SetColor(Color());
  dc.FillRect(Rect(0, 0, Width(), Height()));
}

void TCustomEdit::ScrollCaretIntoView(TCanvas& dc) {
  const TRect fr = FormatRect();
  const int room = std::max(1, fr.Width() - 2);
  const int caretX = dc.TextWidth(std::string_view(Text()).substr(0, static_cast<std::size_t>(caret_)));
  if (caretX - scrollX_ > room) scrollX_ = caretX - room;
  if (caretX < scrollX_) scrollX_ = caretX;
  if (scrollX_ < 0) scrollX_ = 0;
}

void TCustomEdit::PaintWindow(TCanvas& dc) {
  if (borderStyle_ == bsSingle) DrawSunkenBorder(dc, Rect(0, 0, Width(), Height()), Ctl3D());
  const int b = BorderWidth();
  const int saved = dc.SaveDC();
  const TPoint o = dc.ViewportOrigin();
  dc.SetViewportOrigin({o.x + b, o.y + b});
  const TRect fr = FormatRect();
  dc.IntersectClipRect(IntersectRect(fr, ClientRect()));
  dc.Font().Assign(Font());
  ScrollCaretIntoView(dc);
  const std::string& t = Text();
  const int x0 = fr.left + 1 - scrollX_;
  const int y0 = fr.top + 1;
  dc.Brush().SetStyle(bsClear);
  dc.SetTextColor(EditTextColor());
  dc.TextOut(x0, y0, t);
  const bool showSelection = selLength_ > 0 && (Focused() || !hideSelection_);
  if (showSelection) {
    const std::string before = t.substr(0, static_cast<std::size_t>(selStart_));
    const std::string sel = SelText();
    const int sx = x0 + dc.TextWidth(before);
    dc.Brush().SetColor(clHighlight);
    dc.FillRect(Rect(sx, y0, sx + dc.TextWidth(sel), y0 + dc.TextMetrics().height));
    dc.Brush().SetStyle(bsClear);
    dc.SetTextColor(clHighlightText);
    dc.TextOut(sx, y0, sel);
  }
  if (Focused()) {
    // The caret: the font's cell height, 2 pixels wide for a bold font.
    const int cx = x0 + dc.TextWidth(std::string_view(t).substr(0, static_cast<std::size_t>(caret_)));
    const int width = (Font().Style() & fsBold) ? 2 : 1;
    dc.Brush().SetColor(Font().Color());
    dc.FillRect(Rect(cx, y0, cx + width, y0 + FontTextHeight(Font())));
  }
  dc.RestoreDC(saved);
}

}  // namespace ui
