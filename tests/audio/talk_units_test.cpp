// Pieces of two-way talk that need no device or socket: the talk frame header and the pacing
// of capture sources that keep no time.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "netclient/media/sound/talk_capture.h"
#include "netclient/media/sound/talk_frame.h"
#include "tests/support/fake_clock.h"

namespace qvnet {
namespace {

TEST(TalkFrameTest, HeaderCarriesLengthFromWordCountAndTick) {
  struct Case {
    const char* name;
    uint8_t words;      // byte 2 of the voice frame
    uint8_t words_hi;   // byte 3: not part of the length
    size_t frame_len;   // bytes the caller vouches for
    uint32_t want;      // 0: refused
  };
  const Case cases[] = {
      {"G.726-32, 40 ms", 80, 0, 164, 164},
      {"empty frame", 0, 0, 4, 4},
      {"largest count", 255, 0, 514, 514},
      {"high byte ignored", 80, 1, 164, 164},
      {"shorter than told", 80, 0, 163, 0},
      {"no room for the header", 0, 0, 3, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::array<uint8_t, 600> frame{};
    frame[0] = 0x00;
    frame[1] = 0x01;
    frame[2] = c.words;
    frame[3] = c.words_hi;
    std::array<uint8_t, kTalkHeaderBytes> header{};
    header.fill(0xAA);
    EXPECT_EQ(PutTalkHeader(header.data(), frame.data(), c.frame_len, 0x04030201), c.want);
    if (c.want == 0) {
      EXPECT_EQ(header[0], 0xAA);  // nothing written
      continue;
    }
    const std::array<uint8_t, 8> expected{static_cast<uint8_t>(c.want), static_cast<uint8_t>(c.want >> 8), 0, 0,
                                          0x01, 0x02, 0x03, 0x04};
    EXPECT_EQ(header, expected);
  }
}

TEST(CapturePacerTest, LetsASlackThroughThenHoldsToRealTime) {
  qvtest::FakeClock clock(0xFFFFFF00u);  // across the wrap of the tick
  CapturePacer pacer(2560);
  EXPECT_EQ(pacer.WaitMs(), 0u);
  pacer.Count(2560);  // the slack: at once
  EXPECT_EQ(pacer.WaitMs(), 0u);
  pacer.Count(320);  // 40 ms beyond it
  EXPECT_EQ(pacer.WaitMs(), 40u);
  clock.Advance(30);
  EXPECT_EQ(pacer.WaitMs(), 10u);
  clock.Advance(10);
  EXPECT_EQ(pacer.WaitMs(), 0u);
  // A long wait is cut into bounded sleeps.
  pacer.Count(8000);
  EXPECT_EQ(pacer.WaitMs(), 40u);
}

TEST(CapturePacerTest, ForgetsThePastWhenFarBehind) {
  qvtest::FakeClock clock(1000);
  CapturePacer pacer(2560);
  clock.Advance(5000);  // a device that gave nothing for 5 s
  EXPECT_EQ(pacer.WaitMs(), 0u);
  // Only the slack passes at once, not the 5 s the device owes.
  pacer.Count(2560 + 320);
  EXPECT_EQ(pacer.WaitMs(), 40u);
}

}  // namespace
}  // namespace qvnet
