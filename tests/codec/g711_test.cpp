// G.711 against a reference built from the recommendation's tables: each law's segments as
// {first decision value, step} on its uniform scale, the decoder output being the middle
// of each interval. The reference searches those intervals instead of doing bit arithmetic.
#include <gtest/gtest.h>

#include <array>

#include "netclient/media/codec/g711.h"

namespace qvcodec {
namespace {

struct Segment {
  int first;  // lowest magnitude coded in the segment
  int step;   // width of each of its 16 intervals
};

// A-law, 12-bit magnitude (the 13-bit uniform code without its sign).
constexpr std::array<Segment, 8> kAlawSegments = {{
    {0, 2}, {32, 2}, {64, 4}, {128, 8}, {256, 16}, {512, 32}, {1024, 64}, {2048, 128}}};
// µ-law, 13-bit magnitude; the first interval of segment 0 is [0, 1) with output 0.
constexpr std::array<Segment, 8> kUlawSegments = {{
    {-1, 2}, {31, 4}, {95, 8}, {223, 16}, {479, 32}, {991, 64}, {2015, 128}, {4063, 256}}};

int LowerBound(const std::array<Segment, 8>& law, int index) {
  const Segment& s = law[static_cast<size_t>(index >> 4)];
  return std::max(0, s.first + (index & 15) * s.step);
}

int Output(const std::array<Segment, 8>& law, int index) {
  const Segment& s = law[static_cast<size_t>(index >> 4)];
  if (index == 0 && s.first < 0) return 0;
  return s.first + (index & 15) * s.step + s.step / 2;
}

// Index 0..127 of the interval holding `mag`; beyond the last interval, the last.
int IntervalOf(const std::array<Segment, 8>& law, int mag) {
  int index = 0;
  while (index < 127 && LowerBound(law, index + 1) <= mag) ++index;
  return index;
}

// Line codes: A-law sends the sign (1 = positive) and inverts the even bits; µ-law sends
// the sign (0 = positive) and then inverts every bit.
uint8_t AlawCode(bool negative, int index) {
  return static_cast<uint8_t>(((negative ? 0 : 0x80) | index) ^ 0x55);
}
uint8_t UlawCode(bool negative, int index) {
  return static_cast<uint8_t>(~((negative ? 0x80 : 0) | index) & 0xFF);
}

TEST(G711, AlawDecodesEveryCodeToItsTableValue) {
  for (int index = 0; index < 128; ++index) {
    const int value = Output(kAlawSegments, index) * 8;  // 13-bit scale to 16 bits
    EXPECT_EQ(AlawToLinear(AlawCode(false, index)), value) << index;
    EXPECT_EQ(AlawToLinear(AlawCode(true, index)), -value) << index;
  }
}

TEST(G711, UlawDecodesEveryCodeToItsTableValue) {
  for (int index = 0; index < 128; ++index) {
    const int value = Output(kUlawSegments, index) * 4;  // 14-bit scale to 16 bits
    EXPECT_EQ(UlawToLinear(UlawCode(false, index)), value) << index;
    EXPECT_EQ(UlawToLinear(UlawCode(true, index)), -value) << index;
  }
}

// Negative inputs are taken by their one's complement, so x and -1 - x mirror each other.
TEST(G711, EveryInputEncodesToTheIntervalThatHoldsIt) {
  int alaw_errors = 0;
  int ulaw_errors = 0;
  for (int x = -32768; x <= 32767; ++x) {
    const bool negative = x < 0;
    const int magnitude16 = negative ? -1 - x : x;
    const auto pcm = static_cast<int16_t>(x);
    const uint8_t a = AlawCode(negative, IntervalOf(kAlawSegments, magnitude16 >> 3));
    const uint8_t u = UlawCode(negative, IntervalOf(kUlawSegments, magnitude16 >> 2));
    if (LinearToAlaw(pcm) != a && ++alaw_errors <= 5) ADD_FAILURE() << "A-law at " << x;
    if (LinearToUlaw(pcm) != u && ++ulaw_errors <= 5) ADD_FAILURE() << "u-law at " << x;
  }
  EXPECT_EQ(alaw_errors, 0);
  EXPECT_EQ(ulaw_errors, 0);
}

}  // namespace
}  // namespace qvcodec
