// Standard controls: the label, the push button and the multi-line text box (memo).
#pragma once
#include <string>
#include <vector>

#include "platform/classes/stringlist.h"
#include "platform/ui/controls.h"

namespace ui {

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout { tlTop, tlCenter, tlBottom };
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

// A label: windowless, sized from its font when AutoSize is on (the default).
class TCustomLabel : public TGraphicControl {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TCustomLabel(classes::TComponent* owner);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment v);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout v);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v);
  bool ShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool v);
  TWinControl* FocusControl() const { return focusControl_; }
  void SetFocusControl(TWinControl* v) { focusControl_ = v; }
  void SetText(const std::string& v) override;
  void Loaded() override;
  void WndProc(TMessage& m) override;

 protected:
  void Paint() override;
  void FontChanged() override;
  void AdjustBounds();
  virtual unsigned TextFlags() const;

 private:
  bool autoSize_ = true;
  TAlignment alignment_ = taLeftJustify;
  TTextLayout layout_ = tlTop;
  bool wordWrap_ = false;
  bool transparent_ = false;
  bool showAccelChar_ = true;
  TWinControl* focusControl_ = nullptr;
};

class TLabel : public TCustomLabel {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TLabel(classes::TComponent* owner) : TCustomLabel(owner) {}
};

// A push button: Enter clicks the focused button, else the default one; Escape the cancel
// one; its ModalResult ends a modal form's loop.
class TButton : public TWinControl {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TButton(classes::TComponent* owner);
  bool Default() const { return default_; }
  void SetDefault(bool v);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool v) { cancel_ = v; }
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int v) { modalResult_ = v; }
  bool Pressed() const { return pressed_; }
  void Click() override;
  void WndProc(TMessage& m) override;

 protected:
  void PaintWindow(TCanvas& dc) override;
  void KeyDown(int& key, TShiftState shift) override;
  void KeyUp(int& key, TShiftState shift) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  // The button reacts to Enter: it holds the focus, or it is the default button and no other
  // button holds it.
  bool ActiveForEnter() const;

 private:
  bool default_ = false;
  bool cancel_ = false;
  int modalResult_ = 0;
  bool pressed_ = false;
  bool tracking_ = false;
  bool spaceDown_ = false;
};

enum TBitBtnKind { bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort, bkRetry, bkIgnore, bkAll };
enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

// A push button that may also carry a glyph; without one it looks and acts as a push button.
class TBitBtn : public TButton {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TBitBtn(classes::TComponent* owner) : TButton(owner) {}
  TBitBtnKind Kind() const { return kind_; }
  void SetKind(TBitBtnKind v) { kind_ = v; }
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout v) { layout_ = v; }
  int Margin() const { return margin_; }
  void SetMargin(int v) { margin_ = v; }
  int Spacing() const { return spacing_; }
  void SetSpacing(int v) { spacing_ = v; }
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int v) { numGlyphs_ = v; }

 private:
  TBitBtnKind kind_ = bkCustom;
  TButtonLayout layout_ = blGlyphLeft;
  int margin_ = -1;
  int spacing_ = 4;
  int numGlyphs_ = 1;
};

class TCustomMemo;

// The memo's lines: every change repaints the memo; a line added at the end is also reported
// to the backend (a console run prints it).
class TMemoStrings : public classes::TStrings {
 public:
  explicit TMemoStrings(TCustomMemo& memo) : memo_(memo) {}
  int Count() const override { return static_cast<int>(lines_.size()); }
  std::string Get(int index) const override;
  void Put(int index, const std::string& s) override;
  void Insert(int index, const std::string& s) override;
  void Delete(int index) override;
  void Clear() override;
  const std::vector<std::string>& Items() const { return lines_; }

 private:
  TCustomMemo& memo_;
  std::vector<std::string> lines_;
};

class TCustomMemo : public TWinControl {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TCustomMemo(classes::TComponent* owner);
  ~TCustomMemo() override;
  TMemoStrings& Lines() { return *lines_; }
  const TMemoStrings& Lines() const { return *lines_; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v) { readOnly_ = v; }
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v);
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle v) { scrollBars_ = v; }
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle v);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment v) { alignment_ = v; }
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int v) { maxLength_ = v; }
  bool WantReturns() const { return wantReturns_; }
  void SetWantReturns(bool v) { wantReturns_ = v; }
  bool WantTabs() const { return wantTabs_; }
  void SetWantTabs(bool v) { wantTabs_ = v; }
  // The lines joined with CR LF; setting it replaces them.
  std::string MemoText() const;
  void SetMemoText(const std::string& text);
  // The first line shown (the view follows the end when lines are appended).
  int TopRow() const { return topRow_; }
  TRect ClientRect() const override;
  TPoint ClientOrigin() const override;
  void LinesChanged(bool appendedAtEnd, const std::string& line);
  const classes::TNotifyEvent& OnChange() const { return onChange_; }
  void SetOnChange(classes::TNotifyEvent e) { onChange_ = std::move(e); }

 protected:
  void PaintWindow(TCanvas& dc) override;
  void EraseBackground(TCanvas& dc) override;
  TColor DefaultColor() const override { return clWindow; }
  LRESULT DialogCode() const override;
  void KeyPress(char& key) override;
  void BoundsChanged(bool sizeChanged) override;
  std::vector<std::string> Rows(TCanvas& dc) const;
  void ScrollToEnd();

 private:
  std::unique_ptr<TMemoStrings> lines_;
  bool readOnly_ = false;
  bool wordWrap_ = true;
  bool wantReturns_ = true;
  bool wantTabs_ = false;
  int maxLength_ = 0;
  TScrollStyle scrollBars_ = ssNone;
  TBorderStyle borderStyle_ = bsSingle;
  TAlignment alignment_ = taLeftJustify;
  int topRow_ = 0;
  bool followEnd_ = true;
  classes::TNotifyEvent onChange_;
};

class TMemo : public TCustomMemo {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TMemo(classes::TComponent* owner) : TCustomMemo(owner) {}
};

// A list of text rows with one selected row.
class TListBox : public TWinControl {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TListBox(classes::TComponent* owner);
  classes::TStringList& Items() { return items_; }
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int v);
  int TopIndex() const { return topIndex_; }
  int ItemHeight() const;
  // The row at a client point, or -1.
  int ItemAtPos(TPoint p) const;
  TPoint ClientOrigin() const override { return {2, 2}; }
  TRect ClientRect() const override;
  const classes::TNotifyEvent& OnChange() const { return onChange_; }
  void SetOnChange(classes::TNotifyEvent e) { onChange_ = std::move(e); }

 protected:
  void PaintWindow(TCanvas& dc) override;
  void EraseBackground(TCanvas& dc) override;
  TColor DefaultColor() const override { return clWindow; }
  LRESULT DialogCode() const override { return DLGC_WANTARROWS | DLGC_WANTCHARS; }
  void KeyDown(int& key, TShiftState shift) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void Select(int index, bool byUser);
  // How a row's text is drawn in its row.
  virtual unsigned ItemTextFlags() const { return DT_LEFT | DT_SINGLELINE | DT_NOPREFIX; }

 private:
  classes::TStringList items_;
  int itemIndex_ = -1;
  int topIndex_ = 0;
  classes::TNotifyEvent onChange_;
};

// Whether key (any letter case) is the accelerator of caption: the character after its first
// single '&' ("&&" stands for a plain '&').
bool IsAccelerator(int key, const std::string& caption);

// The classic one-pixel-wide, two-deep sunken border of edits and memos.
void DrawSunkenBorder(TCanvas& dc, TRect r, bool ctl3D);

}  // namespace ui
