// The recording library through its exports, against simulated cameras on 127.0.0.1: the
// states it posts (refused passwords, the TCP give-up, silence while stopping), the results of
// its record calls, and many cameras recorded at once without a lost or reordered byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "nvrclient/include/QVNVRClient.h"
#include "platform/memory_window_sink.h"
#include "platform/socket.h"
#include "platform/window_registry.h"
#include "tests/support/poll.h"
#include "tests/support/recording_readback.h"
#include "tests/support/temp_dir.h"
#include "tools/camsim/camera.h"
#include "tools/camsim/simulator.h"
#include "tests/support/camera_helpers.h"

namespace {

constexpr uint32_t kMessage = 9024 + 7;

class NvrClientTest : public ::testing::Test {
 protected:
  NvrClientTest() {
    sink_ = std::make_shared<qvp::MemoryWindowSink>();
    window_ = qvp::RegisterWindow(sink_);
    QVNVR_Startup(0, 0, 0, 0);
  }
  ~NvrClientTest() override {
    for (QVNVR_HANDLE h : handles_) QVNVR_ClientStop(h);
    qvp::UnregisterWindow(window_);
  }

  QVNVR_HANDLE Start(uint16_t port, int16_t transport, const char* user = "", const char* password = "") {
    NvrClientParams p{};
    p.transport = transport;
    p.notify_window = window_;
    p.notify_message = kMessage;
    std::snprintf(p.address, sizeof p.address, "127.0.0.1:%u", port);
    std::snprintf(p.name, sizeof p.name, "admin");
    std::snprintf(p.user, sizeof p.user, "%s", user);
    std::snprintf(p.password, sizeof p.password, "%s", password);
    const QVNVR_HANDLE h = QVNVR_ClientStart(&p);
    if (h != 0) handles_.push_back(h);
    return h;
  }

  void Stop(QVNVR_HANDLE h) {
    EXPECT_EQ(QVNVR_ClientStop(h), 1);
    std::erase(handles_, h);
  }

  // The next `n` state values posted (code 1), skipping other codes; -1 for each that did not come.
  std::vector<int32_t> NextStates(size_t n, uint32_t timeout_ms = 5000) {
    std::vector<int32_t> states;
    while (states.size() < n) {
      auto m = sink_->WaitMessage(timeout_ms);
      if (!m) {
        states.push_back(-1);
        continue;
      }
      EXPECT_EQ(m->msg, kMessage);
      if (m->wparam == 1) states.push_back(m->lparam);
    }
    return states;
  }

  bool WaitForState(int32_t state, uint32_t timeout_ms = 5000) {
    for (int i = 0; i < 100; ++i) {
      auto m = sink_->WaitMessage(timeout_ms);
      if (!m) return false;
      if (m->wparam == 1 && m->lparam == state) return true;
    }
    return false;
  }

