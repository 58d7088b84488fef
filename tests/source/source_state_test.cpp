// The connection loops of the UDP and TCP sources against the simulated camera: the exact
// state notifications of failed, lost and refused connections for both libraries' flavors,
// reconnection, and a Stop() that returns promptly whatever the source is doing.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/source/camera_fixture.h"

namespace qvnet {
namespace {

using qvtest::kTcp;
using qvtest::CountRequests;
using qvtest::kUdp;
using qvtest::NoteClient;

class SourceStateTest : public qvtest::SourceTest {};

TEST_F(SourceStateTest, UnreachableCameraGivesUpAfterTheRetries) {
  struct Case {
    const char* name;
    const StreamFlavor* flavor;
    int16_t transport;
    int retry;
    std::vector<int32_t> states;
    int32_t stored;
  };
  const Case cases[] = {
      {"udp retry 1", &kNetClientFlavor, kUdp, 1, {2, 4, 2, 5}, 2},
      {"udp retry 0", &kNetClientFlavor, kUdp, 0, {2, 5}, 2},
      {"tcp retry 1", &kNetClientFlavor, kTcp, 1, {1, 4, 1, 5}, 5},
      {"tcp retry 0", &kNetClientFlavor, kTcp, 0, {1, 5}, 5},
      {"recording library udp retry 1", &kNvrClientFlavor, kUdp, 1, {4, 5}, 2},
      {"recording library tcp retry 1", &kNvrClientFlavor, kTcp, 1, {1, 4, 1, 2}, 2},
  };
  const uint16_t port = qvtest::ClosedPort();
  ASSERT_NE(port, 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    context_.retry_count = c.retry;
    StartSource(port, c.transport, *c.flavor);
    ASSERT_TRUE(WaitForThreadEnd());
    EXPECT_EQ(client_->States(), c.states);
    EXPECT_EQ(client_->state.load(), c.stored);
    StopSource();
  }
}

TEST_F(SourceStateTest, ReconnectsWithoutLimitAfterOneSuccess) {
  for (int16_t transport : {kUdp, kTcp}) {
    SCOPED_TRACE(transport == kUdp ? "udp" : "tcp");
    camera_ = qvtest::StartCamera(qvtest::SmallCamera());
    context_.retry_count = 0;  // a failure before the first success would end the source
    StartSource(camera_->Port(), transport, kNetClientFlavor);
    ASSERT_TRUE(client_->WaitForNote({NOTIFY_STATE, 0}));
    for (size_t drop = 1; drop <= 3; ++drop) {
      ASSERT_GT(camera_->DropConnections(), 0);
      ASSERT_TRUE(client_->WaitForNote({NOTIFY_STATE, 0}, drop + 1)) << drop;
    }
    const std::vector<int32_t> expected = transport == kUdp
                                              ? std::vector<int32_t>{0, 3, 4, 0, 3, 4, 0, 3, 4, 0}
                                              : std::vector<int32_t>{1, 0, 3, 4, 1, 0, 3, 4, 1, 0, 3, 4, 1, 0};
    EXPECT_EQ(client_->States(), expected);
    EXPECT_EQ(client_->state.load(), kStateStreaming);
    StopSource();
    camera_.reset();
  }
}

TEST_F(SourceStateTest, UdpVideoPauseIsALossWithTeardownAndReconnect) {
  camera_ = qvtest::StartCamera(qvtest::SmallCamera());
  qvtest::TestMediaOutput media;
  StartSource(camera_->Port(), kUdp, kNetClientFlavor, &media);
  ASSERT_TRUE(client_->WaitForNote({NOTIFY_STATE, 0}));
  EXPECT_EQ(CountRequests(*camera_, "TEARDOWN"), 0u);
  camera_->PauseVideo(800);
  ASSERT_TRUE(client_->WaitForNote({NOTIFY_STATE, 0}, 2));
  const std::vector<int32_t> states = client_->States();
  ASSERT_GE(states.size(), 4u);
  EXPECT_EQ(std::vector<int32_t>(states.begin(), states.begin() + 4), (std::vector<int32_t>{0, 3, 4, 0}));
  EXPECT_GE(CountRequests(*camera_, "TEARDOWN"), 1u);
  // The display is started per connection and stopped before the next one.
  media.Locked([&] {
    EXPECT_GE(media.display_starts, 2);
    EXPECT_EQ(media.display_stops, media.display_starts - 1);
  });
  EXPECT_LT(StopSource(), 1500);
  EXPECT_EQ(media.display_stops, media.display_starts);
}

TEST_F(SourceStateTest, RecordingLibraryReportsARefusedPassword) {
  camsim::CameraOptions options = qvtest::SmallCamera();
  options.user = "admin";
  options.password = "right";
  camera_ = qvtest::StartCamera(options);
  user_ = "admin";
  password_ = "wrong";
  context_.retry_count = -1;
  StartSource(camera_->Port(), kTcp, kNvrClientFlavor);
  ASSERT_TRUE(client_->WaitForNote({NOTIFY_STATE, 4}, 2));
  const std::vector<int32_t> states = client_->States();
  EXPECT_EQ(std::vector<int32_t>(states.begin(), states.begin() + 6), (std::vector<int32_t>{1, 6, 4, 1, 6, 4}));
}

TEST_F(SourceStateTest, RecordingLibraryStopDuringTheReconnectWaitPostsNothingMore) {
  camsim::CameraOptions options = qvtest::SmallCamera();
  options.user = "admin";
  options.password = "right";
  camera_ = qvtest::StartCamera(options);
  user_ = "admin";
  password_ = "wrong";
  context_.retry_count = -1;
  context_.reconnect_interval_s = 30;
  for (int16_t transport : {kUdp, kTcp}) {
    SCOPED_TRACE(transport == kUdp ? "udp" : "tcp");
    StartSource(camera_->Port(), transport, kNvrClientFlavor);
    ASSERT_TRUE(client_->WaitForNote({NOTIFY_STATE, 6}));
    NoteClient* client = client_.get();
    EXPECT_LT(StopSource(), 1000);
    const std::vector<int32_t> expected = transport == kUdp ? std::vector<int32_t>{6} : std::vector<int32_t>{1, 6};
    EXPECT_EQ(client->States(), expected);
  }
}

TEST_F(SourceStateTest, StopReturnsPromptlyWhileConnectingAndWhileStreaming) {
  for (int16_t transport : {kUdp, kTcp}) {
    SCOPED_TRACE(transport == kUdp ? "udp" : "tcp");
    camera_ = qvtest::StartCamera(qvtest::SmallCamera());
    // Connecting: the camera holds every answer for 3 s.
    camera_->SetSlow(3000);
    StartSource(camera_->Port(), transport, kNetClientFlavor);
    ASSERT_TRUE(qvtest::PollUntil([&] { return CountRequests(*camera_, "DESCRIBE") > 0; }));
    NoteClient* client = client_.get();
    EXPECT_LT(StopSource(), 1000);
    for (int32_t s : client->States()) EXPECT_EQ(s, kStateConnecting);

    // Streaming: the camera sees TEARDOWN.
    camera_->SetSlow(0);
    StartSource(camera_->Port(), transport, kNetClientFlavor);
    ASSERT_TRUE(client_->WaitForNote({NOTIFY_STATE, 0}));
    client = client_.get();
    EXPECT_LT(StopSource(), 1500);
    EXPECT_TRUE(qvtest::PollUntil([&] { return CountRequests(*camera_, "TEARDOWN") == 1; }));
    EXPECT_EQ(client->States().back(), kStateStreaming);
    camera_.reset();
  }
}

}  // namespace
}  // namespace qvnet
