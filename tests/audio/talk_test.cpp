// Two-way talk against the in-process camera simulator (and a canned peer) on 127.0.0.1, with
// capture read from and playback written to raw files through ALSA's file plugin.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "netclient/include/QVNetClient.h"
#include "netclient/media/codec/voiceengine.h"
#include "netclient/stream/talk2vs.h"
#include "tests/audio/alsa_sandbox.h"
#include "tests/rtsp/canned_peer.h"
#include "tools/camsim/audio_clip.h"
#include "tools/camsim/camera.h"
#include "tools/camsim/talk.h"

namespace qvnet {
namespace {

using qvtest::MillisecondsOf;

constexpr size_t kFrameSamples = 320;
constexpr size_t kVoiceFrameBytes = 164;  // G.726-32: 4-byte header + 160 bytes for 40 ms

// The client fields a talk session reads: the camera's address and the stream number.
class TalkClient : public StreamClient {
 public:
  explicit TalkClient(uint16_t port, uint8_t stream = 0) : StreamClient(Context(), kNetClientFlavor) {
    address.host = "127.0.0.1";
    address.port = port;
    stream_number = stream;
  }
  void Notify(uint32_t, int32_t) override {}

 private:
  static LibraryContext& Context() {
    static LibraryContext context;
    return context;
  }
};

// Retries after 100 ms, and 300 ms of silence from the camera ends a pass.
constexpr TalkTimings kQuick{.retry_step_ms = 20, .retry_steps = 5, .recv_timeout_ms = 300};

std::unique_ptr<camsim::Camera> StartCamera(bool talk_back) {
  camsim::CameraOptions o;
  o.width = 176;
  o.height = 144;
  o.fps = 10;
  o.kbps = 256;
  o.clip_seconds = 1;
  o.talk_back = talk_back;
  auto camera = std::make_unique<camsim::Camera>(o);
  std::string error;
  if (!camera->Start(&error)) {
    ADD_FAILURE() << error;
    return nullptr;
  }
  return camera;
}

std::vector<camsim::RequestRecord> TalkRequests(const camsim::Camera& camera) {
  std::vector<camsim::RequestRecord> talk;
  for (const auto& r : camera.Requests()) {
    if (r.text.find("CMD:TALK") != std::string::npos) talk.push_back(r);
  }
  return talk;
}

std::vector<int16_t> Voice(size_t samples) {
  std::vector<int16_t> v(samples);
  for (size_t i = 0; i < samples; ++i) {
    const double t = static_cast<double>(i) / 8000.0;
    v[i] = static_cast<int16_t>(6000 * std::sin(2 * std::numbers::pi * 300 * t) + 2500 * std::sin(2 * std::numbers::pi * 1100 * t));
  }
  return v;
}

std::vector<uint8_t> Encode(const std::vector<int16_t>& pcm) {
  qvcodec::VoiceState state{};
  EXPECT_EQ(qvcodec::VoiceEncReset(state.bytes, qvcodec::kVoiceG726_32), 0);
  std::vector<uint8_t> out;
  for (size_t off = 0; off + kFrameSamples <= pcm.size(); off += kFrameSamples) {
    uint8_t frame[kVoiceFrameBytes];
    EXPECT_EQ(qvcodec::VoiceEncodeFrame(state.bytes, pcm.data() + off, frame, kFrameSamples), 0);
    out.insert(out.end(), frame, frame + kVoiceFrameBytes);
  }
  return out;
}

// The first talk-back frame the simulator sends, decoded as the receiver does, as raw bytes.
std::vector<uint8_t> FirstTalkBackFrameDecoded() {
  std::string error;
  const auto clip = camsim::GetAudioClip(camsim::AudioCodec::kG726_32, 8, &error);
  if (!clip || clip->packets.empty()) return {};
  const camsim::Bytes frame = camsim::MakeVoiceFrame(clip->packets.front());
  qvcodec::VoiceState state{};
  std::vector<int16_t> pcm(qvcodec::kMaxVoiceSamples);
  uint16_t count = 0;
  if (qvcodec::VoiceDecReset(state.bytes, qvcodec::kVoiceG726_32) != 0 ||
      qvcodec::VoiceDecodeFrame(state.bytes, frame.data(), pcm.data(), &count) != 0) {
    return {};
  }
  std::vector<uint8_t> bytes(count * 2u);
  std::memcpy(bytes.data(), pcm.data(), bytes.size());
  return bytes;
}

TEST(TalkTest, SendsEncodedMicrophoneSoundAndPlaysWhatComesBack) {
  for (const bool talk_back : {false, true}) {
    SCOPED_TRACE(talk_back ? "talk-back" : "no talk-back");
    qvtest::AlsaSandbox alsa;
    const std::vector<int16_t> spoken = Voice(8 * kFrameSamples);
    alsa.SetCaptured(spoken);
    auto camera = StartCamera(talk_back);
    ASSERT_TRUE(camera);
    TalkClient client(camera->Port(), 5);
    {
      CTalk2VS talk(client, kQuick);
      ASSERT_EQ(talk.Start(), qvp::JThread::kStarted);
      // Past the 8 captured frames, the simulator has been answering for a while.
      ASSERT_TRUE(qvtest::PollUntil([&] { return camera->TalkFrames().size() >= 16; }));
      EXPECT_EQ(talk.TalkBack(), talk_back);
      EXPECT_LT(MillisecondsOf([&] { talk.Stop(); }), 500);
    }
    const auto requests = TalkRequests(*camera);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].text, "CMD:TALK MCTP/1.0 CS\n@5@6@\nEND\n");

