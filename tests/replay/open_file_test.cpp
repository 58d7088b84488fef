// File clients through the exports: what opens and what is refused, the replay controls,
// pausing, the end-of-file report, and every picture of a file reaching the window.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "netclient/client/qvnet_library.h"
#include "tests/audio/alsa_sandbox.h"
#include "tests/replay/replay_test_support.h"
#include "tests/support/poll.h"
#include "tests/support/recording_readback.h"
#include "tests/support/temp_dir.h"
#include "tools/aviwrite/avi_writer.h"

namespace {

using qvtest::Bytes;
using qvtest::NotifyLog;
using qvtest::PollUntil;

constexpr int kPictures = 24;

class OpenFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    alsa_.UseNoDevice();
    ASSERT_EQ(QVNET_Startup(0, 0, &NotifyLog::Callback, 0), 1);
    NotifyLog::Get().Clear();
    pictures_ = qvtest::H264Pictures(kPictures);
    ASSERT_EQ(pictures_.size(), size_t(kPictures));
    // Pictures 400 ms apart with ticks across the wrap of the tick counter.
    recording_ = qvtest::H264Recording(pictures_, 0xFFFFF000u, false, false, 400);
    ASSERT_GE(recording_.Index().size(), 3u);
    path_ = dir_.File("r.h264");
    qvtest::WriteFile(path_, recording_.Finish());
  }
  void TearDown() override {
    if (handle_ != 0) {
      EXPECT_EQ(QVNET_CloseFile(handle_), 1);
    }
    EXPECT_EQ(qvnet::NetLibrary().clients.Size(), 0u);
  }
  QVNET_HANDLE Open(const std::string& path, bool paused) {
    handle_ = QVNET_OpenFile(path.c_str(), window_.handle, paused ? 1 : 0);
    return handle_;
  }
  bool WaitForEnd(size_t count = 1) {
    return PollUntil([&] { return NotifyLog::Get().Count(NOTIFY_REPLAY_END) >= count; }, 10000);
  }
  qvnet::NetClient& Client() { return *qvnet::NetLibrary().clients.Find(handle_); }
  // Seconds from the first to the last key frame of `b`, the length a file has.
  static uint32_t Length(const qvtest::RecordBuilder& b) {
    return (b.Index().back().tick - b.Index().front().tick) / 1000;
  }

  qvtest::AlsaSandbox alsa_;
  qvtest::SteppingClock clock_;
  qvtest::TempDir dir_;
  qvtest::TestWindow window_;
  std::vector<Bytes> pictures_;
  qvtest::RecordBuilder recording_;
  std::string path_;
  QVNET_HANDLE handle_ = 0;
};

TEST_F(OpenFileTest, RefusesPathsAndFilesItCannotPlay) {
  const Bytes good = recording_.Finish();
  Bytes zero_index = qvtest::RecordBuilder().Finish();  // stopped without a key frame: count 0
  zero_index.insert(zero_index.begin() + 39, good.begin() + 39, good.begin() + 200);
  aviwrite::AviWriter avi({false, 64, 48, 25});
  avi.AddFrame(pictures_[0], {}, true);
  Bytes avi_rate_zero = avi.Build();
  qvnet::PutU32(&avi_rate_zero[132], 0);
  const struct {
    const char* name;
    Bytes bytes;
  } files[] = {
      {"empty", {}},
      {"shorter than the header", Bytes(good.begin(), good.begin() + 30)},
      {"wrong signature", [&] { Bytes b = good; b[3] = 'X'; return b; }()},
      {"index count 0", zero_index},
      {"AVI with frame rate 0", avi_rate_zero},
  };
  for (const auto& f : files) {
    qvtest::WriteFile(dir_.File("bad"), f.bytes);
    EXPECT_EQ(QVNET_OpenFile(dir_.File("bad").c_str(), window_.handle, 0), 0u) << f.name;
  }
  EXPECT_EQ(QVNET_OpenFile(nullptr, window_.handle, 0), 0u);
  EXPECT_EQ(QVNET_OpenFile("", window_.handle, 0), 0u);
  EXPECT_EQ(QVNET_OpenFile(dir_.File("missing").c_str(), window_.handle, 0), 0u);
  EXPECT_EQ(QVNET_OpenFile(dir_.Path().c_str(), window_.handle, 0), 0u);  // a folder

  // 255 characters are taken, 256 refused (the same file, named with one more slash).
  const std::string name = dir_.File(std::string(255 - dir_.Path().size() - 1, 'n'));
  ASSERT_EQ(name.size(), 255u);
  qvtest::WriteFile(name, good);
  const std::string longer = dir_.Path() + "//" + name.substr(dir_.Path().size() + 1);
  EXPECT_EQ(QVNET_OpenFile(longer.c_str(), window_.handle, 0), 0u);
  ASSERT_NE(Open(name, true), 0u);
  EXPECT_EQ(QVNET_CloseFile(0), 0);
}

