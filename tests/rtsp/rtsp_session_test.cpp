// CRtspSession against the in-process camera simulator on 127.0.0.1: the exact requests the
// camera received, Digest, UDP ports, and what the session takes from the answers.
#include <gtest/gtest.h>

#include <netinet/in.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "netclient/stream/rtsp_session.h"
#include "platform/md5.h"
#include "tests/rtsp/camera_requests.h"
#include "tests/rtsp/canned_peer.h"
#include "tests/rtsp/recording_client.h"
#include "tools/camsim/camera.h"
#include "tests/support/camera_helpers.h"

namespace qvnet {
namespace {

using qvtest::RtspRequests;
using qvtest::WaitForRequests;

std::string QuotedAfter(const std::string& text, const std::string& key) {
  const size_t start = text.find(key + "=\"");
  if (start == std::string::npos) return {};
  const size_t from = start + key.size() + 2;
  return text.substr(from, text.find('"', from) - from);
}

// The response the camera must have received, computed independently of the session code.
std::string ExpectedResponse(const std::string& user, const std::string& password, const std::string& realm,
                             const std::string& nonce, const std::string& method, const std::string& uri) {
  const std::string ha1 = qvp::Md5Hex(user + ":" + realm + ":" + password);
  const std::string ha2 = qvp::Md5Hex(method + ":" + uri);
  return qvp::Md5Hex(ha1 + ":" + nonce + ":" + ha2);
}

class RtspSessionTest : public ::testing::Test {
 protected:
  CRtspSession::SetupResult RunSetup(camsim::Camera& camera, int16_t transport, const std::string& user = {},
                                     const std::string& password = {}) {
    client_ = std::make_unique<qvtest::RecordingClient>(context_, camera.Port(), transport);
    client_->user = user;
    client_->password = password;
    session_ = std::make_unique<CRtspSession>(*client_);
    if (!session_->CreateSockets()) return CRtspSession::kSetupFailed;
    return session_->Setup();
  }
  std::string Uri() const { return "rtsp://127.0.0.1:" + std::to_string(client_->address.port) + "/0"; }

