#include "platform/ui/windowsystem.h"

#include <algorithm>
#include <cstdlib>

#include "platform/ui/forms.h"
#include "platform/ui/hints.h"

namespace ui {

WindowSystem::WindowSystem(std::unique_ptr<Backend> backend)
    : backend_(std::move(backend)), queue_(backend_->GetClock()) {
  backend_->SetInputSink(this);
  hints_ = std::make_unique<HintController>(*this);
}

WindowSystem::~WindowSystem() {
  hints_.reset();
  backend_->SetInputSink(nullptr);
}

HWND WindowSystem::AllocateHandle(MessageTarget* target) {
  const HWND h = nextHandle_++;
  targets_[h] = target;
  return h;
}

void WindowSystem::ReleaseHandle(HWND hwnd) {
  targets_.erase(hwnd);
  dropTargets_.erase(hwnd);
  queue_.RemoveWindow(hwnd);
}

MessageTarget* WindowSystem::TargetOf(HWND hwnd) const {
  auto it = targets_.find(hwnd);
  return it == targets_.end() ? nullptr : it->second;
}

TWinControl* WindowSystem::ControlOf(HWND hwnd) const { return dynamic_cast<TWinControl*>(TargetOf(hwnd)); }

LRESULT WindowSystem::Send(HWND hwnd, std::uint32_t msg, WPARAM w, LPARAM l) {
  MessageTarget* t = TargetOf(hwnd);
  if (!t) return 0;
  TMessage m;
  m.hwnd = hwnd;
  m.msg = msg;
  m.wParam = w;
  m.lParam = l;
  m.pt = cursor_;
  m.time = GetClock().NowMs();
  t->HandleMessage(m);
  return m.result;
}

void WindowSystem::Post(HWND hwnd, std::uint32_t msg, WPARAM w, LPARAM l) { queue_.Post(hwnd, msg, w, l, cursor_); }

void WindowSystem::Dispatch(TMessage& m) {
  MessageTarget* t = TargetOf(m.hwnd);
  if (!t) return;
  if (m.msg == WM_KEYDOWN || m.msg == WM_SYSKEYDOWN) {
    if (TWinControl* c = ControlOf(m.hwnd)) {
      // The control's keyboard navigation (Tab, Enter, Escape, arrows) comes first; a key it
      // takes is not translated into a character.
      if (c->Perform(CN_KEYDOWN, m.wParam, m.lParam) != 0) return;
      t->HandleMessage(m);
      if (!TargetOf(m.hwnd)) return;
      const int vk = static_cast<int>(m.wParam);
      const TShiftState shift = static_cast<TShiftState>(m.lParam);
      // Alt with a letter or digit is an accelerator for the form's controls.
      if (m.msg == WM_SYSKEYDOWN && m.result == 0 && ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))) {
        if (TCustomForm* form = GetParentForm(c)) form->Perform(CM_DIALOGCHAR, static_cast<WPARAM>(vk));
        return;
      }
      if (m.msg == WM_KEYDOWN && !(shift & (ssCtrl | ssAlt)) &&
          (vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_BACK || vk == VK_TAB) && TargetOf(m.hwnd)) {
        TMessage ch = m;
        ch.msg = WM_CHAR;
        ch.wParam = static_cast<WPARAM>(vk == VK_RETURN ? 13 : vk == VK_ESCAPE ? 27 : vk == VK_BACK ? 8 : 9);
        queue_.PostFront(ch);
      }
      return;
    }
  }
  if (m.msg == WM_CHAR) {
    // A printable character that the focused control does not take is an accelerator.
    TWinControl* c = ControlOf(m.hwnd);
    const unsigned char ch = static_cast<unsigned char>(m.wParam);
    if (c && ch > ' ' && !(c->Perform(WM_GETDLGCODE) & DLGC_WANTCHARS)) {
      if (TCustomForm* form = GetParentForm(c)) {
        if (form->Perform(CM_DIALOGCHAR, ch) != 0) return;
      }
    }
  }
  if (m.msg == WM_PAINT) queue_.Validate(m.hwnd);
  t->HandleMessage(m);
}

void WindowSystem::ActivateForm(TCustomForm* form) {
  if (form == activeForm_) return;
  TCustomForm* old = activeForm_;
  activeForm_ = form;
  if (old) old->Perform(CM_DEACTIVATE);
  if (form && activeForm_ == form) {
    if (form->HandleAllocated()) backend_->BringToFront(form->Handle());
    form->Perform(CM_ACTIVATE);
  }
}

