#include "platform/ui/headlessbackend.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/rtl/codepage.h"

namespace ui {

HeadlessBackend::HeadlessBackend() : clock_(&realClock_) { echoToConsole = true; }

HeadlessBackend::HeadlessBackend(VirtualClock& clock) : clock_(&clock), virtualClock_(&clock) {}

bool HeadlessBackend::WaitForEvents(std::optional<std::uint64_t> deadline) {
  if (idleHandler && idleHandler()) return true;
  if (!deadline) return false;
  if (virtualClock_) {
    if (*deadline > virtualTimeLimitMs) return false;
    virtualClock_->SetNow(*deadline);
    return true;
  }
  const std::uint64_t now = clock_->NowMs();
  if (*deadline > now) std::this_thread::sleep_for(std::chrono::milliseconds(*deadline - now));
  return true;
}

std::optional<int> HeadlessBackend::InterceptBox(BoxRequest& request) {
  if (echoToConsole) {
    std::string out = "[" + rtl::AnsiToUtf8(request.caption) + "] " + rtl::AnsiToUtf8(request.text);
    std::fprintf(stdout, "%s\n", out.c_str());
    std::fflush(stdout);
  }
  // A handler answering nothing leaves the box to be shown and driven with synthetic input.
  if (boxHandler) return boxHandler(request);
  return request.defaultResult;
}

void HeadlessBackend::MemoLineAdded(const std::string& ansiLine) {
  if (!echoToConsole) return;
  std::fprintf(stdout, "%s\n", rtl::AnsiToUtf8(ansiLine).c_str());
  std::fflush(stdout);
}

}  // namespace ui
