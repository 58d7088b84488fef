// The simulator's RTSP side as the recorder's client and standard clients see it: the
// fixed client dialect with Digest, interleaved and UDP RTP, the JPEG dialect, ffprobe.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "tests/camsim/test_socket.h"
#include "tools/camsim/camera.h"
#include "tests/support/camera_helpers.h"

namespace {

using camsim_test::Md5;
using camsim_test::QuotedAfter;
using camsim_test::TestSocket;

camsim::CameraOptions SmallCamera() {
  camsim::CameraOptions o = qvtest::SmallCamera();
  o.mtu = 600;  // small, so that IDR pictures travel as FU-A fragments
  return o;
}

// The recorder's client: fixed request texts, RFC 2069 Digest over the base URI.
struct DialectClient {
  explicit DialectClient(uint16_t port)
      : socket(port), uri("rtsp://127.0.0.1:" + std::to_string(port) + "/0") {}

  std::string Authorization(const std::string& method) const {
    if (realm.empty()) return {};
    const std::string ha1 = Md5(user + ":" + realm + ":" + password);
    const std::string ha2 = Md5(method + ":" + uri);
    return "Authorization: Digest username=\"" + user + "\", realm=\"" + realm + "\", nonce=\"" + nonce +
           "\", uri=\"" + uri + "\", response=\"" + Md5(ha1 + ":" + nonce + ":" + ha2) + "\"\r\n";
  }
  std::string Describe() {
    return Exchange("DESCRIBE " + uri + " RTSP/1.0\r\nCSeq: " + std::to_string(cseq++) +
                    "\r\nAccept: application/sdp\r\n" + Authorization("DESCRIBE") +
                    "User-Agent: Quorvalenta Client\r\n\r\n");
  }
  std::string Setup(char track, const std::string& transport) {
    const std::string session_line = session.empty() ? "" : "Session: " + session + "\r\n";
    const std::string answer = Exchange("SETUP " + uri + "/trackID=" + track + " RTSP/1.0\r\nCSeq: " +
                                        std::to_string(cseq++) + "\r\n" + session_line + "Transport: " + transport +
                                        "\r\n" + Authorization("SETUP") + "User-Agent: Quorvalenta Client\r\n\r\n");
    const size_t pos = answer.find("Session: ");
    if (pos != std::string::npos) {
      session = answer.substr(pos + 9, answer.find_first_not_of("0123456789", pos + 9) - pos - 9);
    }
    return answer;
  }
  std::string Play() {
    return Exchange("PLAY " + uri + " RTSP/1.0\r\nCSeq: " + std::to_string(cseq++) + "\r\nSession: " + session +
                    "\r\n" + Authorization("PLAY") + "Rang: npt=0.000-\r\nUser-Agent: Quorvalenta Client\r\n\r\n");
  }
  void Teardown() {
    socket.Send("TEARDOWN " + uri + " RTSP/1.0\r\nCSeq: " + std::to_string(cseq++) + "\r\nSession: " + session +
                "\r\n" + Authorization("TEARDOWN") + "User-Agent: Quorvalenta Client\r\n\r\n");
  }
  std::string Exchange(const std::string& request) {
    EXPECT_TRUE(socket.Send(request));
    return socket.RecvOnce();
  }
  void TakeChallenge(const std::string& answer) {
    realm = QuotedAfter(answer, "realm=");
    nonce = QuotedAfter(answer, "nonce=");
  }

