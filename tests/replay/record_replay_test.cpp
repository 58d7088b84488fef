// The record file reader of the file source, driven step by step on the test thread: what it
// feeds into the conduits, where seeks land, when sound plays, and how the end is reported.
#include "netclient/replay/record_replay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

#include "netclient/media/display/av_display.h"
#include "tests/replay/replay_test_support.h"
#include "tests/support/poll.h"
#include "tests/support/temp_dir.h"

namespace qvnet {
namespace {

using qvtest::Bytes;

// A file client's state without threads.
struct Rig {
  explicit Rig(const std::string& path) {
    client.handle = 77;
    client.display_control.file_mode = true;
    client.play_audio = true;
    context.callback = &qvtest::NotifyLog::Callback;
    qvtest::NotifyLog::Get().Clear();
    opened = file.Open(path) == RecordOpenResult::kOk;
    Replay().SetTimeline(file.Index().empty() ? 0 : file.Index().front().tick, qvtest::kTimelineSeconds);
    reader.Begin();
  }
  // Steps until the reader is at the end (bounded by the records in a test file).
  void PlayToEnd() {
    for (int i = 0; i < 10000 && !reader.AtEnd(); ++i) reader.Step();
  }
  static Bytes Drain(CBufferConduit& c) {
    Bytes out(c.GetUsed());
    if (!out.empty()) c.Read(out.data(), static_cast<uint32_t>(out.size()), nullptr, 0);
    return out;
  }
  ReplayControl& Replay() { return client.display_control.replay; }
  void Seek(uint32_t seconds) { ASSERT_TRUE(Replay().RequestSeek(seconds)); }

  LibraryContext context;
  NetClient client{context};
  bool conduits = qvtest::MakeConduits(client);
  RecordFileReader file;
  bool opened = false;
  ReplayFeed feed{client.ReplayTargetOf(), [] { return false; }, VideoFraming::kByteStream, true};
  RecordReplay reader{client.ReplayTargetOf(), file, feed};
};

TEST(RecordReplaySeek, FirstKeyFrameStrictlyLaterThanTheTarget) {
  const std::vector<IndexEntry> index = {{39, 1000}, {500, 3000}, {900, 5000}};
  const std::vector<IndexEntry> wrapped = {{39, 0xFFFFF000u}, {500, 0xFFFFFC00u}, {900, 0x00000400u}};
  const struct {
    const char* name;
    const std::vector<IndexEntry>& index;
    uint32_t target;
    std::optional<size_t> entry;
  } cases[] = {
      {"seek to the start skips the first key frame", index, 1000, 1},
      {"between key frames", index, 3500, 2},
      {"exactly on a key frame", index, 3000, 2},
      {"before the first", index, 10, 0},
      {"at the last", index, 5000, std::nullopt},
      {"past the last", index, 9000, std::nullopt},
      {"across the tick wrap", wrapped, 0xFFFFFD00u, 2},
      {"start across the tick wrap", wrapped, 0xFFFFF000u, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindSeekEntry(c.index, c.target), c.entry) << c.name;
  }
  EXPECT_EQ(SecondsFromFirst(1000, 4999), 3u);
  EXPECT_EQ(SecondsFromFirst(1000, 999), 0u);  // older than the first key frame
  EXPECT_EQ(SecondsFromFirst(0xFFFFF000u, 0x00001000u), 8u);
}

// Pictures 500 ms apart (5.5 s in all), with a key picture at least every fourth.
class RecordReplayTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    pictures_ = qvtest::H264Pictures(12);
    ASSERT_EQ(pictures_.size(), 12u);
    builder_ = std::make_unique<qvtest::RecordBuilder>(qvtest::H264Recording(pictures_, 70000, true, GetParam(), 500));
    path_ = dir_.File("r.h264");
    qvtest::WriteFile(path_, builder_->Finish());
  }
  qvtest::TempDir dir_;
  std::vector<Bytes> pictures_;
  std::unique_ptr<qvtest::RecordBuilder> builder_;
  std::string path_;
};

