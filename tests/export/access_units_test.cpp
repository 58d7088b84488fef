// The recording's H.264 records regrouped into access units, fed from memory: records as the
// depacketizers write them (single units, FU-A starts and continuations), with the boundaries
// H.264 §7.4.1.2.3 sets.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "replay/export/h264_access_units.h"

namespace qvexport {
namespace {

using Bytes = std::vector<uint8_t>;

struct Record {
  Bytes payload;
  uint32_t tick;
};

Bytes Unit(std::initializer_list<uint8_t> nal) {
  Bytes b(3 + nal.size(), 0);
  b[2] = 1;
  std::copy(nal.begin(), nal.end(), b.begin() + 3);
  return b;
}

std::vector<AccessUnit> Build(const std::vector<Record>& records) {
  AccessUnitBuilder builder;
  std::vector<AccessUnit> out;
  for (const Record& r : records) builder.Add(r.payload, r.tick, &out);
  builder.Flush(&out);
  return out;
}

TEST(AccessUnits, BoundariesAtParameterSetsAndNewPictures) {
  // first_mb_in_slice 0 is the bit 1 right after the NAL header: 0x88 starts a picture, 0x08
  // (first_mb 15 or so) continues one.
  const std::vector<Record> records = {
      {Unit({0x67, 0x42, 0x00, 0x1E}), 100},  // SPS
      {Unit({0x68, 0xCE}), 100},              // PPS
      {Unit({0x65, 0x88, 0x11}), 101},        // IDR, first slice
      {Unit({0x65, 0x08, 0x22}), 101},        // IDR, second slice of the same picture
      {Unit({0x41, 0x9A, 0x33}), 140},        // P picture
      {Unit({0x41}), 150},                    // a slice without data: nothing to judge, stays
      {Unit({0x06, 0x05}), 180},              // SEI: a new access unit
      {Unit({0x41, 0x9A, 0x44}), 181},
  };
  const std::vector<AccessUnit> units = Build(records);
  ASSERT_EQ(units.size(), 3u);
  EXPECT_EQ(units[0].tick, 100u);
  EXPECT_TRUE(units[0].idr && units[0].sps && units[0].pps);
  EXPECT_EQ(units[0].data, (Bytes{0, 0, 1, 0x67, 0x42, 0x00, 0x1E, 0, 0, 1, 0x68, 0xCE, 0, 0, 1, 0x65, 0x88, 0x11, 0, 0, 1,
                                  0x65, 0x08, 0x22}));
  EXPECT_EQ(units[1].tick, 140u);
  EXPECT_FALSE(units[1].idr);
  EXPECT_EQ(units[2].tick, 180u);
  EXPECT_EQ(ParameterSets(units[0]), (Bytes{0, 0, 0, 1, 0x67, 0x42, 0x00, 0x1E, 0, 0, 0, 1, 0x68, 0xCE}));
  EXPECT_EQ(FirstSps(units[0]).size(), 4u);
  EXPECT_TRUE(ParameterSets(units[1]).empty());
}

TEST(AccessUnits, FragmentsJoinTheirUnitAndOrphansAreLeftOut) {
  const std::vector<Record> records = {
      {Bytes{0xAA, 0xBB}, 10},                // a continuation without its start
      {Unit({0x65, 0x88, 0x01}), 20},         // FU-A start (start code + rebuilt header + data)
      {Bytes{0x02, 0x03}, 21},                // continuations
      {Bytes{0x04}, 22},
      {Unit({0x41, 0x9A}), 60},
      {Bytes{0x05}, 61},
  };
  const std::vector<AccessUnit> units = Build(records);
  ASSERT_EQ(units.size(), 2u);
  EXPECT_EQ(units[0].data, (Bytes{0, 0, 1, 0x65, 0x88, 0x01, 0x02, 0x03, 0x04}));
  EXPECT_EQ(units[0].tick, 20u);
  EXPECT_EQ(units[1].data, (Bytes{0, 0, 1, 0x41, 0x9A, 0x05}));
  // Parameter sets alone, with no slice, make no access unit.
  EXPECT_TRUE(Build({{Unit({0x67, 0x42}), 1}, {Unit({0x68, 0xCE}), 1}}).empty());
}

TEST(AccessUnits, AnOversizedUnitIsDroppedWhole) {
  AccessUnitBuilder builder;
  std::vector<AccessUnit> out;
  builder.Add(Unit({0x65, 0x88}), 1, &out);
  const Bytes chunk(1u << 20, 0x55);
  for (size_t i = 0; i <= kMaxAccessUnitBytes / chunk.size(); ++i) builder.Add(chunk, 2, &out);
  builder.Add(Unit({0x41, 0x9A, 0x01}), 40, &out);
  builder.Flush(&out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].tick, 40u);
}

}  // namespace
}  // namespace qvexport