void WindowSystem::SetFocusedControl(TWinControl* control) {
  if (control == focus_) return;
  TWinControl* old = focus_;
  focus_ = control;
  // Leaving and entering the controls first, then the window focus itself.
  if (old) old->Perform(CM_EXIT);
  if (focus_ != control) return;  // the old control's exit moved the focus elsewhere
  if (control) {
    if (TCustomForm* form = GetParentForm(control)) form->FocusArrived(control);
    control->Perform(CM_ENTER);
  }
  if (focus_ != control) return;
  if (old) old->Perform(WM_KILLFOCUS);
  if (control) control->Perform(WM_SETFOCUS);
}

void WindowSystem::SetCapture(TControl* control) { capture_ = control; }

void WindowSystem::ReleaseCapture(TControl* control) {
  if (capture_ == control) capture_ = nullptr;
}

void WindowSystem::ControlDestroyed(TControl* control) {
  if (capture_ == control) capture_ = nullptr;
  if (mouseControl_ == control) mouseControl_ = nullptr;
  if (focus_ == control) focus_ = nullptr;
  if (activeForm_ == control) activeForm_ = nullptr;
  if (hints_) hints_->ControlDestroyed(control);
}

std::vector<TWinControl*> WindowSystem::TopLevels() const {
  std::vector<TWinControl*> out;
  for (auto& [h, t] : targets_)
    if (auto* c = dynamic_cast<TWinControl*>(t); c && !c->Parent()) out.push_back(c);
  return out;
}

TWinControl* WindowSystem::TopLevelAt(TPoint screen) const {
  if (activeForm_ && activeForm_->Visible() && activeForm_->BoundsRect().Contains(screen)) return activeForm_;
  for (TWinControl* c : TopLevels())
    if (c->Visible() && c->BoundsRect().Contains(screen)) return c;
  return nullptr;
}

void WindowSystem::UpdateMouseControl(TWinControl* top, TPoint client) {
  TControl* under = nullptr;
  if (top && top->Visible() && Rect(0, 0, top->ClientWidth(), top->ClientHeight()).Contains(client)) {
    under = top;
    TPoint p = client;
    while (auto* w = dynamic_cast<TWinControl*>(under)) {
      TControl* c = w->ControlAtPos(p, true, true);
      if (!c) break;
      const TPoint inner = c->ClientOrigin();
      p = {p.x - c->Left() - inner.x, p.y - c->Top() - inner.y};
      under = c;
    }
  }
  if (under == mouseControl_) return;
  TControl* old = mouseControl_;
  mouseControl_ = under;
  hints_->MouseControlChanged(under);
  if (old) old->Perform(CM_MOUSELEAVE);
  if (under && mouseControl_ == under) under->Perform(CM_MOUSEENTER);
}

