#include "platform/sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using Steady = std::chrono::steady_clock;

int64_t MsSince(Steady::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start).count();
}

TEST(EventTest, ManualStaysSetAutoIsConsumedByOneWait) {
  qvp::Event manual(true, false);
  EXPECT_FALSE(manual.Wait(0));
  manual.Set();
  EXPECT_TRUE(manual.Wait(0));
  EXPECT_TRUE(manual.Wait(0));
  manual.Reset();
  EXPECT_FALSE(manual.Wait(0));

  qvp::Event automatic(false, true);
  EXPECT_TRUE(automatic.Wait(0));
  EXPECT_FALSE(automatic.Wait(0));
  automatic.Set();
  automatic.Set();  // setting a set event changes nothing
  EXPECT_TRUE(automatic.Wait(0));
  EXPECT_FALSE(automatic.IsSet());
}

TEST(EventTest, WaitsTimeOut) {
  qvp::Event e(true, false);
  const auto start = Steady::now();
  EXPECT_FALSE(e.Wait(30));
  EXPECT_GE(MsSince(start), 29);
  EXPECT_EQ(qvp::Event::WaitAny({&e}, 30), -1);
  EXPECT_GE(MsSince(start), 59);
}

TEST(EventTest, WaitAnyReturnsIndexAndSetFromAnotherThreadWakes) {
  qvp::Event a(true, false);
  qvp::Event b(false, true);
  EXPECT_EQ(qvp::Event::WaitAny({&a, &b}, 0), 1);
  EXPECT_FALSE(b.IsSet());  // consumed like a plain wait

  const auto start = Steady::now();
  std::thread setter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    a.Set();
  });
  EXPECT_EQ(qvp::Event::WaitAny({&b, &a}, 5000), 1);
  EXPECT_LT(MsSince(start), 4000);
  setter.join();
  EXPECT_TRUE(a.IsSet());  // manual reset survives the wait
}

// Each Set of an auto-reset event releases exactly one waiter, whether waiting alone or
// through WaitAny.
TEST(EventTest, AutoResetReleasesExactlyOneWaiterPerSet) {
  constexpr int kWaiters = 4;
  qvp::Event e(false, false);
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < kWaiters; ++i) {
    waiters.emplace_back([&, i] {
      if ((i % 2 == 0) ? e.Wait(10000) : qvp::Event::WaitAny({&e}, 10000) == 0) ++released;
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let them block
  for (int n = 1; n <= kWaiters; ++n) {
    e.Set();
    const auto start = Steady::now();
    while (released.load() < n && MsSince(start) < 5000) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(released.load(), n);
  }
  for (auto& t : waiters) t.join();
}

// A waiter may free the event as soon as its wait returns, while Set() is still on the way
// out; the sanitizer builds turn a touch of the freed event into a failure.
TEST(EventTest, WaiterMayDestroyEventRightAfterWait) {
  for (int i = 0; i < 200; ++i) {
    for (const bool via_wait_any : {false, true}) {
      auto* e = new qvp::Event(i % 2 == 0, false);
      std::thread waiter([e, via_wait_any] {
        const bool got = via_wait_any ? qvp::Event::WaitAny({e}, 5000) == 0 : e->Wait(5000);
        delete e;
        EXPECT_TRUE(got);
      });
      e->Set();
      waiter.join();
    }
  }
}

}  // namespace
