#include <algorithm>

#include "platform/classes/classbuilder.h"
#include "platform/classes/filer.h"
#include "platform/ui/actions.h"
#include "platform/ui/controls.h"
#include "platform/ui/forms.h"
#include "platform/ui/storedcolor.h"
#include "platform/ui/windowsystem.h"

namespace ui {

TShiftState ShiftStateOf(WPARAM keys) {
  TShiftState s = 0;
  if (keys & MK_SHIFT) s |= ssShift;
  if (keys & MK_CONTROL) s |= ssCtrl;
  if (keys & MK_ALT) s |= ssAlt;
  if (keys & MK_LBUTTON) s |= ssLeft;
  if (keys & MK_RBUTTON) s |= ssRight;
  if (keys & MK_MBUTTON) s |= ssMiddle;
  if (keys & MK_DOUBLE) s |= ssDouble;
  return s;
}

const classes::TClassInfo& TSizeConstraints::StaticClassInfo() {
  static const auto info =
      classes::TClassInfo::Make<TSizeConstraints, classes::TPersistent>("TSizeConstraints", [](auto& c) {
        c.Integer("MaxHeight", &TSizeConstraints::MaxHeight).Default(0);
        c.Integer("MaxWidth", &TSizeConstraints::MaxWidth).Default(0);
        c.Integer("MinHeight", &TSizeConstraints::MinHeight).Default(0);
        c.Integer("MinWidth", &TSizeConstraints::MinWidth).Default(0);
      });
  return info;
}

const classes::TClassInfo& TControl::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TControl, classes::TComponent>("TControl", [](auto& c) {
    c.Integer("Left", &TControl::Left, &TControl::SetLeft);
    c.Integer("Top", &TControl::Top, &TControl::SetTop);
    c.Integer("Width", &TControl::Width, &TControl::SetWidth);
    c.Integer("Height", &TControl::Height, &TControl::SetHeight);
    c.Enum("Align", &TControl::Align, &TControl::SetAlign,
           {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"})
        .Default(alNone);
    c.String("Caption", &TControl::Caption, &TControl::SetCaption);
    c.Bool("Enabled", &TControl::Enabled, &TControl::SetEnabled).Default(true);
    c.Bool("Visible", &TControl::Visible, &TControl::SetVisible).Default(true);
    c.Object("Font", [](TControl& self) -> TFont& { return self.Font(); });
    c.Bool("ParentFont", &TControl::ParentFont, &TControl::SetParentFont).Default(true);
    c.Bool("ParentColor", &TControl::ParentColor, &TControl::SetParentColor).Default(false);
    c.String("Hint", &TControl::Hint, &TControl::SetHint);
    c.Bool("ShowHint", &TControl::ShowHint, &TControl::SetShowHint).Default(false);
    c.Bool("ParentShowHint", &TControl::ParentShowHint, &TControl::SetParentShowHint).Default(true);
    c.Integer("Tag", &TControl::Tag, &TControl::SetTag).Default(0);
    c.Integer("HelpContext", &TControl::HelpContext, &TControl::SetHelpContext).Default(0);
    c.Event("OnClick", &TControl::OnClick, &TControl::SetOnClick);
    c.Event("OnDblClick", &TControl::OnDblClick, &TControl::SetOnDblClick);
    c.Event("OnMouseDown", &TControl::OnMouseDown, &TControl::SetOnMouseDown);
    c.Event("OnMouseMove", &TControl::OnMouseMove, &TControl::SetOnMouseMove);
    c.Event("OnMouseUp", &TControl::OnMouseUp, &TControl::SetOnMouseUp);
  });
  return info;
}

TControl::TControl(classes::TComponent* owner) : classes::TComponent(owner) {
  font_.OnChange = [this] {
    if (!fromParent_) parentFont_ = false;
    FontChanged();
  };
}

TControl::~TControl() {
  if (action_) action_->UnRegisterClient(this);
  if (WindowSystem* ws = Windows()) ws->ControlDestroyed(this);
  if (parent_) parent_->RemoveControl(this);
  parent_ = nullptr;
}

WindowSystem* TControl::Windows() { return Application ? &Application->Windows() : nullptr; }

void TControl::DefineProperties(classes::TFiler& filer) {
  classes::TComponent::DefineProperties(filer);
  DefineColorProperty(filer, "Color", [this] { return Color(); }, [this](TColor c) { SetColor(c); },
                      DefaultColor());
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent == this) throw rtl::Exception("A control cannot have itself as its parent");
  if (parent_) parent_->RemoveControl(this);
  parent_ = parent;
  if (parent_) {
    parent_->InsertControl(this);
    ParentFontChanged();
    ParentColorChanged();
    if (align_ != alNone) parent_->AlignControls();
  }
}

classes::TComponent* TControl::GetParentComponent() const { return parent_; }

void TControl::SetParentComponent(classes::TComponent* parent) {
  if (auto* w = dynamic_cast<TWinControl*>(parent)) SetParent(w);
}

void TControl::Loaded() {
  classes::TComponent::Loaded();
  ParentFontChanged();
  ParentColorChanged();
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  const bool sized = width != width_ || height != height_;
  if (parent_) parent_->Invalidate();
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  BoundsChanged(sized);
  if (parent_) {
    parent_->Invalidate();
    if (align_ != alNone) parent_->AlignControls();
  }
}

void TControl::BoundsChanged(bool) {}

void TControl::SetClientSize(int w, int h) {
  const TRect c = ClientRect();
  SetBounds(left_, top_, width_ - c.Width() + w, height_ - c.Height() + h);
}

bool TControl::Showing() const {
  const TControl* c = this;
  while (c) {
    if (!c->visible_) return false;
    if (!c->parent_) return c->IsWindowed() && static_cast<const TWinControl*>(c)->HandleAllocated();
    c = c->parent_;
  }
  return false;
}

void TControl::SetVisible(bool v) {
  if (v == visible_) return;
  VisibleChanging();
  visible_ = v;
  Perform(CM_VISIBLECHANGED, v ? 1 : 0);
  if (parent_) {
    parent_->Invalidate();
    if (align_ != alNone) parent_->AlignControls();
  }
}

void TControl::SetEnabled(bool v) {
  if (v == enabled_) return;
  enabled_ = v;
  Perform(CM_ENABLEDCHANGED);
  Invalidate();
}

void TControl::SetText(const std::string& v) {
  if (v == text_) return;
  text_ = v;
  Perform(CM_TEXTCHANGED);
  Invalidate();
}

void TControl::SetParentFont(bool v) {
  if (v == parentFont_) return;
  parentFont_ = v;
  if (v) ParentFontChanged();
}

void TControl::SetColor(TColor v) {
  colorSet_ = true;
  if (!fromParent_) parentColor_ = false;
  if (v == color_) return;
  color_ = v;
  Perform(CM_COLORCHANGED);
  Invalidate();
}

void TControl::SetParentColor(bool v) {
  if (v == parentColor_) return;
  parentColor_ = v;
  if (v) ParentColorChanged();
}

void TControl::ParentFontChanged() {
  if (!parentFont_ || !parent_) return;
  fromParent_ = true;
  font_.Assign(parent_->Font());
  fromParent_ = false;
}

void TControl::ParentColorChanged() {
  if (!parentColor_ || !parent_) return;
  fromParent_ = true;
  SetColor(parent_->Color());
  fromParent_ = false;
}

void TControl::FontChanged() {
  Perform(CM_FONTCHANGED);
  Invalidate();
}

void TControl::SetAlign(TAlign v) {
  if (v == align_) return;
  align_ = v;
  if (parent_) parent_->AlignControls();
}

LRESULT TControl::Perform(std::uint32_t msg, WPARAM w, LPARAM l) {
  TMessage m;
  m.msg = msg;
  m.wParam = w;
  m.lParam = l;
  WndProc(m);
  return m.result;
}

void TControl::WndProc(TMessage& m) {
  switch (m.msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MOUSEMOVE:
      HandleMouse(m);
      return;
    case CM_PARENTFONTCHANGED:
      ParentFontChanged();
      return;
    case CM_PARENTCOLORCHANGED:
      ParentColorChanged();
      return;
    default:
      DefaultHandler(m);
  }
}

void TControl::HandleMouse(TMessage& m) {
  const TPoint p = PointFromLParam(m.lParam);
  TShiftState shift = ShiftStateOf(m.wParam);
  switch (m.msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      controlState_ |= csLButtonDown;
      if (controlStyle_ & csCaptureMouse) SetMouseCapture(true);
      if (controlStyle_ & csClickEvents) controlState_ |= csClicked;
      if (m.msg == WM_LBUTTONDBLCLK) {
        shift |= ssDouble;
        if (controlStyle_ & csClickEvents) DblClick();
      }
      MouseDown(mbLeft, shift, p.x, p.y);
      break;
    case WM_LBUTTONUP:
      controlState_ &= ~csLButtonDown;
      if (controlStyle_ & csCaptureMouse) SetMouseCapture(false);
      if (controlState_ & csClicked) {
        controlState_ &= ~csClicked;
        if (p.x >= 0 && p.y >= 0 && p.x < ClientWidth() && p.y < ClientHeight()) Click();
      }
      MouseUp(mbLeft, shift, p.x, p.y);
      break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      MouseDown(mbRight, shift, p.x, p.y);
      break;
    case WM_RBUTTONUP:
      MouseUp(mbRight, shift, p.x, p.y);
      break;
    case WM_MBUTTONDOWN:
      MouseDown(mbMiddle, shift, p.x, p.y);
      break;
    case WM_MBUTTONUP:
      MouseUp(mbMiddle, shift, p.x, p.y);
      break;
    case WM_MOUSEMOVE:
      MouseMove(shift, p.x, p.y);
      break;
  }
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  onMouseDown_.Fire(this, button, shift, x, y);
}
void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  onMouseUp_.Fire(this, button, shift, x, y);
}
void TControl::MouseMove(TShiftState shift, int x, int y) { onMouseMove_.Fire(this, shift, x, y); }
void TControl::Click() {
  if (onClick_.Assigned() || !action_) onClick_.Fire(this);
  else action_->Execute();
}

