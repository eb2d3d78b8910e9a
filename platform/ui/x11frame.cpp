#include "platform/ui/x11frame.h"

#ifdef TULMEVARA_UI_X11
#include <SDL.h>
#include <SDL_syswm.h>
#endif

namespace ui {

#ifdef TULMEVARA_UI_X11
namespace {

// The Motif window-manager hints: five 32-bit items (flags, functions, decorations, input
// mode, status), as window managers read them.
enum : unsigned long {
  kHintsFunctions = 1UL << 0,
  kHintsDecorations = 1UL << 1,
  kFuncResize = 1UL << 1,
  kFuncMove = 1UL << 2,
  kFuncMinimize = 1UL << 3,
  kFuncMaximize = 1UL << 4,
  kFuncClose = 1UL << 5,
  kDecorBorder = 1UL << 1,
  kDecorResizeHandle = 1UL << 2,
  kDecorTitle = 1UL << 3,
  kDecorMenu = 1UL << 4,
  kDecorMinimize = 1UL << 5,
  kDecorMaximize = 1UL << 6,
};

}  // namespace

void ApplyX11FrameHints(SDL_Window* window, const TopLevelInfo& info) {
  SDL_SysWMinfo wm;
  SDL_VERSION(&wm.version);
  if (!window || !SDL_GetWindowWMInfo(window, &wm) || wm.subsystem != SDL_SYSWM_X11) return;
  unsigned long functions = 0, decorations = 0;
  if (info.framed) {
    functions = kFuncMove;
    decorations = kDecorBorder | kDecorTitle;
    if (info.sizeable) {
      functions |= kFuncResize;
      decorations |= kDecorResizeHandle;
    }
    if (info.systemMenu) {
      functions |= kFuncClose;
      decorations |= kDecorMenu;
    }
    if (info.minimizeBox) {
      functions |= kFuncMinimize;
      decorations |= kDecorMinimize;
    }
    if (info.maximizeBox) {
      functions |= kFuncMaximize;
      decorations |= kDecorMaximize;
    }
  }
  // Format 32 properties are handed over as longs.
  long hints[5] = {static_cast<long>(kHintsFunctions | kHintsDecorations), static_cast<long>(functions),
                   static_cast<long>(decorations), 0, 0};
  Display* display = wm.info.x11.display;
  const Atom atom = XInternAtom(display, "_MOTIF_WM_HINTS", False);
  XChangeProperty(display, wm.info.x11.window, atom, atom, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(hints), 5);
  XFlush(display);
}
#else
void ApplyX11FrameHints(SDL_Window*, const TopLevelInfo&) {}
#endif

}  // namespace ui
