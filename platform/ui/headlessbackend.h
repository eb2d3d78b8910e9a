// The headless backend: a virtual screen (1024 x 768 unless told otherwise), no pixels shown.
// In a console run (real clock) memo lines and boxes are written to standard output in UTF-8
// and every box takes its default answer. Under the test driver (virtual clock) time moves only
// when the driver or an idle wait says so, and boxes go to the driver.
#pragma once
#include <map>

#include "platform/ui/backend.h"

namespace ui {

class HeadlessBackend : public Backend {
 public:
  // A console run: real clock, output to stdout.
  HeadlessBackend();
  // A test run on a virtual clock.
  explicit HeadlessBackend(VirtualClock& clock);

  const char* Name() const override { return "headless"; }
  bool OnScreen() const override { return false; }
  Clock& GetClock() override { return *clock_; }
  TSize ScreenSize() const override { return screen_; }
  void SetScreenSize(TSize s) { screen_ = s; }

  void CreateTopLevel(HWND hwnd, const TopLevelInfo& info) override { windows_[hwnd] = info; }
  void DestroyTopLevel(HWND hwnd) override { windows_.erase(hwnd); }
  void UpdateTopLevel(HWND hwnd, const TopLevelInfo& info) override { windows_[hwnd] = info; }
  void Present(HWND, const Surface&) override { ++presents_; }
  bool WaitForEvents(std::optional<std::uint64_t> deadline) override;
  std::optional<int> InterceptBox(BoxRequest& request) override;
  void MemoLineAdded(const std::string& ansiLine) override;

  // Test hooks.
  std::function<std::optional<int>(BoxRequest&)> boxHandler;  // none: default answer; nullopt: show it
  std::function<bool()> idleHandler;  // called when idle with nothing due; true: it made input
  std::uint64_t virtualTimeLimitMs = 3600 * 1000;  // an idle wait past this gives up
  const std::map<HWND, TopLevelInfo>& TopLevels() const { return windows_; }
  int PresentCount() const { return presents_; }
  InputSink* Sink() const { return sink_; }
  bool echoToConsole = false;

 private:
  RealClock realClock_;
  Clock* clock_;
  VirtualClock* virtualClock_ = nullptr;
  TSize screen_{1024, 768};
  std::map<HWND, TopLevelInfo> windows_;
  int presents_ = 0;
};

}  // namespace ui