  LibraryContext context_;
  std::unique_ptr<qvtest::RecordingClient> client_;
  std::unique_ptr<CRtspSession> session_;
};

TEST_F(RtspSessionTest, TcpWithoutChallengeSendsExactTextsAndTakesTheDescription) {
  auto camera = qvtest::StartCamera(qvtest::SmallCamera());
  ASSERT_EQ(RunSetup(*camera, 1), CRtspSession::kSetupPlaying);
  const std::string session = session_->SessionId();
  ASSERT_FALSE(session.empty());
  EXPECT_EQ(session.find_first_not_of("0123456789"), std::string::npos);
  EXPECT_TRUE(session_->TearDownTcp());

  const std::string ua = "User-Agent: Quorvalenta Client\r\n\r\n";
  const std::vector<std::string> expected = {
      "DESCRIBE " + Uri() + " RTSP/1.0\r\nCSeq: 1\r\nAccept: application/sdp\r\n" + ua,
      "SETUP " + Uri() + "/trackID=0 RTSP/1.0\r\nCSeq: 2\r\nTransport: RTP/AVP/TCP;unicast;interleaved=0-1\r\n" + ua,
      "SETUP " + Uri() + "/trackID=1 RTSP/1.0\r\nCSeq: 3\r\nSession: " + session +
          "\r\nTransport: RTP/AVP/TCP;unicast;interleaved=2-3\r\n" + ua,
      "PLAY " + Uri() + " RTSP/1.0\r\nCSeq: 4\r\nSession: " + session + "\r\nRang: npt=0.000-\r\n" + ua,
      "TEARDOWN " + Uri() + " RTSP/1.0\r\nCSeq: 5\r\nSession: " + session + "\r\n" + ua,
  };
  EXPECT_EQ(WaitForRequests(*camera, expected.size()), expected);
  EXPECT_FALSE(session_->Authenticated());

  EXPECT_EQ(client_->width, 176);
  EXPECT_EQ(client_->height, 144);
  EXPECT_EQ(client_->frame_rate, 10);
  EXPECT_EQ(client_->bit_rate, 256 * 1024);
  EXPECT_EQ(client_->video_payload_type, kPayloadTypeH264);
  EXPECT_EQ(client_->audio_codec, 1);  // PCMA
}

TEST_F(RtspSessionTest, DigestOnEveryRequestAfterTheChallengeOverUdp) {
  camsim::CameraOptions o = qvtest::SmallCamera();
  o.user = "admin";
  o.password = "s3cret";
  auto camera = qvtest::StartCamera(o);
  ASSERT_EQ(RunSetup(*camera, 0, "admin", "s3cret"), CRtspSession::kSetupPlaying);
  ASSERT_TRUE(session_->SetTimeouts(500, 500));
  EXPECT_TRUE(session_->TearDown());

  const std::vector<std::string> requests = WaitForRequests(*camera, 6);
  ASSERT_EQ(requests.size(), 6u);
  EXPECT_EQ(requests[0].find("Authorization"), std::string::npos);
  const std::string nonce = QuotedAfter(requests[1], "nonce");
  ASSERT_FALSE(nonce.empty());
  const char* methods[] = {"DESCRIBE", "SETUP", "SETUP", "PLAY", "TEARDOWN"};
  for (size_t i = 1; i < requests.size(); ++i) {
    const std::string method = methods[i - 1];
    const std::string line = "Authorization: Digest username=\"admin\", realm=\"" + o.realm + "\", nonce=\"" + nonce +
                             "\", uri=\"" + Uri() + "\", response=\"" +
                             ExpectedResponse("admin", "s3cret", o.realm, nonce, method, Uri()) + "\"\r\n";
    EXPECT_EQ(requests[i].rfind(method + " ", 0), 0u) << requests[i];
    EXPECT_NE(requests[i].find(line), std::string::npos) << requests[i];
    EXPECT_NE(requests[i].find("CSeq: " + std::to_string(i + 1) + "\r\n"), std::string::npos);
  }
  const uint16_t vport = session_->VideoClientPort();
  EXPECT_NE(requests[2].find("client_port=" + std::to_string(vport) + "-" + std::to_string(vport + 1)),
            std::string::npos);
}

TEST_F(RtspSessionTest, RefusedAccountIsReportedApartFromFailures) {
  camsim::CameraOptions o = qvtest::SmallCamera();
  o.user = "admin";
  o.password = "right";
  auto camera = qvtest::StartCamera(o);
  EXPECT_EQ(RunSetup(*camera, 1, "admin", "wrong"), CRtspSession::kSetupRefused);
  EXPECT_EQ(WaitForRequests(*camera, 2).size(), 2u) << "one challenge only";

  camera->SetRefuseAuth(camsim::RefuseAuth::k403);
  EXPECT_EQ(RunSetup(*camera, 1, "admin", "right"), CRtspSession::kSetupRefused);

  // A peer that closes without answering: an ordinary failure.
  CRtspSession::SetupResult result = CRtspSession::kSetupPlaying;
  {
    qvtest::CannedPeer closed({});
    client_ = std::make_unique<qvtest::RecordingClient>(context_, closed.Port(), 1);
    session_ = std::make_unique<CRtspSession>(*client_);
    ASSERT_TRUE(session_->CreateSockets());
    result = session_->Setup();
  }
  EXPECT_EQ(result, CRtspSession::kSetupFailed);
}

TEST_F(RtspSessionTest, UdpPortsFallBackWhenTaken) {
  in_addr any{};
  any.s_addr = htonl(INADDR_ANY);
  // Taken by us, or already by someone else: either way not free for the session.
  qvp::Socket video_blocker = qvp::OpenUdp(any, CRtspSession::kVideoBasePort);
  qvp::Socket audio_blocker = qvp::OpenUdp(any, CRtspSession::kAudioBasePort);
  auto camera = qvtest::StartCamera(qvtest::SmallCamera());
  ASSERT_EQ(RunSetup(*camera, 0), CRtspSession::kSetupPlaying);
  const uint16_t vport = session_->VideoClientPort();
  const uint16_t aport = session_->AudioClientPort();
  EXPECT_GT(vport, CRtspSession::kVideoBasePort);
  EXPECT_GT(aport, CRtspSession::kAudioBasePort);
  EXPECT_EQ(vport % 2, 0);
  EXPECT_EQ(aport % 2, 0);
  EXPECT_EQ(qvp::LocalPort(*session_->VideoSocket()), vport);
  EXPECT_EQ(qvp::LocalPort(*session_->AudioSocket()), aport);
}

TEST_F(RtspSessionTest, SessionIdWithTimeoutParameterKeepsTheDigits) {
  camsim::CameraOptions o = qvtest::SmallCamera();
  o.session_timeout = true;
  auto camera = qvtest::StartCamera(o);
  ASSERT_EQ(RunSetup(*camera, 1), CRtspSession::kSetupPlaying);
  const std::string id = session_->SessionId();
  ASSERT_FALSE(id.empty());
  EXPECT_EQ(id.find_first_not_of("0123456789"), std::string::npos) << id;
  EXPECT_NE(WaitForRequests(*camera, 4).at(3).find("Session: " + id + "\r\n"), std::string::npos);
}

TEST_F(RtspSessionTest, ServerLineMissingOrGarbledKeepsPreviousParameters) {
  struct Case {
    camsim::ServerHeader header;
    const char* text;
  };
  const Case cases[] = {{camsim::ServerHeader::kOmit, ""},
                        {camsim::ServerHeader::kCustom, "704*99999999999*25*512"}};
  for (const Case& c : cases) {
    camsim::CameraOptions o = qvtest::SmallCamera();
    o.server_header = c.header;
    o.server_header_text = c.text;
    auto camera = qvtest::StartCamera(o);
    ASSERT_EQ(RunSetup(*camera, 1), CRtspSession::kSetupPlaying) << c.text;
    EXPECT_EQ(client_->width, 720) << c.text;
    EXPECT_EQ(client_->height, 576) << c.text;
    EXPECT_EQ(client_->frame_rate, 25) << c.text;
    EXPECT_EQ(client_->bit_rate, 512) << c.text;
  }
}

TEST_F(RtspSessionTest, DescriptionWithOneTrackFailsBeforeAnySetup) {
  camsim::CameraOptions o = qvtest::SmallCamera();
  o.audio_without_control = true;
  auto camera = qvtest::StartCamera(o);
  EXPECT_EQ(RunSetup(*camera, 1), CRtspSession::kSetupFailed);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(RtspRequests(*camera).size(), 1u);
}

// Answers are read whole however TCP cuts them: status line, header and description arrive
// 20 ms apart, and the camera still gets exactly the requests it always got.
TEST_F(RtspSessionTest, AnswersSplitOverSegmentsAreReadWhole) {
  camsim::CameraOptions o = qvtest::SmallCamera();
  o.split_answers = true;
  auto camera = qvtest::StartCamera(o);
  ASSERT_EQ(RunSetup(*camera, 1), CRtspSession::kSetupPlaying);
  const std::string session = session_->SessionId();
  const std::vector<std::string> requests = WaitForRequests(*camera, 4);
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[3], "PLAY " + Uri() + " RTSP/1.0\r\nCSeq: 4\r\nSession: " + session +
                             "\r\nRang: npt=0.000-\r\nUser-Agent: Quorvalenta Client\r\n\r\n");
  EXPECT_EQ(client_->width, 176);
  EXPECT_EQ(client_->audio_codec, 1);

