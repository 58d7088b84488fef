// MCTP commands and the event channel against the in-process camera simulator (and a canned
// peer for answers the simulator does not give), all on 127.0.0.1.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "netclient/stream/event_receiver.h"
#include "netclient/stream/mctp_commands.h"
#include "netclient/stream/rtsp_session.h"
#include "tests/rtsp/canned_peer.h"
#include "tests/rtsp/recording_client.h"
#include "tests/support/fake_clock.h"
#include "tests/support/poll.h"
#include "tools/camsim/camera.h"
#include "tests/support/camera_helpers.h"

namespace qvnet {
namespace {

using Note = qvtest::Note;

class MctpTest : public ::testing::Test {
 protected:
  void StartCamera(const camsim::CameraOptions& options = qvtest::SmallCamera()) {
    camera_ = std::make_unique<camsim::Camera>(options);
    std::string error;
    ASSERT_TRUE(camera_->Start(&error)) << error;
    client_ = std::make_unique<qvtest::RecordingClient>(context_, camera_->Port());
  }
  int KeepAlivesReceived() const {
    int count = 0;
    for (const camsim::RequestRecord& r : camera_->Requests()) count += r.text == "CMD:ALIVE MCTP/1.0 CS\nEND\n" ? 1 : 0;
    return count;
  }