  TestSocket socket;
  std::string uri;
  int cseq = 1;
  std::string user = "admin", password = "secret", realm, nonce, session;
};

// Rebuilds NAL units from RTP as a recorder does: 00 00 01 + single NAL unit, FU-A joined.
void AppendH264(const std::vector<uint8_t>& packet, std::vector<uint8_t>* annexb) {
  ASSERT_GE(packet.size(), 14u);
  const uint8_t b0 = packet[12];
  const uint8_t type = b0 & 31;
  if (type >= 1 && type <= 23) {
    annexb->insert(annexb->end(), {0, 0, 1});
    annexb->insert(annexb->end(), packet.begin() + 12, packet.end());
    return;
  }
  ASSERT_EQ(type, 28) << "only single NAL unit packets and FU-A are expected";
  const uint8_t b1 = packet[13];
  if (b1 & 0x80) annexb->insert(annexb->end(), {0, 0, 1, static_cast<uint8_t>((b0 & 0xE0) | (b1 & 31))});
  annexb->insert(annexb->end(), packet.begin() + 14, packet.end());
}

uint32_t Timestamp(const std::vector<uint8_t>& p) {
  return static_cast<uint32_t>(p[4]) << 24 | p[5] << 16 | p[6] << 8 | p[7];
}

TEST(CamsimRtsp, DigestDialectGetsInterleavedH264ThatMatchesTheLog) {
  camsim::CameraOptions options = SmallCamera();
  options.user = "admin";
  options.password = "secret";
  auto camera = qvtest::StartCamera(options);
  DialectClient client(camera->Port());
  ASSERT_TRUE(client.socket.ok());

  const std::string challenge = client.Describe();
  ASSERT_NE(challenge.find("401 Unauthorized"), std::string::npos) << challenge;
  ASSERT_NE(challenge.find("WWW-Authenticate: Digest "), std::string::npos);
  client.TakeChallenge(challenge);
  ASSERT_FALSE(client.nonce.empty());

  const std::string describe = client.Describe();
  ASSERT_NE(describe.find("RTSP/1.0 200 OK\r\nCSeq: 2\r\n"), std::string::npos) << describe;
  EXPECT_NE(describe.find("\r\nServer: QuorValenta Rtsp Server 176*144*10*256\r\n"), std::string::npos);
  EXPECT_NE(describe.find("a=rtpmap:96 H264/90000"), std::string::npos);
  EXPECT_NE(describe.find("a=rtpmap:8 PCMA/8000"), std::string::npos);
  const size_t first = describe.find("trackID=");
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(describe[first + 8], '0');
  EXPECT_EQ(describe[describe.find("trackID=", first + 1) + 8], '1');
  const size_t body = describe.find("\r\n\r\n") + 4;
  EXPECT_NE(describe.find("Content-Length: " + std::to_string(describe.size() - body) + "\r\n"), std::string::npos)
      << "the whole answer must arrive in one recv";

  ASSERT_NE(client.Setup('0', "RTP/AVP/TCP;unicast;interleaved=0-1").find("200 OK"), std::string::npos);
  ASSERT_FALSE(client.session.empty());
  ASSERT_NE(client.Setup('1', "RTP/AVP/TCP;unicast;interleaved=2-3").find("200 OK"), std::string::npos);
  ASSERT_NE(client.Play().find("200 OK"), std::string::npos);

  std::vector<uint8_t> annexb, packet;
  std::vector<uint32_t> audio_timestamps;
  int pictures = 0;
  uint32_t picture_timestamp = 0;
  bool in_picture = false;
  for (int guard = 0; guard < 5000 && pictures < 12; ++guard) {
    const int channel = client.socket.ReadInterleaved(&packet);
    ASSERT_GE(channel, 0) << "stream ended";
    ASSERT_GE(packet.size(), 12u);
    if (channel == 2) {
      EXPECT_EQ(packet[1] & 0x7F, 8);
      EXPECT_EQ(packet.size(), 12u + 320u);  // 40 ms of A-law
      audio_timestamps.push_back(Timestamp(packet));
      continue;
    }
    ASSERT_EQ(channel, 0);
    EXPECT_EQ(packet[1] & 0x7F, 96);
    if (in_picture) {
      EXPECT_EQ(Timestamp(packet), picture_timestamp) << "one timestamp per access unit";
    }
    picture_timestamp = Timestamp(packet);
    in_picture = (packet[1] & 0x80) == 0;
    if (!in_picture) ++pictures;
    AppendH264(packet, &annexb);
  }
  ASSERT_EQ(pictures, 12);
  ASSERT_GE(annexb.size(), 5u);
  EXPECT_EQ(annexb[3] & 31, 7) << "the stream starts with an SPS";

  for (size_t i = 1; i < audio_timestamps.size(); ++i) EXPECT_EQ(audio_timestamps[i] - audio_timestamps[i - 1], 320u);

  const std::vector<camsim::SessionMedia> media = camera->Media();
  ASSERT_EQ(media.size(), 1u);
  EXPECT_EQ(media[0].session_id, client.session);
  ASSERT_GE(media[0].video.size(), annexb.size());
  EXPECT_TRUE(std::equal(annexb.begin(), annexb.end(), media[0].video.begin()))
      << "what arrives must be exactly what the camera logged as sent";

  client.Teardown();
  for (int i = 0; i < 200 && camera->PlayingSessions() != 0; ++i) usleep(10000);
  EXPECT_EQ(camera->PlayingSessions(), 0u);
}

TEST(CamsimRtsp, RefusedCredentialsGetRefusedAgain) {
  struct Case {
    const char* name;
    const char* password;
    camsim::RefuseAuth refuse;
    const char* status;
  };
  const Case cases[] = {
      {"wrong password", "guess", camsim::RefuseAuth::kOff, "RTSP/1.0 401 Unauthorized\r\n"},
      {"refuse with 401", "secret", camsim::RefuseAuth::k401, "RTSP/1.0 401 Unauthorized\r\n"},
      {"refuse with 403", "secret", camsim::RefuseAuth::k403, "RTSP/1.0 403 Forbidden\r\n"},
      {"right password", "secret", camsim::RefuseAuth::kOff, "RTSP/1.0 200 OK\r\n"},
  };
  camsim::CameraOptions options = SmallCamera();
  options.user = "admin";
  options.password = "secret";
  auto camera = qvtest::StartCamera(options);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    camera->SetRefuseAuth(c.refuse);
    DialectClient client(camera->Port());
    client.password = c.password;
    client.TakeChallenge(client.Describe());
    EXPECT_EQ(client.Describe().rfind(c.status, 0), 0u);
  }
}

