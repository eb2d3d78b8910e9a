// On-screen tests: child processes in their own process groups, and an X server of the test's
// own with xdotool calls and screenshots of windows once they are painted.
#pragma once
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "xvfb.h"

namespace testsupport {

using Clock = std::chrono::steady_clock;

// A child process, killed (its own process group) and reaped when the object goes away.
class Child {
 public:
  Child() = default;
  ~Child() { Stop(); }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // Starts argv[0] from PATH (or a full path) in `dir` with extra environment (an empty value
  // unsets) and output to `output` (empty: discarded). `keepFd` stays open in the child.
  bool Start(const std::vector<std::string>& argv, const std::string& dir,
             const std::vector<std::pair<std::string, std::string>>& env, const std::string& output,
             int keepFd = -1);
  // The exit status once the child ended by itself.
  std::optional<int> Finished();
  void Stop();

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// Output of a shell command line (its errors discarded).
std::string Shell(const std::string& command);
std::vector<std::string> Words(const std::string& text);

// Polls `ready` every 50 ms until it holds or `ms` have passed.
template <class F>
bool WaitFor(F&& ready, int ms) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    if (ready()) return true;
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

bool IsPng(const std::filesystem::path& file);

class XServer {
 public:
  bool Start() { return xvfb_.Start(); }
  const std::string& Display() const { return xvfb_.Display(); }
  // Visible windows whose name matches the regular expression.
  std::vector<std::string> Windows(const std::string& nameRegex);
  // A PNG of one window once it is painted: more than two colours, and the same in two
  // captures in a row (a window just mapped or just uncovered may not be painted yet).
  bool Screenshot(const std::string& window, const std::filesystem::path& file);
  void X(const std::string& args);

 private:
  XvfbServer xvfb_;
};

}  // namespace testsupport