  LibraryContext context_;
  std::unique_ptr<camsim::Camera> camera_;
  std::unique_ptr<qvtest::RecordingClient> client_;
};

TEST_F(MctpTest, EveryCommandAcceptedByTheCamera) {
  StartCamera();
  MDRegionTable table{};
  ASSERT_TRUE(GetMDInfo(*client_, &table));
  const camsim::CameraState fresh = camera_->State();
  EXPECT_EQ(table.value[5], fresh.md[5].value);
  EXPECT_EQ(table.rect[5][2], fresh.md[5].rect[2]);
  EXPECT_EQ(std::memcmp(&client_->motion.regions, &table, sizeof(table)), 0);

  table.value[2] = 99;
  table.rect[2][1] = 7;
  ASSERT_TRUE(SaveMDInfo(*client_, &table));
  EXPECT_EQ(camera_->State().md[2].value, 99);
  EXPECT_EQ(camera_->State().md[2].rect[1], 7);
  EXPECT_EQ(client_->motion.regions.value[2], 99);

  EXPECT_TRUE(StartMD(*client_));
  EXPECT_TRUE(client_->motion.enabled);
  EXPECT_TRUE(camera_->State().md_enabled);
  EXPECT_TRUE(StopMD(*client_));
  EXPECT_FALSE(client_->motion.enabled);
  EXPECT_TRUE(StopAlarm(*client_, 1));

  ASSERT_TRUE(SetVideoParam(*client_, 256 + 9, 20, 30, 1));
  uint8_t v1 = 0, v2 = 0, v3 = 0;
  ASSERT_TRUE(GetVideoParam(*client_, &v1, &v2, &v3));
  EXPECT_EQ(v1, 9);
  EXPECT_EQ(v2, 20);
  EXPECT_EQ(v3, 30);

  EXPECT_TRUE(PTZCtrl(*client_, 1, 2));
  std::optional<TalkChannel> talk = OpenTalkChannel(*client_);
  ASSERT_TRUE(talk.has_value());
  EXPECT_TRUE(talk->socket.IsValid());

  camera_->SetRefuseTalk(true);
  EXPECT_FALSE(OpenTalkChannel(*client_).has_value());
}

TEST_F(MctpTest, MalformedAnswersAreRejectedAndLeaveTheCache) {
  StartCamera();
  MDRegionTable before{};
  before.value[0] = 42;
  client_->motion.regions = before;
  for (camsim::McptFault fault : {camsim::McptFault::kWrongLineCount, camsim::McptFault::kGarbageNumbers}) {
    SCOPED_TRACE(static_cast<int>(fault));
    camera_->SetMctpFault(fault);
    MDRegionTable table{};
    EXPECT_FALSE(GetMDInfo(*client_, &table));
    EXPECT_FALSE(SaveMDInfo(*client_, &table));
    EXPECT_EQ(client_->motion.regions.value[0], 42);
    EXPECT_FALSE(StartMD(*client_));
    EXPECT_TRUE(client_->motion.enabled) << "set whatever the answer";
    EXPECT_FALSE(StopMD(*client_));
    EXPECT_FALSE(client_->motion.enabled);
    EXPECT_FALSE(StopAlarm(*client_, 1));
    EXPECT_FALSE(SetVideoParam(*client_, 1, 2, 3, 0));
    uint8_t v = 0;
    EXPECT_FALSE(GetVideoParam(*client_, &v, &v, &v));
    EXPECT_TRUE(PTZCtrl(*client_, 1, 2)) << "the PTZ answer is never read";
    EXPECT_FALSE(OpenTalkChannel(*client_).has_value());
  }
}

TEST_F(MctpTest, CannedAnswers) {
  LibraryContext context;
  {
    qvtest::CannedPeer peer({"CMD:MD MCTP/1.0 CS\n@3@0@0@0@0@0@0@0\nEND\n"});  // status 0
    qvtest::RecordingClient client(context, peer.Port());
    EXPECT_FALSE(StartMD(client));
    EXPECT_TRUE(client.motion.enabled);
    EXPECT_EQ(peer.Requests().at(0), "CMD:MD MCTP/1.0 CS\n@3@0@0@0@0@0@0@0\nEND\n");
  }
  {
    qvtest::CannedPeer peer({});  // closes without a word
    qvtest::RecordingClient client(context, peer.Port());
    EXPECT_TRUE(PTZCtrl(client, 3, 4));
    EXPECT_EQ(peer.Requests().at(0), "CMD:PTZ MCTP/1.0\n@0@3@4\nEND\n");
  }
  uint16_t closed_port = 0;
  {
    qvtest::CannedPeer gone({});
    closed_port = gone.Port();
  }
  qvtest::RecordingClient nobody(context, closed_port);
  EXPECT_FALSE(PTZCtrl(nobody, 3, 4)) << "no connection, no success";
}

// A playing RTSP session (its id is the event channel's credential) and a channel on it.
class EventChannelTest : public MctpTest {
 protected:
  void Connect() {
    session_ = std::make_unique<CRtspSession>(*client_);
    ASSERT_TRUE(session_->CreateSockets());
    ASSERT_EQ(session_->Setup(), CRtspSession::kSetupPlaying);
    receiver_ = std::make_unique<CEventReceiver2>(*client_, *session_);
    ASSERT_TRUE(receiver_->Register());
    ASSERT_EQ(receiver_->Start(), qvp::JThread::kStarted);
    ASSERT_TRUE(qvtest::PollUntil([&] { return camera_->EventChannels() == 1 && KeepAlivesReceived() == 1; }));
  }
  void TearDown() override {
    if (receiver_) receiver_->Stop();
  }

  // Waits until the running channel's loop has gone round `turns` more times.
  bool WaitForTurns(uint32_t turns) {
    const uint32_t until = receiver_->Turns() + turns;
    return qvtest::PollUntil([&] { return receiver_->Turns() >= until; });
  }

