// Window messages: the numbers the window system and the class library use, and the message
// record. Mouse messages carry the client point packed in lParam (x low, y high, signed 16 bits)
// and the button/shift state in wParam; every queued message also records its screen point.
#pragma once
#include <cstdint>

#include "platform/ui/geometry.h"

namespace ui {

using HWND = std::uint32_t;  // 0: no window
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

struct TMessage {
  HWND hwnd = 0;
  std::uint32_t msg = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  LRESULT result = 0;
  TPoint pt;                 // screen point at the time it was queued
  std::uint64_t time = 0;    // clock milliseconds at the time it was queued
};

inline LPARAM MakeLParam(int lo, int hi) {
  return static_cast<LPARAM>((static_cast<std::uint32_t>(hi & 0xFFFF) << 16) |
                             static_cast<std::uint32_t>(lo & 0xFFFF));
}
inline int LoWordSigned(LPARAM l) { return static_cast<std::int16_t>(l & 0xFFFF); }
inline int HiWordSigned(LPARAM l) { return static_cast<std::int16_t>((l >> 16) & 0xFFFF); }
inline TPoint PointFromLParam(LPARAM l) { return {LoWordSigned(l), HiWordSigned(l)}; }

enum : std::uint32_t {
  WM_NULL = 0x0000,
  WM_CREATE = 0x0001,
  WM_DESTROY = 0x0002,
  WM_MOVE = 0x0003,
  WM_SIZE = 0x0005,
  WM_ACTIVATE = 0x0006,
  WM_SETFOCUS = 0x0007,
  WM_KILLFOCUS = 0x0008,
  WM_ENABLE = 0x000A,
  WM_SETTEXT = 0x000C,
  WM_GETTEXT = 0x000D,
  WM_PAINT = 0x000F,
  WM_CLOSE = 0x0010,
  WM_QUIT = 0x0012,
  WM_ERASEBKGND = 0x0014,
  WM_SYSCOLORCHANGE = 0x0015,
  WM_SHOWWINDOW = 0x0018,
  WM_ACTIVATEAPP = 0x001C,
  WM_CANCELMODE = 0x001F,
  WM_SETCURSOR = 0x0020,
  WM_GETFONT = 0x0031,
  WM_NCDESTROY = 0x0082,
  WM_GETDLGCODE = 0x0087,
  WM_KEYDOWN = 0x0100,
  WM_KEYUP = 0x0101,
  WM_CHAR = 0x0102,
  WM_SYSKEYDOWN = 0x0104,
  WM_SYSKEYUP = 0x0105,
  WM_SYSCHAR = 0x0106,
  WM_COMMAND = 0x0111,
  WM_SYSCOMMAND = 0x0112,
  WM_TIMER = 0x0113,
  WM_MOUSEMOVE = 0x0200,
  WM_LBUTTONDOWN = 0x0201,
  WM_LBUTTONUP = 0x0202,
  WM_LBUTTONDBLCLK = 0x0203,
  WM_RBUTTONDOWN = 0x0204,
  WM_RBUTTONUP = 0x0205,
  WM_RBUTTONDBLCLK = 0x0206,
  WM_MBUTTONDOWN = 0x0207,
  WM_MBUTTONUP = 0x0208,
  WM_MOUSEWHEEL = 0x020A,
  WM_DROPFILES = 0x0233,
  WM_CUT = 0x0300,
  WM_COPY = 0x0301,
  WM_PASTE = 0x0302,
  WM_CLEAR = 0x0303,
  WM_USER = 0x0400,
  EM_SETRECTNP = 0x00B4,
  EM_SETREADONLY = 0x00CF,
};

// The class library's control messages (message base 0xB000).
enum : std::uint32_t {
  CM_BASE = 0xB000,
  CM_ACTIVATE = CM_BASE + 0,
  CM_DEACTIVATE = CM_BASE + 1,
  CM_GOTFOCUS = CM_BASE + 2,
  CM_LOSTFOCUS = CM_BASE + 3,
  CM_CANCELMODE = CM_BASE + 4,
  CM_DIALOGKEY = CM_BASE + 5,
  CM_DIALOGCHAR = CM_BASE + 6,
  CM_FOCUSCHANGED = CM_BASE + 7,
  CM_PARENTFONTCHANGED = CM_BASE + 8,
  CM_PARENTCOLORCHANGED = CM_BASE + 9,
  CM_HITTEST = CM_BASE + 10,
  CM_VISIBLECHANGED = CM_BASE + 11,
  CM_ENABLEDCHANGED = CM_BASE + 12,
  CM_COLORCHANGED = CM_BASE + 13,
  CM_FONTCHANGED = CM_BASE + 14,
  CM_CURSORCHANGED = CM_BASE + 15,
  CM_CTL3DCHANGED = CM_BASE + 16,
  CM_PARENTCTL3DCHANGED = CM_BASE + 17,
  CM_TEXTCHANGED = CM_BASE + 18,
  CM_MOUSEENTER = CM_BASE + 19,
  CM_MOUSELEAVE = CM_BASE + 20,
  CM_MENUCHANGED = CM_BASE + 21,
  CM_APPKEYDOWN = CM_BASE + 22,
  CM_APPSYSCOMMAND = CM_BASE + 23,
  CM_BUTTONPRESSED = CM_BASE + 24,
  CM_SHOWINGCHANGED = CM_BASE + 25,
  CM_ENTER = CM_BASE + 26,
  CM_EXIT = CM_BASE + 27,
  CM_DESIGNHITTEST = CM_BASE + 28,
  CM_ICONCHANGED = CM_BASE + 29,
  CM_WANTSPECIALKEY = CM_BASE + 30,
  CM_INVOKEHELP = CM_BASE + 31,
  CM_WINDOWHOOK = CM_BASE + 32,
  CM_RELEASE = CM_BASE + 33,
  CM_SHOWHINTCHANGED = CM_BASE + 34,
  CM_PARENTSHOWHINTCHANGED = CM_BASE + 35,
  CM_SYSCOLORCHANGE = CM_BASE + 36,
  CM_WININICHANGE = CM_BASE + 37,
  CM_FONTCHANGE = CM_BASE + 38,
  CM_TIMECHANGE = CM_BASE + 39,
  CM_TABSTOPCHANGED = CM_BASE + 40,
  CM_UIACTIVATE = CM_BASE + 41,
  CM_UIDEACTIVATE = CM_BASE + 42,
  CM_DOCWINDOWACTIVATE = CM_BASE + 43,
  CM_CONTROLLISTCHANGE = CM_BASE + 44,
  CM_GETDATALINK = CM_BASE + 45,
  CM_CHILDKEY = CM_BASE + 46,
  CM_DRAG = CM_BASE + 47,
  CM_HINTSHOW = CM_BASE + 48,
  CM_DIALOGHANDLE = CM_BASE + 49,
  CM_ISTOOLCONTROL = CM_BASE + 50,
  CM_RECREATEWND = CM_BASE + 51,
  CM_INVALIDATE = CM_BASE + 52,
  CM_SYSFONTCHANGED = CM_BASE + 53,
  CM_CONTROLCHANGE = CM_BASE + 54,
  CM_CHANGED = CM_BASE + 55,
  CM_BORDERCHANGED = CM_BASE + 59,
  CM_BIDIMODECHANGED = CM_BASE + 60,
  CM_PARENTBIDIMODECHANGED = CM_BASE + 61,
  CM_ALLCHILDRENFLIPPED = CM_BASE + 62,
  CM_ACTIONUPDATE = CM_BASE + 63,
  CM_ACTIONEXECUTE = CM_BASE + 64,
  CM_HINTSHOWPAUSE = CM_BASE + 65,
  CM_DOCKNOTIFICATION = CM_BASE + 71,
  CM_MOUSEWHEEL = CM_BASE + 67,
  CM_GROUPBUTTONDOWN = CM_BASE + 81,  // 0xB051, 45137
  // Notifications a control sends to itself through its parent (the parent reflects them).
  CN_BASE = 0xBC00,
  CN_COMMAND = CN_BASE + WM_COMMAND,
  CN_KEYDOWN = CN_BASE + WM_KEYDOWN,
  CN_CHAR = CN_BASE + WM_CHAR,
  CN_CTLCOLOREDIT = CN_BASE + 0x0133,
};

// Mouse and key state bits of mouse messages' wParam.
enum : WPARAM {
  MK_LBUTTON = 0x0001,
  MK_RBUTTON = 0x0002,
  MK_SHIFT = 0x0004,
  MK_CONTROL = 0x0008,
  MK_MBUTTON = 0x0010,
  MK_ALT = 0x0020,     // our own: the Alt key held during a mouse message
  MK_DOUBLE = 0x0040,  // our own: the press was a double click
};

// Virtual keys.
enum : int {
  VK_BACK = 0x08,
  VK_TAB = 0x09,
  VK_RETURN = 0x0D,
  VK_SHIFT = 0x10,
  VK_CONTROL = 0x11,
  VK_MENU = 0x12,
  VK_ESCAPE = 0x1B,
  VK_SPACE = 0x20,
  VK_PRIOR = 0x21,
  VK_NEXT = 0x22,
  VK_END = 0x23,
  VK_HOME = 0x24,
  VK_LEFT = 0x25,
  VK_UP = 0x26,
  VK_RIGHT = 0x27,
  VK_DOWN = 0x28,
  VK_INSERT = 0x2D,
  VK_DELETE = 0x2E,
  VK_F1 = 0x70,
  VK_F4 = 0x73,
};

// Key-message lParam bit: the Alt key was held (WM_SYSKEYDOWN).
inline constexpr LPARAM KF_ALTDOWN_LPARAM = 0x20000000;

// The message-peek options.
enum : unsigned { PM_NOREMOVE = 0, PM_REMOVE = 1 };

// Modal results and box answers.
enum : int {
  mrNone = 0,
  mrOk = 1,
  mrCancel = 2,
  mrAbort = 3,
  mrRetry = 4,
  mrIgnore = 5,
  mrYes = 6,
  mrNo = 7,
  IDOK = 1,
  IDCANCEL = 2,
  IDYES = 6,
  IDNO = 7,
};

// System metrics.
enum : int { SM_CXSCREEN = 0, SM_CYSCREEN = 1, SM_CXVSCROLL = 2, SM_CYVSCROLL = 20, SM_CYBORDER = 6, SM_CXBORDER = 5, SM_CYCAPTION = 4 };

}  // namespace ui
