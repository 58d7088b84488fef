// Snapshots: decoded back by libavcodec's JPEG decoder with good fidelity at any size, laid out
// as a baseline JFIF file sampled 4:2:0, and the refusals.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
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

// Decodes with libavcodec, which gives 4:2:0 JPEG pictures as full-range 4:2:0.
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
  // 90 x 70 and 33 x 17 are no multiple of the 16 x 16 block on either side; 1 x 1 is the least.
  for (const auto& [w, h] : {std::pair{176, 144}, std::pair{90, 70}, std::pair{33, 17}, std::pair{1, 1}}) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    const YuvImage src = MovingPattern(w, h, 3);
    const std::vector<uint8_t> jpeg = EncodeJpegSnapshot(ViewOf(src));
    const qvcodec::FramePtr frame = DecodeJpeg(jpeg);
    ASSERT_TRUE(frame);
    ASSERT_EQ(frame->width, w);
    ASSERT_EQ(frame->height, h);
    ASSERT_TRUE(frame->format == AV_PIX_FMT_YUVJ420P || frame->format == AV_PIX_FMT_YUV420P);
    if (w < 16) continue;  // too few samples for a meaningful fidelity figure
    EXPECT_GE(Psnr(frame->data[0], frame->linesize[0], src.y.data(), w, w, h), 30.0);
    const int cw = src.ChromaWidth();
    const int ch = (h + 1) / 2;
    EXPECT_GE(Psnr(frame->data[1], frame->linesize[1], src.u.data(), cw, cw, ch), 30.0);
    EXPECT_GE(Psnr(frame->data[2], frame->linesize[2], src.v.data(), cw, cw, ch), 30.0);
  }
}

// The frame header (SOF0, the baseline process): precision, size and the three components with
// luminance sampled 2 x 2 and chrominance 1 x 1, i.e. 4:2:0.
std::vector<uint8_t> FrameHeader(const std::vector<uint8_t>& jpeg) {
  for (size_t at = 2; at + 4 <= jpeg.size() && jpeg[at] == 0xFF;) {
    const uint8_t marker = jpeg[at + 1];
    const size_t length = static_cast<size_t>(jpeg[at + 2] << 8 | jpeg[at + 3]);
    if (marker == 0xC0 && at + 2 + length <= jpeg.size()) {
      return std::vector<uint8_t>(jpeg.begin() + static_cast<long>(at + 4), jpeg.begin() + static_cast<long>(at + 2 + length));
    }
    if (marker == 0xDA) break;
    at += 2 + length;
  }
  return {};
}

TEST(JpegSnapshot, BaselineJfifAt420) {
  const YuvImage src = MovingPattern(40, 24, 0);
  const std::vector<uint8_t> jpeg = EncodeJpegSnapshot(ViewOf(src));
  ASSERT_GE(jpeg.size(), 20u);
  EXPECT_EQ((std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + 4)), (std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xE0}));
  EXPECT_EQ(std::string(jpeg.begin() + 6, jpeg.begin() + 11), std::string("JFIF\0", 5));
  EXPECT_EQ(FrameHeader(jpeg), (std::vector<uint8_t>{8, 0, 24, 0, 40, 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1}));
  EXPECT_EQ(jpeg[jpeg.size() - 2], 0xFF);
  EXPECT_EQ(jpeg[jpeg.size() - 1], 0xD9);
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
  // A side beyond what a JPEG frame header can hold is refused, not cut.
  const std::vector<uint8_t> wide_y(65536 * 2, 128);
  const std::vector<uint8_t> wide_uv(32768, 128);
  const YuvView wide{wide_y.data(), wide_uv.data(), wide_uv.data(), 65536, 2, 65536, 32768};
  EXPECT_TRUE(EncodeJpegSnapshot(wide).empty());
}

}  // namespace
}  // namespace qvnet
