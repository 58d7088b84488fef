// Snapshots: decoded back by libavcodec's JPEG decoder with good fidelity, and laid out as
// a baseline JFIF file with the expected segments and tables.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "netclient/media/codec/av_ptr.h"
#include "netclient/media/display/jpeg_snapshot.h"
#include "tests/codec/test_media.h"

namespace qvnet {
namespace {

using qvcodec::test::MovingPattern;
using qvcodec::test::Psnr;
using qvcodec::test::YuvImage;

YuvView ViewOf(const YuvImage& img) {
  return YuvView{img.y.data(), img.u.data(), img.v.data(), img.width, img.height, img.width, img.ChromaWidth()};
}

// Decodes with libavcodec; the snapshot's 1 x 1 sampling comes out as full-range 4:4:4.
qvcodec::FramePtr DecodeJpeg(const std::vector<uint8_t>& jpeg) {
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MJPEG);
  qvcodec::CodecContextPtr ctx(avcodec_alloc_context3(codec));
  if (!ctx || avcodec_open2(ctx.get(), codec, nullptr) < 0) return nullptr;
  qvcodec::PacketPtr pkt(av_packet_alloc());
  pkt->data = const_cast<uint8_t*>(jpeg.data());
  pkt->size = static_cast<int>(jpeg.size());
  qvcodec::FramePtr frame(av_frame_alloc());
  if (avcodec_send_packet(ctx.get(), pkt.get()) < 0) return nullptr;
  if (avcodec_receive_frame(ctx.get(), frame.get()) < 0) return nullptr;
  return frame;
}

TEST(JpegSnapshot, DecodesBackCloseToTheSource) {
  // 90 x 70 is no multiple of 8 on either side: the edge blocks are padded.
  for (const auto& [w, h] : {std::pair{176, 144}, std::pair{90, 70}}) {
    const YuvImage src = MovingPattern(w, h, 3);
    const std::vector<uint8_t> jpeg = EncodeJpegSnapshot(ViewOf(src));
    const qvcodec::FramePtr frame = DecodeJpeg(jpeg);
    ASSERT_TRUE(frame) << w << "x" << h;
    ASSERT_EQ(frame->width, w);
    ASSERT_EQ(frame->height, h);
    ASSERT_TRUE(frame->format == AV_PIX_FMT_YUVJ444P || frame->format == AV_PIX_FMT_YUV444P);
    EXPECT_GE(Psnr(frame->data[0], frame->linesize[0], src.y.data(), w, w, h), 30.0);
    // Chroma was repeated over each 2 x 2 block: bring the source up the same way.
    for (int plane = 1; plane <= 2; ++plane) {
      const std::vector<uint8_t>& half = plane == 1 ? src.u : src.v;
      std::vector<uint8_t> full(static_cast<size_t>(w * h));
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) full[static_cast<size_t>(y * w + x)] = half[static_cast<size_t>(y / 2 * src.ChromaWidth() + x / 2)];
      }
      EXPECT_GE(Psnr(frame->data[plane], frame->linesize[plane], full.data(), w, w, h), 30.0) << plane;
    }
  }
}

// Segments up to the scan, with their payloads.
struct Segment {
  uint8_t marker;
  std::vector<uint8_t> body;
};
std::vector<Segment> SegmentsBeforeScan(const std::vector<uint8_t>& jpeg) {
  std::vector<Segment> out;
  size_t at = 2;
  out.push_back(Segment{jpeg[1], {}});
  while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
    const uint8_t marker = jpeg[at + 1];
    const size_t length = static_cast<size_t>(jpeg[at + 2] << 8 | jpeg[at + 3]);
    out.push_back(Segment{marker, std::vector<uint8_t>(jpeg.begin() + static_cast<long>(at + 4),
                                                       jpeg.begin() + static_cast<long>(at + 2 + length))});
    at += 2 + length;
    if (marker == 0xDA) break;
  }
  return out;
}