    const auto frames = camera->TalkFrames();
    const camsim::Bytes voice = camera->TalkVoice();
    ASSERT_EQ(voice.size(), frames.size() * kVoiceFrameBytes);
    qvcodec::VoiceState dec{};
    ASSERT_EQ(qvcodec::VoiceDecReset(dec.bytes, qvcodec::kVoiceG726_32), 0);
    std::vector<int16_t> pcm(qvcodec::kMaxVoiceSamples);
    for (size_t i = 0; i < frames.size(); ++i) {
      EXPECT_TRUE(frames[i].valid) << i;
      EXPECT_EQ(frames[i].length, kVoiceFrameBytes) << i;
      if (i > 0) {
        EXPECT_GE(static_cast<int32_t>(frames[i].client_tick - frames[i - 1].client_tick), 0) << i;
      }
      const uint8_t* f = voice.data() + i * kVoiceFrameBytes;
      EXPECT_EQ(std::vector<uint8_t>(f, f + 4), (std::vector<uint8_t>{0x00, 0x01, 80, 0x00})) << i;
      uint16_t count = 0;
      EXPECT_EQ(qvcodec::VoiceDecodeFrameBounded(dec.bytes, f, kVoiceFrameBytes, pcm.data(), &count), 0) << i;
      EXPECT_EQ(count, kFrameSamples) << i;
    }
    // The captured sound went out whole and in order.
    const std::vector<uint8_t> expected = Encode(spoken);
    ASSERT_GE(voice.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), voice.begin()));

    const std::vector<uint8_t> played = alsa.Played();
    if (!talk_back) {
      EXPECT_TRUE(played.empty());
      continue;
    }
    ASSERT_GE(played.size(), 640u);
    EXPECT_EQ(played.size() % 640, 0u);
    const std::vector<uint8_t> first = FirstTalkBackFrameDecoded();
    ASSERT_EQ(first.size(), 640u);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), played.begin()));
  }
}

