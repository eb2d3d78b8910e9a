#include "controls/tooledit.h"

#include <algorithm>

#include "controls/fileutil.h"
#include "controls/resources.h"
#include "controls/vxcconst.h"
#include "controls/vxstrutils.h"
#include "platform/classes/classbuilder.h"
#include "platform/classes/registry.h"
#include "platform/rtl/files.h"
#include "platform/rtl/paths.h"
#include "platform/ui/dropfiles.h"
#include "platform/ui/errormode.h"
#include "platform/ui/forms.h"
#include "platform/ui/winapi.h"

std::uint16_t ShortCut(int key, ui::TShiftState shift) {
  std::uint16_t sc = static_cast<std::uint16_t>(key & 0xFF);
  if (shift & ui::ssShift) sc |= scShift;
  if (shift & ui::ssCtrl) sc |= scCtrl;
  if (shift & ui::ssAlt) sc |= scAlt;
  return sc;
}

// The shared folder glyph.

namespace {
std::unique_ptr<ui::TBitmap>& FolderGlyphSlot() {
  static std::unique_ptr<ui::TBitmap> glyph;  // freed at program end
  return glyph;
}
}  // namespace

ui::TBitmap* DefaultFolderGlyph() {
  auto& slot = FolderGlyphSlot();
  if (!slot) slot = LoadBitmapResource("FEDITBMP");
  return slot.get();
}

void FreeEditGlyphs() { FolderGlyphSlot().reset(); }

void RegisterEditorControls() {
  classes::RegisterClass<TDirectoryEdit>();
  if (ui::Screen) RegisterEditorCursors(*ui::Screen);
}

std::unique_ptr<ui::TBitmap> ComboArrowBitmap() {
  // A black arrow pointing down, on the button face.
  auto bmp = std::make_unique<ui::TBitmap>(7, 4);
  const std::uint32_t face = ui::ColorToRGB(ui::clBtnFace);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 7; ++x) bmp->Pixels().At(x, y) = (x >= y && x < 7 - y) ? 0x000000 : face;
  return bmp;
}

// The embedded button.

const classes::TClassInfo& TEditButton::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TEditButton, TVxSpeedButton>("TEditButton", [](auto&) {});
  return info;
}

TEditButton::TEditButton(classes::TComponent* owner) : TVxSpeedButton(owner) {
  controlStyle_ |= ui::csReplicatable;
  SetParentShowHint(true);
}

void TEditButton::Paint() {
  TVxSpeedButton::Paint();
  if (FaceState() == gsDown) return;
  ui::TCanvas& dc = Canvas();
  dc.Pen().SetColor(ui::clBtnFace);
  dc.MoveTo(0, 0);
  dc.LineTo(0, Height() - 1);
  dc.Pen().SetColor(ui::clBtnHighlight);
  dc.MoveTo(1, 1);
  dc.LineTo(1, Height() - 2);
}

void TEditButton::MouseDown(ui::TMouseButton button, ui::TShiftState shift, int x, int y) {
  if (button == ui::mbLeft) {
    if (auto* edit = dynamic_cast<TCustomComboEdit*>(Owner());
        edit && edit->TabStop() && edit->CanFocus() && !edit->Focused())
      edit->SetFocus();
  }
  TVxSpeedButton::MouseDown(button, shift, x, y);
}

// The combo edit.

const classes::TClassInfo& TCustomComboEdit::StaticClassInfo() {
  static const auto info =
      classes::TClassInfo::Make<TCustomComboEdit, ui::TCustomMaskEdit>("TCustomComboEdit", [](auto&) {});
  return info;
}

