// The on-screen backend: one SDL2 window per top-level window showing its painted client area
// (the window manager draws the frame), SDL input turned into the window system's input, the
// real clock and the system clipboard.
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "platform/rtl/codepage.h"
#include "platform/rtl/paths.h"
#include "platform/ui/backend.h"
#include "platform/ui/headlessbackend.h"
#include "platform/ui/x11frame.h"

#ifdef TULMEVARA_UI_SDL
#include <SDL.h>
#endif

namespace ui {

#ifdef TULMEVARA_UI_SDL
namespace {

int VirtualKeyOf(SDL_Keycode k) {
  if (k >= SDLK_a && k <= SDLK_z) return 'A' + (k - SDLK_a);
  if (k >= SDLK_0 && k <= SDLK_9) return '0' + (k - SDLK_0);
  if (k >= SDLK_F1 && k <= SDLK_F12) return VK_F1 + (k - SDLK_F1);
  switch (k) {
    case SDLK_RETURN: case SDLK_KP_ENTER: return VK_RETURN;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_UP: return VK_UP;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_HOME: return VK_HOME;
    case SDLK_END: return VK_END;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_INSERT: return VK_INSERT;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL: case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LALT: case SDLK_RALT: return VK_MENU;
    default: return 0;
  }
}

WPARAM ShiftOf(Uint16 mod) {
  WPARAM s = 0;
  if (mod & KMOD_SHIFT) s |= MK_SHIFT;
  if (mod & KMOD_CTRL) s |= MK_CONTROL;
  if (mod & KMOD_ALT) s |= MK_ALT;
  return s;
}

WPARAM MouseKeys() {
  const Uint32 b = SDL_GetMouseState(nullptr, nullptr);
  WPARAM k = ShiftOf(static_cast<Uint16>(SDL_GetModState()));
  if (b & SDL_BUTTON(SDL_BUTTON_LEFT)) k |= MK_LBUTTON;
  if (b & SDL_BUTTON(SDL_BUTTON_RIGHT)) k |= MK_RBUTTON;
  if (b & SDL_BUTTON(SDL_BUTTON_MIDDLE)) k |= MK_MBUTTON;
  return k;
}

class SdlBackend final : public Backend {
 public:
  SdlBackend() = default;
  ~SdlBackend() override {
    for (auto& [hwnd, w] : windows_) Release(w);
    SDL_Quit();
  }

