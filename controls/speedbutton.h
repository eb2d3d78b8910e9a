// TVxSpeedButton: a windowless push button drawn on its parent. A glyph with up to five state
// images and a caption laid out together, flat and transparent looks with hot tracking, a
// drop-down popup menu, auto-repeat while held, radio groups (GroupIndex, Down, AllowAllUp),
// a modal result for dialogs and an action link.
#pragma once
#include <cstdint>
#include <memory>

#include "controls/buttonglyph.h"
#include "platform/ui/actions.h"
#include "platform/ui/controls.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/menus.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/storedbitmap.h"

enum TButtonStyle : std::uint8_t { bsAutoDetect, bsWin31, bsNew };
enum TVxDropDownMenuPos : std::uint8_t { dmpBottom, dmpRight };
using TVxNumGlyphs = std::uint8_t;  // 1 .. 5

// The button's frames in `rect` for its look; gives the rectangle inside them, shrunk by one
// more pixel on each side.
ui::TRect PaintButtonBorder(ui::TCanvas& canvas, const ui::TRect& rect, bool pressed, TButtonStyle style, bool flat);

class TVxSpeedButton : public ui::TGraphicControl {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TVxSpeedButton(classes::TComponent* owner);
  ~TVxSpeedButton() override;

  ui::TAlignment Alignment() const { return buttonGlyph_->Alignment(); }
  void SetAlignment(ui::TAlignment v);
  bool AllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool v);
  bool AllowTimer() const { return allowTimer_; }
  void SetAllowTimer(bool v);
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int v);
  bool Down() const { return down_; }
  void SetDown(bool v);
  ui::TPopupMenu* DropDownMenu() const { return dropDownMenu_; }
  void SetDropDownMenu(ui::TPopupMenu* v);
  TVxDropDownMenuPos MenuPosition() const { return menuPosition_; }
  void SetMenuPosition(TVxDropDownMenuPos v) { menuPosition_ = v; }
  bool Flat() const { return flat_; }
  void SetFlat(bool v);
  // Reading gives the glyph object's bitmap itself.
  ui::TBitmap& Glyph() { return buttonGlyph_->GlyphBitmap(); }
  void SetGlyph(const ui::TBitmap& v);
  bool GrayedInactive() const { return grayedInactive_; }
  void SetGrayedInactive(bool v);
  std::uint16_t InitPause() const { return initPause_; }
  void SetInitPause(std::uint16_t v) { initPause_ = v; }
  ui::TButtonLayout Layout() const { return layout_; }
  void SetLayout(ui::TButtonLayout v);
  int Margin() const { return margin_; }
  void SetMargin(int v);
  bool MarkDropDown() const { return markDropDown_; }
  void SetMarkDropDown(bool v);
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int v) { modalResult_ = v; }
  TVxNumGlyphs NumGlyphs() const { return buttonGlyph_->NumGlyphs(); }
  void SetNumGlyphs(TVxNumGlyphs v);
  std::uint16_t RepeatInterval() const { return repeatInterval_; }
  void SetRepeatInterval(std::uint16_t v) { repeatInterval_ = v; }
  int Spacing() const { return spacing_; }
  void SetSpacing(int v);
  TButtonStyle Style() const { return style_; }
  void SetStyle(TButtonStyle v);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v);
  bool WordWrap() const { return buttonGlyph_->WordWrap(); }
  void SetWordWrap(bool v);
  const classes::TNotifyEvent& OnMouseEnter() const { return onMouseEnter_; }
  void SetOnMouseEnter(classes::TNotifyEvent e) { onMouseEnter_ = std::move(e); }
  const classes::TNotifyEvent& OnMouseLeave() const { return onMouseLeave_; }
  void SetOnMouseLeave(classes::TNotifyEvent e) { onMouseLeave_ = std::move(e); }

  // State, for subclasses and tests.
  TVxButtonGlyph& ButtonGlyph() { return *buttonGlyph_; }
  ui::TBitmap& FaceBitmap() { return *faceBitmap_; }
  TGlyphState FaceState() const { return faceState_; }
  bool Pressing() const { return pressing_; }
  bool MouseInside() const { return mouseInside_; }
  bool MenuShowing() const { return menuShowing_; }
  ui::TTimer* AutoRepeatTimer() const { return autoRepeatTimer_; }

  // Where the drop-down menu opens, in client coordinates.
  ui::TPoint DropDownMenuPoint() const;
  // Pops the drop-down menu up at the client point; returns after it closed, true when shown.
  bool ShowDropDownMenu(ui::TPoint clientPoint);

  void Click() override;
  void Loaded() override;
  void WndProc(ui::TMessage& m) override;

 protected:
  void Notification(classes::TComponent* component, classes::TOperation operation) override;
  void Paint() override;
  // Draws glyph, caption and mark into `rect` of the face.
  virtual void DrawFaceContent(ui::TCanvas& canvas, const ui::TRect& rect, bool withMark, TGlyphState state);
  virtual void NotifyMouseEnter() { onMouseEnter_.Fire(this); }
  virtual void NotifyMouseLeave() { onMouseLeave_.Fire(this); }
  void MouseDown(ui::TMouseButton button, ui::TShiftState shift, int x, int y) override;
  void MouseMove(ui::TShiftState shift, int x, int y) override;
  void MouseUp(ui::TMouseButton button, ui::TShiftState shift, int x, int y) override;
  void ActionChange(ui::TBasicAction* sender, bool checkDefaults) override;

  // The release of a press (also run at once after the drop-down menu closed).
  void FinishPress(ui::TMouseButton button, ui::TShiftState shift, int x, int y);
  void UpdateMouseInside();
  void NotifyGroup();
  bool PointInside(int x, int y) const { return x >= 0 && x < ClientWidth() && y >= 0 && y <= ClientHeight(); }
  void SetFaceState(TGlyphState s) { faceState_ = s; }

 private:
  void ButtonGlyphChanged(classes::TObject* sender);
  void RepeatTimerTick(classes::TObject* sender);
  void PrepareStateImage();
  void CopyActionImage(ui::TCustomAction& action);
  void GroupButtonDown(ui::TMessage& m);
  void MouseEntered();
  void MouseLeft();

  int groupIndex_ = 0;
  TButtonStyle style_ = bsAutoDetect;
  std::unique_ptr<TVxButtonGlyph> buttonGlyph_;
  std::unique_ptr<ui::TBitmap> faceBitmap_;
  bool down_ = false;
  bool pressing_ = false;
  bool flat_ = false;
  bool mouseInside_ = false;
  bool allowAllUp_ = false;
  ui::TButtonLayout layout_ = ui::blGlyphTop;
  int spacing_ = 1;
  int margin_ = -1;
  int modalResult_ = 0;
  bool transparent_ = false;
  bool markDropDown_ = true;
  ui::TPopupMenu* dropDownMenu_ = nullptr;
  TVxDropDownMenuPos menuPosition_ = dmpBottom;
  bool grayedInactive_ = true;
  bool menuShowing_ = false;
  ui::TTimer* autoRepeatTimer_ = nullptr;  // owned through the component tree
  bool allowTimer_ = false;
  std::uint16_t initPause_ = 500;
  std::uint16_t repeatInterval_ = 100;
  classes::TNotifyEvent onMouseEnter_, onMouseLeave_;
  TGlyphState faceState_ = gsUp;
  ui::TStoredBitmap storedGlyph_{buttonGlyph_->GlyphBitmap()};  // "Glyph.Data"
};
