#include "platform/ui/messagequeue.h"

#include <algorithm>

namespace ui {

TMessage MessageQueue::Stamp(TMessage m) const {
  m.time = clock_->NowMs();
  return m;
}

void MessageQueue::Post(HWND hwnd, std::uint32_t msg, WPARAM w, LPARAM l, TPoint screenPt) {
  TMessage m;
  m.hwnd = hwnd;
  m.msg = msg;
  m.wParam = w;
  m.lParam = l;
  m.pt = screenPt;
  posted_.push_back(Stamp(m));
}

void MessageQueue::PostMessageRecord(TMessage m) { posted_.push_back(Stamp(m)); }

void MessageQueue::PostFront(TMessage m) { posted_.push_front(Stamp(m)); }

void MessageQueue::PostSent(TMessage m) {
  std::lock_guard<std::mutex> lock(sentLock_);
  sent_.push_back(Stamp(m));
}

void MessageQueue::PostQuit(int exitCode) { quit_ = exitCode; }

void MessageQueue::Invalidate(HWND hwnd) {
  if (hwnd && std::find(paint_.begin(), paint_.end(), hwnd) == paint_.end()) paint_.push_back(hwnd);
}

void MessageQueue::Validate(HWND hwnd) { std::erase(paint_, hwnd); }

bool MessageQueue::NeedsPaint(HWND hwnd) const {
  return std::find(paint_.begin(), paint_.end(), hwnd) != paint_.end();
}

void MessageQueue::SetTimer(HWND hwnd, std::uintptr_t id, std::uint32_t intervalMs) {
  if (intervalMs < 1) intervalMs = 1;  // a zero interval would starve everything else
  const std::uint64_t due = clock_->NowMs() + intervalMs;
  for (TimerEntry& t : timers_) {
    if (t.hwnd == hwnd && t.id == id) {
      t.interval = intervalMs;
      t.due = due;
      return;
    }
  }
  timers_.push_back({hwnd, id, intervalMs, due});
}

void MessageQueue::KillTimer(HWND hwnd, std::uintptr_t id) {
  std::erase_if(timers_, [&](const TimerEntry& t) { return t.hwnd == hwnd && t.id == id; });
}

std::optional<std::uint64_t> MessageQueue::NextTimerDue() const {
  std::optional<std::uint64_t> next;
  for (const TimerEntry& t : timers_)
    if (!next || t.due < *next) next = t.due;
  return next;
}

void MessageQueue::RemoveWindow(HWND hwnd) {
  std::erase_if(posted_, [hwnd](const TMessage& m) { return m.hwnd == hwnd; });
  {
    std::lock_guard<std::mutex> lock(sentLock_);
    std::erase_if(sent_, [hwnd](const TMessage& m) { return m.hwnd == hwnd; });
  }
  std::erase(paint_, hwnd);
  std::erase_if(timers_, [hwnd](const TimerEntry& t) { return t.hwnd == hwnd; });
}

bool MessageQueue::Matches(const TMessage& m, HWND filter, std::uint32_t min, std::uint32_t max) {
  if (filter != 0 && m.hwnd != filter) return false;
  if (min == 0 && max == 0) return true;
  return m.msg >= min && m.msg <= max;
}

bool MessageQueue::Peek(TMessage& out, HWND filter, std::uint32_t min, std::uint32_t max,
                        unsigned remove) {
  const bool take = (remove & PM_REMOVE) != 0;
  {
    std::lock_guard<std::mutex> lock(sentLock_);
    for (auto it = sent_.begin(); it != sent_.end(); ++it) {
      if (!Matches(*it, filter, min, max)) continue;
      out = *it;
      if (take) sent_.erase(it);
      return true;
    }
  }
  for (auto it = posted_.begin(); it != posted_.end(); ++it) {
    if (!Matches(*it, filter, min, max)) continue;
    out = *it;
    if (take) posted_.erase(it);
    return true;
  }
  if (quit_) {
    out = TMessage{};
    out.msg = WM_QUIT;
    out.wParam = static_cast<WPARAM>(*quit_);
    out.time = clock_->NowMs();
    if (take) quit_.reset();
    return true;
  }
  for (auto it = paint_.begin(); it != paint_.end(); ++it) {
    TMessage m;
    m.hwnd = *it;
    m.msg = WM_PAINT;
    if (!Matches(m, filter, min, max)) continue;
    out = Stamp(m);
    if (take) paint_.erase(it);
    return true;
  }
  const std::uint64_t now = clock_->NowMs();
  TimerEntry* best = nullptr;
  for (TimerEntry& t : timers_) {
    TMessage m;
    m.hwnd = t.hwnd;
    m.msg = WM_TIMER;
    if (t.due > now || !Matches(m, filter, min, max)) continue;
    if (!best || t.due < best->due) best = &t;
  }
  if (best) {
    out = TMessage{};
    out.hwnd = best->hwnd;
    out.msg = WM_TIMER;
    out.wParam = best->id;
    out.time = now;
    if (take) best->due = now + best->interval;
    return true;
  }
  return false;
}

bool MessageQueue::HasMessages() {
  TMessage m;
  return Peek(m, 0, 0, 0, PM_NOREMOVE);
}

}  // namespace ui
