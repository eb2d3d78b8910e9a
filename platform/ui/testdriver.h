// The headless test driver: an application on the headless backend with a virtual clock.
// Tests send input, run until idle, advance time, answer every modal box, and read back memo
// lines and pixels.
//
//   ui::HeadlessDriver driver;                       // creates ui::Application
//   driver.AnswerBoxes([](const ui::BoxRequest& b) { return b.defaultResult; });
//   auto* form = driver.App().CreateForm<TMyForm>(kDescription);
//   driver.Show(*form);                              // or driver.App().Run() for a whole run
//   driver.AdvanceTime(200);                         // timers fire in order
//   driver.Boxes();                                  // every box shown, in order
#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/forms.h"
#include "platform/ui/headlessbackend.h"
#include "platform/ui/stdctrls.h"

namespace ui {

class HeadlessDriver {
 public:
  explicit HeadlessDriver(TSize screen = {1024, 768});
  ~HeadlessDriver();
  HeadlessDriver(const HeadlessDriver&) = delete;
  HeadlessDriver& operator=(const HeadlessDriver&) = delete;

  TApplication& App() { return *app_; }
  VirtualClock& Clock() { return clock_; }
  HeadlessBackend& Backend() { return *backend_; }
  WindowSystem& Windows() { return app_->Windows(); }

  // Shows the form and runs until idle.
  void Show(TCustomForm& form);
  // Processes every message due now (paint included); no time passes.
  void RunUntilIdle();
  // Moves the virtual clock forward, stopping at each timer due on the way and running until
  // idle there, so timers fire in order and boxes inside them are answered.
  void AdvanceTime(std::uint64_t ms);
  // Runs the application's loop (main form shown) until it ends or the virtual time limit.
  void Run(std::uint64_t limitMs = 3600 * 1000);

  // Input at a point of a control's client area.
  void MouseMove(TControl& c, int x, int y, WPARAM keys = 0);
  void MouseDown(TControl& c, int x, int y, TMouseButton b = mbLeft, WPARAM keys = 0);
  void MouseUp(TControl& c, int x, int y, TMouseButton b = mbLeft, WPARAM keys = 0);
  void Click(TControl& c, int x, int y);
  void KeyDown(int vk, WPARAM shift = 0);
  void KeyUp(int vk, WPARAM shift = 0);
  void PressKey(int vk, WPARAM shift = 0);  // down, up, run until idle
  void Type(const std::string& ansi);        // characters, run until idle
  // Files dropped at a client point of a control; false when no window there accepts them.
  bool DropFiles(TControl& c, int x, int y, const std::vector<std::string>& names);

  // Modal boxes: every one is recorded; the answer comes from the function (default: the
  // box's default answer). An answer of nullopt shows the box for real, to be driven.
  void AnswerBoxes(std::function<std::optional<int>(const BoxRequest&)> answer);
  // The select-directory dialog and the folder browser (told apart by the request's kind): the
  // directory chosen (OK), or nullopt (Cancelar). Without one, they answer OK with the directory
  // they opened at.
  void AnswerDirectoryDialogs(std::function<std::optional<std::string>(const BoxRequest&)> answer);
  const std::vector<BoxRequest>& Boxes() const { return boxes_; }
  void ClearBoxes() { boxes_.clear(); }

  // Read back.
  static std::vector<std::string> MemoLines(const TCustomMemo& memo);
  // A pixel at a point of a control's bounds (a form's: its client area) after painting, as RGB.
  TColor Pixel(TControl& c, int x, int y);
  const Surface* WindowSurface(TCustomForm& form);
  bool SaveScreenshot(TCustomForm& form, const std::string& hostPath);
  TCustomForm* ActiveForm() { return Windows().ActiveForm(); }
  TWinControl* FocusedControl() { return Windows().FocusedControl(); }

 private:
  void Mouse(TControl& c, std::uint32_t msg, int x, int y, WPARAM keys);

  VirtualClock clock_;
  HeadlessBackend* backend_ = nullptr;
  std::unique_ptr<TApplication> app_;
  std::vector<BoxRequest> boxes_;
  std::function<std::optional<int>(const BoxRequest&)> answer_;
  std::function<std::optional<std::string>(const BoxRequest&)> directoryAnswer_;
};

}  // namespace ui
