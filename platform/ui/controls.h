// The control model: TControl (bounds, visibility, enabled state, caption, font, colour,
// alignment, mouse handling, messages through WndProc), TWinControl (a windowed control with a
// handle, children in z-order, focus and keys), TGraphicControl (windowless, painted on its
// parent) and TCustomControl (windowed with a canvas and a paint hook).
//
// Every control is a component created with an owner (the form, when read from a stored
// description); its Parent is the windowed control it sits on. The reader nests controls in
// their parent, so SetParentComponent sets the parent.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/classes/component.h"
#include "platform/classes/method.h"
#include "platform/ui/backend.h"
#include "platform/ui/canvas.h"
#include "platform/ui/geometry.h"
#include "platform/ui/graphics.h"
#include "platform/ui/messages.h"

namespace ui {

class TWinControl;
class TCustomForm;
class TBasicAction;
class WindowSystem;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TBorderStyle { bsNone, bsSingle };
enum TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };
// Stored layout and drag settings that controls publish; this library keeps their values only.
enum : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using TAnchors = unsigned;
enum TDragKind { dkDrag, dkDock };
enum TDragMode { dmManual, dmAutomatic };
inline constexpr int crDrag = -12;

class TSizeConstraints : public classes::TPersistent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  int MaxHeight = 0, MaxWidth = 0, MinHeight = 0, MinWidth = 0;
};

// Shift state bits (TShiftState).
enum : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64 };
using TShiftState = unsigned;
TShiftState ShiftStateOf(WPARAM keys);

// Control style flags.
enum : unsigned {
  csAcceptsControls = 0x1,
  csCaptureMouse = 0x2,
  csDesignInteractive = 0x4,
  csClickEvents = 0x8,
  csFramed = 0x10,
  csSetCaption = 0x20,
  csOpaque = 0x40,
  csDoubleClicks = 0x80,
  csFixedWidth = 0x100,
  csFixedHeight = 0x200,
  csNoDesignVisible = 0x400,
  csReplicatable = 0x800,
  csNoStdEvents = 0x1000,
};
using TControlStyle = unsigned;

// Control state flags.
enum : unsigned {
  csLButtonDown = 0x1,
  csClicked = 0x2,
  csPalette = 0x4,
  csReadingState = 0x8,
  csAlignmentNeeded = 0x10,
  csFocusing = 0x20,
  csCreating = 0x40,
  csPaintCopy = 0x80,
  csCustomPaint = 0x100,
  csDestroyingHandle = 0x200,
};
using TControlState = unsigned;

// WM_GETDLGCODE answers.
enum : LRESULT { DLGC_WANTARROWS = 1, DLGC_WANTTAB = 2, DLGC_WANTALLKEYS = 4, DLGC_WANTCHARS = 0x80 };

using TMouseEvent = classes::TMethod<void(classes::TObject*, TMouseButton, TShiftState, int, int)>;
using TMouseMoveEvent = classes::TMethod<void(classes::TObject*, TShiftState, int, int)>;
using TKeyEvent = classes::TMethod<void(classes::TObject*, int&, TShiftState)>;
using TKeyPressEvent = classes::TMethod<void(classes::TObject*, char&)>;

