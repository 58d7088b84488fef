// Recordings made by the sources from the simulated camera: the video in the file equals,
// byte for byte, the Annex B stream (or the JPEG pictures) the camera sent; the index points
// at key-frame records; time limits, reconnections and stops end a recording cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/source/camera_fixture.h"
#include "tests/support/fake_clock.h"

namespace qvnet {
namespace {

using qvtest::kTcp;
using qvtest::kUdp;

class SourceRecordTest : public qvtest::SourceTest {
 protected:
  // Waits until the running recording holds `entries` index entries.
  bool WaitForKeyFrames(size_t entries, int timeout_ms = 8000) {
    return qvtest::PollUntil([&] { return source_->NormalWriter().Stats().index_entries >= entries; }, timeout_ms);
  }

  std::vector<uint8_t> SentVideo() const { return LastSession().video; }
  std::vector<uint8_t> SentAudio() const { return LastSession().audio; }
  camsim::SessionMedia LastSession() const {
    const std::vector<camsim::SessionMedia> media = camera_->Media();
    return media.empty() ? camsim::SessionMedia{} : media.back();
  }

  qvtest::TempDir dir_{"qv-source-record"};
};

TEST_F(SourceRecordTest, H264RecordingEqualsTheStreamTheCameraSent) {
  for (int16_t transport : {kTcp, kUdp}) {
    SCOPED_TRACE(transport == kUdp ? "udp" : "tcp");
    camera_ = qvtest::StartCamera(qvtest::SmallCamera());
    StartSource(camera_->Port(), transport, kNvrClientFlavor);
    ASSERT_TRUE(client_->WaitForNote({NOTIFY_STATE, 0}));
    const std::string path = dir_.File(transport == kUdp ? "udp.h264" : "tcp.h264");
    ASSERT_EQ(source_->ClientStartRecord(path.c_str(), 0), 1);
    ASSERT_TRUE(WaitForKeyFrames(3));
    // Stopping the source while it records ends the recording with its index.
    EXPECT_LT(StopSource(), 1500);
    EXPECT_EQ(client_->RecordCodes(), (std::vector<int32_t>{0, 1}));

    const qvtest::Recording r = qvtest::ReadRecording(path);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.origin, IndexOrigin::kTail);
    EXPECT_EQ(r.header.payload_type, kPayloadTypeH264);
    EXPECT_EQ(r.header.width, 176);
    EXPECT_EQ(r.header.height, 144);
    EXPECT_EQ(r.header.audio_codec, 1);
    qvtest::ExpectIndexAtKeyFrames(r, kKindKeyFrame);
    // From the first key frame the recording saw, the video is the camera's Annex B stream.
    size_t first_key = 0;
    for (const qvtest::RecordedFrame& f : r.frames) {
      if (f.header.stream == kStreamVideo && f.header.kind == kKindKeyFrame) break;
      if (f.header.stream == kStreamVideo) ++first_key;
    }
    const std::vector<uint8_t> video = r.VideoBytes(first_key);
    ASSERT_GT(video.size(), 1000u);
    EXPECT_TRUE(qvtest::ContainsBytes(SentVideo(), video));
    for (const qvtest::RecordedFrame& f : r.frames) {
      if (f.header.stream != kStreamVideo) continue;
      EXPECT_EQ(f.header.width, 0);  // the recording library does not fill the picture size
    }
    const std::vector<uint8_t> audio = r.AudioPayloads();
    ASSERT_FALSE(audio.empty());
    EXPECT_TRUE(qvtest::ContainsBytes(SentAudio(), audio));
    camera_.reset();
  }
}

TEST_F(SourceRecordTest, JpegRecordingOverTcp) {
  camsim::CameraOptions options = qvtest::SmallCamera();
  options.video = camsim::VideoCodec::kJpeg;
  camera_ = qvtest::StartCamera(options);
  qvtest::TestMediaOutput media;
  StartSource(camera_->Port(), kTcp, kNetClientFlavor, &media);
  ASSERT_TRUE(client_->WaitForNote({NOTIFY_STATE, 0}));
  const std::string path = dir_.File("tcp.jpeg.h264");
  ASSERT_EQ(source_->ClientStartRecord(path.c_str(), 0), 1);
  ASSERT_TRUE(WaitForKeyFrames(5));
  ASSERT_EQ(source_->ClientStopRecord(), 1);
  StopSource();

  const qvtest::Recording r = qvtest::ReadRecording(path);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.header.payload_type, kPayloadTypeJpeg);
  qvtest::ExpectIndexAtKeyFrames(r, kKindKeyFrame);
  size_t pictures = 0;
  for (const qvtest::RecordedFrame& f : r.frames) {
    if (f.header.stream != kStreamVideo) continue;
    ++pictures;
    ASSERT_GE(f.payload.size(), 4u);
    EXPECT_EQ(f.payload[0], 0xFF);
    EXPECT_EQ(f.payload[1], 0xD8);  // a complete image from its SOI on
    EXPECT_EQ(f.header.width, 176);
  }
  EXPECT_EQ(r.index.size(), pictures);
  EXPECT_TRUE(qvtest::ContainsBytes(SentVideo(), r.VideoBytes()));
  // The display got the same pictures, one message each.
  for (const auto& piece : media.pieces) EXPECT_TRUE(piece.end_of_message);
  EXPECT_EQ(media.connection_resets, 1);
}

