#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/rtl/threads.h"

namespace {

TEST(Threads, EachThreadHasTheKernelsIdentifier) {
  EXPECT_EQ(rtl::GetCurrentThreadId(), static_cast<std::uint32_t>(::getpid()));  // the main thread
  std::vector<std::uint32_t> ids(4);
  std::vector<std::thread> threads;
  for (auto& id : ids)
    threads.emplace_back([&id] {
      id = rtl::GetCurrentThreadId();
      EXPECT_EQ(id, static_cast<std::uint32_t>(::syscall(SYS_gettid)));
    });
  for (auto& t : threads) t.join();
  std::set<std::uint32_t> distinct(ids.begin(), ids.end());
  distinct.insert(rtl::GetCurrentThreadId());
  EXPECT_EQ(distinct.size(), 5u);
}

TEST(Threads, CriticalSectionIsRecursiveAndExcludesOtherThreads) {
  rtl::TCriticalSection cs;
  cs.Enter();
  EXPECT_TRUE(cs.TryEnter());  // the owner may enter again
  bool otherGotIn = true;
  std::thread([&] { otherGotIn = cs.TryEnter(); }).join();
  EXPECT_FALSE(otherGotIn);
  cs.Leave();
  cs.Leave();
  std::thread([&] {
    otherGotIn = cs.TryEnter();
    if (otherGotIn) cs.Leave();
  }).join();
  EXPECT_TRUE(otherGotIn);
}

TEST(Threads, GuardedCounterLosesNoIncrement) {
  rtl::TCriticalSection cs;
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        rtl::CriticalSectionGuard guard(cs);
        ++counter;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 80000);
}

}  // namespace
