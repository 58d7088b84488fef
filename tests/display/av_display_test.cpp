// The display thread end to end: conduit in, window out, on the injected clock. Streams come
// from libavcodec's encoders.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "netclient/media/codec/mjpegdec.h"
#include "netclient/media/display/av_display.h"
#include "tests/codec/test_media.h"
#include "tests/display/display_test_support.h"
#include "tests/support/poll.h"

namespace qvnet {
namespace {

using qvcodec::test::Concat;
using qvcodec::test::EncodeH264;
using qvcodec::test::EncodeJpeg;
using qvcodec::test::MovingPattern;
using test::SetSpeed;
using test::SteppingClock;
using test::TestClient;
using test::TestWindow;

using Units = std::vector<std::vector<uint8_t>>;

const Units& H264Clip() {
  static const Units units = EncodeH264(64, 48, 40);
  return units;
}

std::vector<uint8_t> Jpeg(int w, int h, int index) {
  return EncodeJpeg(MovingPattern(w, h, index), AV_PIX_FMT_YUVJ420P);
}

void WriteMessages(CBufferConduit& conduit, const Units& units) {
  for (const auto& u : units) ASSERT_TRUE(conduit.Write(u.data(), static_cast<uint32_t>(u.size()), true));
}

void Settle() { std::this_thread::sleep_for(std::chrono::milliseconds(150)); }

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(AVDisplayLive, BacklogIsWorkedOffFasterThanTheFrameRate) {
  SteppingClock clock;
  TestClient tc(false, kPayloadTypeH264, 64, 48, 25);
  TestWindow window(64, 48);
  tc.control.window = window.handle;
  const Units& units = H264Clip();
  WriteMessages(tc.Conduit(), units);
  CAVDisplay display(tc.control, tc.Conduit());
  ASSERT_TRUE(display.CreateDecoder(tc.format));
  EXPECT_EQ(tc.control.window_width, 64);  // stored when the decoder is made
  ASSERT_EQ(display.StartThread(), qvp::JThread::kStarted);
  // Every picture but the last, which waits for the start of its successor.
  const uint64_t shown = units.size() - 1;
  ASSERT_TRUE(window.sink->WaitPresentCount(shown, 10000));
  display.Stop();
  const std::vector<uint32_t> ticks = window.sink->Ticks();
  ASSERT_GE(ticks.size(), shown);
  // 39 pictures at 25 per second would take 1560 ms; queued up they go much faster.
  EXPECT_LT(ticks[shown - 1] - ticks[0], 600u);
  EXPECT_EQ(tc.control.shown_frames, shown);
  EXPECT_EQ(tc.control.decoded_width, 64);
  EXPECT_EQ(tc.control.decoded_height, 48);
  EXPECT_FALSE(tc.control.drawing);
}

// Runs a live clip through a 1:1 window and returns the last picture shown.
std::vector<uint8_t> LastLivePicture(bool rotate) {
  SteppingClock clock;
  TestClient tc(false, kPayloadTypeH264, 64, 48, 25);
  TestWindow window(64, 48);
  tc.control.window = window.handle;
  tc.control.rotate180 = rotate;
  const Units units(H264Clip().begin(), H264Clip().begin() + 12);
  WriteMessages(tc.Conduit(), units);
  CAVDisplay display(tc.control, tc.Conduit());
  if (!display.CreateDecoder(tc.format) || display.StartThread() != qvp::JThread::kStarted) return {};
  if (!window.sink->WaitPresentCount(units.size() - 1, 10000)) return {};
  Settle();
  display.Stop();
  return window.sink->LastImage().bgrx;
}

TEST(AVDisplayLive, RotationTurnsThePictureWithoutDisturbingTheDecoder) {
  // The last picture is predicted from earlier ones: turning the decoder's own pictures in
  // place would show up as damage here.
  const std::vector<uint8_t> upright = LastLivePicture(false);
  const std::vector<uint8_t> turned = LastLivePicture(true);
  ASSERT_EQ(upright.size(), 64u * 48u * 4u);
  ASSERT_EQ(turned.size(), upright.size());
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 64; ++x) {
      for (int c = 0; c < 3; ++c) {
        ASSERT_EQ(turned[static_cast<size_t>((y * 64 + x) * 4 + c)],
                  upright[static_cast<size_t>(((47 - y) * 64 + 63 - x) * 4 + c)])
            << x << "," << y;
      }
    }
  }
}

