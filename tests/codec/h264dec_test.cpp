// H.264 decoding of streams made here with libx264: whole access units (live) and
// 1024-byte slices (replay), single- and multi-slice pictures; garbage never crashes.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <thread>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "netclient/media/codec/decoder_locks.h"
#include "netclient/media/codec/h264dec.h"
#include "netclient/media/codec/mjpegdec.h"
#include "tests/codec/test_media.h"

namespace qvcodec {
namespace {

constexpr int kFrames = 10;
const int kQuiet = [] { av_log_set_level(AV_LOG_QUIET); return 0; }();

// Checks each picture against the source picture of the same index.
struct PictureCheck {
  int width;
  int height;
  int count = 0;
  int wrong_size = 0;
  double worst_y = 99;
  double worst_chroma = 99;

  void Take(const DecodedPicture& p) {
    const test::YuvImage src = test::MovingPattern(width, height, count++);
    if (p.width != width || p.height != height) {
      ++wrong_size;
      return;
    }
    const int cw = (width + 1) / 2;
    const int ch = (height + 1) / 2;
    worst_y = std::min(worst_y, test::Psnr(p.y, p.y_stride, src.y.data(), width, width, height));
    worst_chroma = std::min({worst_chroma, test::Psnr(p.u, p.uv_stride, src.u.data(), cw, cw, ch),
                             test::Psnr(p.v, p.uv_stride, src.v.data(), cw, cw, ch)});
  }
};

// One call with data, then calls without until no picture; returns the last result.
int32_t FeedAndDrain(void* dec, const uint8_t* data, int32_t len, PictureCheck* check,
                     int32_t flags = 0) {
  DecodedPicture pic{};
  int32_t r = H264DecFrame(dec, data, len, 0, &pic, flags);
  for (int guard = 0; r == kDecPicture && guard < 100000; ++guard) {
    if (check != nullptr) check->Take(pic);
    r = H264DecFrame(dec, nullptr, 0, 0, &pic, 0);
  }
  return r;
}

struct StreamCase {
  const char* name;
  int width;
  int height;
  int slices;
  size_t chunk;  // 0: one call per access unit
};

class H264Stream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(H264Stream, EveryPictureComesOutWithTheRightSizeAndContent) {
  const StreamCase& c = GetParam();
  const auto units = test::EncodeH264(c.width, c.height, kFrames, c.slices);
  ASSERT_EQ(units.size(), static_cast<size_t>(kFrames)) << "libx264 not available?";
  const int32_t params[6] = {0, 0, c.width / 16 + 1, c.height / 16 + 1, 8, 0};
  void* dec = H264DecCreate(params);
  ASSERT_NE(dec, nullptr);
  PictureCheck check{c.width, c.height};
  if (c.chunk == 0) {
    for (const auto& u : units) {
      ASSERT_EQ(FeedAndDrain(dec, u.data(), static_cast<int32_t>(u.size()), &check), kDecNoPicture);
    }
  } else {
    const auto all = test::Concat(units);
    for (size_t off = 0; off < all.size(); off += c.chunk) {
      const auto n = static_cast<int32_t>(std::min(c.chunk, all.size() - off));
      ASSERT_EQ(FeedAndDrain(dec, all.data() + off, n, &check), kDecNoPicture);
    }
  }
  EXPECT_EQ(FeedAndDrain(dec, nullptr, 0, &check, kH264FlagEndOfStream), kDecNoPicture);
  H264DecDestroy(dec);
  EXPECT_EQ(check.count, kFrames);
  EXPECT_EQ(check.wrong_size, 0);
  EXPECT_GT(check.worst_y, 30.0);
  EXPECT_GT(check.worst_chroma, 30.0);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, H264Stream,
    ::testing::Values(StreamCase{"Qcif_WholeUnits", 176, 144, 1, 0},
                      StreamCase{"Qcif_1024ByteSlices", 176, 144, 1, 1024},
                      StreamCase{"Qcif_7ByteSlices", 176, 144, 1, 7},
                      StreamCase{"Qcif_FourSlicesPerPicture_WholeUnits", 176, 144, 4, 0},
                      StreamCase{"Qcif_FourSlicesPerPicture_1024ByteSlices", 176, 144, 4, 1024},
                      StreamCase{"D1_WholeUnits", 704, 576, 1, 0},
                      StreamCase{"D1_1024ByteSlices", 704, 576, 1, 1024}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

// Many small pictures in one call: every one is cut and decoded, none left behind.
TEST(H264Dec, WholeStreamInOneCallGivesEveryPicture) {
  constexpr int kMany = 300;
  const auto units = test::EncodeH264(64, 64, kMany);
  ASSERT_EQ(units.size(), static_cast<size_t>(kMany));
  const auto all = test::Concat(units);
  H264Decoder dec;
  ASSERT_TRUE(dec.Create(64, 64, 16));
  PictureCheck check{64, 64};
  FeedAndDrain(dec.Handle(), all.data(), static_cast<int32_t>(all.size()), &check);
  FeedAndDrain(dec.Handle(), nullptr, 0, &check, kH264FlagEndOfStream);
  EXPECT_EQ(check.count, kMany);
  EXPECT_GT(check.worst_y, 30.0);
}

// A live viewer sees picture k once the first bytes of picture k + 1 are in: never more
// than one picture behind.
TEST(H264Dec, LivePicturesLagAtMostOnePicture) {
  const auto units = test::EncodeH264(176, 144, kFrames);
  ASSERT_EQ(units.size(), static_cast<size_t>(kFrames));
  H264Decoder dec;
  ASSERT_TRUE(dec.Create(176, 144, 16));
  PictureCheck check{176, 144};
  for (size_t k = 0; k < units.size(); ++k) {
    FeedAndDrain(dec.Handle(), units[k].data(), static_cast<int32_t>(units[k].size()), &check);
    EXPECT_GE(check.count, static_cast<int>(k)) << "after unit " << k;
  }
}

// Random bytes, random bytes behind start codes, and a real stream with bytes flipped:
// only the documented results, no crash, and a fresh stream decodes afterwards.
TEST(H264Dec, GarbageNeverCrashesAndDecodingRecovers) {
  const auto units = test::EncodeH264(176, 144, kFrames);
  ASSERT_EQ(units.size(), static_cast<size_t>(kFrames));
  std::mt19937 rng(1234);
  H264Decoder dec;
  ASSERT_TRUE(dec.Create(176, 144, 16));
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> junk(1 + rng() % 3000);
    for (auto& b : junk) b = static_cast<uint8_t>(rng());
    if (round % 3 == 1) {  // make it look like NAL units so the decoder parses deeper
      for (size_t i = 0; i + 4 < junk.size(); i += 1 + rng() % 200) {
        junk[i] = 0; junk[i + 1] = 0; junk[i + 2] = 1;
        junk[i + 3] = static_cast<uint8_t>(0x60 | (rng() % 2 ? 1 : (rng() % 2 ? 5 : 7 + rng() % 2)));
      }
    } else if (round % 3 == 2) {  // a real stream with some bytes damaged
      junk = units[static_cast<size_t>(round) % units.size()];
      for (int i = 0; i < 4; ++i) junk[rng() % junk.size()] = static_cast<uint8_t>(rng());
    }
    const int32_t r = FeedAndDrain(dec.Handle(), junk.data(), static_cast<int32_t>(junk.size()), nullptr);
    ASSERT_TRUE(r == kDecNoPicture || r == kDecRecreate) << r;
    if (r == kDecRecreate) {
      ASSERT_TRUE(dec.Create(176, 144, 16));
    }
  }
  ASSERT_TRUE(dec.Create(176, 144, 16));
  PictureCheck check{176, 144};
  for (const auto& u : units) FeedAndDrain(dec.Handle(), u.data(), static_cast<int32_t>(u.size()), &check);
  FeedAndDrain(dec.Handle(), nullptr, 0, &check, kH264FlagEndOfStream);
  EXPECT_EQ(check.count, kFrames);
  EXPECT_GT(check.worst_y, 30.0);
}

// A stream cut inside a picture gives the pictures before the cut and then carries on.
TEST(H264Dec, TruncatedStreamGivesThePicturesBeforeTheCut) {
  const auto units = test::EncodeH264(176, 144, kFrames);
  ASSERT_EQ(units.size(), static_cast<size_t>(kFrames));
  H264Decoder dec;
  ASSERT_TRUE(dec.Create(176, 144, 16));
  PictureCheck check{176, 144};
  for (size_t k = 0; k < 5; ++k) {
    FeedAndDrain(dec.Handle(), units[k].data(), static_cast<int32_t>(units[k].size()), &check);
  }
  const auto& cut = units[5];
  EXPECT_NE(FeedAndDrain(dec.Handle(), cut.data(), static_cast<int32_t>(cut.size() / 2), &check,
                         kH264FlagEndOfStream),
            kDecUnusable);
  EXPECT_GE(check.count, 5);
}

TEST(H264Dec, UnusableHandlesAndOutputsReportMinusTwo) {
  DecodedPicture pic{};
  const uint8_t byte = 0;
  EXPECT_EQ(H264DecFrame(nullptr, &byte, 1, 0, &pic, 0), kDecUnusable);
  const int32_t jpeg_params[7] = {0, 0, 176, 144, 0, 0, 0};
  void* jpeg = MjpegDecCreate(jpeg_params);
  ASSERT_NE(jpeg, nullptr);
  EXPECT_EQ(H264DecFrame(jpeg, &byte, 1, 0, &pic, 0), kDecUnusable);
  H264DecDestroy(jpeg);  // not an H.264 handle: ignored
  MjpegDecDestroy(jpeg);
  H264Decoder dec;
  EXPECT_EQ(dec.Decode(&byte, 1, &pic), kDecUnusable);
  ASSERT_TRUE(dec.Create(176, 144, 16));
  EXPECT_EQ(H264DecFrame(dec.Handle(), &byte, 1, 0, nullptr, 0), kDecUnusable);
  H264DecDestroy(nullptr);
}

// Creation waits for the global lock, so it can never overlap another creation or
// destruction anywhere in the process.
template <typename Owner, typename CreateFn>
void ExpectCreationWaitsForLock(std::mutex& lock, CreateFn create) {
  Owner owner;
  std::atomic<bool> done{false};
  std::unique_lock<std::mutex> held(lock);
  std::thread t([&] {
    create(owner);
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(done.load());
  held.unlock();
  t.join();
  EXPECT_TRUE(done.load());
  EXPECT_TRUE(owner.Valid());
}

TEST(DecoderLocks, CreationRunsUnderTheGlobalLocks) {
  ExpectCreationWaitsForLock<H264Decoder>(H264DecoderLock(),
                                          [](H264Decoder& d) { d.Create(176, 144, 16); });
  ExpectCreationWaitsForLock<MjpegDecoder>(MjpegDecoderLock(),
                                           [](MjpegDecoder& d) { d.Create(176, 144); });
}

}  // namespace
}  // namespace qvcodec