  // A header that promises a body the peer never sends is no answer.
  qvtest::CannedPeer cut({"RTSP/1.0 200 OK\r\nCSeq: 1\r\nContent-Length: 100\r\n\r\nv=0\r\n"}, 0);
  client_ = std::make_unique<qvtest::RecordingClient>(context_, cut.Port(), 1);
  session_ = std::make_unique<CRtspSession>(*client_);
  ASSERT_TRUE(session_->CreateSockets());
  EXPECT_EQ(session_->Setup(), CRtspSession::kSetupFailed);
}

TEST_F(RtspSessionTest, CloseAllWakesASetUpWaitingForAnAnswer) {
  qvtest::CannedPeer silent({}, 0, 1, true);
  client_ = std::make_unique<qvtest::RecordingClient>(context_, silent.Port(), 1);
  session_ = std::make_unique<CRtspSession>(*client_);
  ASSERT_TRUE(session_->CreateSockets());
  const auto start = std::chrono::steady_clock::now();
  std::thread stopper([&] {
    // Once the DESCRIBE is out, the set-up sits in its receive (5 s time-out).
    for (int i = 0; i < 300 && silent.Requests().empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    session_->CloseAll();
  });
  EXPECT_EQ(session_->Setup(), CRtspSession::kSetupFailed);
  stopper.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4000)) << "woken, not timed out";
  EXPECT_EQ(session_->ControlSocket(), nullptr);
}

TEST_F(RtspSessionTest, ClosedSessionRefusesTeardownAndTimeouts) {
  client_ = std::make_unique<qvtest::RecordingClient>(context_, 9, 0);
  session_ = std::make_unique<CRtspSession>(*client_);
  EXPECT_FALSE(session_->TearDown());
  EXPECT_FALSE(session_->SetTimeouts(500, 500));
  ASSERT_TRUE(session_->CreateSockets());
  ASSERT_NE(session_->VideoSocket(), nullptr);
  session_->CloseMediaSockets();
  EXPECT_EQ(session_->VideoSocket(), nullptr);
  EXPECT_EQ(session_->AudioSocket(), nullptr);
  EXPECT_TRUE(session_->SetTimeouts(500, 500));
  session_->CloseAll();
  EXPECT_FALSE(session_->TearDownTcp());
}

}  // namespace
}  // namespace qvnet