  bool Open() {
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER) != 0) return false;
    SDL_Window* probe = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_HIDDEN);
    if (!probe) {
      SDL_Quit();
      return false;
    }
    SDL_DestroyWindow(probe);
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0) screen_ = {mode.w, mode.h};
    SDL_StartTextInput();
    return true;
  }

  const char* Name() const override { return "sdl"; }
  bool OnScreen() const override { return true; }
  Clock& GetClock() override { return clock_; }
  TSize ScreenSize() const override { return screen_; }

  void CreateTopLevel(HWND hwnd, const TopLevelInfo& info) override {
    Window w;
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (info.sizeable) flags |= SDL_WINDOW_RESIZABLE;
    const TPoint at = ClientOrigin(info);
    w.window = SDL_CreateWindow(rtl::AnsiToUtf8(info.caption).c_str(), at.x, at.y,
                                std::max(1, info.client.cx), std::max(1, info.client.cy), flags);
    if (!w.window) return;
    w.renderer = SDL_CreateRenderer(w.window, -1, SDL_RENDERER_SOFTWARE);
    ApplyX11FrameHints(w.window, info);
    w.info = info;
    idToHwnd_[SDL_GetWindowID(w.window)] = hwnd;
    windows_[hwnd] = w;
    if (info.visible) SDL_ShowWindow(w.window);
  }

  void DestroyTopLevel(HWND hwnd) override {
    auto it = windows_.find(hwnd);
    if (it == windows_.end()) return;
    idToHwnd_.erase(SDL_GetWindowID(it->second.window));
    Release(it->second);
    windows_.erase(it);
  }

  void UpdateTopLevel(HWND hwnd, const TopLevelInfo& info) override {
    auto it = windows_.find(hwnd);
    if (it == windows_.end()) return CreateTopLevel(hwnd, info);
    Window& w = it->second;
    if (info.caption != w.info.caption) SDL_SetWindowTitle(w.window, rtl::AnsiToUtf8(info.caption).c_str());
    // A fixed window's size hints follow its size (SDL_SetWindowSize keeps them equal to it).
    if (info.sizeable != w.info.sizeable) SDL_SetWindowResizable(w.window, info.sizeable ? SDL_TRUE : SDL_FALSE);
    if (!SameFrame(info, w.info)) ApplyX11FrameHints(w.window, info);
    if (info.client != w.info.client) SDL_SetWindowSize(w.window, info.client.cx, info.client.cy);
    if (info.outer.TopLeft() != w.info.outer.TopLeft()) {
      const TPoint at = ClientOrigin(info);
      SDL_SetWindowPosition(w.window, at.x, at.y);
    }
    if (info.visible != w.info.visible) {
      if (info.visible) SDL_ShowWindow(w.window);
      else SDL_HideWindow(w.window);
    }
    w.info = info;
  }

  void BringToFront(HWND hwnd) override {
    auto it = windows_.find(hwnd);
    if (it != windows_.end()) SDL_RaiseWindow(it->second.window);
  }

  void Present(HWND hwnd, const Surface& client) override {
    auto it = windows_.find(hwnd);
    if (it == windows_.end() || !it->second.renderer || client.width <= 0 || client.height <= 0) return;
    Window& w = it->second;
    if (!w.texture || w.texW != client.width || w.texH != client.height) {
      if (w.texture) SDL_DestroyTexture(w.texture);
      w.texture = SDL_CreateTexture(w.renderer, SDL_PIXELFORMAT_XBGR8888, SDL_TEXTUREACCESS_STREAMING,
                                    client.width, client.height);
      w.texW = client.width;
      w.texH = client.height;
    }
    if (!w.texture) return;
    SDL_UpdateTexture(w.texture, nullptr, client.pixels.data(), client.width * 4);
    SDL_RenderClear(w.renderer);
    SDL_RenderCopy(w.renderer, w.texture, nullptr, nullptr);
    SDL_RenderPresent(w.renderer);
  }

  bool ReadPresented(HWND hwnd, Surface& out) override {
    auto it = windows_.find(hwnd);
    if (it == windows_.end() || !it->second.renderer) return false;
    int w = 0, h = 0;
    if (SDL_GetRendererOutputSize(it->second.renderer, &w, &h) != 0 || w <= 0 || h <= 0) return false;
    out.monochrome = false;
    out.Resize(w, h, 0);
    return SDL_RenderReadPixels(it->second.renderer, nullptr, SDL_PIXELFORMAT_XBGR8888, out.pixels.data(), w * 4) == 0;
  }

  bool WaitForEvents(std::optional<std::uint64_t> deadline) override {
    SDL_Event e;
    int timeout = 100;
    if (deadline) {
      const std::uint64_t now = clock_.NowMs();
      timeout = *deadline > now ? static_cast<int>(std::min<std::uint64_t>(*deadline - now, 100)) : 0;
    }
    if (SDL_WaitEventTimeout(&e, timeout)) {
      Handle(e);
      while (SDL_PollEvent(&e)) Handle(e);
    }
    return true;
  }

  std::optional<int> InterceptBox(BoxRequest&) override { return std::nullopt; }

  std::string ClipboardText() override {
    char* t = SDL_GetClipboardText();
    std::string r = t ? rtl::Utf8ToAnsi(t) : std::string();
    SDL_free(t);
    return r;
  }
  void SetClipboardText(const std::string& ansi) override {
    SDL_SetClipboardText(rtl::AnsiToUtf8(ansi).c_str());
  }

 private:
  struct Window {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int texW = 0, texH = 0;
    TopLevelInfo info;
  };

  static TPoint ClientOrigin(const TopLevelInfo& info) {
    // The client sits inside the frame we laid out; the window manager adds its own frame.
    const int side = (info.outer.Width() - info.client.cx) / 2;
    const int top = info.outer.Height() - info.client.cy - side;
    return {info.outer.left + side, info.outer.top + top};
  }

  static bool SameFrame(const TopLevelInfo& a, const TopLevelInfo& b) {
    return a.framed == b.framed && a.sizeable == b.sizeable && a.systemMenu == b.systemMenu &&
           a.minimizeBox == b.minimizeBox && a.maximizeBox == b.maximizeBox;
  }

  static void Release(Window& w) {
    if (w.texture) SDL_DestroyTexture(w.texture);
    if (w.renderer) SDL_DestroyRenderer(w.renderer);
    if (w.window) SDL_DestroyWindow(w.window);
    w = Window{};
  }

  HWND HwndOf(Uint32 windowId) const {
    auto it = idToHwnd_.find(windowId);
    return it == idToHwnd_.end() ? 0 : it->second;
  }

  void Handle(const SDL_Event& e) {
    if (!sink_) return;
    switch (e.type) {
      case SDL_MOUSEMOTION:
        if (HWND h = HwndOf(e.motion.windowID))
          sink_->MouseInput(h, WM_MOUSEMOVE, {e.motion.x, e.motion.y}, MouseKeys());
        break;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP: {
        HWND h = HwndOf(e.button.windowID);
        if (!h) break;
        const bool down = e.type == SDL_MOUSEBUTTONDOWN;
        std::uint32_t msg = 0;
        if (e.button.button == SDL_BUTTON_LEFT) msg = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        else if (e.button.button == SDL_BUTTON_RIGHT) msg = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        else if (e.button.button == SDL_BUTTON_MIDDLE) msg = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
        if (msg) sink_->MouseInput(h, msg, {e.button.x, e.button.y}, MouseKeys());
        break;
      }
      case SDL_KEYDOWN:
      case SDL_KEYUP:
        if (int vk = VirtualKeyOf(e.key.keysym.sym))
          sink_->KeyInput(e.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, vk, ShiftOf(e.key.keysym.mod));
        break;
      case SDL_TEXTINPUT:
        // Alt and Ctrl combinations are keys, not characters.
        if (SDL_GetModState() & (KMOD_ALT | KMOD_CTRL)) break;
        for (char c : rtl::Utf8ToAnsi(e.text.text)) sink_->CharInput(static_cast<unsigned char>(c));
        break;
      case SDL_WINDOWEVENT: {
        HWND h = HwndOf(e.window.windowID);
        if (!h) break;
        switch (e.window.event) {
          case SDL_WINDOWEVENT_CLOSE: sink_->CloseRequest(h); break;
          case SDL_WINDOWEVENT_EXPOSED:
          case SDL_WINDOWEVENT_SHOWN: sink_->Exposed(h); break;
          case SDL_WINDOWEVENT_MOVED:
          case SDL_WINDOWEVENT_SIZE_CHANGED: {
            auto it = windows_.find(h);
            if (it == windows_.end()) break;
            int x = 0, y = 0, w = 0, hh = 0;
            SDL_GetWindowPosition(it->second.window, &x, &y);
            SDL_GetWindowSize(it->second.window, &w, &hh);
            // Remember the new place first, so that the form's update does not move it back.
            const TPoint at = ClientOrigin(it->second.info);
            it->second.info.outer = OffsetRect(it->second.info.outer, x - at.x, y - at.y);
            it->second.info.client = {w, hh};
            sink_->WindowPlaced(h, {x, y}, {w, hh});
            break;
          }
          case SDL_WINDOWEVENT_FOCUS_GAINED: sink_->ActivationChanged(h, true); break;
          case SDL_WINDOWEVENT_FOCUS_LOST: sink_->ActivationChanged(h, false); break;
          default: break;
        }
        break;
      }
      // A drop of several files arrives one file at a time between begin and complete.
      case SDL_DROPBEGIN:
        dropped_.clear();
        break;
      case SDL_DROPFILE:
        if (e.drop.file) {
          dropped_.push_back(rtl::Utf8ToAnsi(rtl::WindowsPathOfHost(e.drop.file)));
          SDL_free(e.drop.file);
        }
        break;
      case SDL_DROPCOMPLETE:
        DeliverDrop(e.drop.windowID);
        break;
      case SDL_QUIT:
        for (auto& [hwnd, w] : windows_) sink_->CloseRequest(hwnd);
        break;
      default: break;
    }
  }

  void DeliverDrop(Uint32 windowId) {
    std::vector<std::string> names;
    names.swap(dropped_);
    HWND h = HwndOf(windowId);
    if (!h) {
      SDL_Window* focus = SDL_GetMouseFocus();
      if (focus) h = HwndOf(SDL_GetWindowID(focus));
    }
    if (!h || names.empty()) return;
    int x = 0, y = 0;
    SDL_GetMouseState(&x, &y);
    sink_->DropInput(h, {x, y}, names);
  }

  RealClock clock_;
  std::vector<std::string> dropped_;
  TSize screen_{1024, 768};
  std::map<HWND, Window> windows_;
  std::map<Uint32, HWND> idToHwnd_;
};

}  // namespace
#endif

std::unique_ptr<Backend> CreateScreenBackend() {
#ifdef TULMEVARA_UI_SDL
  auto backend = std::make_unique<SdlBackend>();
  if (backend->Open()) return backend;
#endif
  return nullptr;
}

std::unique_ptr<Backend> CreateBackendForHost() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if ((x11 && *x11) || (wayland && *wayland)) {
    if (auto screen = CreateScreenBackend()) return screen;
  }
  return std::make_unique<HeadlessBackend>();
}

}  // namespace ui
