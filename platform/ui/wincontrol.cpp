#include <algorithm>

#include "platform/classes/classbuilder.h"
#include "platform/rtl/exception.h"
#include "platform/ui/controls.h"
#include "platform/ui/forms.h"
#include "platform/ui/windowsystem.h"

namespace ui {

const classes::TClassInfo& TWinControl::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TWinControl, TControl>("TWinControl", [](auto& c) {
    c.Integer("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder).Default(-1);
    c.Bool("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop);
    c.Bool("Ctl3D", &TWinControl::Ctl3D, &TWinControl::SetCtl3D).Default(true);
    c.Bool("ParentCtl3D", &TWinControl::ParentCtl3D, &TWinControl::SetParentCtl3D).Default(true);
    c.Event("OnEnter", &TWinControl::OnEnter, &TWinControl::SetOnEnter);
    c.Event("OnExit", &TWinControl::OnExit, &TWinControl::SetOnExit);
    c.Event("OnKeyDown", &TWinControl::OnKeyDown, &TWinControl::SetOnKeyDown);
    c.Event("OnKeyPress", &TWinControl::OnKeyPress, &TWinControl::SetOnKeyPress);
    c.Event("OnKeyUp", &TWinControl::OnKeyUp, &TWinControl::SetOnKeyUp);
  });
  return info;
}

TWinControl::TWinControl(classes::TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  // Children that are not owned by a component the owner destroys first still point here.
  for (TControl* c : std::vector<TControl*>(children_)) c->parent_ = nullptr;
  children_.clear();
  DestroyHandle();
}

void TWinControl::InsertControl(TControl* c) {
  std::erase(children_, c);
  if (c->IsWindowed()) {
    children_.push_back(c);
  } else {
    auto it = std::find_if(children_.begin(), children_.end(), [](TControl* x) { return x->IsWindowed(); });
    children_.insert(it, c);
  }
  if (c->IsWindowed()) {
    auto* w = static_cast<TWinControl*>(c);
    if (w->tabOrder_ < 0) {
      int n = 0;
      for (TControl* x : children_)
        if (x != c && x->IsWindowed()) ++n;
      w->tabOrder_ = n;
    }
    if (handle_) w->HandleNeeded();
  }
  Invalidate();
}

void TWinControl::RemoveControl(TControl* c) {
  std::erase(children_, c);
  Invalidate();
}

TControl* TWinControl::ControlAtPos(TPoint p, bool allowDisabled, bool allowWindowed) const {
  for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
    TControl* c = *it;
    if (!c->Visible() || (!allowDisabled && !c->Enabled())) continue;
    if (!allowWindowed && c->IsWindowed()) continue;
    if (c->BoundsRect().Contains(p)) return c;
  }
  return nullptr;
}

LRESULT TWinControl::Broadcast(std::uint32_t msg, WPARAM w, LPARAM l) {
  for (TControl* c : std::vector<TControl*>(children_)) {
    const LRESULT r = c->Perform(msg, w, l);
    if (r != 0) return r;
  }
  return 0;
}

HWND TWinControl::Handle() {
  if (!handle_ && Windows()) CreateWnd();
  return handle_;
}

void TWinControl::CreateWnd() {
  handle_ = Windows()->AllocateHandle(this);
  if (!Parent()) {
    surface_ = std::make_unique<Surface>();
    surface_->Resize(std::max(0, ClientWidth()), std::max(0, ClientHeight()), ColorToRGB(Color()));
    Windows()->GetBackend().CreateTopLevel(handle_, TopLevelWindowInfo());
  }
  Perform(WM_CREATE);
  // The windowed children get their windows with their parent's.
  for (TControl* c : std::vector<TControl*>(children_))
    if (c->IsWindowed()) static_cast<TWinControl*>(c)->HandleNeeded();
}

void TWinControl::DestroyWnd() {
  if (!handle_) return;
  if (WindowSystem* ws = Windows()) {
    if (!Parent()) ws->GetBackend().DestroyTopLevel(handle_);
    ws->ReleaseHandle(handle_);
  }
  handle_ = 0;
  surface_.reset();
}

void TWinControl::DestroyHandle() {
  if (!handle_) return;
  controlState_ |= csDestroyingHandle;
  for (TControl* c : children_)
    if (c->IsWindowed()) static_cast<TWinControl*>(c)->DestroyHandle();
  DestroyWnd();
  controlState_ &= ~csDestroyingHandle;
}

void TWinControl::RecreateWnd() {
  if (!handle_) return;
  DestroyHandle();
  HandleNeeded();
  Invalidate();
}

TopLevelInfo TWinControl::TopLevelWindowInfo() {
  TopLevelInfo info;
  info.caption = Caption();
  info.outer = BoundsRect();
  info.client = {ClientWidth(), ClientHeight()};
  info.visible = Visible();
  return info;
}

void TWinControl::UpdateTopLevelWindow() {
  if (Parent() || !handle_ || !Windows()) return;
  Windows()->GetBackend().UpdateTopLevel(handle_, TopLevelWindowInfo());
}

void TWinControl::SetTabOrder(int v) {
  tabOrder_ = v;
}

void TWinControl::SetCtl3D(bool v) {
  if (v == ctl3D_) return;
  ctl3D_ = v;
  parentCtl3D_ = false;
  Perform(CM_CTL3DCHANGED);
  Invalidate();
}

bool TWinControl::CanFocus() const {
  const TControl* c = this;
  while (c) {
    if (!c->Visible() || !c->Enabled()) return false;
    c = c->Parent();
  }
  return true;
}

bool TWinControl::Focused() const { return Windows() && Windows()->FocusedControl() == this; }

void TWinControl::SetFocus() {
  if (!CanFocus()) throw rtl::Exception("Cannot focus a disabled or invisible window");
  TCustomForm* form = GetParentForm(this);
  if (form && Windows() && Windows()->ActiveForm() != form) {
    form->SetActiveControl(this);
    return;
  }
  if (Windows()) Windows()->SetFocusedControl(this);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) {
  std::vector<TWinControl*> windowed;
  for (TControl* c : children_)
    if (c->IsWindowed()) windowed.push_back(static_cast<TWinControl*>(c));
  std::stable_sort(windowed.begin(), windowed.end(),
                   [](TWinControl* a, TWinControl* b) { return a->tabOrder_ < b->tabOrder_; });
  for (TWinControl* w : windowed) {
    list.push_back(w);
    w->GetTabOrderList(list);
  }
}

void TWinControl::GetChildren(const std::function<void(classes::TComponent*)>& proc, classes::TComponent* root) {
  for (TControl* c : children_)
    if (c->Owner() == root) proc(c);
  if (this == root) classes::TComponent::GetChildren(proc, root);
}

void TWinControl::Invalidate() {
  TWinControl* top = TopLevel();
  if (top && top->handle_ && Windows()) Windows()->Queue().Invalidate(top->handle_);
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  TControl::SetBounds(left, top, width, height);
}

void TWinControl::BoundsChanged(bool sizeChanged) {
  if (sizeChanged) {
    AlignControls();
    if (handle_) Perform(WM_SIZE, 0, MakeLParam(ClientWidth(), ClientHeight()));
  }
  UpdateTopLevelWindow();
  Invalidate();
}

void TWinControl::SetVisible(bool v) {
  TControl::SetVisible(v);
  if (!v && Windows()) {
    TWinControl* f = Windows()->FocusedControl();
    for (TControl* c = f; c; c = c->Parent())
      if (c == this && Parent()) {
        if (TCustomForm* form = GetParentForm(this)) form->SelectNext(f, true);
        break;
      }
  }
  UpdateTopLevelWindow();
}

void TWinControl::SetEnabled(bool v) {
  TControl::SetEnabled(v);
}

void TWinControl::AlignControls() {
  if (aligning_) return;
  aligning_ = true;
  TRect room = ClientRect();
  room = Rect(0, 0, room.Width(), room.Height());
  for (TControl* c : std::vector<TControl*>(children_)) {
    if (!c->Visible() || c->Align() == alNone) continue;
    switch (c->Align()) {
      case alTop:
        c->SetBounds(room.left, room.top, room.Width(), c->Height());
        room.top += c->Height();
        break;
      case alBottom:
        c->SetBounds(room.left, room.bottom - c->Height(), room.Width(), c->Height());
        room.bottom -= c->Height();
        break;
      case alLeft:
        c->SetBounds(room.left, room.top, c->Width(), room.Height());
        room.left += c->Width();
        break;
      case alRight:
        c->SetBounds(room.right - c->Width(), room.top, c->Width(), room.Height());
        room.right -= c->Width();
        break;
      default:
        break;
    }
  }
  for (TControl* c : std::vector<TControl*>(children_))
    if (c->Visible() && c->Align() == alClient) c->SetBounds(room.left, room.top, room.Width(), room.Height());
  aligning_ = false;
}

void TWinControl::Loaded() {
  TControl::Loaded();
  AlignControls();
}

void TWinControl::FontChanged() {
  TControl::FontChanged();
  for (TControl* c : std::vector<TControl*>(children_)) c->Perform(CM_PARENTFONTCHANGED);
}

void TWinControl::EraseBackground(TCanvas& dc) {
  dc.Brush().SetColor(Color());
  dc.FillRect(Rect(0, 0, Width(), Height()));
}

void TWinControl::PaintWindow(TCanvas&) {}

void TWinControl::PaintControls(TCanvas& dc) {
  for (TControl* c : std::vector<TControl*>(children_)) {
    if (c->IsWindowed() || !c->Visible()) continue;
    const int saved = dc.SaveDC();
    const TPoint o = dc.ViewportOrigin();
    const TPoint inner = Parent() ? ClientOrigin() : TPoint{};
    dc.SetViewportOrigin({o.x + inner.x + c->Left(), o.y + inner.y + c->Top()});
    dc.IntersectClipRect(Rect(0, 0, c->Width(), c->Height()));
    c->Perform(WM_PAINT, reinterpret_cast<WPARAM>(&dc));
    dc.RestoreDC(saved);
  }
}

void TWinControl::PaintTree(TCanvas& dc) {
  const int saved = dc.SaveDC();
  Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(&dc));
  PaintWindow(dc);
  PaintControls(dc);
  for (TControl* c : std::vector<TControl*>(children_)) {
    if (!c->IsWindowed() || !c->Visible()) continue;
    const int inner = dc.SaveDC();
    const TPoint o = dc.ViewportOrigin();
    const TPoint client = Parent() ? ClientOrigin() : TPoint{};
    dc.SetViewportOrigin({o.x + client.x + c->Left(), o.y + client.y + c->Top()});
    dc.IntersectClipRect(Rect(0, 0, c->Width(), c->Height()));
    static_cast<TWinControl*>(c)->PaintTree(dc);
    dc.RestoreDC(inner);
  }
  dc.RestoreDC(saved);
}