TEST_P(RecordReplayTest, FeedsTheStreamEndsItOnceAndSeeksToTheNextKeyFrame) {
  Rig rig(path_);
  ASSERT_TRUE(rig.opened);
  const std::vector<IndexEntry> index = rig.file.Index();
  ASSERT_GE(index.size(), 3u);
  const uint32_t first = index.front().tick;
  rig.PlayToEnd();
  const Bytes video = Rig::Drain(*rig.client.video_conduit);
  Bytes expected;
  for (const Bytes& p : pictures_) {
    for (const Bytes& nal : qvtest::SplitNals(p)) {
      expected.insert(expected.end(), {0, 0, 1});
      expected.insert(expected.end(), nal.begin(), nal.end());
    }
  }
  // The stream, then a delimiter and zero bytes up to a whole number of the display's pieces.
  ASSERT_GE(video.size(), expected.size() + 6);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), video.begin()));
  EXPECT_EQ(video.size() % CAVDisplay::kReplayChunkBytes, 0u);
  EXPECT_EQ(Bytes(video.begin() + static_cast<std::ptrdiff_t>(expected.size()),
                  video.begin() + static_cast<std::ptrdiff_t>(expected.size()) + 6),
            (Bytes{0, 0, 0, 1, 0x09, 0xF0}));
  EXPECT_EQ(rig.Replay().CurrentSeconds(), 5u);  // last picture at 5.5 s

  // Waiting at the end reports nothing more.
  for (int i = 0; i < 20; ++i) rig.reader.Step();
  const std::vector<qvtest::Notification> ends = qvtest::NotifyLog::Get().Entries();
  ASSERT_EQ(ends.size(), 1u);
  EXPECT_EQ(ends[0].handle, 77u);
  EXPECT_EQ(ends[0].code, uint32_t{NOTIFY_REPLAY_END});
  EXPECT_EQ(ends[0].value, 0u);
  EXPECT_EQ(ends[0].user, 0u);

  // A seek to 0 lands on the second key frame, with fresh conduits.
  rig.client.audio_conduit->Write(reinterpret_cast<const uint8_t*>("old"), 3, false);
  rig.Seek(0);
  rig.reader.Step();
  EXPECT_FALSE(rig.Replay().SeekPending());
  EXPECT_FALSE(rig.reader.AtEnd());
  EXPECT_EQ(rig.client.audio_conduit->GetUsed(), 0u);
  EXPECT_EQ(rig.file.Position(), index[1].offset);
  for (int i = 0; i < 100 && rig.client.video_conduit->GetUsed() == 0; ++i) rig.reader.Step();
  const Bytes sps = Rig::Drain(*rig.client.video_conduit);
  ASSERT_GE(sps.size(), 4u);
  EXPECT_EQ(sps[3] & 0x1F, 7);
  EXPECT_EQ(rig.Replay().CurrentSeconds(), (index[1].tick - first) / 1000);

  // Past the last key frame there is nowhere to go: the position shows the target and
  // reading goes on where it was.
  const uint64_t at = rig.file.Position();
  const uint32_t beyond = (index.back().tick - first + 999) / 1000;
  rig.Seek(beyond);
  rig.reader.Step();
  EXPECT_FALSE(rig.Replay().SeekPending());
  EXPECT_GT(rig.file.Position(), at);
  EXPECT_EQ(rig.Replay().CurrentSeconds(), beyond);

  rig.PlayToEnd();
  EXPECT_EQ(qvtest::NotifyLog::Get().Count(NOTIFY_REPLAY_END), 2u);  // a second arrival at the end
}

INSTANTIATE_TEST_SUITE_P(Layouts, RecordReplayTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "Legacy" : "Current"; });

