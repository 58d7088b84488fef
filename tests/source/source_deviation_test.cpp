// Recordings from simulated cameras that behave like servers outside the dialect, one fast
// test each: answers split by TCP, SPS and PPS in STAP-A, RTP header extras, packets far over
// 2048 bytes, session ids that are not digits; in the dialect and in standard mode, over TCP
// and UDP. Each recording, from its first key frame, is the camera's own stream; keep-alives
// flow while a standard-mode stream plays.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "netclient/wire/client_address.h"
#include "tests/source/camera_fixture.h"

namespace qvnet {
namespace {

using qvtest::kTcp;
using qvtest::kUdp;

struct Deviation {
  const char* name;
  std::function<void(camsim::CameraOptions*)> apply;
  int16_t transport;
  bool standard;
};

class DeviationTest : public qvtest::SourceTest, public ::testing::WithParamInterface<Deviation> {
 protected:
  // The client as StartSource makes it, then in standard mode by the camera's URL.
  void Start(int16_t transport, bool standard) {
    StartSourceWith(camera_->Port(), transport, [&](qvtest::NoteClient* c) {
      if (!standard) return;
      const std::string url = "rtsp://127.0.0.1:" + std::to_string(camera_->Port()) + "/0";
      ASSERT_TRUE(ParseClientAddress(url.c_str(), url.size() + 1, &c->address));
    });
  }
  void StartSourceWith(uint16_t port, int16_t transport, const std::function<void(qvtest::NoteClient*)>& adjust) {
    client_ = std::make_unique<qvtest::NoteClient>(context_, kNvrClientFlavor, port, transport);
    adjust(client_.get());
    if (transport == kUdp) {
      source_ = std::make_unique<CAVSource_RTSP_UDP>(*client_, nullptr);
    } else {
      source_ = std::make_unique<CAVSource_RTSP_TCP>(*client_, nullptr);
    }
    ASSERT_TRUE(source_->Create());
    ASSERT_EQ(source_->Start(), qvp::JThread::kStarted);
  }
  camsim::SessionMedia LastSession() const {
    const std::vector<camsim::SessionMedia> media = camera_->Media();
    return media.empty() ? camsim::SessionMedia{} : media.back();
  }

  qvtest::TempDir dir_{"qv-deviation"};
};

TEST_P(DeviationTest, RecordingIsTheCamerasStream) {
  const Deviation& d = GetParam();
  camsim::CameraOptions o = qvtest::SmallCamera();
  d.apply(&o);
  camera_ = qvtest::StartCamera(o);
  Start(d.transport, d.standard);
  ASSERT_TRUE(client_->WaitForNote({NOTIFY_STATE, 0}));
  const std::string path = dir_.File("deviation.h264");
  ASSERT_EQ(source_->ClientStartRecord(path.c_str(), 0), 1);
  ASSERT_TRUE(qvtest::PollUntil([&] { return source_->NormalWriter().Stats().index_entries >= 2; }, 8000));
  StopSource();

  const qvtest::Recording r = qvtest::ReadRecording(path);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.header.width, 176);
  EXPECT_EQ(r.header.height, 144);
  qvtest::ExpectIndexAtKeyFrames(r, kKindKeyFrame);
  const std::vector<uint8_t> video = r.VideoFromFirstKeyFrame();
  ASSERT_GT(video.size(), 1000u);
  if (o.mtu > 2048) {
    size_t largest = 0;
    for (const qvtest::RecordedFrame& f : r.frames) largest = std::max(largest, f.payload.size());
    EXPECT_GT(largest, 2048u) << "a unit that came in one large packet";
  }
  EXPECT_TRUE(qvtest::ContainsBytes(LastSession().video, video));
  const std::vector<uint8_t> audio = r.AudioPayloads();
  ASSERT_FALSE(audio.empty());
  EXPECT_TRUE(qvtest::ContainsBytes(LastSession().audio, audio));
}

INSTANTIATE_TEST_SUITE_P(
    Servers, DeviationTest,
    ::testing::Values(
        Deviation{"SplitAnswersDialectTcp", [](camsim::CameraOptions* o) { o->split_answers = true; }, kTcp, false},
        Deviation{"SplitAnswersStandardUdp", [](camsim::CameraOptions* o) { o->split_answers = true; }, kUdp, true},
        Deviation{"StapADialectTcp", [](camsim::CameraOptions* o) { o->stap_a = true; }, kTcp, false},
        Deviation{"StapAStandardUdp", [](camsim::CameraOptions* o) { o->stap_a = true; }, kUdp, true},
        Deviation{"RtpExtrasDialectUdp", [](camsim::CameraOptions* o) { o->rtp_extras = true; }, kUdp, false},
        Deviation{"RtpExtrasStandardTcp", [](camsim::CameraOptions* o) { o->rtp_extras = true; }, kTcp, true},
        // One packet per NAL unit: the key frames' slices are far over 2048 bytes.
        Deviation{"LargePacketsDialectTcp",
                  [](camsim::CameraOptions* o) {
                    o->mtu = 65000;
                    o->kbps = 1024;
                  },
                  kTcp, false},
        Deviation{"TextSessionIdsStandardTcp", [](camsim::CameraOptions* o) { o->text_session_id = true; }, kTcp, true},
        Deviation{"TextSessionIdsStandardUdp", [](camsim::CameraOptions* o) { o->text_session_id = true; }, kUdp, true}),
    [](const ::testing::TestParamInfo<Deviation>& p) { return std::string(p.param.name); });

// A standard-mode stream keeps its session alive with GET_PARAMETER at half the time-out the
// server named, over both transports.
TEST_F(DeviationTest, KeepAlivesWhilePlaying) {
  for (int16_t transport : {kTcp, kUdp}) {
    SCOPED_TRACE(transport == kTcp ? "tcp" : "udp");
    camsim::CameraOptions o = qvtest::SmallCamera();
    o.session_timeout = true;
    o.session_timeout_s = 1;
    camera_ = qvtest::StartCamera(o);
    Start(transport, true);
    ASSERT_TRUE(client_->WaitForNote({NOTIFY_STATE, 0}));
    EXPECT_TRUE(qvtest::PollUntil([&] { return qvtest::CountRequests(*camera_, "GET_PARAMETER") >= 2; }, 5000));
    EXPECT_EQ(qvtest::CountRequests(*camera_, "PLAY"), 1u) << "the stream never dropped";
    StopSource();
    camera_.reset();
  }
}

}  // namespace
}  // namespace qvnet