class TControl : public classes::TComponent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TControl(classes::TComponent* owner);
  ~TControl() override;

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* parent);

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  virtual void SetBounds(int left, int top, int width, int height);
  TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
  void SetBoundsRect(const TRect& r) { SetBounds(r.left, r.top, r.Width(), r.Height()); }
  // The client area in the control's own coordinates.
  virtual TRect ClientRect() const { return Rect(0, 0, width_, height_); }
  int ClientWidth() const { return ClientRect().Width(); }
  int ClientHeight() const { return ClientRect().Height(); }
  void SetClientWidth(int v) { SetClientSize(v, ClientHeight()); }
  void SetClientHeight(int v) { SetClientSize(ClientWidth(), v); }
  virtual void SetClientSize(int w, int h);
  // The offset of the client area inside the bounds (a form's frame, an edit's border).
  // Children's bounds are in their parent's client coordinates.
  virtual TPoint ClientOrigin() const { return {0, 0}; }

  bool Visible() const { return visible_; }
  virtual void SetVisible(bool v);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool v);
  // Visible with every parent up to a shown top-level window.
  bool Showing() const;

  const std::string& Caption() const { return text_; }
  void SetCaption(const std::string& v) { SetText(v); }
  const std::string& Text() const { return text_; }
  virtual void SetText(const std::string& v);

  TFont& Font() { return font_; }
  const TFont& Font() const { return font_; }
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool v);
  TColor Color() const { return color_; }
  void SetColor(TColor v);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool v);
  TAlign Align() const { return align_; }
  void SetAlign(TAlign v);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& v) { hint_ = v; }
  bool ShowHint() const { return showHint_; }
  // Setting it stops taking it from the parent.
  void SetShowHint(bool v) {
    showHint_ = v;
    parentShowHint_ = false;
  }
  bool ParentShowHint() const { return parentShowHint_; }
  void SetParentShowHint(bool v) { parentShowHint_ = v; }
  int Tag() const { return tag_; }
  void SetTag(int v) { tag_ = v; }
  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int v) { helpContext_ = v; }
  // Right-to-left support: the mode, taken from the parent while ParentBiDiMode.
  TBiDiMode BiDiMode() const;
  void SetBiDiMode(TBiDiMode v);
  bool ParentBiDiMode() const { return parentBiDiMode_; }
  void SetParentBiDiMode(bool v) { parentBiDiMode_ = v; }
  bool UseRightToLeftAlignment() const { return BiDiMode() == bdRightToLeft; }
  bool UseRightToLeftReading() const { return BiDiMode() != bdLeftToRight; }
  TAnchors Anchors() const { return anchors_; }
  void SetAnchors(TAnchors v) { anchors_ = v; }
  TSizeConstraints& Constraints() { return constraints_; }
  int DragCursor() const { return dragCursor_; }
  void SetDragCursor(int v) { dragCursor_ = v; }
  TDragKind DragKind() const { return dragKind_; }
  void SetDragKind(TDragKind v) { dragKind_ = v; }
  TDragMode DragMode() const { return dragMode_; }
  void SetDragMode(TDragMode v) { dragMode_ = v; }
  // The linked action (not owned): a click executes it when no OnClick is bound.
  TBasicAction* Action() const { return action_; }
  void SetAction(TBasicAction* action);
  // The linked action tells of its changes through this; it runs the action-change hook.
  void ActionChanged(TBasicAction* sender, bool checkDefaults) { ActionChange(sender, checkDefaults); }

  TControlStyle ControlStyle() const { return controlStyle_; }
  void SetControlStyle(TControlStyle v) { controlStyle_ = v; }
  TControlState ControlState() const { return controlState_; }
  void SetControlState(TControlState v) { controlState_ = v; }

  const classes::TNotifyEvent& OnClick() const { return onClick_; }
  void SetOnClick(classes::TNotifyEvent e) { onClick_ = std::move(e); }
  const classes::TNotifyEvent& OnDblClick() const { return onDblClick_; }
  void SetOnDblClick(classes::TNotifyEvent e) { onDblClick_ = std::move(e); }
  const TMouseEvent& OnMouseDown() const { return onMouseDown_; }
  void SetOnMouseDown(TMouseEvent e) { onMouseDown_ = std::move(e); }
  const TMouseEvent& OnMouseUp() const { return onMouseUp_; }
  void SetOnMouseUp(TMouseEvent e) { onMouseUp_ = std::move(e); }
  const TMouseMoveEvent& OnMouseMove() const { return onMouseMove_; }
  void SetOnMouseMove(TMouseMoveEvent e) { onMouseMove_ = std::move(e); }

  // Messages: Perform sends one to the control at once and returns its result.
  LRESULT Perform(std::uint32_t msg, WPARAM w = 0, LPARAM l = 0);
  virtual void WndProc(TMessage& m);
  virtual void DefaultHandler(TMessage& /*m*/) {}

  // Paint later (the window's next paint), paint now.
  virtual void Invalidate();
  void Repaint();
  void Update();
  void BringToFront();
  void SendToBack();

  TPoint ClientToScreen(TPoint p) const;
  TPoint ScreenToClient(TPoint p) const;
  // Where this control's bounds (0, 0), and its client (0, 0), lie in its top-level window's
  // client area (the top-level window's surface).
  TPoint OffsetInTopLevel() const;
  TPoint ClientOffsetInTopLevel() const;
  TWinControl* TopLevel() const;

  bool MouseCapture() const;
  void SetMouseCapture(bool v);

  virtual bool IsWindowed() const { return false; }
  virtual void Click();

  bool HasParent() const override { return true; }
  classes::TComponent* GetParentComponent() const override;
  void SetParentComponent(classes::TComponent* parent) override;
  void DefineProperties(classes::TFiler& filer) override;
  void Loaded() override;

 protected:
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void DblClick();
  virtual void ActionChange(TBasicAction* /*sender*/, bool /*checkDefaults*/) {}
  // Colour and font notifications (the parent's changed; this one's changed).
  virtual void FontChanged();
  virtual void ParentFontChanged();
  virtual void ParentColorChanged();
  virtual void VisibleChanging() {}
  virtual void BoundsChanged(bool sizeChanged);
  // The colour when nothing sets it: forms and buttons use clBtnFace, edits clWindow.
  virtual TColor DefaultColor() const { return clBtnFace; }
  static WindowSystem* Windows();

  TControlStyle controlStyle_ = csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks;
  TControlState controlState_ = 0;

 private:
  friend class TWinControl;
  void HandleMouse(TMessage& m);

  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = true;
  bool enabled_ = true;
  std::string text_;
  TFont font_;
  bool parentFont_ = true;
  bool fromParent_ = false;
  TColor color_ = clBtnFace;
  bool colorSet_ = false;
  bool parentColor_ = false;
  TAlign align_ = alNone;
  std::string hint_;
  bool showHint_ = false;
  bool parentShowHint_ = true;
  int tag_ = 0;
  int helpContext_ = 0;
  TBiDiMode biDiMode_ = bdLeftToRight;
  bool parentBiDiMode_ = true;
  TBasicAction* action_ = nullptr;
  TAnchors anchors_ = akLeft | akTop;
  TSizeConstraints constraints_;
  int dragCursor_ = crDrag;
  TDragKind dragKind_ = dkDrag;
  TDragMode dragMode_ = dmManual;
  classes::TNotifyEvent onClick_, onDblClick_;
  TMouseEvent onMouseDown_, onMouseUp_;
  TMouseMoveEvent onMouseMove_;
};

