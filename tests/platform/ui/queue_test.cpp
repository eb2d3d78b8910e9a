// The message queue's retrieval order, the quit request, paint requests and timers on the
// virtual clock.
#include <gtest/gtest.h>

#include "platform/ui/messagequeue.h"

namespace ui {
namespace {

std::vector<std::uint32_t> Drain(MessageQueue& q) {
  std::vector<std::uint32_t> out;
  TMessage m;
  while (q.Peek(m, 0, 0, 0, PM_REMOVE)) out.push_back(m.msg);
  return out;
}

TEST(MessageQueue, SentThenPostedThenQuitThenPaintThenTimers) {
  VirtualClock clock;
  MessageQueue q(clock);
  q.SetTimer(7, 1, 10);
  q.Invalidate(5);
  q.Post(5, WM_USER + 1);
  q.PostQuit(3);
  q.Post(5, WM_USER + 2);
  TMessage sent;
  sent.hwnd = 5;
  sent.msg = WM_USER + 9;
  q.PostSent(sent);
  clock.Advance(10);
  EXPECT_EQ(Drain(q), (std::vector<std::uint32_t>{WM_USER + 9, WM_USER + 1, WM_USER + 2, WM_QUIT, WM_PAINT, WM_TIMER}));
}

TEST(MessageQueue, AFilteredPeekStillReturnsAPendingQuitAfterTheMatchingMessages) {
  VirtualClock clock;
  MessageQueue q(clock);
  q.Post(5, WM_LBUTTONDOWN);
  q.Post(6, WM_LBUTTONDOWN);
  q.PostQuit(4);
  TMessage m;
  ASSERT_TRUE(q.Peek(m, 6, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE));
  EXPECT_EQ(m.hwnd, 6u);
  ASSERT_TRUE(q.Peek(m, 6, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE));
  EXPECT_EQ(m.msg, static_cast<std::uint32_t>(WM_QUIT));
  EXPECT_EQ(m.wParam, 4u);
  EXPECT_FALSE(q.QuitPending());
  // Nothing matching and nothing pending: no message, and the other window's stays.
  EXPECT_FALSE(q.Peek(m, 6, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE));
  ASSERT_EQ(q.PendingPosted().size(), 1u);
  // A peek without removal leaves everything as it was.
  ASSERT_TRUE(q.Peek(m, 0, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(q.PendingPosted().size(), 1u);
}

TEST(MessageQueue, PaintIsOneMessagePerWindowUntilValidated) {
  VirtualClock clock;
  MessageQueue q(clock);
  q.Invalidate(5);
  q.Invalidate(5);
  q.Invalidate(6);
  EXPECT_EQ(Drain(q), (std::vector<std::uint32_t>{WM_PAINT, WM_PAINT}));
}

TEST(Timers, TicksNeverPileUpAndRescheduleFromTheTick) {
  VirtualClock clock;
  MessageQueue q(clock);
  q.SetTimer(9, 1, 100);
  TMessage m;
  clock.Advance(99);
  EXPECT_FALSE(q.Peek(m, 0, 0, 0, PM_REMOVE));
  clock.Advance(451);  // 550 ms: five intervals passed, but only one tick comes
  EXPECT_EQ(Drain(q), (std::vector<std::uint32_t>{WM_TIMER}));
  EXPECT_EQ(q.NextTimerDue(), 650u);
  clock.Advance(100);
  ASSERT_TRUE(q.Peek(m, 0, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.wParam, 1u);
  EXPECT_EQ(m.hwnd, 9u);
}

TEST(Timers, SettingAgainRestartsTheCountdownAndKillingStopsIt) {
  VirtualClock clock;
  MessageQueue q(clock);
  q.SetTimer(9, 1, 500);
  clock.Advance(400);
  q.SetTimer(9, 1, 100);
  EXPECT_EQ(q.NextTimerDue(), 500u);
  q.SetTimer(9, 2, 50);
  clock.Advance(100);
  TMessage m;
  ASSERT_TRUE(q.Peek(m, 0, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.wParam, 2u);  // the earliest due first
  ASSERT_TRUE(q.Peek(m, 0, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.wParam, 1u);
  q.KillTimer(9, 1);
  q.KillTimer(9, 2);
  EXPECT_FALSE(q.NextTimerDue().has_value());
}

TEST(MessageQueue, RemovingAWindowDropsItsMessagesPaintAndTimers) {
  VirtualClock clock;
  MessageQueue q(clock);
  q.Post(5, WM_USER);
  q.Post(6, WM_USER);
  q.Invalidate(5);
  q.SetTimer(5, 1, 1);
  q.RemoveWindow(5);
  clock.Advance(5);
  TMessage m;
  ASSERT_TRUE(q.Peek(m, 0, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.hwnd, 6u);
  EXPECT_FALSE(q.Peek(m, 0, 0, 0, PM_REMOVE));
}

}  // namespace
}  // namespace ui