TEST_F(SourceRecordTest, TimeLimitedRecordingStopsThenReportsTheLimit) {
  qvtest::FakeClock clock(1000);
  camera_ = qvtest::StartCamera(qvtest::SmallCamera());
  StartSource(camera_->Port(), kTcp, kNvrClientFlavor);
  ASSERT_TRUE(client_->WaitForNote({NOTIFY_STATE, 0}));
  const std::string path = dir_.File("limited.h264");
  ASSERT_EQ(source_->ClientStartRecord(path.c_str(), 60), 1);
  ASSERT_TRUE(WaitForKeyFrames(1));
  clock.Advance(60000);  // exactly the limit: not yet over it
  const uint64_t written = source_->NormalWriter().Stats().byte_count;
  ASSERT_TRUE(qvtest::PollUntil([&] { return source_->NormalWriter().Stats().byte_count > written; }));
  EXPECT_TRUE(source_->IsRecording());
  clock.Advance(1);
  ASSERT_TRUE(client_->WaitForNote({NOTIFY_RECORD, 4}));
  EXPECT_EQ(client_->RecordCodes(), (std::vector<int32_t>{0, 1, 4}));
  EXPECT_FALSE(source_->IsRecording());
  // Every thread that reads the clock ends before the clock goes.
  StopSource();
  camera_.reset();
  const qvtest::Recording r = qvtest::ReadRecording(path);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.origin, IndexOrigin::kTail);
  for (const qvtest::RecordedFrame& f : r.frames) {
    if (f.header.stream != kStreamVideo) continue;
    EXPECT_LE(f.header.tick, 1000u + 60000u);
  }
}

TEST_F(SourceRecordTest, ReconnectionEndsTheRecording) {
  camera_ = qvtest::StartCamera(qvtest::SmallCamera());
  StartSource(camera_->Port(), kTcp, kNetClientFlavor);
  ASSERT_TRUE(client_->WaitForNote({NOTIFY_STATE, 0}));
  const std::string path = dir_.File("reconnect.h264");
  ASSERT_EQ(source_->ClientStartRecord(path.c_str(), 0), 1);
  ASSERT_TRUE(WaitForKeyFrames(1));
  ASSERT_GT(camera_->DropConnections(), 0);
  ASSERT_TRUE(client_->WaitForNote({NOTIFY_STATE, 0}, 2));
  EXPECT_FALSE(source_->IsRecording());
  // Lost, reconnecting, connecting; the recording ends as the new attempt begins.
  const std::vector<qvtest::Note> expected{{NOTIFY_STATE, 1}, {NOTIFY_STATE, 0}, {NOTIFY_RECORD, 0},
                                           {NOTIFY_STATE, 3}, {NOTIFY_STATE, 4}, {NOTIFY_STATE, 1},
                                           {NOTIFY_RECORD, 1}, {NOTIFY_STATE, 0}};
  EXPECT_EQ(client_->Notes(), expected);
  const qvtest::Recording r = qvtest::ReadRecording(path);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.origin, IndexOrigin::kTail);
  qvtest::ExpectIndexAtKeyFrames(r, kKindKeyFrame);
}

}  // namespace
}  // namespace qvnet

namespace qvnet {
namespace {

// The local ports the client named in its SETUP requests ("client_port=<rtp>-<rtcp>").
std::vector<uint16_t> ClientPorts(const camsim::Camera& camera) {
  std::vector<uint16_t> ports;
  for (const camsim::RequestRecord& r : camera.Requests()) {
    const size_t at = r.text.find("client_port=");
    if (r.protocol != "RTSP" || at == std::string::npos) continue;
    ports.push_back(static_cast<uint16_t>(std::stoi(r.text.substr(at + 12))));
  }
  return ports;
}

// Datagrams from anyone but the camera's media sockets never reach the recording: another
// program on the same host sends H.264 units and noise to the client's ports while it records.
TEST_F(SourceRecordTest, DatagramsFromOtherSendersStayOutOfTheRecording) {
  camera_ = qvtest::StartCamera(qvtest::SmallCamera());
  StartSource(camera_->Port(), kUdp, kNvrClientFlavor);
  ASSERT_TRUE(client_->WaitForNote({NOTIFY_STATE, 0}));
  const std::vector<uint16_t> ports = ClientPorts(*camera_);
  ASSERT_EQ(ports.size(), 2u);
  const std::string path = dir_.File("foreign.h264");
  ASSERT_EQ(source_->ClientStartRecord(path.c_str(), 0), 1);

  const std::vector<uint8_t> marker(64, 0xF7);
  std::vector<uint8_t> unit = {0x65};  // an IDR slice as a single NAL unit
  unit.insert(unit.end(), marker.begin(), marker.end());
  const std::vector<uint8_t> packet = qvtest::RtpPacket(unit, true);
  qvp::Socket intruder = qvp::Socket::Udp();
  ASSERT_TRUE(intruder.IsValid());
  in_addr loopback{};
  loopback.s_addr = htonl(INADDR_LOOPBACK);
  for (int i = 0; i < 200; ++i) {
    for (const uint16_t port : ports) {
      ASSERT_EQ(qvp::SendTo(intruder, packet.data(), packet.size(), loopback, port),
                static_cast<ssize_t>(packet.size()));
    }
    if (i % 20 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(WaitForKeyFrames(2));
  StopSource();

  const qvtest::Recording r = qvtest::ReadRecording(path);
  ASSERT_TRUE(r.ok);
  for (const qvtest::RecordedFrame& f : r.frames) {
    EXPECT_FALSE(qvtest::ContainsBytes(f.payload, marker)) << "a foreign datagram was recorded";
  }
  EXPECT_GT(r.VideoBytes().size(), 1000u);
}

}  // namespace
}  // namespace qvnet