  std::shared_ptr<qvp::MemoryWindowSink> sink_;
  qvp::WindowHandle window_ = 0;
  std::vector<QVNVR_HANDLE> handles_;
};

TEST_F(NvrClientTest, RefusedPasswordOverTcpIsReportedAndRetriedForEver) {
  camsim::CameraOptions o = qvtest::SmallCamera();
  o.user = "admin";
  o.password = "right";
  camsim::Camera camera(o);
  std::string error;
  ASSERT_TRUE(camera.Start(&error)) << error;
  QVNVR_SetWaitTime(2, -1, 0);
  const QVNVR_HANDLE h = Start(camera.Port(), 1, "admin", "wrong");
  ASSERT_NE(h, 0u);
  EXPECT_EQ(NextStates(6), (std::vector<int32_t>{1, 6, 4, 1, 6, 4}));
  Stop(h);
}

TEST_F(NvrClientTest, TcpGivesUpWithStateTwoAndUdpReportsOnlyTheEnd) {
  const uint16_t port = qvtest::ClosedPort();
  QVNVR_SetWaitTime(1, 1, 0);
  const QVNVR_HANDLE tcp = Start(port, 1);
  ASSERT_NE(tcp, 0u);
  EXPECT_EQ(NextStates(4), (std::vector<int32_t>{1, 4, 1, 2}));
  EXPECT_TRUE(qvtest::PollUntil([&] { return QVNVR_GetClientState(tcp) == 2; }));
  Stop(tcp);

  const QVNVR_HANDLE udp = Start(port, 0);
  ASSERT_NE(udp, 0u);
  EXPECT_EQ(NextStates(2), (std::vector<int32_t>{4, 5}));
  Stop(udp);
}

TEST_F(NvrClientTest, StopDuringTheReconnectWaitPostsNothingMore) {
  QVNVR_SetWaitTime(1, -1, 5);
  const QVNVR_HANDLE h = Start(qvtest::ClosedPort(), 1);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(NextStates(1), (std::vector<int32_t>{1}));
  // The failed attempt is followed by a 5 s wait; stop well inside it.
  EXPECT_FALSE(sink_->WaitMessage(300).has_value());
  Stop(h);
  EXPECT_FALSE(sink_->WaitMessage(300).has_value());
}

TEST_F(NvrClientTest, RecordCallsRefuseARunningOrIdleRecording) {
  camsim::Camera camera(qvtest::SmallCamera());
  std::string error;
  ASSERT_TRUE(camera.Start(&error)) << error;
  qvtest::TempDir dir("qv_nvrclient");
  QVNVR_SetWaitTime(2, -1, 1);
  const QVNVR_HANDLE h = Start(camera.Port(), 1);
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(WaitForState(0));

  EXPECT_EQ(QVNVR_ClientStopRecord(h), 0);  // nothing runs yet
  EXPECT_EQ(QVNVR_ClientStartRecord(h, "", 0), 0);
  EXPECT_EQ(QVNVR_ClientStartRecord(h, dir.File("first.h264").c_str(), 0), 1);
  EXPECT_EQ(QVNVR_ClientStartRecord(h, dir.File("second.h264").c_str(), 0), 0);
  // The first recording goes on: it gathers key frames until it is stopped.
  ASSERT_TRUE(qvtest::PollUntil([&] { return std::filesystem::file_size(dir.File("first.h264")) > 20000; }, 8000));
  EXPECT_EQ(QVNVR_ClientStopRecord(h), 1);
  EXPECT_EQ(QVNVR_ClientStopRecord(h), 0);
  EXPECT_FALSE(std::filesystem::exists(dir.File("second.h264")));
  const qvtest::Recording r = qvtest::ReadRecording(dir.File("first.h264"));
  ASSERT_TRUE(r.ok);
  qvtest::ExpectIndexAtKeyFrames(r, 7);
  // The recording library leaves the picture size out of H.264 frame headers.
  for (const qvtest::RecordedFrame& f : r.frames) {
    EXPECT_EQ(f.header.width, 0);
    EXPECT_EQ(f.header.height, 0);
  }
  Stop(h);
}

// Sixteen cameras recorded at once for 30 seconds: every recording is, byte for byte, a
// contiguous part of what its camera sent, from the first key frame to the stop.
TEST_F(NvrClientTest, SixteenCamerasRecordedAtOnceLoseNothing) {
  constexpr int kCameras = 16;
  camsim::Simulator sim;
  std::string error;
  ASSERT_TRUE(sim.Start(qvtest::SmallCamera(), kCameras, &error)) << error;
  qvtest::TempDir dir("qv_nvrclient16");
  QVNVR_SetWaitTime(3, -1, 1);
  std::vector<QVNVR_HANDLE> clients;
  for (int i = 0; i < kCameras; ++i) {
    clients.push_back(Start(sim.At(i).Port(), 1));
    ASSERT_NE(clients.back(), 0u);
  }
  for (int i = 0; i < kCameras; ++i) {
    ASSERT_TRUE(qvtest::PollUntil([&] { return QVNVR_GetClientState(clients[i]) == 0; }, 10000)) << i;
    EXPECT_EQ(QVNVR_ClientStartRecord(clients[i], dir.File("cam" + std::to_string(i) + ".h264").c_str(), 0), 1);
  }
  std::this_thread::sleep_for(std::chrono::seconds(30));
  for (int i = 0; i < kCameras; ++i) EXPECT_EQ(QVNVR_ClientStopRecord(clients[i]), 1);

  for (int i = 0; i < kCameras; ++i) {
    const qvtest::Recording r = qvtest::ReadRecording(dir.File("cam" + std::to_string(i) + ".h264"));
    ASSERT_TRUE(r.ok) << i;
    EXPECT_EQ(r.origin, qvnet::IndexOrigin::kTail) << i;
    EXPECT_GE(r.index.size(), 25u) << i;  // a key frame a second or more
    const std::vector<camsim::SessionMedia> sent = sim.At(i).Media();
    ASSERT_FALSE(sent.empty());
    EXPECT_TRUE(qvtest::ContainsBytes(sent.back().video, r.VideoBytes())) << "camera " << i;
    EXPECT_TRUE(qvtest::ContainsBytes(sent.back().audio, r.AudioPayloads())) << "camera " << i;
  }
  for (QVNVR_HANDLE h : clients) Stop(h);
}

}  // namespace