void TControl::SetAction(TBasicAction* action) {
  if (action == action_) return;
  if (action_) action_->UnRegisterClient(this);
  action_ = action;
  if (action_) {
    action_->RegisterClient(this);
    ActionChange(action_, true);
  }
}

TBiDiMode TControl::BiDiMode() const {
  if (parentBiDiMode_ && parent_) return parent_->BiDiMode();
  return biDiMode_;
}

void TControl::SetBiDiMode(TBiDiMode v) {
  parentBiDiMode_ = false;
  if (v == biDiMode_) return;
  biDiMode_ = v;
  Invalidate();
}
void TControl::DblClick() { onDblClick_.Fire(this); }

void TControl::Invalidate() {
  if (parent_) parent_->Invalidate();
}

void TControl::Update() {
  TWinControl* top = TopLevel();
  if (!top || !top->HandleAllocated() || !Windows()) return;
  if (Windows()->Queue().NeedsPaint(top->Handle())) {
    Windows()->Queue().Validate(top->Handle());
    top->Perform(WM_PAINT);
  }
}

void TControl::Repaint() {
  Invalidate();
  Update();
}

void TControl::BringToFront() {
  if (!parent_) return;
  TWinControl* p = parent_;
  p->RemoveControl(this);
  p->InsertControl(this);
  p->Invalidate();
}