TCustomComboEdit::TCustomComboEdit(classes::TComponent* owner) : ui::TCustomMaskEdit(owner) {
  controlStyle_ |= ui::csCaptureMouse;
  SetAutoSize(false);
  directInput_ = true;
  clickKey_ = 32808;
  buttonPanel_ = new ui::TWinControl(this);
  buttonPanel_->SetControlStyle(buttonPanel_->ControlStyle() | ui::csReplicatable);
  buttonPanel_->SetBounds(0, 0, 21, 17);
  buttonPanel_->SetVisible(true);
  buttonPanel_->SetParent(this);
  button_ = new TEditButton(this);
  button_->SetBounds(0, 0, buttonPanel_->Width(), buttonPanel_->Height());
  button_->SetVisible(true);
  button_->SetParent(buttonPanel_);
  button_->SetOnClick(classes::TNotifyEvent::FromFunction([this](classes::TObject*) { EmbeddedButtonClick(); }));
  SetHeight(21);
  defaultGlyphCount_ = 1;
  glyphKind_ = gkCustom;
}

TCustomComboEdit::~TCustomComboEdit() {
  if (button_) button_->SetOnClick({});
}

int TCustomComboEdit::ButtonWidth() const { return button_->Width(); }

void TCustomComboEdit::SetButtonWidth(int v) {
  if (v == button_->Width()) return;
  buttonPanel_->SetVisible(v > 1);
  if (controlState_ & ui::csCreating) {
    buttonPanel_->SetWidth(v);
    button_->SetWidth(v);
    button_->SetFixedWidth(false);
    ApplyGlyphKind();
  } else if (v < ClientWidth()) {
    button_->SetWidth(v);
    button_->SetFixedWidth(false);
    if (HandleAllocated()) RecreateWnd();
    PlaceButtonPanel();  // what the size handling of the new window does
    ApplyGlyphKind();
  }
}

const std::string& TCustomComboEdit::ButtonHint() const { return button_->Hint(); }
void TCustomComboEdit::SetButtonHint(const std::string& v) { button_->SetHint(v); }

ui::TBitmap* TCustomComboEdit::Glyph() const { return &button_->Glyph(); }

void TCustomComboEdit::SetGlyph(ui::TBitmap* v) {
  SetButtonGlyph(v);
  glyphKind_ = gkCustom;
}

void TCustomComboEdit::SetButtonGlyph(const ui::TBitmap* v) {
  if (v) {
    button_->SetGlyph(*v);
  } else {
    const ui::TBitmap none;
    button_->SetGlyph(none);
  }
}

int TCustomComboEdit::NumGlyphs() const { return button_->NumGlyphs(); }

void TCustomComboEdit::SetNumGlyphs(int v) {
  switch (glyphKind_) {
    case gkDefault: button_->SetNumGlyphs(static_cast<TVxNumGlyphs>(defaultGlyphCount_)); break;
    case gkDropDown:
    case gkEllipsis: button_->SetNumGlyphs(1); break;
    case gkCustom: button_->SetNumGlyphs(static_cast<TVxNumGlyphs>(v)); break;
  }
}

void TCustomComboEdit::SetGlyphKind(TGlyphKind v) {
  if (v == glyphKind_) return;
  glyphKind_ = v;
  if (v == gkCustom && InState(classes::csReading)) SetButtonGlyph(nullptr);
  ApplyGlyphKind();
  if (v == gkDefault) {
    const int count = std::max(1, static_cast<int>(button_->NumGlyphs()));
    SetButtonWidth(std::max(button_->Glyph().Width() / count + 6, button_->Width()));
  } else if (v == gkDropDown) {
    SetButtonWidth(ui::GetSystemMetrics(ui::SM_CXVSCROLL));
    button_->SetFixedWidth(true);
  }
}

int TCustomComboEdit::DefaultButtonWidth() const {
  if (glyphKind_ == gkDefault) {
    const int count = std::max(1, static_cast<int>(button_->NumGlyphs()));
    return std::max(button_->Glyph().Width() / count + 6, 21);
  }
  if (glyphKind_ == gkDropDown) return ui::GetSystemMetrics(ui::SM_CXVSCROLL);
  return 21;
}