TEST_F(OpenFileTest, DamagedRecordFilesPlayWhatIsSound) {
  const Bytes good = recording_.Finish();
  const size_t entries = good.size() - 8 - 4 - 16 * recording_.Index().size();
  const Bytes unstopped = recording_.Finish(false);
  const uint32_t total = Length(recording_);
  const std::vector<qvnet::IndexEntry>& index = recording_.Index();
  const uint32_t without_last = (index[index.size() - 2].tick - index.front().tick) / 1000;
  const auto with_second_entry_at = [&](uint64_t offset) {
    Bytes b = good;
    qvnet::PutU64(&b[entries + 16], offset);
    return b;
  };
  const struct {
    const char* name;
    Bytes bytes;
    uint32_t total;
  } files[] = {
      {"interrupted recording: no index", unstopped, total},
      {"cut inside a record", Bytes(unstopped.begin(), unstopped.end() - 9), total},
      {"\"BEGININDEX\" missing", [&] { Bytes b = good; b[entries - 10] = 'X'; return b; }(), total},
      {"index offset past the end", with_second_entry_at(1ull << 40), total},
      {"index offset not at a key frame", with_second_entry_at(39), total},
      {"frame length past the end",
       [&] {
         Bytes b = unstopped;
         qvnet::PutU32(&b[index.back().offset], qvnet::EncodeDescriptor(0, 7, 0xFFFFF));
         return b;
       }(),
       without_last},
  };
  for (const auto& f : files) {
    SCOPED_TRACE(f.name);
    NotifyLog::Get().Clear();
    qvtest::WriteFile(dir_.File("d.h264"), f.bytes);
    const uint64_t shown = window_.sink->PresentCount();
    ASSERT_NE(Open(dir_.File("d.h264"), false), 0u);
    EXPECT_EQ(QVNET_ReplayTotalTime(handle_), f.total);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_TRUE(window_.sink->WaitPresentCount(shown + 1, 5000));
    EXPECT_LE(QVNET_ReplayCurTime(handle_), f.total);
    EXPECT_EQ(QVNET_CloseFile(handle_), 1);
    handle_ = 0;
  }
}

TEST_F(OpenFileTest, ReplayControlsKeepTheirLimits) {
  ASSERT_NE(Open(path_, true), 0u);
  qvnet::ReplayControl& rc = Client().display_control.replay;
  const uint32_t total = Length(recording_);
  ASSERT_GT(total, 0u);
  EXPECT_EQ(QVNET_ReplayTotalTime(handle_), total);
  for (auto [step, last] : {std::pair{&QVNET_SpeedFast, 4}, std::pair{&QVNET_SpeedSlow, -4}}) {
    EXPECT_EQ(QVNET_SpeedNormal(handle_), 1);
    std::vector<int> results;
    for (int i = 0; i < 5; ++i) results.push_back(step(handle_));
    EXPECT_EQ(results, (std::vector<int>{1, 1, 1, 1, 0}));
    EXPECT_EQ(rc.Speed(), last);
  }
  EXPECT_EQ(QVNET_SpeedNormal(handle_), 1);
  EXPECT_EQ(rc.Speed(), 0);

  EXPECT_EQ(QVNET_ReplayStepByStep(handle_), 1);
  EXPECT_EQ(rc.State(), qvnet::PauseState::kStepping);
  EXPECT_EQ(QVNET_ReplayPause(handle_), 1);
  EXPECT_EQ(rc.State(), qvnet::PauseState::kPaused);

  // A seek while paused clamps to the length and asks the paused display for one picture.
  EXPECT_EQ(QVNET_ReplaySeek(handle_, 1000), 1);
  EXPECT_EQ(QVNET_ReplayCurTime(handle_), total);
  EXPECT_EQ(QVNET_ReplayContinue(handle_), 1);
  EXPECT_EQ(rc.State(), qvnet::PauseState::kPlaying);

  for (auto control : {&QVNET_ReplayPause, &QVNET_ReplayContinue, &QVNET_ReplayStepByStep, &QVNET_SpeedFast,
                       &QVNET_SpeedNormal, &QVNET_SpeedSlow, &QVNET_CloseFile}) {
    EXPECT_EQ(control(0), 0);
  }
  EXPECT_EQ(QVNET_ReplayTotalTime(0), 0u);
  EXPECT_EQ(QVNET_ReplayCurTime(0), 0u);
  EXPECT_EQ(QVNET_ReplaySeek(0, 1), 0);

  // Without key frames there is no length, and nothing to seek in.
  qvtest::RecordBuilder no_keys;
  for (const Bytes& jpeg : qvtest::JpegPictures(2)) no_keys.Add(qvnet::kStreamVideo, qvnet::kKindJpegUdp, 1, jpeg);
  qvtest::WriteFile(dir_.File("udp.h264"), no_keys.Finish(false));
  const QVNET_HANDLE udp = QVNET_OpenFile(dir_.File("udp.h264").c_str(), window_.handle, 0);
  ASSERT_NE(udp, 0u);
  EXPECT_EQ(QVNET_ReplayTotalTime(udp), 0u);
  EXPECT_EQ(QVNET_ReplaySeek(udp, 0), 0);
  EXPECT_EQ(QVNET_CloseFile(udp), 1);
}