TEST(RecordReplaySound, PlaysOnlyAtNormalSpeedWithSoundOnAndADevice) {
  qvtest::TempDir dir;
  const std::vector<Bytes> pictures = qvtest::H264Pictures(6);
  qvtest::WriteFile(dir.File("s.h264"), qvtest::H264Recording(pictures, 1000, true).Finish());
  Bytes all;
  for (int i = 0; i < 6; ++i) {
    const Bytes pcm = qvtest::AlawFrame(i).pcm;
    all.insert(all.end(), pcm.begin(), pcm.end());
  }
  const struct {
    const char* name;
    int32_t speed;
    bool play_audio;
    bool unavailable;
    bool plays;
  } cases[] = {
      {"normal", 0, true, false, true},     {"faster", 1, true, false, false},
      {"slower", -2, true, false, false},   {"sound off", 0, false, false, false},
      {"no device", 0, true, true, false},
  };
  for (const auto& c : cases) {
    Rig rig(dir.File("s.h264"));
    qvtest::SetSpeed(rig.Replay(), c.speed);
    rig.client.play_audio = c.play_audio;
    rig.client.sound_unavailable = c.unavailable;
    rig.PlayToEnd();
    EXPECT_EQ(Rig::Drain(*rig.client.audio_conduit), c.plays ? all : Bytes{}) << c.name;
  }
}

TEST(ReplayFeedSound, PiecesFitTheSmallConduitAndWaitingGivesUp) {
  LibraryContext context;
  NetClient client(context);
  client.play_audio = true;
  ASSERT_TRUE(qvtest::MakeConduits(client));
  client.audio_conduit = std::make_unique<CBufferConduit>();
  ASSERT_TRUE(client.audio_conduit->Create(kReplayAudioConduitBytes, false, kConduitLowWater, false));
  ReplayControl& replay = client.display_control.replay;
  std::atomic<bool> stop{false};
  ReplayFeed feed(client.ReplayTargetOf(), [&] { return stop.load(); }, VideoFraming::kByteStream, true);

  // A player that takes 800 bytes at a time, as the sound thread does.
  Bytes played;
  std::atomic<bool> done{false};
  std::thread player([&] {
    uint8_t buf[800];
    while (!done) {
      if (client.audio_conduit->Read(buf, sizeof buf, nullptr, 20) == sizeof buf) {
        played.insert(played.end(), buf, buf + sizeof buf);
      }
    }
  });
  Bytes sent;
  for (int i = 0; i < 10; ++i) {
    Bytes pcm(640);
    for (size_t j = 0; j < pcm.size(); ++j) pcm[j] = static_cast<uint8_t>(i * 7 + j);
    ASSERT_TRUE(feed.WriteAudio(pcm.data(), 640, 1)) << i;  // 640 + 640 never fit 1024 at once
    sent.insert(sent.end(), pcm.begin(), pcm.end());
  }
  ASSERT_TRUE(qvtest::PollUntil([&] { return client.audio_conduit->GetUsed() < 800; }));
  done = true;
  player.join();
  EXPECT_EQ(played, sent);

  // Nobody plays: a full conduit makes the write wait until a reason to give up appears.
  const Bytes fill(1024, 1);
  ASSERT_TRUE(client.audio_conduit->Write(fill.data(), 1024 - client.audio_conduit->GetUsed(), false));
  const struct {
    const char* name;
    std::function<void()> cause;
    std::function<void()> undo;
  } reasons[] = {
      {"stop", [&] { stop = true; }, [&] { stop = false; }},
      {"seek", [&] { replay.RequestSeek(1); }, [&] { replay.SeekDone(1); }},
      {"device gone", [&] { client.sound_unavailable = true; }, [&] { client.sound_unavailable = false; }},
      {"sound off", [&] { client.play_audio = false; }, [&] { client.play_audio = true; }},
      {"speed", [&] { replay.Faster(); }, [&] { replay.NormalSpeed(); }},
  };
  for (const auto& r : reasons) {
    std::thread later([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      r.cause();
    });
    const Bytes pcm(640, 2);
    EXPECT_FALSE(feed.WriteAudio(pcm.data(), 640, 1)) << r.name;
    later.join();
    r.undo();
  }
}

}  // namespace
}  // namespace qvnet
