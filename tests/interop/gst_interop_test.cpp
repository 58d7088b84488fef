// Recordings from GStreamer's RTSP server (gst_rtsp_server.py, on 127.0.0.1), a peer nobody
// here wrote: every mount over TCP and UDP, in standard mode, with the recording library's
// source. From its first key frame a recording holds the served file's NAL units in order,
// decodes without an error (ffmpeg -xerror), and its audio is the served audio; JPEG pictures
// decode whole. The server is started per test process; when it cannot start (packages
// missing) the tests fail: scripts/setup.sh installs it.
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "netclient/stream/av_source_tcp.h"
#include "netclient/stream/av_source_udp.h"
#include "netclient/wire/client_address.h"
#include "tests/service/child_process.h"
#include "tests/support/annex_b.h"
#include "tests/support/note_client.h"
#include "tests/support/poll.h"
#include "tests/support/recording_readback.h"
#include "tests/support/temp_dir.h"

namespace qvnet {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr char kUser[] = "viewer";
constexpr char kPassword[] = "se:cret";

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool ContainsRun(const std::vector<Bytes>& all, const std::vector<Bytes>& run) {
  return std::search(all.begin(), all.end(), run.begin(), run.end()) != all.end();
}

// The served media and the server, made once per test process.
struct Peer {
  qvtest::TempDir dir{"qv-gst-interop"};
  servicetest::ChildProcess server;
  uint16_t first_port = 0;
  uint16_t second_port = 0;
  std::string failure;
  std::vector<Bytes> source_nals;
  Bytes source_audio;

  Peer() {
    std::string out;
    const std::string h264 = dir.File("served.h264");
    const std::string wav = dir.File("served.wav");
    if (servicetest::RunProgram({"/usr/bin/ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                 "testsrc=size=320x240:rate=25", "-t", "8", "-c:v", "libx264", "-profile:v", "baseline",
                                 "-pix_fmt", "yuv420p", "-g", "25", "-bsf:v", "h264_mp4toannexb", "-f", "h264", h264},
                                dir.File("ffmpeg.log"), &out) != 0 ||
        servicetest::RunProgram({"/usr/bin/ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                 "sine=frequency=440:sample_rate=8000", "-t", "8", "-c:a", "pcm_mulaw", wav},
                                dir.File("ffmpeg.log"), &out) != 0) {
      failure = "ffmpeg could not make the served media: " + out;
      return;
    }
    source_nals = qvtest::SplitNals(ReadBytes(h264));
    const Bytes wav_bytes = ReadBytes(wav);
    const std::string text(wav_bytes.begin(), wav_bytes.end());
    const size_t data = text.find("data");
    if (data != std::string::npos) source_audio.assign(wav_bytes.begin() + static_cast<long>(data + 8), wav_bytes.end());
    const std::string log = dir.File("server.log");
    if (!server.Start({"/usr/bin/python3", QV_INTEROP_SERVER, "--h264", h264, "--wav", wav}, log)) {
      failure = "cannot start /usr/bin/python3";
      return;
    }
    std::string text_out;
    qvtest::PollUntil([&] { return (text_out = servicetest::ReadFile(log)).find("READY") != std::string::npos || !server.Running(); }, 20000);
    const size_t ready = text_out.find("READY ");
    if (ready == std::string::npos || std::sscanf(text_out.c_str() + ready, "READY %hu %hu", &first_port, &second_port) != 2) {
      failure = "GStreamer's RTSP server did not start (gir1.2-gst-rtsp-server-1.0, gstreamer1.0-plugins-good and "
                "-bad are needed): " + text_out;
    }
  }
};

Peer& ThePeer() {
  static Peer* peer = new Peer;  // lives to the end of the process; its server is killed then
  return *peer;
}

struct Mount {
  const char* name;
  const char* path;
  int16_t transport;
  bool second_server;
  bool credentials;
  bool audio;
  bool jpeg;
};

class GstInteropTest : public ::testing::TestWithParam<Mount> {
 protected:
  GstInteropTest() {
    context_.connect_timeout_s = 2;
    context_.reconnect_interval_s = 1;
    context_.reconnect_step_ms = 10;
  }
  ~GstInteropTest() override { Stop(); }

  void Start(const Mount& m, const std::string& password = kPassword) {
    const Peer& peer = ThePeer();
    const uint16_t port = m.second_server ? peer.second_port : peer.first_port;
    client_ = std::make_unique<qvtest::NoteClient>(context_, kNvrClientFlavor, port, m.transport);
    const std::string url = "rtsp://127.0.0.1:" + std::to_string(port) + m.path;
    ASSERT_TRUE(ParseClientAddress(url.c_str(), url.size() + 1, &client_->address));
    if (m.credentials) {
      client_->user = kUser;
      client_->password = password;
    }
    if (m.transport == 0) {
      source_ = std::make_unique<CAVSource_RTSP_UDP>(*client_, nullptr);
    } else {
      source_ = std::make_unique<CAVSource_RTSP_TCP>(*client_, nullptr);
    }
    ASSERT_TRUE(source_->Create());
    ASSERT_EQ(source_->Start(), qvp::JThread::kStarted);
  }
  void Stop() {
    if (source_ == nullptr) return;
    client_->stopping = true;
    source_->Stop();
    source_->Release();
    source_.reset();
  }

