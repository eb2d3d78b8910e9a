// The window system's calls in their usual form, for code written against them (the drawing
// utilities, the editor controls). They act on the running application's window system.
#pragma once
#include <cstdint>

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

}  // namespace ui