TEST(AVDisplayReplay, PicturesFollowTheSpeedOnTheInjectedClock) {
  struct Case {
    int32_t speed;
    uint32_t interval;  // ms between pictures at 25 frames per second
  };
  for (const Case c : {Case{-1, 80}, Case{0, 40}, Case{2, 10}}) {
    SteppingClock clock;
    TestClient tc(true, kPayloadTypeH264, 64, 48, 25);
    TestWindow window(32, 24);
    tc.control.window = window.handle;
    SetSpeed(tc.control.replay, c.speed);
    const std::vector<uint8_t> stream = Concat(H264Clip());
    ASSERT_TRUE(tc.Conduit().Write(stream.data(), static_cast<uint32_t>(stream.size()), true));
    CAVDisplay display(tc.control, tc.Conduit());
    ASSERT_TRUE(display.CreateDecoder(tc.format));
    ASSERT_EQ(display.StartThread(), qvp::JThread::kStarted);
    ASSERT_TRUE(window.sink->WaitPresentCount(20, 10000)) << c.speed;
    display.Stop();
    const std::vector<uint32_t> ticks = window.sink->Ticks();
    for (size_t i = 1; i < 20; ++i) {
      const uint32_t gap = ticks[i] - ticks[i - 1];
      EXPECT_GE(gap * 10, c.interval * 9) << "speed " << c.speed << " picture " << i;
      EXPECT_LE(gap * 10, c.interval * 11) << "speed " << c.speed << " picture " << i;
    }
  }
}

TEST(AVDisplayReplay, PauseStepSeekWhilePausedAndSnapshotFromThePausedPicture) {
  SteppingClock clock;
  TestClient tc(true, kPayloadTypeJpeg, 64, 48, 25);
  TestWindow window(64, 48);
  tc.control.window = window.handle;
  ReplayControl& rc = tc.control.replay;
  rc.Pause();  // opened paused
  Units pictures;
  for (int i = 0; i < 8; ++i) pictures.push_back(Jpeg(64, 48, i));
  WriteMessages(tc.Conduit(), pictures);
  CAVDisplay display(tc.control, tc.Conduit());
  ASSERT_TRUE(display.CreateDecoder(tc.format));
  ASSERT_EQ(display.StartThread(), qvp::JThread::kStarted);

  ASSERT_TRUE(window.sink->WaitPresentCount(1, 5000));
  Settle();
  EXPECT_EQ(window.sink->PresentCount(), 1u);  // waits after the first picture

  for (uint64_t step = 2; step <= 3; ++step) {
    rc.Step();
    ASSERT_TRUE(window.sink->WaitPresentCount(step, 5000));
    Settle();
    EXPECT_EQ(window.sink->PresentCount(), step);
  }
  rc.Pause();  // leaving the step shows one more, then it waits again
  ASSERT_TRUE(window.sink->WaitPresentCount(4, 5000));
  Settle();
  EXPECT_EQ(window.sink->PresentCount(), 4u);

  // A seek while paused, as the file reader carries it out: the old place is dropped and
  // pictures of the new place (another size) are queued; one of them is shown.
  tc.Conduit().Reset();
  const Units sought = {Jpeg(96, 64, 20), Jpeg(96, 64, 21), Jpeg(96, 64, 22)};
  WriteMessages(tc.Conduit(), sought);
  rc.SetTimeline(0, 60);
  ASSERT_TRUE(rc.RequestSeek(20));
  rc.SeekDone(20);
  ASSERT_TRUE(window.sink->WaitPresentCount(5, 5000));
  Settle();
  EXPECT_EQ(window.sink->PresentCount(), 5u);
  EXPECT_EQ(tc.control.decoded_width, 96);
  EXPECT_EQ(window.sink->LastImage().width, 64);  // still stretched to the window

  // A snapshot while paused: the JPEG image on screen, as received.
  const std::string path = ::testing::TempDir() + "display_paused_snapshot.jpg";
  std::remove(path.c_str());
  display.RequestSnapshot(path);
  ASSERT_TRUE(qvtest::PollUntil([&] { return ReadFile(path) == sought[0]; }));

  rc.Continue();
  ASSERT_TRUE(window.sink->WaitPresentCount(7, 5000));
  display.Stop();
  EXPECT_EQ(tc.control.shown_frames, 7u);
  std::remove(path.c_str());
}