void TCustomComboEdit::ApplyGlyphKind() {
  switch (glyphKind_) {
    case gkDefault: {
      bool destroy = false;
      ui::TBitmap* glyph = GetDefaultButtonGlyph(destroy);
      SetButtonGlyph(glyph);
      button_->SetNumGlyphs(static_cast<TVxNumGlyphs>(defaultGlyphCount_));
      if (destroy) delete glyph;
      break;
    }
    case gkDropDown: {
      auto arrow = ComboArrowBitmap();
      SetButtonGlyph(arrow.get());
      button_->SetNumGlyphs(1);
      break;
    }
    case gkEllipsis: {
      auto dots = CreateEllipsisGlyph();
      SetButtonGlyph(dots.get());
      button_->SetNumGlyphs(1);
      break;
    }
    case gkCustom: break;
  }
}

std::unique_ptr<ui::TBitmap> TCustomComboEdit::CreateEllipsisGlyph() const {
  const int w = std::max(1, button_->Width() - 6);
  auto bmp = std::make_unique<ui::TBitmap>(w, 4);
  ui::Surface& s = bmp->Pixels();
  s.monochrome = true;
  std::fill(s.pixels.begin(), s.pixels.end(), 0xFFFFFFu);
  const int dot = 2;
  const int gap = std::clamp((w - 6) / 2, 1, 3);
  const int x0 = (w - 6 - 2 * gap) / 2;
  for (int left : {x0, x0 + gap + dot, x0 + 2 * gap + 2 * dot})
    for (int y = 1; y < 1 + dot; ++y)
      for (int x = left; x < left + dot; ++x)
        if (s.Inside(x, y)) s.At(x, y) = 0;
  return bmp;
}

ui::TBitmap* TCustomComboEdit::GetDefaultButtonGlyph(bool& destroyNeeded) {
  destroyNeeded = false;
  return nullptr;
}

void TCustomComboEdit::HandleButtonClick() { onButtonClick_.Fire(this); }

void TCustomComboEdit::EmbeddedButtonClick() {
  if (!ReadOnly()) HandleButtonClick();
}

void TCustomComboEdit::SetDirectInput(bool v) {
  TCustomEdit::SetReadOnly(!v || readOnly_);
  directInput_ = v;
}

void TCustomComboEdit::SetReadOnly(bool v) {
  if (v == readOnly_) return;
  readOnly_ = v;
  TCustomEdit::SetReadOnly(v || !directInput_);
}

void TCustomComboEdit::SelectAllIfDirectInput() {
  if (directInput_) SelectAll();
}

void TCustomComboEdit::CreateParams(ui::TCreateParams& params) {
  TCustomMaskEdit::CreateParams(params);
  params.style |= ui::ES_MULTILINE | ui::WS_CLIPCHILDREN | ui::ES_LEFT;
}

void TCustomComboEdit::CreateWnd() {
  TCustomMaskEdit::CreateWnd();
  UpdateEditRect();
}

void TCustomComboEdit::UpdateEditRect() {
  ui::TRect r = ui::Rect(0, 0, ClientWidth() - buttonPanel_->Width() - 2, ClientHeight() + 1);
  Perform(ui::EM_SETRECTNP, 0, reinterpret_cast<ui::LPARAM>(&r));
}

void TCustomComboEdit::PlaceButtonPanel() {
  const int w = button_->Width();
  const int W = Width(), H = Height();
  ui::TRect r;
  if (BorderStyle() == ui::bsSingle && Ctl3D()) r = ui::Bounds(W - w - 4, 0, w, H - 4);
  else if (BorderStyle() == ui::bsSingle) r = ui::Bounds(W - w - 2, 2, w, H - 4);
  else r = ui::Bounds(W - w, 0, w, H);
  placing_ = true;
  buttonPanel_->SetBoundsRect(r);
  button_->SetHeight(buttonPanel_->Height());
  placing_ = false;
  UpdateEditRect();
}

int TCustomComboEdit::EditTextHeight() const {
  return std::min(ui::FontTextHeight(ui::TFont()), ui::FontTextHeight(Font()));
}