TEST(CamsimRtsp, UdpDeliversRtpToTheClientPort) {
  camsim::CameraOptions options = SmallCamera();
  options.audio = camsim::AudioCodec::kNone;
  auto camera = qvtest::StartCamera(options);
  DialectClient client(camera->Port());
  TestSocket rtp;
  ASSERT_TRUE(rtp.ok());
  const uint16_t port = rtp.LocalPort();
  ASSERT_NE(client.Describe().find("200 OK"), std::string::npos);
  const std::string setup = client.Setup(
      '0', "RTP/AVP;unicast;client_port=" + std::to_string(port) + "-" + std::to_string(port + 1));
  ASSERT_NE(setup.find("200 OK"), std::string::npos) << setup;
  EXPECT_NE(setup.find("client_port=" + std::to_string(port) + "-" + std::to_string(port + 1)), std::string::npos);
  const size_t server = setup.find("server_port=");
  ASSERT_NE(server, std::string::npos);
  ASSERT_NE(client.Play().find("200 OK"), std::string::npos);

  std::vector<uint8_t> packet;
  ASSERT_TRUE(rtp.ReadDatagram(&packet)) << "no RTP datagram within 3 s";
  ASSERT_GE(packet.size(), 13u);
  EXPECT_EQ(packet[0] >> 6, 2);
  EXPECT_EQ(packet[1] & 0x7F, 96);
  EXPECT_EQ(packet[12] & 31, 7) << "streaming starts at the SPS of an IDR picture";
}

