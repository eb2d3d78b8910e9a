// Milliseconds for timers and double clicks: the real monotonic clock on screen and in console
// runs, a virtual clock that tests advance.
#pragma once
#include <cstdint>

namespace ui {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::uint64_t NowMs() const = 0;
};

class RealClock final : public Clock {
 public:
  RealClock();
  std::uint64_t NowMs() const override;

 private:
  std::int64_t startNs_;
};

class VirtualClock final : public Clock {
 public:
  std::uint64_t NowMs() const override { return now_; }
  void Advance(std::uint64_t ms) { now_ += ms; }
  void SetNow(std::uint64_t ms) {
    if (ms > now_) now_ = ms;
  }

 private:
  std::uint64_t now_ = 0;
};

}  // namespace ui