// A target of window messages with a handle (windowed controls, timers' hidden windows).
class MessageTarget {
 public:
  virtual ~MessageTarget() = default;
  virtual void HandleMessage(TMessage& m) = 0;
};

class TWinControl : public TControl, public MessageTarget {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TWinControl(classes::TComponent* owner);
  ~TWinControl() override;

  // Children: graphic controls first, then windowed ones, each in z-order (bottom first).
  int ControlCount() const { return static_cast<int>(children_.size()); }
  TControl* Controls(int index) const { return children_[static_cast<std::size_t>(index)]; }
  void InsertControl(TControl* c);
  void RemoveControl(TControl* c);
  // The topmost visible child at a client point (graphic and windowed; disabled ones only
  // when asked), or null.
  TControl* ControlAtPos(TPoint p, bool allowDisabled, bool allowWindowed = true) const;
  // Sends the message to every child until one answers non-zero; that answer is returned.
  LRESULT Broadcast(std::uint32_t msg, WPARAM w = 0, LPARAM l = 0);

  HWND Handle();
  bool HandleAllocated() const { return handle_ != 0; }
  void HandleNeeded() { Handle(); }
  void RecreateWnd();

  int TabOrder() const { return tabOrder_; }
  void SetTabOrder(int v);
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool v) { tabStop_ = v; }
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool v);
  bool ParentCtl3D() const { return parentCtl3D_; }
  void SetParentCtl3D(bool v) { parentCtl3D_ = v; }

  virtual bool CanFocus() const;
  bool Focused() const;
  virtual void SetFocus();
  // The tab-ordered list of focusable children (recursively), for tab navigation.
  void GetTabOrderList(std::vector<TWinControl*>& list);

  const TKeyEvent& OnKeyDown() const { return onKeyDown_; }
  void SetOnKeyDown(TKeyEvent e) { onKeyDown_ = std::move(e); }
  const TKeyEvent& OnKeyUp() const { return onKeyUp_; }
  void SetOnKeyUp(TKeyEvent e) { onKeyUp_ = std::move(e); }
  const TKeyPressEvent& OnKeyPress() const { return onKeyPress_; }
  void SetOnKeyPress(TKeyPressEvent e) { onKeyPress_ = std::move(e); }
  const classes::TNotifyEvent& OnEnter() const { return onEnter_; }
  void SetOnEnter(classes::TNotifyEvent e) { onEnter_ = std::move(e); }
  const classes::TNotifyEvent& OnExit() const { return onExit_; }
  void SetOnExit(classes::TNotifyEvent e) { onExit_ = std::move(e); }

  bool IsWindowed() const override { return true; }
  void WndProc(TMessage& m) override;
  void HandleMessage(TMessage& m) override { WndProc(m); }
  void Invalidate() override;
  void SetBounds(int left, int top, int width, int height) override;
  void SetVisible(bool v) override;
  void SetEnabled(bool v) override;
  void GetChildren(const std::function<void(classes::TComponent*)>& proc, classes::TComponent* root) override;

  // Paints this control and its children into `dc`, whose origin is this control's (0, 0).
  void PaintTree(TCanvas& dc);
  // Paints only this control's own window (no children) into `dc`, as a paint copy does.
  void PaintOwnWindow(TCanvas& dc) { PaintWindow(dc); }
  // The surface of a top-level window (its client area).
  Surface* TopLevelSurface() { return surface_.get(); }
  void AlignControls();
  void Loaded() override;

 protected:
  // Window creation and destruction hooks (the handle exists after CreateWnd).
  virtual void CreateWnd();
  virtual void DestroyWnd();
  void DestroyHandle();
  // Paints the control's own window (not its children) into `dc`.
  virtual void PaintWindow(TCanvas& dc);
  virtual void EraseBackground(TCanvas& dc);
  void PaintControls(TCanvas& dc);
  virtual bool DoKeyDown(int& key, TShiftState shift);
  virtual void KeyDown(int& /*key*/, TShiftState /*shift*/) {}
  virtual void KeyUp(int& /*key*/, TShiftState /*shift*/) {}
  virtual void KeyPress(char& /*key*/) {}
  virtual LRESULT DialogCode() const { return 0; }
  virtual void DoEnter() { onEnter_.Fire(this); }
  virtual void DoExit() { onExit_.Fire(this); }
  void FontChanged() override;
  void BoundsChanged(bool sizeChanged) override;
  // Answers the keyboard-navigation keys (Tab, Enter, Escape) for the focused control.
  virtual bool HandleNavigationKey(int key, TShiftState shift);
  virtual void UpdateTopLevelWindow();
  // What the backend is told about this control's top-level window, at creation and after.
  virtual TopLevelInfo TopLevelWindowInfo();

  std::unique_ptr<Surface> surface_;

 private:
  friend class TControl;
  friend class WindowSystem;
  std::vector<TControl*> children_;
  HWND handle_ = 0;
  int tabOrder_ = -1;
  bool tabStop_ = false;
  bool ctl3D_ = true;
  bool parentCtl3D_ = true;
  bool aligning_ = false;
  TKeyEvent onKeyDown_, onKeyUp_;
  TKeyPressEvent onKeyPress_;
  classes::TNotifyEvent onEnter_, onExit_;
};

// A windowless control: painted on its parent's surface, mouse input through the parent.
class TGraphicControl : public TControl {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TGraphicControl(classes::TComponent* owner);
  // During Paint, the parent's drawing context moved to this control; outside it, a canvas
  // over the top-level window at this control's place (drawing there shows with the window's
  // next presentation).
  TCanvas& Canvas();
  void WndProc(TMessage& m) override;

 protected:
  virtual void Paint() {}

 private:
  TCanvas canvas_;
  bool painting_ = false;
};

// A windowed control with a canvas and a paint hook.
class TCustomControl : public TWinControl {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TCustomControl(classes::TComponent* owner);
  TCanvas& Canvas() { return canvas_; }

 protected:
  virtual void Paint() {}
  void PaintWindow(TCanvas& dc) override;

 private:
  TCanvas canvas_;
};

// The form that holds a control (its top-level ancestor when that is a form), or null.
TCustomForm* GetParentForm(const TControl* control);

}  // namespace ui