TEST(CamsimRtsp, JpegPicturesFollowTheCameraDialect) {
  camsim::CameraOptions options = SmallCamera();
  options.video = camsim::VideoCodec::kJpeg;
  options.audio = camsim::AudioCodec::kNone;
  options.mtu = 1000;
  auto camera = qvtest::StartCamera(options);
  DialectClient client(camera->Port());
  const std::string describe = client.Describe();
  EXPECT_NE(describe.find("m=video 0 RTP/AVP 26\r\na=rtpmap:26 JPEG/90000\r\n"), std::string::npos) << describe;
  ASSERT_NE(client.Setup('0', "RTP/AVP/TCP;unicast;interleaved=0-1").find("200 OK"), std::string::npos);
  ASSERT_NE(client.Play().find("200 OK"), std::string::npos);

  // The client keeps everything after 152 header bytes of a first packet (fragment offset 0)
  // and after 20 bytes of the others, and closes the picture at the marker bit.
  std::vector<std::vector<uint8_t>> pictures(1);
  std::vector<uint8_t> packet;
  for (int guard = 0; guard < 2000 && pictures.size() < 4; ++guard) {
    ASSERT_EQ(client.socket.ReadInterleaved(&packet), 0);
    ASSERT_GE(packet.size(), 20u);
    EXPECT_EQ(packet[1] & 0x7F, 26);
    const uint32_t offset = static_cast<uint32_t>(packet[13]) << 16 | packet[14] << 8 | packet[15];
    EXPECT_EQ(offset, pictures.back().size());
    if (offset == 0) {
      ASSERT_GT(packet.size(), 152u);
      EXPECT_GE(packet[17], 128) << "Q >= 128: quantization tables in-band";
      EXPECT_EQ(packet[20 + 3], 128) << "128 bytes of tables";
    }
    pictures.back().insert(pictures.back().end(), packet.begin() + (offset == 0 ? 152 : 20), packet.end());
    if (packet[1] & 0x80) pictures.emplace_back();
  }
  pictures.pop_back();
  ASSERT_EQ(pictures.size(), 3u);
  const camsim::SessionMedia media = camera->Media().at(0);
  for (size_t i = 0; i < pictures.size(); ++i) {
    const auto& p = pictures[i];
    ASSERT_GE(p.size(), 4u);
    EXPECT_TRUE(p[0] == 0xFF && p[1] == 0xD8 && p[p.size() - 2] == 0xFF && p.back() == 0xD9) << "SOI .. EOI";
    const camsim::SentFrame& logged = media.frames.at(i);
    ASSERT_EQ(logged.size, p.size());
    EXPECT_TRUE(std::equal(p.begin(), p.end(), media.video.begin() + static_cast<long>(logged.offset)));
  }
}

// The session id of a SETUP answer: its digits and what follows them on the line.
std::pair<std::string, std::string> SessionOf(const std::string& answer) {
  const size_t pos = answer.find("\r\nSession: ");
  if (pos == std::string::npos) return {};
  const size_t begin = pos + 11;
  const size_t digits = answer.find_first_not_of("0123456789", begin);
  return {answer.substr(begin, digits - begin), answer.substr(digits, answer.find("\r\n", digits) - digits)};
}

