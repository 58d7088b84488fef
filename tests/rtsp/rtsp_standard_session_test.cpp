// CRtspSession in standard mode (an rtsp:// address) against the in-process camera simulator
// and canned peers on 127.0.0.1: the requests a server gets, controls resolved against the
// base, session ids of any shape, Basic and Digest from the URL's credentials, one-track
// streams and keep-alive requests.
#include <gtest/gtest.h>

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
#include "tests/support/camera_helpers.h"
#include "tools/camsim/camera.h"

namespace qvnet {
namespace {

using qvtest::RtspRequests;
using qvtest::WaitForRequests;

class StandardSessionTest : public ::testing::Test {
 protected:
  CRtspSession::SetupResult RunSetup(uint16_t port, const std::string& url, int16_t transport) {
    client_ = std::make_unique<qvtest::RecordingClient>(context_, port, transport);
    EXPECT_TRUE(ParseClientAddress(url.c_str(), url.size() + 1, &client_->address)) << url;
    session_ = std::make_unique<CRtspSession>(*client_);
    if (!session_->CreateSockets()) return CRtspSession::kSetupFailed;
    return session_->Setup();
  }
  static std::string Url(const camsim::Camera& camera, const std::string& userinfo = {}) {
    return "rtsp://" + userinfo + "127.0.0.1:" + std::to_string(camera.Port()) + "/0";
  }

