// The window system's calls in their usual form, for code written against them (the drawing
// utilities, the editor controls). They act on the running application's window system.
#pragma once
#include <cstdint>
#include <functional>

#include "platform/ui/forms.h"

namespace ui {

// Looks at (PM_NOREMOVE) or takes (PM_REMOVE) the first message for the window (0: any) in
// the range (0, 0: any). A pending quit request is returned whatever the filter.
bool PeekMessage(TMessage& out, HWND hwnd, std::uint32_t min, std::uint32_t max, unsigned remove);
void PostMessage(HWND hwnd, std::uint32_t msg, WPARAM w = 0, LPARAM l = 0);
LRESULT SendMessage(HWND hwnd, std::uint32_t msg, WPARAM w = 0, LPARAM l = 0);
void PostQuitMessage(int exitCode);
int GetSystemMetrics(int index);
// The active top-level window, 0 when none.
HWND GetActiveWindow();
TPoint GetCursorPos();
// The control under a screen point (disabled ones included), or null.
TControl* FindDragTarget(TPoint screen, bool allowDisabled);
// Modifier keys and mouse buttons held (MK_* bits) at the last input.
WPARAM GetKeyState();
// A top-level window's rectangle on the screen; false when there is no such window.
bool GetWindowRect(HWND hwnd, TRect& out);
enum : unsigned { SWP_NOSIZE = 0x1, SWP_NOMOVE = 0x2, SWP_NOZORDER = 0x4, SWP_NOACTIVATE = 0x10 };
// Moves and sizes a top-level window (insertAfter is kept for the call's form; z-order is the
// window system's own).
bool SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, unsigned flags);
// The user-interface thread's id, and its top-level windows through a callback that returns
// false to stop the enumeration. Windows belong to the thread that runs the application.
std::uint32_t GetCurrentThreadId();
bool EnumThreadWindows(std::uint32_t threadId, const std::function<bool(HWND)>& callback);
// New-style (3-D) controls are always offered.
inline bool NewStyleControls() { return true; }

}  // namespace ui
