// The display behind the window system. Two backends implement it: headless (a virtual screen;
// tests drive it, a real run without a display writes to the console) and on-screen (SDL2
// windows). The window system tells the backend about its top-level windows and hands it their
// painted client areas; the backend feeds input back through an InputSink.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/clock.h"
#include "platform/ui/geometry.h"
#include "platform/ui/messages.h"
#include "platform/ui/surface.h"

namespace ui {

// Where input goes: implemented by the window system, which turns it into queued messages.
class InputSink {
 public:
  virtual ~InputSink() = default;
  // msg is WM_MOUSEMOVE, WM_LBUTTONDOWN/UP, WM_RBUTTONDOWN/UP, WM_MBUTTONDOWN/UP; the point is
  // in the top-level window's client area; keys are MK_* bits.
  virtual void MouseInput(HWND topLevel, std::uint32_t msg, TPoint client, WPARAM keys) = 0;
  // WM_KEYDOWN or WM_KEYUP with a virtual key; shift holds MK_SHIFT, MK_CONTROL, MK_ALT.
  virtual void KeyInput(std::uint32_t msg, int vk, WPARAM shift) = 0;
  // A typed character, code page 1252.
  virtual void CharInput(unsigned char ansi) = 0;
  virtual void CloseRequest(HWND topLevel) = 0;
  virtual void Exposed(HWND topLevel) = 0;
  virtual void ActivationChanged(HWND topLevel, bool active) = 0;
  // The user moved or resized a window on screen (its client area's screen place and size).
  virtual void WindowPlaced(HWND /*topLevel*/, TPoint /*clientScreen*/, TSize /*client*/) {}
  // Files dropped on a window from outside (Windows-form paths, code page 1252).
  virtual void DropInput(HWND /*topLevel*/, TPoint /*client*/, const std::vector<std::string>& /*names*/) {}
};

// A modal box as the window system is about to show it.
struct BoxRequest {
  enum Kind { Message, Confirmation, Error, SelectDirectory, BrowseFolder };
  Kind kind = Message;
  enum Icon { NoIcon, ErrorIcon, QuestionIcon, WarningIcon, InformationIcon };
  Icon icon = NoIcon;
  std::string caption;  // code page 1252
  std::string text;
  std::vector<std::string> buttons;  // captions, e.g. "OK", "&Sim", "&Não"
  std::vector<int> results;          // the answer of each button
  int defaultResult = IDOK;          // Enter
  int escapeResult = IDOK;           // Escape (and what a console run answers is the default)
  int closeResult = IDOK;            // the close button
  // The select-directory dialog and the folder browser: the directory they open at (the browser:
  // empty when nothing is preselected); an answer of IDOK may replace it with the one chosen.
  std::string directory;
};

struct TopLevelInfo {
  std::string caption;  // code page 1252
  TRect outer;          // screen coordinates, frame included
  TSize client;
  // What the frame offers the user: a frame that is not sizeable keeps its size (the window
  // manager gets it as the minimum and the maximum), and only the boxes asked for are shown.
  bool framed = true;       // a caption and a border (none: a bare window such as a hint)
  bool sizeable = true;
  bool systemMenu = true;   // the window menu and the close box
  bool minimizeBox = true;
  bool maximizeBox = true;
  bool visible = false;
};

class Backend {
 public:
  virtual ~Backend() = default;
  virtual const char* Name() const = 0;
  virtual bool OnScreen() const = 0;
  virtual Clock& GetClock() = 0;
  virtual TSize ScreenSize() const = 0;
  void SetInputSink(InputSink* sink) { sink_ = sink; }

  virtual void CreateTopLevel(HWND hwnd, const TopLevelInfo& info) = 0;
  virtual void DestroyTopLevel(HWND hwnd) = 0;
  virtual void UpdateTopLevel(HWND hwnd, const TopLevelInfo& info) = 0;
  // The window's painted client area.
  virtual void Present(HWND hwnd, const Surface& client) = 0;
  // What the display shows of a window's client area now (screenshots); false when unknown.
  virtual bool ReadPresented(HWND /*hwnd*/, Surface& /*out*/) { return false; }
  virtual void BringToFront(HWND /*hwnd*/) {}

  // Waits for input until the deadline (none: as long as it takes) and passes it to the sink.
  // False when nothing can ever arrive (a headless run with nothing pending).
  virtual bool WaitForEvents(std::optional<std::uint64_t> deadline) = 0;

  // Answers a modal box without showing it (headless), or none: the window system shows a
  // real box and runs its modal loop.
  virtual std::optional<int> InterceptBox(BoxRequest& request) = 0;
  // A line appended to a memo (a console run writes it out).
  virtual void MemoLineAdded(const std::string& /*ansiLine*/) {}

  virtual std::string ClipboardText() { return clipboard_; }
  virtual void SetClipboardText(const std::string& ansi) { clipboard_ = ansi; }

 protected:
  InputSink* sink_ = nullptr;

 private:
  std::string clipboard_;
};

// The platform's rule: on screen when a display is present (DISPLAY or WAYLAND_DISPLAY is set
// and a window can be opened), else headless writing to the console.
std::unique_ptr<Backend> CreateBackendForHost();
// The on-screen backend, or null when there is no display or SDL2 support.
std::unique_ptr<Backend> CreateScreenBackend();

}  // namespace ui