TEST(AVDisplayReplay, H264SnapshotWhilePausedIsTheDecodedPicture) {
  SteppingClock clock;
  TestClient tc(true, kPayloadTypeH264, 64, 48, 25);
  TestWindow window(64, 48);
  tc.control.window = window.handle;
  tc.control.replay.Pause();
  const std::vector<uint8_t> stream = Concat(H264Clip());
  ASSERT_TRUE(tc.Conduit().Write(stream.data(), static_cast<uint32_t>(stream.size()), true));
  CAVDisplay display(tc.control, tc.Conduit());
  ASSERT_TRUE(display.CreateDecoder(tc.format));
  ASSERT_EQ(display.StartThread(), qvp::JThread::kStarted);
  ASSERT_TRUE(window.sink->WaitPresentCount(1, 5000));
  const std::string path = ::testing::TempDir() + "display_h264_snapshot.jpg";
  std::remove(path.c_str());
  display.RequestSnapshot(path);
  ASSERT_TRUE(qvtest::PollUntil([&] { return ReadFile(path).size() > 100; }));
  display.Stop();
  const std::vector<uint8_t> jpeg = ReadFile(path);
  qvcodec::MjpegDecoder decoder;
  ASSERT_TRUE(decoder.Create(64, 48));
  qvcodec::DecodedPicture picture{};
  ASSERT_EQ(decoder.Decode(jpeg.data(), static_cast<int32_t>(jpeg.size()), &picture), qvcodec::kJpegPicture);
  EXPECT_EQ(picture.width, 64);
  EXPECT_EQ(picture.height, 48);
  std::remove(path.c_str());
}

TEST(AVDisplayJpeg, ViewOffDropsPicturesWithoutADecoder) {
  SteppingClock clock;
  TestClient tc(false, kPayloadTypeJpeg, 64, 48, 25);
  TestWindow window(64, 48);
  tc.control.window = window.handle;
  tc.control.view = ViewState::kOff;
  CAVDisplay display(tc.control, tc.Conduit());
  ASSERT_TRUE(display.CreateDecoder(tc.format));
  ASSERT_EQ(display.StartThread(), qvp::JThread::kStarted);
  WriteMessages(tc.Conduit(), {Jpeg(64, 48, 0), Jpeg(64, 48, 1), Jpeg(64, 48, 2)});
  ASSERT_TRUE(qvtest::PollUntil([&] { return tc.Conduit().GetUsed() == 0; }));
  Settle();
  EXPECT_FALSE(display.HasDecoder());
  EXPECT_EQ(window.sink->PresentCount(), 0u);
  EXPECT_EQ(tc.control.shown_frames, 0u);

  tc.control.view = ViewState::kOn;  // the decoder comes back with the next picture
  WriteMessages(tc.Conduit(), {Jpeg(64, 48, 3), Jpeg(64, 48, 4)});
  ASSERT_TRUE(window.sink->WaitPresentCount(2, 5000));
  EXPECT_TRUE(display.HasDecoder());
  display.Stop();
}

TEST(AVDisplayJpeg, BadImagesAreSkippedAndSizeChangesFollowed) {
  SteppingClock clock;
  TestClient tc(false, kPayloadTypeJpeg, 64, 48, 0);  // no frame rate announced
  TestWindow window(80, 60);
  tc.control.window = window.handle;
  std::vector<uint8_t> truncated = Jpeg(64, 48, 1);
  truncated.resize(truncated.size() / 3);
  const Units pictures = {Jpeg(64, 48, 0), {0xFF, 0xD8, 0x00, 0x11, 0x22}, truncated, Jpeg(128, 96, 2)};
  WriteMessages(tc.Conduit(), pictures);
  CAVDisplay display(tc.control, tc.Conduit());
  ASSERT_TRUE(display.CreateDecoder(tc.format));
  ASSERT_EQ(display.StartThread(), qvp::JThread::kStarted);
  ASSERT_TRUE(qvtest::PollUntil([&] { return tc.Conduit().GetUsed() == 0 && tc.control.decoded_width == 128; }));
  Settle();
  display.Stop();
  // The truncated image may still decode partly; the garbage one never does.
  EXPECT_GE(window.sink->PresentCount(), 2u);
  EXPECT_LE(window.sink->PresentCount(), 3u);
  EXPECT_EQ(tc.control.shown_frames, window.sink->PresentCount());
  EXPECT_EQ(tc.control.decoded_height, 96);
  EXPECT_EQ(window.sink->LastImage().width, 80);
}

}  // namespace
}  // namespace qvnet
