#include "netclient/media/record/record_format.h"

#include <gtest/gtest.h>

#include <array>

namespace qvnet {
namespace {

TEST(RecordFormat, DescriptorWordBits) {
  struct Case {
    const char* name;
    uint8_t stream, kind;
    uint32_t length, word;
  };
  const Case cases[] = {
      {"sps", kStreamVideo, 7, 20, (20u << 12) | (7u << 2)},
      {"jpeg_udp", kStreamVideo, kKindJpegUdp, 1000, (1000u << 12) | (10u << 2)},
      {"g726_32", kStreamAudio, 6, 84, (84u << 12) | (6u << 2) | 1u},
      {"longest", kStreamVideo, 15, kMaxPayloadLength, 0xFFFFF03Cu},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(EncodeDescriptor(c.stream, c.kind, c.length), c.word);
    FrameHeader h;
    DecodeDescriptor(c.word, h);
    EXPECT_EQ(h.stream, c.stream);
    EXPECT_EQ(h.kind, c.kind);
    EXPECT_EQ(h.length, c.length);
  }
  // Bits 6-11 stay zero whatever the kind.
  EXPECT_EQ(EncodeDescriptor(0, 0xFF, 0) & 0xFC0u, 0u);
}

TEST(RecordFormat, FileStartBytes) {
  RecordHeader h{kPayloadTypeJpeg, 6, 0x0500, 0x02D0, 0};
  std::array<uint8_t, kFirstRecordOffset> b{};
  EncodeFileStart(h, b);
  EXPECT_TRUE(StartsWith(b, "Quorvalenta"));
  const std::array<uint8_t, 6> fields = {26, 6, 0x00, 0x05, 0xD0, 0x02};
  EXPECT_TRUE(std::equal(fields.begin(), fields.end(), b.begin() + 11));
  for (size_t i = 17; i < 38; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(b[38], 30) << "frame rate 0 is written as 30";

  for (auto [in, out] : {std::pair{0u, 30}, {1u, 1}, {25u, 25}, {30u, 30}, {31u, 30}, {255u, 30}}) {
    EXPECT_EQ(NormalizeFrameRate(in), out) << in;
  }
}

TEST(RecordFormat, FrameHeaderAndIndexBlock) {
  std::array<uint8_t, kFrameHeaderSize> b{};
  EncodeFrameHeader(FrameHeader{kStreamVideo, 5, 1400, 704, 576, 0x12345678u}, b);
  const std::array<uint8_t, kFrameHeaderSize> expected = {
      0x14, 0x80, 0x57, 0x00,  // descriptor: length 1400 << 12 | kind 5 << 2 | video
      0xC0, 0x02, 0x40, 0x02,  // 704 x 576
      0x78, 0x56, 0x34, 0x12}; // tick
  EXPECT_EQ(b, expected);

  const IndexEntry entries[] = {{39, 100}, {0x1'0000'0027ull, 200}};
  const std::vector<uint8_t> block = EncodeIndexBlock(entries);
  ASSERT_EQ(block.size(), 22u + 16u * 2);
  EXPECT_TRUE(StartsWith(block, "BEGININDEX"));
  EXPECT_EQ(GetU64(block.data() + 26), 0x1'0000'0027ull);
  EXPECT_EQ(GetU32(block.data() + 34), 200u);
  EXPECT_EQ(GetU32(block.data() + 38), 0u) << "reserved word";
  EXPECT_EQ(GetU32(block.data() + 42), 2u);
  EXPECT_TRUE(StartsWith(std::span<const uint8_t>(block).subspan(46), "ENDINDEX"));
}

}  // namespace
}  // namespace qvnet
