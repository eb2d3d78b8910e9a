// The single-line edit box and the masked edit (the base of the editor controls): text,
// selection, caret, typing, clipboard, read-only state, character case, OEM conversion, the
// formatting rectangle and the window styles it is created with.
#pragma once
#include <string>

#include "platform/ui/controls.h"
#include "platform/ui/stdctrls.h"

namespace ui {

// Edit window styles.
enum : unsigned {
  ES_LEFT = 0x0,
  ES_CENTER = 0x1,
  ES_RIGHT = 0x2,
  ES_MULTILINE = 0x4,
  ES_UPPERCASE = 0x8,
  ES_LOWERCASE = 0x10,
  ES_PASSWORD = 0x20,
  ES_AUTOHSCROLL = 0x80,
  ES_NOHIDESEL = 0x100,
  ES_OEMCONVERT = 0x400,
  ES_READONLY = 0x800,
  WS_CLIPCHILDREN = 0x02000000,
  WS_CLIPSIBLINGS = 0x04000000,
  WS_BORDER = 0x00800000,
  WS_TABSTOP = 0x00010000,
};

struct TCreateParams {
  unsigned style = 0;
  unsigned exStyle = 0;
};

enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };

class TCustomEdit : public TWinControl {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TCustomEdit(classes::TComponent* owner);

  void SetText(const std::string& v) override;
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int v) { maxLength_ = v; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v);
  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool v) { autoSelect_ = v; }
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v) { autoSize_ = v; }
  bool HideSelection() const { return hideSelection_; }
  void SetHideSelection(bool v);
  TEditCharCase CharCase() const { return charCase_; }
  void SetCharCase(TEditCharCase v);
  bool OEMConvert() const { return oemConvert_; }
  void SetOEMConvert(bool v);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle v);
  bool Modified() const { return modified_; }
  void SetModified(bool v) { modified_ = v; }

  int SelStart() const { return selStart_; }
  void SetSelStart(int v);
  int SelLength() const { return selLength_; }
  void SetSelLength(int v);
  std::string SelText() const;
  void SetSelText(const std::string& v);
  void SelectAll();
  void ClearSelection();
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();
  // The caret's character position (where typing goes).
  int CaretPos() const { return caret_; }

  // The formatting rectangle (client coordinates) the text is laid out in.
  TRect FormatRect() const;
  unsigned Style() const { return params_.style; }
  TRect ClientRect() const override;
  TPoint ClientOrigin() const override;

  const classes::TNotifyEvent& OnChange() const { return onChange_; }
  void SetOnChange(classes::TNotifyEvent e) { onChange_ = std::move(e); }
  void WndProc(TMessage& m) override;

 protected:
  virtual void CreateParams(TCreateParams& params);
  void CreateWnd() override;
  // Whether typing, pasting or cutting may change the text now.
  virtual bool EditCanModify() { return true; }
  virtual void Change();
  void PaintWindow(TCanvas& dc) override;
  void EraseBackground(TCanvas& dc) override;
  TColor DefaultColor() const override { return clWindow; }
  LRESULT DialogCode() const override { return DLGC_WANTARROWS | DLGC_WANTCHARS; }
  void KeyDown(int& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  // The colour the text is written in.
  virtual TColor EditTextColor() const { return Enabled() ? Font().Color() : clGrayText; }
  // The character a typed one becomes (case and OEM conversion).
  char ConvertTyped(char c) const;
  int BorderWidth() const;
  int CharIndexAt(int x);

 private:
  void ReplaceSelection(const std::string& text, bool typed);
  void MoveCaret(int pos, bool extend);
  void ScrollCaretIntoView(TCanvas& dc);

  int maxLength_ = 0;
  bool readOnly_ = false;
  bool autoSelect_ = true;
  bool autoSize_ = true;
  bool hideSelection_ = true;
  TEditCharCase charCase_ = ecNormal;
  bool oemConvert_ = false;
  TBorderStyle borderStyle_ = bsSingle;
  bool modified_ = false;
  int selStart_ = 0, selLength_ = 0;
  int caret_ = 0;
  int anchor_ = 0;
  int scrollX_ = 0;
  bool mouseSelecting_ = false;
  bool hasFormatRect_ = false;
  TRect formatRect_;
  TCreateParams params_;
  classes::TNotifyEvent onChange_;
};

class TEdit : public TCustomEdit {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TEdit(classes::TComponent* owner) : TCustomEdit(owner) {}
};

// The masked edit without a mask engine: the mask is stored; the text is edited freely.
class TCustomMaskEdit : public TCustomEdit {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TCustomMaskEdit(classes::TComponent* owner) : TCustomEdit(owner) {}
  const std::string& EditMask() const { return editMask_; }
  void SetEditMask(const std::string& v) { editMask_ = v; }
  bool IsMasked() const { return !editMask_.empty(); }

 private:
  std::string editMask_;
};

class TMaskEdit : public TCustomMaskEdit {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TMaskEdit(classes::TComponent* owner) : TCustomMaskEdit(owner) {}
};

// The cell height of the edit's font, as a screen context reports it.
int FontTextHeight(const TFont& font);

}  // namespace ui
