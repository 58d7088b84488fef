// A simulated camera on 127.0.0.1 and a stream source connected to it, with the short
// reconnect steps and loss time-out that keep every test within a few seconds.
#pragma once

#include <gtest/gtest.h>

#include <netinet/in.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "netclient/stream/av_source_tcp.h"
#include "netclient/stream/av_source_udp.h"
#include "platform/socket.h"
#include "tests/source/source_test_support.h"
#include "tools/camsim/camera.h"
#include "tests/support/camera_helpers.h"

namespace qvtest {

inline constexpr int16_t kUdp = 0;
inline constexpr int16_t kTcp = 1;

inline size_t CountRequests(const camsim::Camera& camera, const std::string& method) {
  size_t n = 0;
  for (const camsim::RequestRecord& r : camera.Requests()) {
    if (r.protocol == "RTSP" && r.text.rfind(method, 0) == 0) ++n;
  }
  return n;
}

inline int64_t MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

class SourceTest : public ::testing::Test {
 protected:
  SourceTest() {
    context_.connect_timeout_s = 2;
    context_.reconnect_interval_s = 1;
    context_.reconnect_step_ms = 10;  // 10 steps of 10 ms: a 100 ms wait
    context_.udp_loss_timeout_ms = 400;
  }
  ~SourceTest() override { StopSource(); }

  // Makes the client and its source and starts the source thread.
  void StartSource(uint16_t port, int16_t transport, const qvnet::StreamFlavor& flavor,
                   qvnet::MediaOutput* media = nullptr) {
    client_ = std::make_unique<NoteClient>(context_, flavor, port, transport);
    client_->user = user_;
    client_->password = password_;
    if (transport == kUdp) {
      source_ = std::make_unique<qvnet::CAVSource_RTSP_UDP>(*client_, media);
    } else {
      source_ = std::make_unique<qvnet::CAVSource_RTSP_TCP>(*client_, media);
    }
    ASSERT_TRUE(source_->Create());
    ASSERT_EQ(source_->Start(), qvp::JThread::kStarted);
  }

  // Stops the source as the application does; returns how long Stop() took in ms.
  int64_t StopSource() {
    if (source_ == nullptr) return 0;
    const auto start = std::chrono::steady_clock::now();
    client_->stopping = true;
    source_->Stop();
    const int64_t took = MsSince(start);
    EXPECT_FALSE(source_->IsRunning());
    source_->Release();
    source_.reset();
    return took;
  }

  bool WaitForThreadEnd(int timeout_ms = 5000) {
    return PollUntil([&] { return !source_->IsRunning(); }, timeout_ms);
  }

  qvnet::LibraryContext context_;
  std::unique_ptr<camsim::Camera> camera_;
  std::string user_;
  std::string password_;
  std::unique_ptr<NoteClient> client_;
  std::unique_ptr<qvnet::CAVSource> source_;
};

}  // namespace qvtest