TEST_F(OpenFileTest, StartsPausedAfterTheFirstPictureAndShowsEveryPicture) {
  ASSERT_NE(Open(path_, true), 0u);
  ASSERT_TRUE(window_.sink->WaitPresentCount(1, 5000));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(window_.sink->PresentCount(), 1u);
  EXPECT_EQ(QVNET_ReplayStepByStep(handle_), 1);
  ASSERT_TRUE(window_.sink->WaitPresentCount(2, 5000));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(window_.sink->PresentCount(), 2u);

  EXPECT_EQ(QVNET_ReplayContinue(handle_), 1);
  // The position never runs past the length, also after the last key frame.
  bool ended = false;
  for (int i = 0; i < 2000 && !ended; ++i) {
    ASSERT_LE(QVNET_ReplayCurTime(handle_), QVNET_ReplayTotalTime(handle_));
    ended = NotifyLog::Get().Count(NOTIFY_REPLAY_END) > 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_TRUE(ended);
  EXPECT_TRUE(window_.sink->WaitPresentCount(kPictures, 5000));
  // The last pictures lie after the last key frame: the position stops at the length.
  EXPECT_EQ(QVNET_ReplayCurTime(handle_), QVNET_ReplayTotalTime(handle_));
}

TEST_F(OpenFileTest, EndOfFileGoesToTheCallbackOnlyAndOncePerArrival) {
  ASSERT_NE(Open(path_, false), 0u);
  ASSERT_TRUE(WaitForEnd());
  std::this_thread::sleep_for(std::chrono::milliseconds(400));  // four rounds of the end wait
  std::vector<qvtest::Notification> got = NotifyLog::Get().Entries();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].handle, handle_);
  EXPECT_EQ(got[0].code, uint32_t{NOTIFY_REPLAY_END});
  EXPECT_EQ(got[0].value, 0u);
  EXPECT_EQ(got[0].user, 0u);
  EXPECT_EQ(QVNET_ReplaySeek(handle_, 0), 1);
  ASSERT_TRUE(WaitForEnd(2));
  EXPECT_EQ(window_.sink->QueuedMessages(), 0u);
  EXPECT_EQ(QVNET_CloseFile(handle_), 1);
  handle_ = 0;

  // Without a callback the end goes nowhere: nothing is posted to the window.
  ASSERT_EQ(QVNET_Startup(0, 0, nullptr, 0), 1);
  const uint64_t shown = window_.sink->PresentCount();
  ASSERT_NE(Open(path_, false), 0u);
  ASSERT_TRUE(window_.sink->WaitPresentCount(shown + kPictures, 10000));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(window_.sink->QueuedMessages(), 0u);
}