  LibraryContext context_;
  std::unique_ptr<qvtest::RecordingClient> client_;
  std::unique_ptr<CRtspSession> session_;
};

TEST_F(StandardSessionTest, RequestsNameTheResolvedControlsAndAnySessionId) {
  camsim::CameraOptions o = qvtest::SmallCamera();
  o.text_session_id = true;
  o.server_header = camsim::ServerHeader::kOmit;
  auto camera = qvtest::StartCamera(o);
  const std::string url = Url(*camera);
  ASSERT_EQ(RunSetup(camera->Port(), url, 1), CRtspSession::kSetupPlaying);
  const std::string session = session_->SessionId();
  EXPECT_EQ(session.rfind("QvS-", 0), 0u) << session;
  EXPECT_TRUE(session_->TearDownTcp());

  const std::string ua = "User-Agent: Quorvalenta Client\r\n\r\n";
  const std::vector<std::string> expected = {
      "DESCRIBE " + url + " RTSP/1.0\r\nCSeq: 1\r\nAccept: application/sdp\r\n" + ua,
      "SETUP " + url + "/trackID=0 RTSP/1.0\r\nCSeq: 2\r\nTransport: RTP/AVP/TCP;unicast;interleaved=0-1\r\n" + ua,
      "SETUP " + url + "/trackID=1 RTSP/1.0\r\nCSeq: 3\r\nTransport: RTP/AVP/TCP;unicast;interleaved=2-3\r\nSession: " +
          session + "\r\n" + ua,
      "PLAY " + url + "/ RTSP/1.0\r\nCSeq: 4\r\nSession: " + session + "\r\nRange: npt=0.000-\r\n" + ua,
      "TEARDOWN " + url + "/ RTSP/1.0\r\nCSeq: 5\r\nSession: " + session + "\r\n" + ua,
  };
  EXPECT_EQ(WaitForRequests(*camera, expected.size()), expected);
  // Without the vendor's Server line the picture comes from the description's SPS.
  EXPECT_EQ(client_->width, 176);
  EXPECT_EQ(client_->height, 144);
  EXPECT_EQ(client_->frame_rate, 10);
  EXPECT_EQ(client_->audio_codec, 1);
  EXPECT_EQ(session_->VideoChannel(), 0);
  EXPECT_EQ(session_->AudioChannel(), 2);
}

TEST_F(StandardSessionTest, DigestWithTheUrlsCredentials) {
  camsim::CameraOptions o = qvtest::SmallCamera();
  o.user = "ad min";
  o.password = "p@ss:word";
  auto camera = qvtest::StartCamera(o);
  const std::string url = Url(*camera);
  ASSERT_EQ(RunSetup(camera->Port(), Url(*camera, "ad%20min:p%40ss%3Aword@"), 0), CRtspSession::kSetupPlaying);
  EXPECT_TRUE(session_->Authenticated());
  const std::vector<std::string> requests = WaitForRequests(*camera, 5);
  ASSERT_GE(requests.size(), 5u);
  EXPECT_EQ(requests[0].find("Authorization"), std::string::npos);
  // The credentials never travel in the request line.
  for (const std::string& r : requests) EXPECT_EQ(r.find("p%40ss"), std::string::npos) << r;
  EXPECT_NE(requests[1].find("Authorization: Digest username=\"ad min\""), std::string::npos) << requests[1];
  EXPECT_NE(requests[2].find("uri=\"" + url + "/trackID=0\""), std::string::npos) << requests[2];

  EXPECT_EQ(RunSetup(camera->Port(), Url(*camera, "ad%20min:wrong@"), 1), CRtspSession::kSetupRefused);
  EXPECT_EQ(RunSetup(camera->Port(), url, 1), CRtspSession::kSetupRefused) << "no credentials to give";
}

TEST_F(StandardSessionTest, OneTrackStreamsPlayWithoutAudio) {
  camsim::CameraOptions o = qvtest::SmallCamera();
  o.audio = camsim::AudioCodec::kNone;
  auto camera = qvtest::StartCamera(o);
  ASSERT_EQ(RunSetup(camera->Port(), Url(*camera), 0), CRtspSession::kSetupPlaying);
  EXPECT_FALSE(session_->HasAudio());
  EXPECT_EQ(client_->audio_codec, 0);
  const std::vector<std::string> requests = WaitForRequests(*camera, 3);
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[2].rfind("PLAY ", 0), 0u);
}

// Keep-alive requests go to the aggregate URL within the session; a server without
// GET_PARAMETER gets OPTIONS from then on.
TEST_F(StandardSessionTest, KeepAliveFallsBackToOptions) {
  for (bool refuse : {false, true}) {
    SCOPED_TRACE(refuse ? "no GET_PARAMETER" : "GET_PARAMETER");
    camsim::CameraOptions o = qvtest::SmallCamera();
    o.session_timeout = true;
    o.session_timeout_s = 8;
    o.refuse_get_parameter = refuse;
    auto camera = qvtest::StartCamera(o);
    ASSERT_EQ(RunSetup(camera->Port(), Url(*camera), 0), CRtspSession::kSetupPlaying);
    EXPECT_EQ(session_->KeepAliveIntervalMs(), 4000u);
    ASSERT_TRUE(session_->KeepAlive());
    ASSERT_TRUE(session_->KeepAlive());
    const std::vector<std::string> requests = WaitForRequests(*camera, 6);
    ASSERT_EQ(requests.size(), 6u);
    const std::string session = "Session: " + session_->SessionId() + "\r\n";
    EXPECT_EQ(requests[4].rfind("GET_PARAMETER " + Url(*camera) + "/ RTSP/1.0", 0), 0u) << requests[4];
    EXPECT_NE(requests[4].find(session), std::string::npos);
    EXPECT_EQ(requests[5].rfind(refuse ? "OPTIONS " : "GET_PARAMETER ", 0), 0u) << requests[5];
    EXPECT_NE(requests[5].find(session), std::string::npos);
  }
}

// Bad answers from a server: each fails the set-up cleanly.
TEST_F(StandardSessionTest, UnusableDescriptionsFail) {
  const std::string ok = "RTSP/1.0 200 OK\r\nCSeq: 1\r\nContent-Type: application/sdp\r\n";
  auto described = [&](const std::string& sdp) {
    return ok + "Content-Length: " + std::to_string(sdp.size()) + "\r\n\r\n" + sdp;
  };
  const std::vector<std::string> answers = {
      described("v=0\r\nm=video 0 RTP/AVP 96\r\na=rtpmap:96 H265/90000\r\n"),  // nothing we record
      described("not a description"),
      ok + "\r\n",                                                              // no body at all
      "RTSP/1.0 401 Unauthorized\r\nCSeq: 1\r\nWWW-Authenticate: Negotiate\r\n\r\n",
      ok + "Content-Length: 99999999\r\n\r\n",
  };
  for (const std::string& answer : answers) {
    qvtest::CannedPeer peer({answer});
    const CRtspSession::SetupResult r = RunSetup(peer.Port(), "rtsp://127.0.0.1:" + std::to_string(peer.Port()) + "/x", 1);
    EXPECT_NE(r, CRtspSession::kSetupPlaying) << answer;
    ASSERT_EQ(peer.Requests().size(), 1u);
    EXPECT_EQ(peer.Requests()[0].rfind("DESCRIBE rtsp://127.0.0.1:", 0), 0u);
  }
}

}  // namespace
}  // namespace qvnet
