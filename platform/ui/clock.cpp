#include "platform/ui/clock.h"

#include <chrono>

namespace ui {

static std::int64_t SteadyNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

RealClock::RealClock() : startNs_(SteadyNs()) {}

std::uint64_t RealClock::NowMs() const {
  return static_cast<std::uint64_t>((SteadyNs() - startNs_) / 1000000);
}

}  // namespace ui