void WindowSystem::MouseInput(HWND topLevel, std::uint32_t msg, TPoint client, WPARAM keys) {
  TWinControl* top = ControlOf(topLevel);
  if (!top) return;
  keys_ = (keys_ & ~(MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) | keys;
  cursor_ = top->ClientToScreen(client);
  if (msg == WM_MOUSEMOVE) UpdateMouseControl(top, client);

  // The window that gets it: the capture holder's, else the deepest windowed control under it.
  TWinControl* target = nullptr;
  if (capture_) {
    target = capture_->IsWindowed() ? static_cast<TWinControl*>(capture_) : capture_->Parent();
  } else {
    if (!top->Enabled()) return;  // a window disabled by a modal box refuses input
    target = top;
    TPoint p = client;
    while (true) {
      TControl* c = target->ControlAtPos(p, true, true);
      if (!c || !c->IsWindowed()) break;
      const TPoint inner = c->ClientOrigin();
      p = {p.x - c->Left() - inner.x, p.y - c->Top() - inner.y};
      target = static_cast<TWinControl*>(c);
    }
    if (!target->Enabled()) return;
  }
  if (!target) return;
  if (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN) hints_->MousePressed();
  if (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN) {
    if (auto* form = GetParentForm(target); form && form != activeForm_ && form->Enabled()) ActivateForm(form);
  }
  const TPoint local = target->ScreenToClient(cursor_);
  if (msg == WM_LBUTTONDOWN) {
    const std::uint64_t now = GetClock().NowMs();
    if (lastDownValid_ && lastDownWindow_ == target->Handle() && now - lastDownTime_ <= kDoubleClickMs &&
        std::abs(cursor_.x - lastDownPoint_.x) <= kDoubleClickDistance &&
        std::abs(cursor_.y - lastDownPoint_.y) <= kDoubleClickDistance &&
        (target->ControlStyle() & csDoubleClicks)) {
      msg = WM_LBUTTONDBLCLK;
      lastDownValid_ = false;
    } else {
      lastDownValid_ = true;
      lastDownWindow_ = target->Handle();
      lastDownTime_ = now;
      lastDownPoint_ = cursor_;
    }
  }
  queue_.Post(target->Handle(), msg, keys, MakeLParam(local.x, local.y), cursor_);
}

void WindowSystem::KeyInput(std::uint32_t msg, int vk, WPARAM shift) {
  keys_ = (keys_ & ~(MK_SHIFT | MK_CONTROL | MK_ALT)) | shift;
  TWinControl* target = focus_;
  if (!target) target = activeForm_;
  if (!target) return;
  if (shift & MK_ALT) msg = msg == WM_KEYDOWN ? WM_SYSKEYDOWN : WM_SYSKEYUP;
  queue_.Post(target->Handle(), msg, static_cast<WPARAM>(vk), static_cast<LPARAM>(ShiftStateOf(shift)), cursor_);
}

void WindowSystem::CharInput(unsigned char ansi) {
  TWinControl* target = focus_ ? focus_ : activeForm_;
  if (!target) return;
  queue_.Post(target->Handle(), WM_CHAR, ansi, 0, cursor_);
}

void WindowSystem::CloseRequest(HWND topLevel) {
  if (TWinControl* c = ControlOf(topLevel); c && c->Enabled()) queue_.Post(topLevel, WM_CLOSE);
}

void WindowSystem::Exposed(HWND topLevel) { queue_.Invalidate(topLevel); }

void WindowSystem::WindowPlaced(HWND topLevel, TPoint clientScreen, TSize client) {
  TWinControl* top = ControlOf(topLevel);
  if (!top) return;
  const TPoint origin = top->ClientOrigin();
  const TRect outer = top->BoundsRect();
  const int w = outer.Width() - top->ClientWidth() + client.cx;
  const int h = outer.Height() - top->ClientHeight() + client.cy;
  top->SetBounds(clientScreen.x - origin.x, clientScreen.y - origin.y, w, h);
}

void WindowSystem::ActivationChanged(HWND topLevel, bool active) {
  // The application's focused form follows the user's clicks and our own activation; the
  // window manager's focus changes (switching applications) do not re-activate a form.
  (void)topLevel;
  (void)active;
}

}  // namespace ui

namespace ui {

void WindowSystem::SetAcceptsFiles(HWND hwnd, bool accept) {
  if (accept) dropTargets_.insert(hwnd);
  else dropTargets_.erase(hwnd);
}

bool WindowSystem::FilesDropped(HWND topLevel, TPoint client, const std::vector<std::string>& names) {
  TWinControl* top = ControlOf(topLevel);
  if (!top || !top->Enabled()) return false;
  // The deepest windowed control under the point, then up to the first that accepts drops.
  TWinControl* target = top;
  TPoint p = client;
  while (true) {
    TControl* c = target->ControlAtPos(p, false, true);
    if (!c || !c->IsWindowed()) break;
    const TPoint inner = c->ClientOrigin();
    p = {p.x - c->Left() - inner.x, p.y - c->Top() - inner.y};
    target = static_cast<TWinControl*>(c);
  }
  for (TWinControl* w = target; w; w = w->Parent()) {
    if (!w->HandleAllocated() || !AcceptsFiles(w->Handle())) continue;
    auto drop = std::make_unique<TDropFiles>();
    drop->names = names;
    drop->point = w->ScreenToClient(top->ClientToScreen(client));
    TDropFiles* raw = drop.get();
    drops_[raw] = std::move(drop);
    queue_.Post(w->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(raw), 0, top->ClientToScreen(client));
    return true;
  }
  return false;
}

void WindowSystem::FinishDrop(TDropFiles* drop) { drops_.erase(drop); }

void DragAcceptFiles(HWND hwnd, bool accept) {
  if (Application) Application->Windows().SetAcceptsFiles(hwnd, accept);
}

bool AcceptsDroppedFiles(HWND hwnd) { return Application && Application->Windows().AcceptsFiles(hwnd); }

int DragQueryFileCount(HDROP drop) { return drop ? static_cast<int>(drop->names.size()) : 0; }

std::string DragQueryFile(HDROP drop, int index, int bufferSize) {
  if (!drop || index < 0 || index >= DragQueryFileCount(drop) || bufferSize <= 0) return {};
  std::string name = drop->names[static_cast<std::size_t>(index)];
  if (static_cast<int>(name.size()) > bufferSize - 1) name.resize(static_cast<std::size_t>(bufferSize - 1));
  return name;
}

void DragFinish(HDROP drop) {
  if (Application) Application->Windows().FinishDrop(drop);
}

}  // namespace ui