  LibraryContext context_;
  std::unique_ptr<qvtest::NoteClient> client_;
  std::unique_ptr<CAVSource> source_;
  qvtest::TempDir dir_{"qv-gst-recording"};
};

void ExpectDecodes(const Bytes& annex_b, const std::string& dir) {
  const std::string path = dir + "/recorded.h264";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(annex_b.data()), static_cast<long>(annex_b.size()));
  std::string errors;
  EXPECT_EQ(servicetest::RunProgram({"/usr/bin/ffmpeg", "-v", "error", "-xerror", "-i", path, "-f", "null", "-"},
                                    dir + "/decode.log", &errors),
            0)
      << errors;
  EXPECT_EQ(errors, "");
}

void ExpectJpegPictures(const qvtest::Recording& r) {
  tjhandle tj = tjInitDecompress();
  size_t pictures = 0;
  for (const qvtest::RecordedFrame& f : r.frames) {
    if (f.header.stream != kStreamVideo) continue;
    ++pictures;
    int w = 0, h = 0, sub = 0, cs = 0;
    ASSERT_EQ(tjDecompressHeader3(tj, f.payload.data(), f.payload.size(), &w, &h, &sub, &cs), 0);
    EXPECT_EQ(w, kWidth);
    EXPECT_EQ(h, kHeight);
    EXPECT_EQ(f.header.width, kWidth);
    Bytes rgb(static_cast<size_t>(w * h * 3));
    EXPECT_EQ(tjDecompress2(tj, f.payload.data(), f.payload.size(), rgb.data(), w, 0, h, TJPF_RGB, 0), 0);
  }
  tjDestroy(tj);
  EXPECT_GE(pictures, 5u);
}

TEST_P(GstInteropTest, RecordingIsTheServedStream) {
  const Mount& m = GetParam();
  ASSERT_EQ(ThePeer().failure, "");
  Start(m);
  ASSERT_TRUE(client_->WaitForNote({NOTIFY_STATE, 0}, 1, 8000));
  const std::string path = dir_.File("recording.h264");
  ASSERT_EQ(source_->ClientStartRecord(path.c_str(), 0), 1);
  const size_t keys = m.jpeg ? 10 : 2;
  ASSERT_TRUE(qvtest::PollUntil([&] { return source_->NormalWriter().Stats().index_entries >= keys; }, 8000));
  Stop();

  const qvtest::Recording r = qvtest::ReadRecording(path);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.header.payload_type, m.jpeg ? kPayloadTypeJpeg : kPayloadTypeH264);
  EXPECT_EQ(r.header.audio_codec, m.audio ? 2 : 0);
  if (m.jpeg) return ExpectJpegPictures(r);
  EXPECT_EQ(r.header.width, kWidth);
  EXPECT_EQ(r.header.height, kHeight);
  EXPECT_EQ(r.header.frame_rate, 25);
  const Bytes video = r.VideoFromFirstKeyFrame();
  const std::vector<Bytes> nals = qvtest::SplitNals(video);
  ASSERT_GT(nals.size(), 20u);
  EXPECT_TRUE(ContainsRun(ThePeer().source_nals, nals)) << "the recorded units are not the served ones";
  // The recording was stopped at some packet: parameter sets of a key frame whose slices did
  // not come are left out of the decode check.
  size_t last_slice = nals.size();
  while (last_slice > 0 && ((nals[last_slice - 1][0] & 0x1F) < 1 || (nals[last_slice - 1][0] & 0x1F) > 5)) --last_slice;
  Bytes decodable;
  for (size_t i = 0; i < last_slice; ++i) {
    decodable.insert(decodable.end(), {0, 0, 1});
    decodable.insert(decodable.end(), nals[i].begin(), nals[i].end());
  }
  ExpectDecodes(decodable, dir_.Path());
  const Bytes audio = r.AudioPayloads();
  EXPECT_EQ(audio.empty(), !m.audio);
  if (m.audio) {
    EXPECT_TRUE(qvtest::ContainsBytes(ThePeer().source_audio, audio)) << "the recorded audio is not the served one";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Mounts, GstInteropTest,
    ::testing::Values(Mount{"AvTcp", "/av", 1, false, false, true, false}, Mount{"AvUdp", "/av", 0, false, false, true, false},
                      Mount{"OneTrackTcp", "/video", 1, false, false, false, false},
                      Mount{"OneTrackUdp", "/video", 0, false, false, false, false},
                      Mount{"AudioFirstTcp", "/audiofirst", 1, false, false, true, false},
                      Mount{"AudioFirstUdp", "/audiofirst", 0, false, false, true, false},
                      Mount{"BasicTcp", "/basic", 1, false, true, true, false},
                      Mount{"BasicUdp", "/basic", 0, false, true, true, false},
                      Mount{"DigestTcp", "/digest", 1, true, true, true, false},
                      Mount{"DigestUdp", "/digest", 0, true, true, true, false},
                      Mount{"JpegTcp", "/jpeg", 1, false, false, false, true},
                      Mount{"JpegUdp", "/jpeg", 0, false, false, false, true}),
    [](const ::testing::TestParamInfo<Mount>& p) { return std::string(p.param.name); });

// A wrong password is reported as refused (state 6) by the recording library, for Basic and
// Digest alike.
TEST_F(GstInteropTest, WrongPasswordIsRefused) {
  ASSERT_EQ(ThePeer().failure, "");
  for (const Mount& m : {Mount{"Basic", "/basic", 1, false, true, true, false}, Mount{"Digest", "/digest", 1, true, true, true, false}}) {
    SCOPED_TRACE(m.name);
    Start(m, "wrong");
    EXPECT_TRUE(client_->WaitForNote({NOTIFY_STATE, 6}, 1, 8000));
    Stop();
  }
}

}  // namespace
}  // namespace qvnet