TEST(TalkTest, RefusedAndMalformedAnswersAreRetriedAfterTheWait) {
  qvtest::AlsaSandbox alsa;
  alsa.SetCaptured(Voice(4 * kFrameSamples));
  auto camera = StartCamera(false);
  ASSERT_TRUE(camera);
  struct Case {
    const char* name;
    void (*fault)(camsim::Camera&, bool on);
  };
  const Case cases[] = {
      {"second number 0", [](camsim::Camera& c, bool on) { c.SetRefuseTalk(on); }},
      {"three lines",
       [](camsim::Camera& c, bool on) { c.SetMctpFault(on ? camsim::McptFault::kWrongLineCount : camsim::McptFault::kNone); }},
      {"not numbers",
       [](camsim::Camera& c, bool on) { c.SetMctpFault(on ? camsim::McptFault::kGarbageNumbers : camsim::McptFault::kNone); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.fault(*camera, true);
    const size_t requests_before = TalkRequests(*camera).size();
    const size_t frames_before = camera->TalkFrames().size();
    TalkClient client(camera->Port());
    CTalk2VS talk(client, kQuick);
    ASSERT_EQ(talk.Start(), qvp::JThread::kStarted);
    ASSERT_TRUE(qvtest::PollUntil([&] { return TalkRequests(*camera).size() >= requests_before + 3; }));
    const auto requests = TalkRequests(*camera);
    for (size_t i = requests_before + 1; i < requests.size(); ++i) {
      EXPECT_GE(requests[i].tick - requests[i - 1].tick, 95u) << "retried without the wait";
    }
    EXPECT_EQ(camera->TalkFrames().size(), frames_before);
    // Once the camera accepts, the session talks.
    c.fault(*camera, false);
    EXPECT_TRUE(qvtest::PollUntil([&] { return camera->TalkFrames().size() > frames_before; }));
    talk.Stop();
  }
}

TEST(TalkTest, StopIsPromptWhileTheCameraIsSlowToAnswer) {
  qvtest::AlsaSandbox alsa;
  auto camera = StartCamera(false);
  ASSERT_TRUE(camera);
  camera->SetSlow(5000);
  TalkClient client(camera->Port());
  CTalk2VS talk(client, kQuick);
  ASSERT_EQ(talk.Start(), qvp::JThread::kStarted);
  ASSERT_TRUE(qvtest::PollUntil([&] { return TalkRequests(*camera).size() == 1; }));
  EXPECT_LT(MillisecondsOf([&] { talk.Stop(); }), 1000);
}

TEST(TalkTest, SilenceFromTheCameraStartsAFreshConnection) {
  qvtest::AlsaSandbox alsa;
  alsa.SetCaptured(Voice(4 * kFrameSamples));
  // Accepts talk with talk-back, then never sends a byte; twice.
  qvtest::CannedPeer peer({"CMD:TALK MCTP/1.0 CS\n@1@1@\n"}, 0, 2, true);
  ASSERT_NE(peer.Port(), 0);
  TalkClient client(peer.Port());
  CTalk2VS talk(client, kQuick);
  ASSERT_EQ(talk.Start(), qvp::JThread::kStarted);
  ASSERT_TRUE(qvtest::PollUntil([&] { return peer.Requests().size() == 2; }));
  EXPECT_TRUE(talk.TalkBack());
  EXPECT_TRUE(talk.IsRunning());
  talk.Stop();
}

TEST(TalkTest, NoSoundDeviceEndsTheSession) {
  for (const bool talk_back : {false, true}) {  // capture, or first the playback, cannot open
    SCOPED_TRACE(talk_back ? "talk-back" : "no talk-back");
    qvtest::AlsaSandbox alsa;
    alsa.UseNoDevice();
    auto camera = StartCamera(talk_back);
    ASSERT_TRUE(camera);
    TalkClient client(camera->Port());
    CTalk2VS talk(client, kQuick);
    ASSERT_EQ(talk.Start(), qvp::JThread::kStarted);
    ASSERT_TRUE(qvtest::PollUntil([&] { return !talk.IsRunning(); }));
    EXPECT_EQ(TalkRequests(*camera).size(), 1u);  // not retried
    EXPECT_TRUE(camera->TalkFrames().empty());
  }
}

// The talk connections have been closed: the camera has seen `sessions` of them end, so
// every frame sent on them has arrived and no more can come.
void ExpectTalkEnded(const camsim::Camera& camera, size_t sessions) {
  EXPECT_TRUE(qvtest::PollUntil([&] { return camera.TalkSessionsEnded() >= sessions; }));
  EXPECT_EQ(camera.TalkSessionsEnded(), sessions);
}

TEST(TalkExportsTest, StartReplacesAndStopEndsTheSession) {
  qvtest::AlsaSandbox alsa;
  alsa.SetCaptured(Voice(4 * kFrameSamples));
  auto camera = StartCamera(false);
  ASSERT_TRUE(camera);
  EXPECT_EQ(QVNET_ClientStartTalk(0), 0);
  QVNET_ClientStopTalk(0);

  ClientParams p{};
  p.transport = 1;
  std::snprintf(p.address, sizeof p.address, "127.0.0.1:%u", camera->Port());
  const QVNET_HANDLE h = QVNET_ClientStart(&p);
  ASSERT_NE(h, 0u);
  QVNET_ClientStopTalk(h);  // no session yet: nothing to do

  EXPECT_EQ(QVNET_ClientStartTalk(h), 1);
  ASSERT_TRUE(qvtest::PollUntil([&] { return !camera->TalkFrames().empty(); }));
  EXPECT_EQ(QVNET_ClientStartTalk(h), 1);  // ends the first session, opens a second
  ASSERT_TRUE(qvtest::PollUntil([&] { return TalkRequests(*camera).size() == 2; }));
  EXPECT_LT(MillisecondsOf([&] { QVNET_ClientStopTalk(h); }), 500);
  ExpectTalkEnded(*camera, 2);

  // The client's stop ends a running session too.
  EXPECT_EQ(QVNET_ClientStartTalk(h), 1);
  ASSERT_TRUE(qvtest::PollUntil([&] { return TalkRequests(*camera).size() == 3; }));
  EXPECT_LT(MillisecondsOf([&] { EXPECT_EQ(QVNET_ClientStop(h), 1); }), 1000);
  ExpectTalkEnded(*camera, 3);
}

}  // namespace
}  // namespace qvnet