  std::unique_ptr<CRtspSession> session_;
  std::unique_ptr<CEventReceiver2> receiver_;
};

TEST_F(EventChannelTest, MotionAndAlarmBecomeNotifications) {
  StartCamera();
  Connect();
  ASSERT_EQ(camera_->PushMotion(8), 1);
  ASSERT_TRUE(client_->WaitForNotes(1));
  ASSERT_EQ(camera_->PushAlarm(5), 1);
  ASSERT_TRUE(client_->WaitForNotes(2));
  EXPECT_EQ(client_->Notes(), (std::vector<Note>{{NOTIFY_MOTION, 8}, {NOTIFY_ALARM, 5}}));
  const camsim::MdRegion r3 = camera_->State().md[3];
  EXPECT_EQ(client_->motion.regions.rect[3][0], r3.rect[0]);
  EXPECT_EQ(client_->motion.regions.rect[3][3], r3.rect[3]);
}

TEST_F(EventChannelTest, SilentCameraKeepsTheChannelAndGetsKeepAlivesEveryTenSeconds) {
  qvtest::FakeClock clock(5000);
  context_.event_recv_timeout_ms = 20;  // the loop's pace (1 s in the field)
  camsim::CameraOptions o = qvtest::SmallCamera();
  o.silent = true;
  StartCamera(o);
  Connect();
  // Two receive time-outs pass without an answer: the channel stays.
  EXPECT_TRUE(WaitForTurns(2));
  EXPECT_TRUE(receiver_->IsRunning());
  EXPECT_EQ(KeepAlivesReceived(), 1);
  clock.Advance(9999);
  EXPECT_TRUE(WaitForTurns(2));  // a whole turn that began after the clock moved
  EXPECT_EQ(KeepAlivesReceived(), 1) << "not before more than 9999 ms";
  clock.Advance(1);
  EXPECT_TRUE(qvtest::PollUntil([&] { return KeepAlivesReceived() == 2; }));
  ASSERT_EQ(camera_->PushMotion(1), 1);
  EXPECT_TRUE(client_->WaitForNotes(1));
}

TEST_F(EventChannelTest, OverlongMessageIsDroppedAndTheChannelGoesOn) {
  StartCamera();
  Connect();
  // The first 4096 bytes of the channel are all flood: they fill the buffer and are dropped
  // whole, whatever the receives' sizes; the report behind the flood's tail is read.
  ASSERT_EQ(camera_->FloodEvents(), 1);
  ASSERT_EQ(camera_->PushMotion(2), 1);
  ASSERT_TRUE(client_->WaitForNotes(1));
  EXPECT_EQ(client_->Notes(), (std::vector<Note>{{NOTIFY_MOTION, 2}}));
  EXPECT_TRUE(receiver_->IsRunning());
}

TEST_F(EventChannelTest, MalformedAlarmOrClosedConnectionEndsTheChannelSilently) {
  StartCamera();
  Connect();
  ASSERT_EQ(camera_->SendRawEvent("CMD:ALARM MCTP/1.0 CS\n@2@5\n@1\nEND\n"), 1);
  EXPECT_TRUE(qvtest::PollUntil([&] { return !receiver_->IsRunning(); }));
  EXPECT_TRUE(client_->Notes().empty());

  // Registered again, then the camera goes away: the thread ends instead of spinning.
  ASSERT_TRUE(receiver_->Register());
  ASSERT_EQ(receiver_->Start(), qvp::JThread::kStarted);
  camera_->Stop();
  EXPECT_TRUE(qvtest::PollUntil([&] { return !receiver_->IsRunning(); }));
}

TEST_F(EventChannelTest, RegistrationWithoutAPlayingSessionIsRefused) {
  StartCamera();
  CRtspSession idle(*client_);
  CEventReceiver2 receiver(*client_, idle);
  EXPECT_FALSE(receiver.Register());
}

// A camera that takes the registration but never answers it would hold a stopping source for
// the whole 10 s receive time-out; Abort() from the stopping thread cuts it short.
TEST(EventRegistrationTest, AbortCutsAWaitingRegistrationShort) {
  qvtest::CannedPeer silent({}, 0, 1, /*hold=*/true);
  LibraryContext context;
  qvtest::RecordingClient client(context, silent.Port());
  CRtspSession session(client);
  CEventReceiver2 receiver(client, session);
  std::thread stopper([&] {
    ASSERT_TRUE(qvtest::PollUntil([&] { return !silent.Requests().empty(); }));
    receiver.Abort();
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(receiver.Register());
  stopper.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

}  // namespace
}  // namespace qvnet