bool TWinControl::DoKeyDown(int& key, TShiftState shift) {
  onKeyDown_.Fire(this, key, shift);
  if (key == 0) return true;
  KeyDown(key, shift);
  return key == 0;
}

bool TWinControl::HandleNavigationKey(int key, TShiftState shift) {
  LRESULT mask = 0;
  switch (key) {
    case VK_TAB: mask = DLGC_WANTTAB; break;
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: mask = DLGC_WANTARROWS; break;
    case VK_RETURN: case VK_ESCAPE: mask = DLGC_WANTALLKEYS; break;
    default: return false;
  }
  if (shift & ssAlt) return false;
  if (Perform(WM_GETDLGCODE) & (mask | DLGC_WANTALLKEYS)) return false;
  TCustomForm* form = GetParentForm(this);
  if (!form) return false;
  return form->Perform(CM_DIALOGKEY, static_cast<WPARAM>(key), static_cast<LPARAM>(shift)) != 0;
}

void TWinControl::WndProc(TMessage& m) {
  switch (m.msg) {
    case WM_PAINT:
      if (m.wParam) {
        TCanvas& dc = *reinterpret_cast<TCanvas*>(m.wParam);
        PaintWindow(dc);
        PaintControls(dc);
      } else if (!Parent()) {
        if (!surface_) return;
        if (surface_->width != ClientWidth() || surface_->height != ClientHeight())
          surface_->Resize(std::max(0, ClientWidth()), std::max(0, ClientHeight()));
        TCanvas dc(surface_.get());
        PaintTree(dc);
        if (Windows()) Windows()->GetBackend().Present(handle_, *surface_);
      } else {
        Invalidate();
      }
      return;
    case WM_ERASEBKGND:
      if (m.wParam) EraseBackground(*reinterpret_cast<TCanvas*>(m.wParam));
      m.result = 1;
      return;
    case WM_GETDLGCODE:
      m.result = DialogCode();
      return;
    case CN_KEYDOWN:
      m.result = HandleNavigationKey(static_cast<int>(m.wParam), static_cast<TShiftState>(m.lParam)) ? 1 : 0;
      return;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      int key = static_cast<int>(m.wParam);
      const TShiftState shift = static_cast<TShiftState>(m.lParam);
      DoKeyDown(key, shift);
      if (key == VK_F4 && (shift & ssAlt))
        if (TCustomForm* form = GetParentForm(this)) form->Close();
      m.result = key == 0;
      return;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP: {
      int key = static_cast<int>(m.wParam);
      const TShiftState shift = static_cast<TShiftState>(m.lParam);
      onKeyUp_.Fire(this, key, shift);
      if (key) KeyUp(key, shift);
      return;
    }
    case WM_CHAR: {
      char ch = static_cast<char>(m.wParam);
      onKeyPress_.Fire(this, ch);
      if (ch) KeyPress(ch);
      return;
    }
    case CM_ENTER:
      DoEnter();
      return;
    case CM_EXIT:
      DoExit();
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      Invalidate();
      return;
    case CM_DIALOGKEY:
    case CM_DIALOGCHAR:
      m.result = Broadcast(m.msg, m.wParam, m.lParam);
      return;
    case CM_SYSCOLORCHANGE:
      // Every control hears of it, whatever the others answer.
      for (TControl* c : std::vector<TControl*>(children_)) c->Perform(m.msg, m.wParam, m.lParam);
      Invalidate();
      return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MOUSEMOVE: {
      // Windowless children get the mouse through their parent: the one holding the capture,
      // else the topmost enabled one under the point.
      const TPoint p = PointFromLParam(m.lParam);
      TControl* target = nullptr;
      TControl* cap = Windows() ? Windows()->CaptureControl() : nullptr;
      if (cap && !cap->IsWindowed() && cap->Parent() == this) target = cap;
      else if (!cap || cap == this) target = ControlAtPos(p, false, false);
      if (target) {
        TMessage sub = m;
        sub.lParam = MakeLParam(p.x - target->Left(), p.y - target->Top());
        if (sub.msg == WM_LBUTTONDBLCLK && !(target->ControlStyle() & csDoubleClicks)) sub.msg = WM_LBUTTONDOWN;
        target->WndProc(sub);
        m.result = sub.result;
        return;
      }
      // A press focuses a tab stop; the control knows the focus arrives by the left button.
      if (m.msg == WM_LBUTTONDOWN || m.msg == WM_LBUTTONDBLCLK) {
        controlState_ |= csLButtonDown;
        if (TabStop() && CanFocus() && !Focused()) SetFocus();
      }
      TControl::WndProc(m);
      if (m.msg == WM_LBUTTONUP) controlState_ &= ~csLButtonDown;
      return;
    }
    default:
      TControl::WndProc(m);
  }
}