void TControl::SendToBack() {
  if (!parent_) return;
  auto& list = parent_->children_;
  std::erase(list, this);
  auto it = list.begin();
  if (IsWindowed())
    while (it != list.end() && !(*it)->IsWindowed()) ++it;
  list.insert(it, this);
  parent_->Invalidate();
}

TWinControl* TControl::TopLevel() const {
  const TControl* c = this;
  while (c->parent_) c = c->parent_;
  return c->IsWindowed() ? const_cast<TWinControl*>(static_cast<const TWinControl*>(c)) : nullptr;
}

TPoint TControl::OffsetInTopLevel() const {
  TPoint p{0, 0};
  const TControl* c = this;
  while (c->parent_) {
    p.x += c->left_;
    p.y += c->top_;
    if (c->parent_->parent_) {
      const TPoint inner = c->parent_->ClientOrigin();
      p.x += inner.x;
      p.y += inner.y;
    }
    c = c->parent_;
  }
  return p;
}

TPoint TControl::ClientOffsetInTopLevel() const {
  TPoint p = OffsetInTopLevel();
  if (parent_) {
    const TPoint inner = ClientOrigin();
    p.x += inner.x;
    p.y += inner.y;
  }
  return p;
}

TPoint TControl::ClientToScreen(TPoint p) const {
  const TWinControl* top = TopLevel();
  const TPoint off = ClientOffsetInTopLevel();
  if (!top) return {p.x + off.x, p.y + off.y};
  const TPoint origin = top->ClientOrigin();
  return {p.x + off.x + top->Left() + origin.x, p.y + off.y + top->Top() + origin.y};
}

TPoint TControl::ScreenToClient(TPoint p) const {
  const TPoint zero = ClientToScreen({0, 0});
  return {p.x - zero.x, p.y - zero.y};
}

bool TControl::MouseCapture() const { return Windows() && Windows()->CaptureControl() == this; }

void TControl::SetMouseCapture(bool v) {
  if (!Windows()) return;
  if (v) Windows()->SetCapture(this);
  else Windows()->ReleaseCapture(this);
}

TCustomForm* GetParentForm(const TControl* control) {
  if (!control) return nullptr;
  return dynamic_cast<TCustomForm*>(control->TopLevel());
}

}  // namespace ui
