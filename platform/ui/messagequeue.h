// The user-interface thread's message queue. Retrieval order: sent messages (from other
// threads), then posted messages and input in arrival order, then a pending quit request, then
// paint requests, then timer ticks. A quit request is returned whatever the filter, once the
// matching posted messages are gone, so a filtered removing peek never loses it. Paint and
// timer messages are generated on retrieval: a window needing paint gives one WM_PAINT, and a
// due timer gives one WM_TIMER and is rescheduled from that moment, so ticks never pile up.
#pragma once
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/ui/clock.h"
#include "platform/ui/messages.h"

namespace ui {

class MessageQueue {
 public:
  explicit MessageQueue(Clock& clock) : clock_(&clock) {}
  void SetClock(Clock& clock) { clock_ = &clock; }
  Clock& GetClock() const { return *clock_; }

  void Post(HWND hwnd, std::uint32_t msg, WPARAM w = 0, LPARAM l = 0, TPoint screenPt = {});
  void PostMessageRecord(TMessage m);
  // In front of the other posted messages (a key's translated character).
  void PostFront(TMessage m);
  // Thread-safe: a message sent from another thread waits in front of the posted ones.
  void PostSent(TMessage m);
  void PostQuit(int exitCode);
  bool QuitPending() const { return quit_.has_value(); }

  void Invalidate(HWND hwnd);
  void Validate(HWND hwnd);
  bool NeedsPaint(HWND hwnd) const;

  // Starts (or restarts) timer `id` of a window; the first tick is due `intervalMs` later.
  void SetTimer(HWND hwnd, std::uintptr_t id, std::uint32_t intervalMs);
  void KillTimer(HWND hwnd, std::uintptr_t id);
  // When the earliest timer is due, or none without timers.
  std::optional<std::uint64_t> NextTimerDue() const;

  // Drops everything queued for a window (it is being destroyed).
  void RemoveWindow(HWND hwnd);

  // filter 0 = every window; min = max = 0 = every message.
  bool Peek(TMessage& out, HWND filter, std::uint32_t min, std::uint32_t max, unsigned remove);
  bool HasMessages();

  // The posted messages waiting, in order (for tests and the pending-message checks).
  std::vector<TMessage> PendingPosted() const { return {posted_.begin(), posted_.end()}; }

 private:
  struct TimerEntry {
    HWND hwnd;
    std::uintptr_t id;
    std::uint32_t interval;
    std::uint64_t due;
  };
  static bool Matches(const TMessage& m, HWND filter, std::uint32_t min, std::uint32_t max);
  TMessage Stamp(TMessage m) const;

  Clock* clock_;
  mutable std::mutex sentLock_;
  std::deque<TMessage> sent_;
  std::deque<TMessage> posted_;
  std::optional<int> quit_;
  std::vector<HWND> paint_;  // in order of invalidation
  std::vector<TimerEntry> timers_;
};

}  // namespace ui
