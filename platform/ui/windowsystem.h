// The window system of the user-interface thread: window handles, the message queue and its
// dispatch, the active form, the focused control, mouse capture, the cursor position, double
// clicks (500 ms, 4 pixels), mouse enter/leave (on mouse moves) and the key state. Input from
// the backend arrives through InputSink and is queued as messages for the window under the
// mouse or with the focus.
#pragma once
#include <map>
#include <memory>
#include <set>

#include "platform/ui/backend.h"
#include "platform/ui/controls.h"
#include "platform/ui/dropfiles.h"
#include "platform/ui/messagequeue.h"

namespace ui {

class HintController;

class WindowSystem final : public InputSink {
 public:
  explicit WindowSystem(std::unique_ptr<Backend> backend);
  ~WindowSystem() override;

  Backend& GetBackend() { return *backend_; }
  MessageQueue& Queue() { return queue_; }
  Clock& GetClock() { return backend_->GetClock(); }

  HWND AllocateHandle(MessageTarget* target);
  void ReleaseHandle(HWND hwnd);
  MessageTarget* TargetOf(HWND hwnd) const;
  TWinControl* ControlOf(HWND hwnd) const;

  LRESULT Send(HWND hwnd, std::uint32_t msg, WPARAM w = 0, LPARAM l = 0);
  void Post(HWND hwnd, std::uint32_t msg, WPARAM w = 0, LPARAM l = 0);
  // Dispatches one retrieved message (keys first offered to the control's navigation, then
  // translated into characters as the platform does).
  void Dispatch(TMessage& m);

  TCustomForm* ActiveForm() const { return activeForm_; }
  void ActivateForm(TCustomForm* form);
  TWinControl* FocusedControl() const { return focus_; }
  void SetFocusedControl(TWinControl* control);
  TControl* CaptureControl() const { return capture_; }
  void SetCapture(TControl* control);
  void ReleaseCapture(TControl* control);
  TPoint CursorPos() const { return cursor_; }
  void SetCursorPos(TPoint screen) { cursor_ = screen; }
  TControl* MouseControl() const { return mouseControl_; }
  HintController& Hints() { return *hints_; }
  // The shift state of the last input (keys and mouse buttons held).
  WPARAM KeyState() const { return keys_; }

  // The topmost visible top-level window at a screen point, or null.
  TWinControl* TopLevelAt(TPoint screen) const;
  void ControlDestroyed(TControl* control);
  std::vector<TWinControl*> TopLevels() const;

  // InputSink.
  void MouseInput(HWND topLevel, std::uint32_t msg, TPoint client, WPARAM keys) override;
  void KeyInput(std::uint32_t msg, int vk, WPARAM shift) override;
  void CharInput(unsigned char ansi) override;
  void CloseRequest(HWND topLevel) override;
  void Exposed(HWND topLevel) override;
  void ActivationChanged(HWND topLevel, bool active) override;
  void WindowPlaced(HWND topLevel, TPoint clientScreen, TSize client) override;
  // Files dropped at a client point of a top-level window: the nearest window under it that
  // accepts drops gets WM_DROPFILES. False when none accepts them.
  bool FilesDropped(HWND topLevel, TPoint client, const std::vector<std::string>& names);
  void DropInput(HWND topLevel, TPoint client, const std::vector<std::string>& names) override {
    FilesDropped(topLevel, client, names);
  }

  void SetAcceptsFiles(HWND hwnd, bool accept);
  bool AcceptsFiles(HWND hwnd) const { return dropTargets_.count(hwnd) != 0; }
  void FinishDrop(TDropFiles* drop);

 private:
  void UpdateMouseControl(TWinControl* top, TPoint client);

  std::unique_ptr<Backend> backend_;
  MessageQueue queue_;
  std::map<HWND, MessageTarget*> targets_;
  HWND nextHandle_ = 0x100;
  TCustomForm* activeForm_ = nullptr;
  TWinControl* focus_ = nullptr;
  TControl* capture_ = nullptr;
  TControl* mouseControl_ = nullptr;
  TPoint cursor_;
  WPARAM keys_ = 0;
  // The last left press, for double clicks.
  HWND lastDownWindow_ = 0;
  std::uint64_t lastDownTime_ = 0;
  TPoint lastDownPoint_;
  bool lastDownValid_ = false;
  std::set<HWND> dropTargets_;
  std::map<TDropFiles*, std::unique_ptr<TDropFiles>> drops_;  // until DragFinish
  std::unique_ptr<HintController> hints_;
};

inline constexpr std::uint64_t kDoubleClickMs = 500;
inline constexpr int kDoubleClickDistance = 4;

}  // namespace ui