TEST(CamsimRtsp, OptionsShapeTheAnswersForBadInputTests) {
  using camsim::CameraOptions;
  struct Case {
    const char* name;
    std::function<void(CameraOptions*)> set;
    std::vector<std::string> present;  // in the DESCRIBE answer
    const char* absent;                // not in it (empty: nothing)
    size_t session_digits;             // SETUP answer's session id length
    const char* session_suffix;
  };
  const Case cases[] = {
      {"server line omitted", [](CameraOptions* o) { o->server_header = camsim::ServerHeader::kOmit; },
       {"a=control:trackID=1"}, "Server:", 8, ""},
      {"custom server text",
       [](CameraOptions* o) {
         o->server_header = camsim::ServerHeader::kCustom;
         o->server_header_text = "704*576*x*";
       },
       {"\r\nServer: QuorValenta Rtsp Server 704*576*x*\r\n"}, "", 8, ""},
      {"one trackID only", [](CameraOptions* o) { o->audio_without_control = true; },
       {"a=control:trackID=0\r\nm=audio 0 RTP/AVP 8\r\na=rtpmap:8 PCMA/8000\r\n"}, "trackID=1", 8, ""},
      {"no audio", [](CameraOptions* o) { o->audio = camsim::AudioCodec::kNone; }, {"trackID=0"}, "m=audio", 8, ""},
      {"mu-law", [](CameraOptions* o) { o->audio = camsim::AudioCodec::kPcmu; },
       {"m=audio 0 RTP/AVP 0\r\na=rtpmap:0 PCMU/8000\r\na=control:trackID=1"}, "", 8, ""},
      {"G.726-16", [](CameraOptions* o) { o->audio = camsim::AudioCodec::kG726_16; },
       {"m=audio 0 RTP/AVP 97\r\na=rtpmap:97 G726-16/8000\r\n"}, "", 8, ""},
      {"H.264 parameters", [](CameraOptions*) {},
       {"a=fmtp:96 packetization-mode=1;profile-level-id=42", ";sprop-parameter-sets=Z"}, "", 8, ""},
      {"session time-out", [](CameraOptions* o) { o->session_timeout = true; }, {}, "", 8, ";timeout=60"},
      {"40-digit session id", [](CameraOptions* o) { o->long_session_id = true; }, {}, "", 40, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CameraOptions options = SmallCamera();
    c.set(&options);
    auto camera = qvtest::StartCamera(options);
    DialectClient client(camera->Port());
    const std::string describe = client.Describe();
    ASSERT_NE(describe.find("200 OK"), std::string::npos) << describe;
    for (const std::string& text : c.present) EXPECT_NE(describe.find(text), std::string::npos) << describe;
    if (*c.absent != '\0') {
      EXPECT_EQ(describe.find(c.absent), std::string::npos) << describe;
    }
    const auto [id, suffix] = SessionOf(client.Setup('0', "RTP/AVP/TCP;unicast;interleaved=0-1"));
    EXPECT_EQ(id.size(), c.session_digits);
    EXPECT_EQ(suffix, c.session_suffix);
  }
}

TEST(CamsimRtsp, PausedVideoResumesAtAKeyFrameAndDropCloses) {
  auto camera = qvtest::StartCamera(SmallCamera());
  DialectClient client(camera->Port());
  ASSERT_NE(client.Describe().find("200 OK"), std::string::npos);
  ASSERT_NE(client.Setup('0', "RTP/AVP/TCP;unicast;interleaved=0-1").find("200 OK"), std::string::npos);
  ASSERT_NE(client.Setup('1', "RTP/AVP/TCP;unicast;interleaved=2-3").find("200 OK"), std::string::npos);
  ASSERT_NE(client.Play().find("200 OK"), std::string::npos);

  std::vector<uint8_t> packet;
  ASSERT_EQ(client.socket.ReadInterleaved(&packet), 0);
  camera->PauseVideo(600);
  // At 10 fps a picture advances the clock by 9000; a gap of several pictures marks the
  // pause, and the first packet after it must start a key frame (SPS first).
  uint32_t last = Timestamp(packet);
  int audio_during_gap = 0;
  bool resumed = false;
  for (int guard = 0; guard < 5000 && !resumed; ++guard) {
    const int channel = client.socket.ReadInterleaved(&packet);
    ASSERT_GE(channel, 0);
    if (channel == 2) {
      ++audio_during_gap;
      continue;
    }
    const uint32_t gap = Timestamp(packet) - last;
    last = Timestamp(packet);
    if (gap <= 9000) {
      audio_during_gap = 0;
      continue;
    }
    resumed = true;
    EXPECT_GE(gap, 5u * 9000u);
    EXPECT_EQ(packet[12] & 31, 7) << "resumes at an SPS";
    EXPECT_GE(audio_during_gap, 5) << "audio goes on while video pauses";
  }
  ASSERT_TRUE(resumed);

  EXPECT_EQ(camera->DropConnections(), 1);
  int frames = 0;
  while (client.socket.ReadInterleaved(&packet, 3000) >= 0) ASSERT_LT(++frames, 1000) << "connection not closed";
  for (int i = 0; i < 200 && camera->PlayingSessions() != 0; ++i) usleep(10000);
  EXPECT_EQ(camera->PlayingSessions(), 0u);
}

TEST(CamsimRtsp, FfprobeReadsVideoAndAudioOverTcp) {
  if (std::system("command -v ffprobe >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffprobe is not installed";
  camsim::CameraOptions options = SmallCamera();
  options.audio = camsim::AudioCodec::kG726_32;
  auto camera = qvtest::StartCamera(options);
  const std::string command = "timeout 30 ffprobe -v error -rtsp_transport tcp -show_entries "
                              "stream=codec_name,width,sample_rate -of csv=p=0 rtsp://127.0.0.1:" +
                              std::to_string(camera->Port()) + "/0 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  ASSERT_TRUE(pipe);
  std::string output;
  char line[256];
  while (std::fgets(line, sizeof(line), pipe.get()) != nullptr) output += line;
  EXPECT_NE(output.find("h264,176"), std::string::npos) << output;
  EXPECT_NE(output.find("adpcm_g726le,8000"), std::string::npos) << output;
}

}  // namespace
