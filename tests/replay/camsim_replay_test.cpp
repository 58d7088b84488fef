// A recording made from the camera simulator through the live library plays back start to
// end with every picture shown.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <optional>

#include "netclient/include/QVNetClient.h"
#include "tests/audio/alsa_sandbox.h"
#include "tests/replay/replay_test_support.h"
#include "tests/support/poll.h"
#include "tests/support/recording_readback.h"
#include "tests/support/temp_dir.h"
#include "tools/camsim/camera.h"

namespace {

using qvtest::NotifyLog;

// Pictures from the first key frame on: slices with first_mb_in_slice 0 (a set first bit of
// the slice header), whole or as the first FU-A fragment, both written with a start code.
uint64_t PicturesFromFirstKeyFrame(const qvtest::Recording& r) {
  uint64_t pictures = 0;
  bool keyed = false;
  for (const qvtest::RecordedFrame& f : r.frames) {
    if (f.header.stream != qvnet::kStreamVideo) continue;
    keyed = keyed || f.header.kind == qvnet::kKindKeyFrame;
    const std::vector<uint8_t>& p = f.payload;
    if (!keyed || p.size() < 5 || p[0] != 0 || p[1] != 0 || p[2] != 1) continue;
    const int type = p[3] & 0x1F;
    if ((type == 1 || type == 5) && (p[4] & 0x80) != 0) ++pictures;
  }
  return pictures;
}

TEST(CamsimReplay, ARecordedCameraPlaysWithEveryPictureShown) {
  qvtest::AlsaSandbox alsa;
  alsa.UseNoDevice();
  qvtest::TempDir dir("qv_replay");
  const std::string path = dir.File("cam.h264");
  {
    camsim::CameraOptions o;
    o.width = 176;
    o.height = 144;
    o.fps = 15;
    o.kbps = 256;
    o.clip_seconds = 1;
    camsim::Camera camera(o);
    std::string error;
    ASSERT_TRUE(camera.Start(&error)) << error;
    ASSERT_EQ(QVNET_Startup(0, 0, nullptr, 0), 1);
    ClientParams p{};
    p.transport = 1;
    std::snprintf(p.address, sizeof p.address, "127.0.0.1:%u", camera.Port());
    const QVNET_HANDLE live = QVNET_ClientStart(&p);
    ASSERT_NE(live, 0u);
    ASSERT_TRUE(qvtest::PollUntil([&] { return QVNET_GetClientState(live) == 0; }, 8000));
    ASSERT_EQ(QVNET_ClientStartRecord(live, path.c_str(), 0), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // the camera streams in real time
    EXPECT_EQ(QVNET_ClientStopRecord(live), 1);
    EXPECT_EQ(QVNET_ClientStop(live), 1);
  }
  const qvtest::Recording recording = qvtest::ReadRecording(path);
  ASSERT_TRUE(recording.ok);
  ASSERT_GE(recording.index.size(), 2u);
  const uint64_t pictures = PicturesFromFirstKeyFrame(recording);
  ASSERT_GT(pictures, 20u);

  // Played back on a clock that makes the pacing take no time.
  qvtest::SteppingClock clock;
  qvtest::TestWindow window;
  ASSERT_EQ(QVNET_Startup(0, 0, &NotifyLog::Callback, 0), 1);
  NotifyLog::Get().Clear();
  const QVNET_HANDLE h = QVNET_OpenFile(path.c_str(), window.handle, 0);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(QVNET_ReplayTotalTime(h), (recording.index.back().tick - recording.index.front().tick) / 1000);
  ASSERT_TRUE(qvtest::PollUntil([] { return NotifyLog::Get().Count(NOTIFY_REPLAY_END) == 1; }, 15000));
  EXPECT_TRUE(window.sink->WaitPresentCount(pictures, 5000)) << window.sink->PresentCount() << " of " << pictures;
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(window.sink->PresentCount(), pictures);
  EXPECT_EQ(QVNET_CloseFile(h), 1);
}

}  // namespace
