// The simulator's MCTP side: command answers in the shapes the client checks, the event
// channel, talk, and malformed input.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "tests/camsim/test_socket.h"
#include "tools/camsim/camera.h"

namespace {

using camsim_test::Lines;
using camsim_test::TestSocket;

constexpr char kMdGet[] = "CMD:MD MCTP/1.0 CS\n@2@0@0@0@0@0@0@0\nEND\n";

std::unique_ptr<camsim::Camera> StartCamera(camsim::CameraOptions o = {}) {
  o.width = 176;
  o.height = 144;
  o.fps = 10;
  o.kbps = 256;
  o.clip_seconds = 1;
  auto camera = std::make_unique<camsim::Camera>(o);
  std::string error;
  EXPECT_TRUE(camera->Start(&error)) << error;
  return camera;
}

std::string Transact(uint16_t port, const std::string& request) {
  TestSocket socket(port);
  EXPECT_TRUE(socket.Send(request));
  return socket.RecvOnce();
}

// Reads until `count` messages ending in "END\n" arrived (events may share a segment).
std::string ReadMessages(TestSocket& socket, int count) {
  std::string text;
  for (int guard = 0; guard < 50; ++guard) {
    int ends = 0;
    for (size_t pos = 0; (pos = text.find("END\n", pos)) != std::string::npos; pos += 4) ++ends;
    if (ends >= count) break;
    const std::string more = socket.RecvOnce(3000);
    if (more.empty()) break;
    text += more;
  }
  return text;
}

// Starts an RTSP session over TCP and returns its id.
std::string PlayingSession(TestSocket& rtsp, uint16_t port) {
  const std::string uri = "rtsp://127.0.0.1:" + std::to_string(port) + "/0";
  rtsp.Send("DESCRIBE " + uri + " RTSP/1.0\r\nCSeq: 1\r\n\r\n");
  rtsp.RecvOnce();
  rtsp.Send("SETUP " + uri +
            "/trackID=0 RTSP/1.0\r\nCSeq: 2\r\nTransport: RTP/AVP/TCP;unicast;interleaved=0-1\r\n\r\n");
  const std::string setup = rtsp.RecvOnce();
  const size_t pos = setup.find("Session: ");
  if (pos == std::string::npos) return {};
  const std::string session = setup.substr(pos + 9, setup.find_first_not_of("0123456789", pos + 9) - pos - 9);
  rtsp.Send("PLAY " + uri + " RTSP/1.0\r\nCSeq: 3\r\nSession: " + session + "\r\nRang: npt=0.000-\r\n\r\n");
  return rtsp.RecvOnce().find("200 OK") != std::string::npos ? session : std::string();
}

TEST(CamsimMctp, MdGetAnswersEighteenLinesAndShowsASavedRegion) {
  auto camera = StartCamera();
  std::vector<std::string> lines = Lines(Transact(camera->Port(), kMdGet));
  ASSERT_EQ(lines.size(), 18u);
  EXPECT_NE(lines[0].find("CMD:MD MCTP/1.0"), std::string::npos);
  for (int k = 0; k < 16; ++k) {
    int f[8];
    ASSERT_EQ(std::sscanf(lines[k + 1].c_str(), "@%d@%d@%d@%d@%d@%d@%d@%d", &f[0], &f[1], &f[2], &f[3], &f[4], &f[5],
                          &f[6], &f[7]), 8) << lines[k + 1];
    EXPECT_EQ(f[2], k);
  }
  EXPECT_EQ(lines[17], "END");

  std::string save = "CMD:MD MCTP/1.0 CS\n";
  for (int i = 0; i < 16; ++i) {
    save += i == 3 ? "@1@0@3@77@10@20@30@40\n" : "@1@0@" + std::to_string(i) + "@0@0@0@0@0\n";
  }
  save += "END\n";
  lines = Lines(Transact(camera->Port(), save));
  ASSERT_EQ(lines.size(), 3u);
  int f[8] = {};
  ASSERT_EQ(std::sscanf(lines[1].c_str(), "@%d@%d@%d@%d@%d@%d@%d@%d", &f[0], &f[1], &f[2], &f[3], &f[4], &f[5], &f[6],
                        &f[7]), 8);
  EXPECT_EQ(f[2], 1);
  lines = Lines(Transact(camera->Port(), kMdGet));
  ASSERT_EQ(lines.size(), 18u);
  EXPECT_EQ(lines[4], "@2@0@3@77@10@20@30@40");

  camera->SetMctpFault(camsim::McptFault::kWrongLineCount);
  EXPECT_EQ(Lines(Transact(camera->Port(), kMdGet)).size(), 17u);
}

TEST(CamsimMctp, RegistrationOpensTheEventChannel) {
  auto camera = StartCamera();
  EXPECT_EQ(Transact(camera->Port(), "CMD:ALIVE MCTP/1.0 CS\n@12345678@0\nEND\n"),
            "CMD:ALIVE MCTP/1.0 CS\n@1@0@0\nEND\n") << "unknown session";

  TestSocket rtsp(camera->Port());
  const std::string session = PlayingSession(rtsp, camera->Port());
  ASSERT_FALSE(session.empty());
  TestSocket events(camera->Port());
  events.Send("CMD:ALIVE MCTP/1.0 CS\n@" + session + "@0\nEND\n");
  EXPECT_EQ(events.RecvOnce(), "CMD:ALIVE MCTP/1.0 CS\n@1@0@1\nEND\n");
  for (int i = 0; i < 200 && camera->EventChannels() == 0; ++i) usleep(10000);
  ASSERT_EQ(camera->EventChannels(), 1u);

  events.Send("CMD:ALIVE MCTP/1.0 CS\nEND\n");
  EXPECT_EQ(ReadMessages(events, 1), "CMD:ALIVE MCTP/1.0 CS\nEND\n");
  EXPECT_EQ(camera->PushMotion(0x8), 1);
  const camsim::MdRegion r = camera->State().md[3];
  EXPECT_EQ(ReadMessages(events, 1), "CMD:MD MCTP/1.0 CS\n@0@1@3@" + std::to_string(r.rect[0]) + "@" +
                                          std::to_string(r.rect[1]) + "@" + std::to_string(r.rect[2]) + "@" +
                                          std::to_string(r.rect[3]) + "@" + std::to_string(r.value) + "\nEND\n");
  EXPECT_EQ(camera->PushAlarm(5), 1);
  EXPECT_EQ(ReadMessages(events, 1), "CMD:ALARM MCTP/1.0 CS\n@2@5\nEND\n");
}

TEST(CamsimMctp, TalkReadsClientFramesAndTalksBack) {
  auto camera = StartCamera();
  TestSocket talk(camera->Port());
  talk.Send("CMD:TALK MCTP/1.0 CS\n@0@6@\nEND\n");
  EXPECT_EQ(talk.RecvOnce(), "CMD:TALK MCTP/1.0 CS\n@1@1@\n");

  // Talk frame: {u32 length, u32 tick} little-endian, then {00 01, words} + 2 x words bytes.
  auto frame = [](uint8_t words_field, size_t data, uint32_t tick) {
    const uint32_t length = static_cast<uint32_t>(4 + data);
    std::string f;
    for (int i = 0; i < 4; ++i) f += static_cast<char>(length >> (8 * i));
    for (int i = 0; i < 4; ++i) f += static_cast<char>(tick >> (8 * i));
    f += std::string("\x00\x01", 2) + static_cast<char>(words_field) + '\0' + std::string(data, '\x55');
    return f;
  };
  ASSERT_TRUE(talk.Send(frame(80, 160, 1000) + frame(80, 160, 1040) + frame(81, 160, 1080)));
  for (int i = 0; i < 300 && camera->TalkFrames().size() < 3; ++i) usleep(10000);
  const std::vector<camsim::TalkRecord> got = camera->TalkFrames();
  ASSERT_EQ(got.size(), 3u);
  EXPECT_TRUE(got[0].valid && got[1].valid);
  EXPECT_FALSE(got[2].valid) << "word count does not match the length";
  EXPECT_EQ(got[1].client_tick, 1040u);
  EXPECT_EQ(got[1].length, 164u);

  uint8_t back[164];
  ASSERT_TRUE(talk.RecvExact(back, sizeof(back), 3000));
  EXPECT_EQ(back[0], 0x00);
  EXPECT_EQ(back[1], 0x01);
  EXPECT_EQ(back[2] | back[3] << 8, 80) << "320 samples of G.726-32";

  camera->SetRefuseTalk(true);
  EXPECT_EQ(Transact(camera->Port(), "CMD:TALK MCTP/1.0 CS\n@0@6@\nEND\n"), "CMD:TALK MCTP/1.0 CS\n@1@0@\n");
}

TEST(CamsimMctp, MalformedInputIsAnsweredOrDroppedWithoutHarm) {
  auto camera = StartCamera();
  EXPECT_EQ(Transact(camera->Port(), "CMD:MD MCTP/1.0 CS\n@x@y\nEND\n"),
            "CMD:MD MCTP/1.0 CS\n@0@0@0@0@0@0@0@0\nEND\n");
  EXPECT_EQ(Transact(camera->Port(), "CMD:VCTRL MCTP/1.0 CS\n@9@0@1@2@3@\nEND\n"),
            "CMD:VCTRL MCTP/1.0 CS\n@9@0@0@\nEND\n");
  {
    TestSocket flood(camera->Port());
    flood.Send("CMD:MD MCTP/1.0 CS\n" + std::string(9000, '@'));
    EXPECT_EQ(flood.RecvOnce(3000), "") << "an endless message closes the connection unanswered";
  }
  EXPECT_EQ(Lines(Transact(camera->Port(), kMdGet)).size(), 18u) << "the camera still serves";
}

}  // namespace