const classes::TClassInfo& TGraphicControl::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TGraphicControl, TControl>("TGraphicControl", [](auto&) {});
  return info;
}

TGraphicControl::TGraphicControl(classes::TComponent* owner) : TControl(owner) {}

TCanvas& TGraphicControl::Canvas() {
  if (painting_) return canvas_;
  // Outside a paint: the top-level window's surface at this control's current place.
  TWinControl* top = TopLevel();
  canvas_.SetTarget(top ? top->TopLevelSurface() : nullptr);
  canvas_.SetViewportOrigin(OffsetInTopLevel());
  canvas_.IntersectClipRect(Rect(0, 0, Width(), Height()));
  canvas_.Font().Assign(Font());
  return canvas_;
}

void TGraphicControl::WndProc(TMessage& m) {
  if (m.msg == WM_PAINT && m.wParam) {
    TCanvas& dc = *reinterpret_cast<TCanvas*>(m.wParam);
    canvas_.SetTarget(dc.Target());
    canvas_.SetViewportOrigin(dc.ViewportOrigin());
    canvas_.SetDeviceClip(dc.DeviceClip());
    canvas_.Font().Assign(Font());
    canvas_.Brush().SetColor(Color());
    painting_ = true;
    try {
      Paint();
    } catch (...) {
      painting_ = false;
      canvas_.SetTarget(nullptr);
      throw;
    }
    painting_ = false;
    canvas_.SetTarget(nullptr);
    return;
  }
  TControl::WndProc(m);
}

const classes::TClassInfo& TCustomControl::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TCustomControl, TWinControl>("TCustomControl", [](auto&) {});
  return info;
}

TCustomControl::TCustomControl(classes::TComponent* owner) : TWinControl(owner) {}

void TCustomControl::PaintWindow(TCanvas& dc) {
  canvas_.SetTarget(dc.Target());
  canvas_.SetViewportOrigin(dc.ViewportOrigin());
  canvas_.SetDeviceClip(dc.DeviceClip());
  canvas_.Font().Assign(Font());
  canvas_.Brush().SetColor(Color());
  Paint();
}

}  // namespace ui