TEST(JpegSnapshot, SegmentsTablesAndFrameHeader) {
  const YuvImage src = MovingPattern(40, 24, 0);
  const std::vector<uint8_t> jpeg = EncodeJpegSnapshot(ViewOf(src));
  const std::vector<Segment> seg = SegmentsBeforeScan(jpeg);
  std::vector<uint8_t> markers;
  for (const Segment& s : seg) markers.push_back(s.marker);
  EXPECT_EQ(markers, (std::vector<uint8_t>{0xD8, 0xE0, 0xDB, 0xDB, 0xC0, 0xC4, 0xC4, 0xC4, 0xC4, 0xDA}));
  ASSERT_EQ(seg.size(), 10u);
  EXPECT_EQ(seg[1].body, (std::vector<uint8_t>{'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0}));
  // Quantisers at half the example tables, zigzag order: luma 16, 11, 12 ... 99 and
  // chroma 17, 18, 18 ... 99 become (50 q + 50) / 100.
  ASSERT_EQ(seg[2].body.size(), 65u);
  EXPECT_EQ(seg[2].body[0], 0);
  EXPECT_EQ(seg[2].body[1], 8);
  EXPECT_EQ(seg[2].body[2], 6);
  EXPECT_EQ(seg[2].body[3], 6);
  EXPECT_EQ(seg[2].body[64], 50);
  EXPECT_EQ(seg[3].body[0], 1);
  EXPECT_EQ(seg[3].body[1], 9);
  EXPECT_EQ(seg[3].body[2], 9);
  EXPECT_EQ(seg[3].body[64], 50);
  EXPECT_EQ(seg[4].body, (std::vector<uint8_t>{8, 0, 24, 0, 40, 3, 1, 0x11, 0, 2, 0x11, 1, 3, 0x11, 1}));
  const uint8_t ids[4] = {0x00, 0x01, 0x10, 0x11};
  const size_t symbols[4] = {12, 12, 162, 162};
  for (int t = 0; t < 4; ++t) {
    const std::vector<uint8_t>& b = seg[static_cast<size_t>(5 + t)].body;
    EXPECT_EQ(b[0], ids[t]);
    size_t counted = 0;
    for (int i = 1; i <= 16; ++i) counted += b[static_cast<size_t>(i)];
    EXPECT_EQ(counted, symbols[t]);
    EXPECT_EQ(b.size(), 17 + symbols[t]);
  }
  EXPECT_EQ(seg[9].body, (std::vector<uint8_t>{3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0}));
  ASSERT_GE(jpeg.size(), 2u);
  EXPECT_EQ(jpeg[jpeg.size() - 2], 0xFF);
  EXPECT_EQ(jpeg[jpeg.size() - 1], 0xD9);
}

TEST(JpegSnapshot, EveryFfInTheScanIsStuffed) {
  // Sharp random content makes long codes and many 0xFF bytes.
  YuvImage src = MovingPattern(160, 160, 1);
  std::mt19937 rng(7);
  for (auto* plane : {&src.y, &src.u, &src.v}) {
    for (uint8_t& s : *plane) s = static_cast<uint8_t>(rng());
  }
  const std::vector<uint8_t> jpeg = EncodeJpegSnapshot(ViewOf(src));
  const std::vector<Segment> seg = SegmentsBeforeScan(jpeg);
  size_t scan = 2;
  for (size_t i = 1; i < seg.size(); ++i) scan += 4 + seg[i].body.size();
  int ff = 0;
  for (size_t i = scan; i + 2 < jpeg.size(); ++i) {
    if (jpeg[i] != 0xFF) continue;
    ++ff;
    EXPECT_EQ(jpeg[i + 1], 0x00) << "at " << i;
    ++i;
  }
  EXPECT_GT(ff, 0);
  EXPECT_TRUE(DecodeJpeg(jpeg));
}

TEST(JpegSnapshot, FileWritingAndRefusals) {
  const YuvImage src = MovingPattern(16, 16, 0);
  const std::string path = ::testing::TempDir() + "display_snapshot_test.jpg";
  ASSERT_TRUE(WriteJpegSnapshot(ViewOf(src), path));
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> written{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_EQ(written, EncodeJpegSnapshot(ViewOf(src)));
  std::remove(path.c_str());
  EXPECT_FALSE(WriteJpegSnapshot(ViewOf(src), "/nonexistent-folder/x/snap.jpg"));
  EXPECT_TRUE(EncodeJpegSnapshot(YuvView{}).empty());
}

}  // namespace
}  // namespace qvnet
