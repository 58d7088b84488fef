// The live-view library end to end over loopback: a simulated camera, the RTSP source, the
// decoder and the display thread drawing into an in-memory window, with recording on the side.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "netclient/include/QVNetClient.h"
#include "platform/memory_window_sink.h"
#include "platform/window_registry.h"
#include "tests/support/camera_helpers.h"
#include "tests/support/poll.h"
#include "tests/support/recording_readback.h"
#include "tests/support/temp_dir.h"
#include "tools/camsim/camera.h"

namespace {

constexpr int kWindowWidth = 352;
constexpr int kWindowHeight = 288;

class LiveViewTest : public ::testing::TestWithParam<int16_t> {
 protected:
  void SetUp() override {
    camsim::CameraOptions o;
    o.width = 176;
    o.height = 144;
    o.fps = 15;
    o.kbps = 384;
    o.clip_seconds = 1;
    camera_ = std::make_unique<camsim::Camera>(o);
    std::string error;
    ASSERT_TRUE(camera_->Start(&error)) << error;
    window_sink_ = std::make_shared<qvp::MemoryWindowSink>(kWindowWidth, kWindowHeight);
    window_ = qvp::RegisterWindow(window_sink_);
    ASSERT_EQ(QVNET_Startup(0, 0, nullptr, 0), 1);
    QVNET_SetWaitTime(2, -1, 1);
  }
  void TearDown() override {
    if (handle_ != 0) {
      EXPECT_EQ(QVNET_ClientStop(handle_), 1);
    }
    qvp::UnregisterWindow(window_);
  }

  void StartClient() {
    ClientParams p{};
    p.transport = GetParam();
    p.view = 1;
    p.display_window = window_;
    std::snprintf(p.address, sizeof p.address, "127.0.0.1:%u", camera_->Port());
    handle_ = QVNET_ClientStart(&p);
    ASSERT_NE(handle_, 0u);
  }

  std::unique_ptr<camsim::Camera> camera_;
  std::shared_ptr<qvp::MemoryWindowSink> window_sink_;
  qvp::WindowHandle window_ = 0;
  QVNET_HANDLE handle_ = 0;
};

// The share of pixels that are not black: the camera's test pattern is colourful everywhere.
double LitShare(const qvp::MemoryWindowSink::Image& image) {
  size_t lit = 0;
  const size_t pixels = static_cast<size_t>(image.width) * image.height;
  for (size_t i = 0; i < pixels; ++i) {
    const uint8_t* p = &image.bgrx[i * 4];
    if (p[0] + p[1] + p[2] > 60) ++lit;
  }
  return pixels == 0 ? 0.0 : static_cast<double>(lit) / pixels;
}

TEST_P(LiveViewTest, DecodedPicturesOfTheCameraReachTheWindow) {
  StartClient();
  ASSERT_TRUE(qvtest::PollUntil([&] { return QVNET_GetClientState(handle_) == 0; }, 8000));
  ASSERT_TRUE(window_sink_->WaitPresentCount(15, 8000));
  const qvp::MemoryWindowSink::Image image = window_sink_->LastImage();
  EXPECT_EQ(image.width, kWindowWidth);
  EXPECT_EQ(image.height, kWindowHeight);
  EXPECT_GT(LitShare(image), 0.5);

  // After a second or two the bit-rate meter reports what arrives and what is shown.
  int kbps = 0, fps = 0;
  ASSERT_TRUE(qvtest::PollUntil([&] {
    QVNET_GetBitStreamInfo(handle_, &kbps, &fps);
    return kbps > 0 && fps > 0;
  }, 4000));

  // With the view off no picture is drawn any more.
  EXPECT_EQ(QVNET_ClientStopView(handle_), 1);
  const uint64_t shown = window_sink_->PresentCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(window_sink_->PresentCount(), shown);
  EXPECT_EQ(QVNET_ClientStartView(handle_), 1);
  EXPECT_TRUE(window_sink_->WaitPresentCount(shown + 5, 8000));
}

TEST_P(LiveViewTest, RecordsWhileItShows) {
  qvtest::TempDir dir("qv_live");
  StartClient();
  ASSERT_TRUE(qvtest::PollUntil([&] { return QVNET_GetClientState(handle_) == 0; }, 8000));
  const std::string path = dir.File("live.h264");
  EXPECT_EQ(QVNET_ClientStartRecord(handle_, path.c_str(), 0), 1);
  EXPECT_EQ(QVNET_ClientStartRecord(handle_, dir.File("other.h264").c_str(), 0), 1);  // already runs
  ASSERT_TRUE(window_sink_->WaitPresentCount(window_sink_->PresentCount() + 30, 8000));
  EXPECT_EQ(QVNET_ClientStopRecord(handle_), 1);
  EXPECT_EQ(QVNET_ClientStopRecord(handle_), 1);  // idle: still 1 in this library
  const qvtest::Recording r = qvtest::ReadRecording(path);
  ASSERT_TRUE(r.ok);
  qvtest::ExpectIndexAtKeyFrames(r, 7);
  EXPECT_EQ(r.header.width, 176);
  EXPECT_EQ(r.header.height, 144);
  const std::vector<camsim::SessionMedia> sent = camera_->Media();
  ASSERT_FALSE(sent.empty());
  EXPECT_TRUE(qvtest::ContainsBytes(sent.back().video, r.VideoBytes()));
}

std::string TransportName(const ::testing::TestParamInfo<int16_t>& p) { return p.param == 0 ? "Udp" : "Tcp"; }

INSTANTIATE_TEST_SUITE_P(Transports, LiveViewTest, ::testing::Values(int16_t{0}, int16_t{1}), TransportName);

}  // namespace

