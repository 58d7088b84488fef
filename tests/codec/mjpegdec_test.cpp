// Motion JPEG: 4:2:0, 4:2:2 and 4:4:4 images all come out as 4:2:0 of the right size and
// content; damaged images are skipped and the decoder keeps working.
#include <gtest/gtest.h>

#include <random>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "netclient/media/codec/decoder_locks.h"
#include "netclient/media/codec/mjpegdec.h"
#include "tests/codec/test_media.h"

namespace qvcodec {
namespace {

const int kQuiet = [] { av_log_set_level(AV_LOG_QUIET); return 0; }();

struct JpegCase {
  const char* name;
  int width;
  int height;
  int chroma_w_div;
  int chroma_h_div;
  AVPixelFormat format;
};

class MjpegImage : public ::testing::TestWithParam<JpegCase> {};

TEST_P(MjpegImage, DecodesTo420OfTheRightSizeAndContent) {
  const JpegCase& c = GetParam();
  const auto src = test::MovingPattern(c.width, c.height, 3, c.chroma_w_div, c.chroma_h_div);
  const auto jpeg = test::EncodeJpeg(src, c.format);
  ASSERT_FALSE(jpeg.empty());
  MjpegDecoder dec;
  ASSERT_TRUE(dec.Create(c.width, c.height));
  DecodedPicture p{};
  ASSERT_EQ(dec.Decode(jpeg.data(), static_cast<int32_t>(jpeg.size()), &p), kJpegPicture);
  ASSERT_EQ(p.width, c.width);
  ASSERT_EQ(p.height, c.height);
  const int cw = (c.width + 1) / 2;
  const int ch = (c.height + 1) / 2;
  EXPECT_GE(p.uv_stride, cw);
  EXPECT_GT(test::Psnr(p.y, p.y_stride, src.y.data(), c.width, c.width, c.height), 30.0);
  const auto u = test::ChromaTo420(src, src.u);
  const auto v = test::ChromaTo420(src, src.v);
  EXPECT_GT(test::Psnr(p.u, p.uv_stride, u.data(), cw, cw, ch), 30.0);
  EXPECT_GT(test::Psnr(p.v, p.uv_stride, v.data(), cw, cw, ch), 30.0);
}

INSTANTIATE_TEST_SUITE_P(
    Images, MjpegImage,
    ::testing::Values(JpegCase{"Yuvj420", 352, 288, 2, 2, AV_PIX_FMT_YUVJ420P},
                      JpegCase{"Yuvj422", 352, 288, 2, 1, AV_PIX_FMT_YUVJ422P},
                      JpegCase{"Yuvj444", 352, 288, 1, 1, AV_PIX_FMT_YUVJ444P},
                      JpegCase{"Yuvj422_OddSize", 177, 143, 2, 1, AV_PIX_FMT_YUVJ422P},
                      JpegCase{"Yuvj444_OddSize", 177, 143, 1, 1, AV_PIX_FMT_YUVJ444P}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(MjpegDec, DamagedImagesAreSkippedAndTheNextGoodOneDecodes) {
  const auto src = test::MovingPattern(176, 144, 0);
  const auto jpeg = test::EncodeJpeg(src, AV_PIX_FMT_YUVJ420P);
  ASSERT_GT(jpeg.size(), 400u);
  std::mt19937 rng(99);
  std::vector<uint8_t> noise(2000);
  for (auto& b : noise) b = static_cast<uint8_t>(rng());
  const std::vector<uint8_t> header_only(jpeg.begin(), jpeg.begin() + 300);
  const std::vector<uint8_t> half(jpeg.begin(), jpeg.begin() + static_cast<long>(jpeg.size() / 2));
  const std::vector<uint8_t> soi_only = {0xFF, 0xD8};

  MjpegDecoder dec;
  ASSERT_TRUE(dec.Create(176, 144));
  DecodedPicture p{};
  EXPECT_NE(dec.Decode(nullptr, 100, &p), kJpegPicture);
  EXPECT_NE(dec.Decode(jpeg.data(), 0, &p), kJpegPicture);
  const std::vector<uint8_t>* bad_images[] = {&noise, &header_only, &half, &soi_only};
  for (const std::vector<uint8_t>* bad : bad_images) {
    EXPECT_NE(dec.Decode(bad->data(), static_cast<int32_t>(bad->size()), &p), kJpegPicture)
        << bad->size() << " bytes";
  }
  // Bytes flipped inside a real image: any result, but never a crash.
  for (int round = 0; round < 200; ++round) {
    auto damaged = jpeg;
    for (int i = 0; i < 3; ++i) damaged[rng() % damaged.size()] = static_cast<uint8_t>(rng());
    dec.Decode(damaged.data(), static_cast<int32_t>(damaged.size()), &p);
  }
  ASSERT_EQ(dec.Decode(jpeg.data(), static_cast<int32_t>(jpeg.size()), &p), kJpegPicture);
  EXPECT_EQ(p.width, 176);
  EXPECT_GT(test::Psnr(p.y, p.y_stride, src.y.data(), 176, 176, 144), 30.0);
}

TEST(MjpegDec, BadHandlesAreRefused) {
  DecodedPicture p{};
  const uint8_t byte = 0;
  EXPECT_EQ(MjpegDecFrame(nullptr, &byte, 1, 0, 0, &p, 0), kJpegBadHandle);
  MjpegDecoder dec;
  EXPECT_EQ(dec.Decode(&byte, 1, &p), kJpegBadHandle);
  ASSERT_TRUE(dec.Create(176, 144));
  EXPECT_EQ(MjpegDecFrame(dec.Handle(), &byte, 1, 0, 0, nullptr, 0), kJpegBadHandle);
  H264Decoder h264;
  ASSERT_TRUE(h264.Create(176, 144, 16));
  EXPECT_EQ(MjpegDecFrame(h264.Handle(), &byte, 1, 0, 0, &p, 0), kJpegBadHandle);
}

}  // namespace
}  // namespace qvcodec