int TCustomComboEdit::MinimumEditHeight() const {
  return EditTextHeight() + 4 * ui::GetSystemMetrics(ui::SM_CYBORDER) + 1;
}

void TCustomComboEdit::BoundsChanged(bool sizeChanged) {
  TCustomMaskEdit::BoundsChanged(sizeChanged);
  if (!button_ || !sizeChanged) return;
  if (InState(classes::csLoading)) {
    PlaceButtonPanel();
    return;
  }
  if (Height() < MinimumEditHeight()) {
    SetHeight(MinimumEditHeight());  // comes back here with the new size
    return;
  }
  PlaceButtonPanel();
}

void TCustomComboEdit::FontChanged() {
  TCustomMaskEdit::FontChanged();
  if (button_ && HandleAllocated()) UpdateEditRect();
}

void TCustomComboEdit::SetEnabled(bool v) {
  TCustomMaskEdit::SetEnabled(v);
  if (button_) button_->SetEnabled(v);
}

ui::TColor TCustomComboEdit::EditTextColor() const {
  if (!Enabled() && Color() != ui::clGrayText) return ui::clGrayText;
  return Font().Color();
}

void TCustomComboEdit::CreateEditCaret() {
  caretSize_ = {(Font().Style() & ui::fsBold) ? 2 : 1, EditTextHeight()};
}

void TCustomComboEdit::KeyDown(int& key, ui::TShiftState shift) {
  TCustomMaskEdit::KeyDown(key, shift);
  if (key != 0 && ShortCut(key, shift) == clickKey_ && ButtonWidth() > 0) {
    EmbeddedButtonClick();
    key = 0;
  }
}

// Enter and Escape reach the key-press handling (the edit is a multi-line window, which keeps
// them), and from there the form's default or cancel button.
bool TCustomComboEdit::HandleNavigationKey(int key, ui::TShiftState shift) {
  if (key == ui::VK_RETURN || key == ui::VK_ESCAPE) return false;
  return TCustomMaskEdit::HandleNavigationKey(key, shift);
}

void TCustomComboEdit::KeyPress(char& key) {
  if (key == '\r' || key == 27) {
    if (ui::TCustomForm* form = ui::GetParentForm(this)) {
      const bool enter = key == '\r';
      form->Perform(ui::CM_DIALOGKEY, static_cast<ui::WPARAM>(static_cast<unsigned char>(key)), 0);
      if (enter) {
        TCustomMaskEdit::KeyPress(key);
        key = 0;
        return;
      }
    }
  }
  TCustomMaskEdit::KeyPress(key);
}

void TCustomComboEdit::WndProc(ui::TMessage& m) {
  switch (m.msg) {
    case ui::WM_PASTE:
    case ui::WM_CUT:
      if (!directInput_ || ReadOnly()) return;
      TCustomMaskEdit::WndProc(m);
      return;
    case ui::WM_SETFOCUS:
      TCustomMaskEdit::WndProc(m);
      hasFocus_ = true;
      CreateEditCaret();
      return;
    case ui::WM_KILLFOCUS:
      TCustomMaskEdit::WndProc(m);
      hasFocus_ = false;
      return;
    case ui::CM_ENTER:
      if (AutoSelect() && !(controlState_ & ui::csLButtonDown)) SelectAllIfDirectInput();
      TCustomMaskEdit::WndProc(m);
      return;
    case ui::CM_CTL3DCHANGED:
      TCustomMaskEdit::WndProc(m);
      if (button_) PlaceButtonPanel();
      return;
    default:
      TCustomMaskEdit::WndProc(m);
  }
}

// File and directory edits.