namespace {

// A camera whose audio the library cannot decode: over either transport the video is shown
// and recorded, the audio is left out.
TEST(UnknownAudioTest, VideoIsShownAndRecordedWithoutTheAudio) {
  for (const int16_t transport : {int16_t{1}, int16_t{0}}) {
    SCOPED_TRACE(transport == 1 ? "tcp" : "udp");
    camsim::CameraOptions o = qvtest::SmallCamera();
    o.audio = camsim::AudioCodec::kUnknown;
    const std::unique_ptr<camsim::Camera> camera = qvtest::StartCamera(o);
    ASSERT_NE(camera, nullptr);
    auto sink = std::make_shared<qvp::MemoryWindowSink>(kWindowWidth, kWindowHeight);
    const qvp::WindowHandle window = qvp::RegisterWindow(sink);
    ASSERT_EQ(QVNET_Startup(0, 0, nullptr, 0), 1);
    QVNET_SetWaitTime(2, -1, 1);
    ClientParams p{};
    p.transport = transport;
    p.view = 1;
    p.display_window = window;
    std::snprintf(p.address, sizeof p.address, "127.0.0.1:%u", camera->Port());
    const QVNET_HANDLE h = QVNET_ClientStart(&p);
    ASSERT_NE(h, 0u);
    qvtest::TempDir dir("qv_unknown_audio");
    const std::string path = dir.File("video_only.h264");
    ASSERT_TRUE(qvtest::PollUntil([&] { return QVNET_GetClientState(h) == 0; }, 8000));
    ASSERT_EQ(QVNET_ClientStartRecord(h, path.c_str(), 0), 1);
    EXPECT_TRUE(sink->WaitPresentCount(20, 8000));
    EXPECT_EQ(QVNET_GetClientState(h), 0) << "the connection stays up";
    EXPECT_EQ(QVNET_ClientStop(h), 1);
    qvp::UnregisterWindow(window);
    const qvtest::Recording r = qvtest::ReadRecording(path);
    ASSERT_TRUE(r.ok);
    qvtest::ExpectIndexAtKeyFrames(r, 7);
    EXPECT_GT(r.VideoBytes().size(), 1000u);
    EXPECT_TRUE(r.AudioPayloads().empty());
  }
}

}  // namespace
