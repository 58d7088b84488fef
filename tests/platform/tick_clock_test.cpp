#include "platform/tick_clock.h"

#include <gtest/gtest.h>

#include "tests/support/fake_clock.h"

namespace {

TEST(TickClockTest, RealClockMovesForwardAcrossSleep) {
  const qvp::Tick before = qvp::TickCount();
  qvp::SleepMs(20);
  const uint32_t elapsed = qvp::TicksSince(before, qvp::TickCount());
  EXPECT_GE(elapsed, 19u);
  EXPECT_LT(elapsed, 10000u);  // a backwards step would show as a huge unsigned difference
}

TEST(TickClockTest, InstalledClockReplacesRealOneUntilRemoved) {
  {
    qvtest::FakeClock clock(1000);
    clock.Advance(250);
    qvp::SleepMs(60000);  // a minute passes at once on the test clock
    EXPECT_EQ(qvp::TickCount(), 61250u);
  }
  const qvp::Tick a = qvp::TickCount();
  EXPECT_LT(qvp::TicksSince(a, qvp::TickCount()), 1000u);
}

TEST(TickClockTest, TicksSinceSpansTheWrap) {
  EXPECT_EQ(qvp::TicksSince(0xFFFFFFF0u, 0x10u), 0x20u);
  EXPECT_EQ(qvp::TicksSince(0xFFFFFFFFu, 0), 1u);
  qvtest::FakeClock clock(0xFFFFFF00u);
  const qvp::Tick start = qvp::TickCount();
  clock.Advance(0x200);
  EXPECT_EQ(qvp::TickCount(), 0x100u);
  EXPECT_EQ(qvp::TicksSince(start, qvp::TickCount()), 0x200u);
}

}  // namespace
