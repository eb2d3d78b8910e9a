#include "platform/ui/winapi.h"

#include "platform/rtl/threads.h"

namespace ui {

bool PeekMessage(TMessage& out, HWND hwnd, std::uint32_t min, std::uint32_t max, unsigned remove) {
  return Application && Application->Windows().Queue().Peek(out, hwnd, min, max, remove);
}

void PostMessage(HWND hwnd, std::uint32_t msg, WPARAM w, LPARAM l) {
  if (Application) Application->Windows().Post(hwnd, msg, w, l);
}

LRESULT SendMessage(HWND hwnd, std::uint32_t msg, WPARAM w, LPARAM l) {
  return Application ? Application->Windows().Send(hwnd, msg, w, l) : 0;
}

void PostQuitMessage(int exitCode) {
  if (Application) Application->Windows().Queue().PostQuit(exitCode);
}

int GetSystemMetrics(int index) {
  const TSize screen = Application ? Application->Windows().GetBackend().ScreenSize() : TSize{1024, 768};
  switch (index) {
    case SM_CXSCREEN: return screen.cx;
    case SM_CYSCREEN: return screen.cy;
    case SM_CXVSCROLL: return 16;
    case SM_CYVSCROLL: return 16;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CYCAPTION: return 19;
    default: return 0;
  }
}

HWND GetActiveWindow() {
  if (!Application) return 0;
  TCustomForm* f = Application->Windows().ActiveForm();
  return f && f->HandleAllocated() ? f->Handle() : 0;
}

TPoint GetCursorPos() { return Application ? Application->Windows().CursorPos() : TPoint{}; }

TControl* FindDragTarget(TPoint screen, bool allowDisabled) {
  if (!Application) return nullptr;
  TWinControl* top = Application->Windows().TopLevelAt(screen);
  if (!top) return nullptr;
  TControl* result = top;
  TPoint p = top->ScreenToClient(screen);
  if (!Rect(0, 0, top->ClientWidth(), top->ClientHeight()).Contains(p)) return nullptr;
  while (auto* w = dynamic_cast<TWinControl*>(result)) {
    TControl* c = w->ControlAtPos(p, allowDisabled, true);
    if (!c) break;
    const TPoint inner = c->ClientOrigin();
    p = {p.x - c->Left() - inner.x, p.y - c->Top() - inner.y};
    result = c;
  }
  return result;
}

bool GetWindowRect(HWND hwnd, TRect& out) {
  TWinControl* w = Application ? Application->Windows().ControlOf(hwnd) : nullptr;
  if (!w) return false;
  out = w->Parent() ? Bounds(w->ClientToScreen({0, 0}).x, w->ClientToScreen({0, 0}).y, w->Width(), w->Height())
                    : w->BoundsRect();
  return true;
}

bool SetWindowPos(HWND hwnd, HWND /*insertAfter*/, int x, int y, int cx, int cy, unsigned flags) {
  TWinControl* w = Application ? Application->Windows().ControlOf(hwnd) : nullptr;
  if (!w) return false;
  if (flags & SWP_NOMOVE) {
    x = w->Left();
    y = w->Top();
  }
  if (flags & SWP_NOSIZE) {
    cx = w->Width();
    cy = w->Height();
  }
  w->SetBounds(x, y, cx, cy);
  return true;
}

std::uint32_t GetCurrentThreadId() { return rtl::GetCurrentThreadId(); }

bool EnumThreadWindows(std::uint32_t threadId, const std::function<bool(HWND)>& callback) {
  if (!Application || threadId != Application->ThreadId()) return false;
  for (TWinControl* w : Application->Windows().TopLevels())
    if (w->HandleAllocated() && !callback(w->Handle())) break;
  return true;
}

WPARAM GetKeyState() { return Application ? Application->Windows().KeyState() : 0; }

}  // namespace ui