// Every layout plays start to end with every picture shown.
TEST_F(OpenFileTest, LegacyJpegAndAviFilesShowEveryPicture) {
  const std::vector<Bytes> jpegs = qvtest::JpegPictures(10);
  qvtest::RecordBuilder jpeg_record(qvnet::kPayloadTypeJpeg);
  for (size_t i = 0; i < jpegs.size(); ++i) jpeg_record.Add(qvnet::kStreamVideo, 7, 100 + 40 * uint32_t(i), jpegs[i]);
  aviwrite::AviWriter h264_avi({false, 64, 48, 25});
  for (const Bytes& p : pictures_) h264_avi.AddFrame(p, Bytes(640, 0x55), qvtest::IsKeyUnit(p));
  aviwrite::AviWriter jpeg_avi({true, 64, 48, 25});
  for (const Bytes& j : jpegs) jpeg_avi.AddFrame(j, Bytes(640, 0x55), true);
  const qvtest::RecordBuilder legacy = qvtest::H264Recording(pictures_, 5000, true, true, 400);
  const struct {
    const char* name;
    Bytes bytes;
    uint64_t pictures;
    uint32_t total;
  } files[] = {
      {"legacy", legacy.Finish(), kPictures, Length(legacy)},
      {"JPEG record", jpeg_record.Finish(), jpegs.size(), 0},
      {"H.264 AVI", h264_avi.Build(), kPictures, 0},
      {"JPEG AVI", jpeg_avi.Build(), jpegs.size(), 0},
  };
  for (const auto& f : files) {
    SCOPED_TRACE(f.name);
    NotifyLog::Get().Clear();
    qvtest::WriteFile(dir_.File("f"), f.bytes);
    const uint64_t shown = window_.sink->PresentCount();
    ASSERT_NE(Open(dir_.File("f"), false), 0u);
    EXPECT_EQ(QVNET_ReplayTotalTime(handle_), f.total);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_TRUE(window_.sink->WaitPresentCount(shown + f.pictures, 5000)) << window_.sink->PresentCount() - shown;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(window_.sink->PresentCount(), shown + f.pictures);
    EXPECT_EQ(QVNET_CloseFile(handle_), 1);
    handle_ = 0;
  }
}

// Sound reaches the device (ALSA's file plugin) only at normal speed.
TEST_F(OpenFileTest, SoundCannotBeTurnedOnWithoutADevice) {
  ASSERT_NE(Open(path_, false), 0u);
  EXPECT_EQ(QVNET_ClientPlayAudio(handle_), 0);
  EXPECT_EQ(QVNET_ClientStopAudio(handle_), 1);
}

TEST_F(OpenFileTest, SoundPlaysAtNormalSpeedOnly) {
  alsa_.UseFileSink();
  const std::vector<Bytes> many = qvtest::H264Pictures(40);
  qvtest::WriteFile(path_, qvtest::H264Recording(many, 1000, true, false, 100).Finish());
  Bytes all;
  for (int i = 0; i < 40; ++i) {
    const Bytes pcm = qvtest::AlawFrame(i).pcm;
    all.insert(all.end(), pcm.begin(), pcm.end());
  }
  const auto played_out = [&] { return PollUntil([&] { return Client().audio_conduit->GetUsed() < 800; }); };

  // The reader starts at normal speed, so some sound of the start may go out before the speed
  // changes; the seek then empties the conduits and everything after it is at speed 1.
  ASSERT_NE(Open(path_, true), 0u);
  EXPECT_EQ(QVNET_ClientPlayAudio(handle_), 1);
  EXPECT_EQ(QVNET_SpeedFast(handle_), 1);
  EXPECT_EQ(QVNET_ReplaySeek(handle_, 0), 1);
  ASSERT_TRUE(PollUntil([&] { return !Client().display_control.replay.SeekPending(); }));
  EXPECT_EQ(QVNET_ReplayContinue(handle_), 1);
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(Client().audio_conduit->GetUsed(), 0u);
  // Back at normal speed from the second key frame on: the rest of the sound is played.
  EXPECT_EQ(QVNET_SpeedNormal(handle_), 1);
  EXPECT_EQ(QVNET_ReplaySeek(handle_, 0), 1);
  ASSERT_TRUE(WaitForEnd(2));
  ASSERT_TRUE(played_out());
  EXPECT_EQ(QVNET_CloseFile(handle_), 1);
  handle_ = 0;
  const Bytes played = alsa_.Played();
  ASSERT_GE(played.size(), 3200u);
  EXPECT_LT(played.size(), all.size());
  EXPECT_TRUE(qvtest::ContainsBytes(all, Bytes(played.end() - 3200, played.end())));
}

}  // namespace
