// Edit boxes with an embedded button: the combo edit, its button, and the file and directory
// edits whose button opens a directory dialog.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "controls/speedbutton.h"
#include "platform/ui/edit.h"
#include "platform/ui/selectdir.h"

class TCustomComboEdit;

// The button at the edit's right edge.
class TEditButton : public TVxSpeedButton {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TEditButton(classes::TComponent* owner);
  // The button keeps its width when its glyph changes (the control's fixed-width style).
  bool FixedWidth() const { return (ControlStyle() & ui::csFixedWidth) != 0; }
  void SetFixedWidth(bool v) {
    SetControlStyle(v ? ControlStyle() | ui::csFixedWidth : ControlStyle() & ~ui::csFixedWidth);
  }

 protected:
  void Paint() override;
  void MouseDown(ui::TMouseButton button, ui::TShiftState shift, int x, int y) override;
};

enum TGlyphKind { gkCustom, gkDefault, gkDropDown, gkEllipsis };

// Shortcut values: virtual key in the low byte and these modifier bits.
enum : std::uint16_t { scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000 };
std::uint16_t ShortCut(int key, ui::TShiftState shift);

class TCustomComboEdit : public ui::TCustomMaskEdit {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TCustomComboEdit(classes::TComponent* owner);
  ~TCustomComboEdit() override;

  ui::TWinControl* ButtonPanel() const { return buttonPanel_; }
  TEditButton* EmbeddedButton() const { return button_; }

  int ButtonWidth() const;
  void SetButtonWidth(int v);
  const std::string& ButtonHint() const;
  void SetButtonHint(const std::string& v);
  ui::TBitmap* Glyph() const;
  void SetGlyph(ui::TBitmap* v);
  int NumGlyphs() const;
  void SetNumGlyphs(int v);
  TGlyphKind GlyphKind() const { return glyphKind_; }
  void SetGlyphKind(TGlyphKind v);
  std::uint16_t ClickKey() const { return clickKey_; }
  void SetClickKey(std::uint16_t v) { clickKey_ = v; }
  bool DirectInput() const { return directInput_; }
  void SetDirectInput(bool v);
  // The value may not be changed, neither by typing nor by the button.
  bool ReadOnly() const { return GetReadOnly(); }
  void SetReadOnly(bool v);
  bool HasFocus() const { return hasFocus_; }
  // The caret the edit made when it last gained the focus (width, height).
  ui::TSize CaretSize() const { return caretSize_; }

  const classes::TNotifyEvent& OnButtonClick() const { return onButtonClick_; }
  void SetOnButtonClick(classes::TNotifyEvent e) { onButtonClick_ = std::move(e); }

  // The button action: runs HandleButtonClick unless the edit is read-only.
  void EmbeddedButtonClick();
  int EditTextHeight() const;
  int MinimumEditHeight() const;
  // The default ButtonWidth, the value a stored description need not record.
  int DefaultButtonWidth() const;
  bool StoreButtonWidth() const { return ButtonWidth() != DefaultButtonWidth(); }
  bool StoreGlyph() const { return glyphKind_ == gkCustom; }
  bool StoreNumGlyphs() const { return glyphKind_ == gkCustom && NumGlyphs() != 1; }

  void WndProc(ui::TMessage& m) override;
  void SetEnabled(bool v) override;

 protected:
  virtual bool GetReadOnly() const { return readOnly_; }
  // The glyph of gkDefault; `destroyNeeded` tells whether the caller frees it.
  virtual ui::TBitmap* GetDefaultButtonGlyph(bool& destroyNeeded);
  virtual void HandleButtonClick();

  void CreateParams(ui::TCreateParams& params) override;
  void CreateWnd() override;
  bool EditCanModify() override { return !ReadOnly(); }
  void KeyDown(int& key, ui::TShiftState shift) override;
  void KeyPress(char& key) override;
  bool HandleNavigationKey(int key, ui::TShiftState shift) override;
  void BoundsChanged(bool sizeChanged) override;
  void FontChanged() override;
  ui::TColor EditTextColor() const override;

  void SetButtonGlyph(const ui::TBitmap* v);  // null: an empty glyph
  void UpdateEditRect();
  void PlaceButtonPanel();
  void ApplyGlyphKind();
  std::unique_ptr<ui::TBitmap> CreateEllipsisGlyph() const;
  void SelectAllIfDirectInput();

  int defaultGlyphCount_ = 1;

 private:
  void CreateEditCaret();