const classes::TClassInfo& TFileDirEdit::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TFileDirEdit, TCustomComboEdit>("TFileDirEdit", [](auto& c) {
    c.Bool("AcceptFiles", &TFileDirEdit::AcceptFiles, &TFileDirEdit::SetAcceptFiles).Default(false);
    c.Event("OnBeforeDialog", &TFileDirEdit::OnBeforeDialog, &TFileDirEdit::SetOnBeforeDialog);
    c.Event("OnAfterDialog", &TFileDirEdit::OnAfterDialog, &TFileDirEdit::SetOnAfterDialog);
    c.Event("OnDropFiles", &TFileDirEdit::OnDropFiles, &TFileDirEdit::SetOnDropFiles);
    c.Event("OnButtonClick", &TFileDirEdit::OnButtonClick, &TFileDirEdit::SetOnButtonClick);
  });
  return info;
}

TFileDirEdit::TFileDirEdit(classes::TComponent* owner) : TCustomComboEdit(owner) {
  SetOEMConvert(true);
  controlState_ |= ui::csCreating;
  SetGlyphKind(gkDefault);
  controlState_ &= ~ui::csCreating;
}

TFileDirEdit::~TFileDirEdit() = default;

ui::TBitmap* TFileDirEdit::GetDefaultButtonGlyph(bool& destroyNeeded) {
  destroyNeeded = false;
  return DefaultFolderGlyph();
}

void TFileDirEdit::SetAcceptFiles(bool v) {
  if (v == acceptFiles_) return;
  acceptFiles_ = v;
  RegisterDropTarget(v);
}

void TFileDirEdit::RegisterDropTarget(bool enable) {
  if (InState(classes::csDesigning) || !HandleAllocated()) return;
  ui::DragAcceptFiles(Handle(), enable);
}

void TFileDirEdit::CreateWnd() {
  TCustomComboEdit::CreateWnd();
  if (acceptFiles_) RegisterDropTarget(true);
}

void TFileDirEdit::DestroyWnd() {
  RegisterDropTarget(false);
  TCustomComboEdit::DestroyWnd();
}

void TFileDirEdit::FireBeforeDialog(std::string& name, bool& action) { onBeforeDialog_.Fire(this, name, action); }
void TFileDirEdit::FireAfterDialog(std::string& name, bool& action) { onAfterDialog_.Fire(this, name, action); }

void TFileDirEdit::SuppressSystemErrorBoxes() {
  savedErrorMode_ = ui::SetErrorMode(ui::SEM_FAILCRITICALERRORS | ui::SEM_NOOPENFILEERRORBOX);
}

void TFileDirEdit::RestoreSystemErrorMode() {
  ui::SetErrorMode(savedErrorMode_);
  savedErrorMode_ = 0;
}

void TFileDirEdit::HandleDroppedFiles(ui::TMessage& m) {
  m.result = 0;
  auto drop = reinterpret_cast<ui::HDROP>(m.wParam);
  try {
    const int count = ui::DragQueryFileCount(drop);
    if (count > 0) {
      BeforeDroppedNames();
      for (int i = 0; i < count; ++i) {
        AcceptDroppedPath(ui::DragQueryFile(drop, i, 255));
        if (!multipleDirs_) break;
      }
      onDropFiles_.Fire(this);
    }
  } catch (...) {
    ui::DragFinish(drop);
    throw;
  }
  ui::DragFinish(drop);
}

void TFileDirEdit::WndProc(ui::TMessage& m) {
  if (m.msg == ui::WM_DROPFILES) {
    HandleDroppedFiles(m);
    return;
  }
  TCustomComboEdit::WndProc(m);
}

