// The pacing rules and the decoder set-up figures.
#include <gtest/gtest.h>

#include "netclient/media/display/display_pacing.h"

namespace qvnet {
namespace {

TEST(DisplayFigures, FrameRateAndBufferCount) {
  const std::pair<int32_t, int32_t> rates[] = {{0, 30}, {45, 30}, {-3, 30}, {1, 1}, {25, 25}, {30, 30}, {31, 30}};
  for (const auto& [in, out] : rates) EXPECT_EQ(EffectiveFrameRate(in), out) << in;
  const std::pair<int32_t, int32_t> buffers[] = {{0, 16},   {32, 16},  {33, 8},   {128, 8},   {129, 2},
                                                 {255, 2},  {256, 4},  {512, 4},  {1024, 4},  {1025, 2},
                                                 {2048, 2}, {524288, 2}};
  for (const auto& [figure, count] : buffers) EXPECT_EQ(H264BufferCount(figure), count) << figure;
}

TEST(LivePacer, CatchUpSleepsByTimeSinceLastDrawingAndBacklog) {
  struct Case {
    uint32_t since;
    int32_t backlog;
    uint32_t sleep;
  };
  const Case cases[] = {
      {0, 4, 20},  {0, 5, 10},  {0, 14, 10}, {0, 15, 1},  {5, 1, 20},  {5, -3, 20}, {5, 2, 15},
      {5, 3, 10},  {5, 4, 1},   {5, 7, 1},   {5, 8, 0},   {15, 2, 1},  {15, 3, 0},  {20, 0, 0},
  };
  for (const Case& c : cases) {
    LivePacer p;
    p.Reset(40);
    p.last = 1000;
    EXPECT_EQ(p.Next(c.backlog, 1000 + c.since), c.sleep) << c.since << " " << c.backlog;
    EXPECT_FALSE(p.catch_up);
    EXPECT_EQ(p.base, 1000 + c.since);
    EXPECT_EQ(p.count, 1u);
  }
}

TEST(LivePacer, SteadyPictureWaitsForItsSlotOnlyWhenMoreThanNineMsAway) {
  LivePacer p;
  p.Reset(40);
  p.last = 0xFFFFFF00u;  // across the wrap of the tick counter
  p.Next(0, 0xFFFFFFF0u);  // catch-up picture: base, count 1
  EXPECT_EQ(p.Next(0, 0xFFFFFFF0u + 5), 35u);   // due at base + 40
  EXPECT_EQ(p.Next(0, 0xFFFFFFF0u + 71), 0u);    // due at +80: 9 ms away, drawn at once
  EXPECT_EQ(p.Next(0, 0xFFFFFFF0u + 100), 20u);  // due at +120
  EXPECT_EQ(p.Next(0, 0xFFFFFFF0u + 500), 0u);   // late: no sleep
}

TEST(ReplayPacer, DueTimesBySpeedRebaseAndSpeedChange) {
  ReplayPacer p;
  p.Start(25, 1000);
  EXPECT_EQ(p.Next(0, 1000), 40u);
  EXPECT_EQ(p.Next(0, 1040), 40u);
  EXPECT_EQ(p.Next(0, 1130), 0u);  // late
  // A speed change restarts the count at the current tick.
  EXPECT_EQ(p.Next(2, 2000), 10u);
  EXPECT_EQ(p.Next(-4, 3000), 640u);
  EXPECT_EQ(p.Next(-4, 3640), 640u);
  p.Start(30, 0);
  EXPECT_EQ(p.Next(1, 0), 16u);  // 1000 / 30 / 2 = 16.67, cut
  EXPECT_EQ(p.Next(1, 0), 33u);
  for (int i = 0; i < 197; ++i) p.Next(1, 0);
  EXPECT_FALSE(p.NeedsRebase());
  p.Next(1, 0);
  EXPECT_TRUE(p.NeedsRebase());
  p.Rebase(5000);
  EXPECT_EQ(p.Next(1, 5000), 16u);
  p.Start(0, 0);
  EXPECT_EQ(p.Next(-4, 0), 0u);  // no rate, no pacing
}

}  // namespace
}  // namespace qvnet