  ui::TWinControl* buttonPanel_ = nullptr;
  TEditButton* button_ = nullptr;
  classes::TNotifyEvent onButtonClick_;
  std::uint16_t clickKey_ = 32808;
  bool readOnly_ = false;
  bool directInput_ = true;
  TGlyphKind glyphKind_ = gkCustom;
  bool hasFocus_ = false;
  ui::TSize caretSize_{0, 0};
  bool placing_ = false;
};

// (Sender, var Name, var Action)
using TExecOpenDialogEvent = classes::TMethod<void(classes::TObject*, std::string&, bool&)>;

// The base of the edits that hold file or directory names.
class TFileDirEdit : public TCustomComboEdit {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TFileDirEdit(classes::TComponent* owner);
  ~TFileDirEdit() override;

  bool AcceptFiles() const { return acceptFiles_; }
  void SetAcceptFiles(bool v);
  const TExecOpenDialogEvent& OnBeforeDialog() const { return onBeforeDialog_; }
  void SetOnBeforeDialog(TExecOpenDialogEvent e) { onBeforeDialog_ = std::move(e); }
  const TExecOpenDialogEvent& OnAfterDialog() const { return onAfterDialog_; }
  void SetOnAfterDialog(TExecOpenDialogEvent e) { onAfterDialog_ = std::move(e); }
  const classes::TNotifyEvent& OnDropFiles() const { return onDropFiles_; }
  void SetOnDropFiles(classes::TNotifyEvent e) { onDropFiles_ = std::move(e); }
  std::uint32_t SavedErrorMode() const { return savedErrorMode_; }

  virtual std::string GetLongDirectoryText() const = 0;
  virtual std::string GetShortDirectoryText() const = 0;
  void WndProc(ui::TMessage& m) override;

 protected:
  virtual void AcceptDroppedPath(const std::string& name) = 0;
  virtual void BeforeDroppedNames() {}
  virtual void FireBeforeDialog(std::string& name, bool& action);
  virtual void FireAfterDialog(std::string& name, bool& action);
  ui::TBitmap* GetDefaultButtonGlyph(bool& destroyNeeded) override;
  void CreateWnd() override;
  void DestroyWnd() override;

  void SuppressSystemErrorBoxes();
  void RestoreSystemErrorMode();
  void RegisterDropTarget(bool enable);
  void HandleDroppedFiles(ui::TMessage& m);

  bool multipleDirs_ = false;

 private:
  bool acceptFiles_ = false;
  std::uint32_t savedErrorMode_ = 0;
  TExecOpenDialogEvent onBeforeDialog_, onAfterDialog_;
  classes::TNotifyEvent onDropFiles_;
};

enum TDirDialogKind { dkStandard, dkWin32 };

// One directory, or a ";"-separated list; the button opens a directory dialog.
class TDirectoryEdit : public TFileDirEdit {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TDirectoryEdit(classes::TComponent* owner);

  TDirDialogKind DialogKind() const { return dialogKind_; }
  void SetDialogKind(TDirDialogKind v) { dialogKind_ = v; }
  const std::string& DialogText() const { return dialogText_; }
  void SetDialogText(const std::string& v) { dialogText_ = v; }
  ui::TSelectDirOpts DialogOptions() const { return dialogOptions_; }
  void SetDialogOptions(ui::TSelectDirOpts v) { dialogOptions_ = v; }
  const std::string& InitialDir() const { return initialDir_; }
  void SetInitialDir(const std::string& v) { initialDir_ = v; }
  bool MultipleDirs() const { return multipleDirs_; }
  void SetMultipleDirs(bool v) { multipleDirs_ = v; }

  std::string GetLongDirectoryText() const override;
  std::string GetShortDirectoryText() const override;

 protected:
  void HandleButtonClick() override { RunDirectoryDialog(); }
  void RunDirectoryDialog();
  void AcceptDroppedPath(const std::string& name) override;

 private:
  void TakeDirectory(const std::string& name);

  TDirDialogKind dialogKind_ = dkStandard;
  std::string dialogText_;
  ui::TSelectDirOpts dialogOptions_ = 0;
  std::string initialDir_;
};

// The folder glyph every file and directory edit shares ("FEDITBMP"), made on first need.
ui::TBitmap* DefaultFolderGlyph();
// Frees the shared glyph (at program end; also safe to call earlier).
void FreeEditGlyphs();
// The start-up registrations of the editor controls: their classes for stored descriptions
// and, when the screen object exists, the hand cursors.
void RegisterEditorControls();
// The system's combo-box arrow bitmap (OBM_COMBO).
std::unique_ptr<ui::TBitmap> ComboArrowBitmap();