const classes::TClassInfo& TDirectoryEdit::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TDirectoryEdit, TFileDirEdit>("TDirectoryEdit", [](auto& c) {
    c.Enum("DialogKind", &TDirectoryEdit::DialogKind, &TDirectoryEdit::SetDialogKind, {"dkStandard", "dkWin32"})
        .Default(dkStandard);
    c.String("DialogText", &TDirectoryEdit::DialogText, &TDirectoryEdit::SetDialogText);
    c.Set("DialogOptions", &TDirectoryEdit::DialogOptions, &TDirectoryEdit::SetDialogOptions,
          {"sdAllowCreate", "sdPerformCreate", "sdPrompt"})
        .Default(0);
    c.String("InitialDir", &TDirectoryEdit::InitialDir, &TDirectoryEdit::SetInitialDir);
    c.Bool("MultipleDirs", &TDirectoryEdit::MultipleDirs, &TDirectoryEdit::SetMultipleDirs).Default(false);
    c.String("ButtonHint", &TDirectoryEdit::ButtonHint, &TDirectoryEdit::SetButtonHint);
    c.Enum("GlyphKind", &TDirectoryEdit::GlyphKind, &TDirectoryEdit::SetGlyphKind,
           {"gkCustom", "gkDefault", "gkDropDown", "gkEllipsis"})
        .Default(gkDefault);
    c.Integer("ButtonWidth", &TDirectoryEdit::ButtonWidth, &TDirectoryEdit::SetButtonWidth)
        .Stored(&TDirectoryEdit::StoreButtonWidth);
    c.Integer("ClickKey", &TDirectoryEdit::ClickKey, &TDirectoryEdit::SetClickKey).Default(32808);
    c.Bool("DirectInput", &TDirectoryEdit::DirectInput, &TDirectoryEdit::SetDirectInput).Default(true);
    c.Integer("NumGlyphs", &TDirectoryEdit::NumGlyphs, &TDirectoryEdit::SetNumGlyphs)
        .Stored(&TDirectoryEdit::StoreNumGlyphs);
    c.Bool("ReadOnly", &TDirectoryEdit::ReadOnly, &TDirectoryEdit::SetReadOnly).Default(false);
  });
  return info;
}

TDirectoryEdit::TDirectoryEdit(classes::TComponent* owner) : TFileDirEdit(owner) { dialogOptions_ = 0; }

void TDirectoryEdit::TakeDirectory(const std::string& name) {
  if (!Text().empty() && multipleDirs_) SetText(Text() + ";" + name);
  else SetText(name);
}

void TDirectoryEdit::RunDirectoryDialog() {
  TCustomComboEdit::HandleButtonClick();
  std::string name = Text();
  bool action = true;
  FireBeforeDialog(name, action);
  if (!action) return;
  if (name.empty()) name = initialDir_.empty() ? std::string("\\") : initialDir_;
  if (!DirectoryPresent(name)) name = "\\";
  SuppressSystemErrorBoxes();
  try {
    if (dialogKind_ == dkWin32) action = PickFolderWithShellDialog(name, dialogText_, HelpContext());
    else action = ui::SelectDirectory(name, dialogOptions_, HelpContext());
  } catch (...) {
    RestoreSystemErrorMode();
    throw;
  }
  RestoreSystemErrorMode();
  if (CanFocus()) SetFocus();
  FireAfterDialog(name, action);
  if (!action) return;
  ClearSelection();
  TakeDirectory(name);
  if (!name.empty() && DirectoryPresent(name)) initialDir_ = name;
}

void TDirectoryEdit::AcceptDroppedPath(const std::string& name) {
  TakeDirectory(rtl::FileExists(name) ? rtl::ExtractFilePath(name) : name);
}

namespace {
template <class Convert>
std::string ConvertDirectoryText(const std::string& text, bool multiple, Convert convert) {
  if (!multiple) return convert(text);
  std::string result;
  int position = 1;
  while (position <= static_cast<int>(text.size())) {
    const std::string converted = convert(NextDelimitedPart(text, position, ";"));
    if (!result.empty() && !converted.empty()) result += ";";
    result += converted;
  }
  return result;
}
}  // namespace

std::string TDirectoryEdit::GetLongDirectoryText() const {
  return ConvertDirectoryText(Text(), multipleDirs_, [](const std::string& p) { return ExpandShortPath(p); });
}

std::string TDirectoryEdit::GetShortDirectoryText() const {
  return ConvertDirectoryText(Text(), multipleDirs_, [](const std::string& p) { return CompactLongPath(p); });
}

