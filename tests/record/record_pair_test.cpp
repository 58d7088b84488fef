#include "netclient/media/record/record_pair.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "tests/record/record_test_support.h"
#include "tests/support/fake_clock.h"

namespace qvnet {
namespace {

using qvtest::ReadAll;

const std::vector<uint8_t> kStartCode = {0x00, 0x00, 0x01};

// Collects notification codes; receive threads and the caller may both notify.
struct Codes {
  std::mutex mutex;
  std::vector<int> codes;
  RecordPair::Notify Sink() {
    return [this](int c) {
      std::lock_guard<std::mutex> lock(mutex);
      codes.push_back(c);
    };
  }
  std::vector<int> Take() {
    std::lock_guard<std::mutex> lock(mutex);
    return std::exchange(codes, {});
  }
};

class RecordPairTest : public ::testing::Test {
 protected:
  qvtest::FakeClock clock_{5000};
  qvtest::TempDir dir_;
  Codes codes_;
};

TEST_F(RecordPairTest, H264AndAudioRoundTrip) {
  RecordPair pair(codes_.Sink());
  pair.SetRecordHeader(RecordHeader{kPayloadTypeH264, 1, 704, 576, 0});
  const std::string path = dir_.File("day/cam1.h264");
  ASSERT_EQ(pair.ClientStartRecord(path.c_str(), 0), 1);

  // The file is held exclusively while it is written, so disk clean-up passes it by.
  const int probe = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(probe, 0);
  EXPECT_NE(::flock(probe, LOCK_EX | LOCK_NB), 0);
  ::close(probe);

  const std::vector<uint8_t> sps = {0x67, 0x42, 0x00, 0x1E}, pps = {0x68, 0xCE, 0x38, 0x80};
  const std::vector<uint8_t> fu_head = {0x65}, idr_a(1000, 0xA1), idr_b(700, 0xB2), voice = {0x00, 0x01, 80, 0};
  const std::vector<uint8_t> alaw(160, 0xD5);
  pair.RecordUnit(H264Unit(7, 704, 576, kStartCode, sps));  // single NAL unit: SPS
  clock_.Advance(1);
  pair.RecordUnit(H264Unit(8, 704, 576, kStartCode, pps));
  pair.RecordUnit(AudioUnit(1, 0xABCDEF01u, voice, alaw));
  pair.RecordUnit(H264Unit(5, 704, 576, kStartCode, fu_head, idr_a));  // FU-A start, rebuilt header
  pair.RecordUnit(H264Unit(5, 704, 576, idr_b));                       // FU-A continuation
  clock_.Advance(960);
  pair.RecordUnit(H264Unit(7, 704, 576, kStartCode, sps));
  const RecordWriterStats before_stop = pair.NormalWriter().Stats();
  EXPECT_EQ(pair.ClientStopRecord(), 1);
  EXPECT_EQ(codes_.Take(), (std::vector<int>{kRecordStarted, kRecordStopped}));

  const qvtest::ReadBack rb = ReadAll(path);
  ASSERT_EQ(rb.open, RecordOpenResult::kOk);
  EXPECT_EQ(rb.layout, RecordLayout::kH264);
  EXPECT_EQ(rb.header.audio_codec, 1);
  EXPECT_EQ(rb.header.width, 704);
  EXPECT_EQ(rb.header.frame_rate, 30);
  EXPECT_EQ(rb.origin, IndexOrigin::kTail);
  EXPECT_EQ(rb.index, (std::vector<IndexEntry>{{39, 5000}, {rb.offsets[5], 5961}}));
  ASSERT_EQ(rb.headers.size(), 6u);

  std::vector<uint8_t> annexb, expected;
  for (size_t i = 0; i < rb.headers.size(); ++i) {
    if (rb.headers[i].stream == kStreamVideo) annexb.insert(annexb.end(), rb.payloads[i].begin(), rb.payloads[i].end());
  }
  for (const auto* part : {&kStartCode, &sps, &kStartCode, &pps, &kStartCode, &fu_head, &idr_a, &idr_b, &kStartCode, &sps}) {
    expected.insert(expected.end(), part->begin(), part->end());
  }
  EXPECT_EQ(annexb, expected);
  EXPECT_EQ(rb.headers[3].kind, 5);
  EXPECT_EQ(rb.headers[3].length, 1004u);
  const FrameHeader& audio = rb.headers[2];
  EXPECT_EQ(audio.stream, kStreamAudio);
  EXPECT_EQ(audio.kind, 1);
  EXPECT_EQ(audio.length, 164u);
  EXPECT_EQ(audio.tick, 0xABCDEF01u);

  const uint64_t file_size = qvtest::ReadBytes(path).size();
  EXPECT_EQ(pair.NormalWriter().Stats().byte_count, file_size);
  EXPECT_EQ(before_stop.byte_count + 22 + 2 * 16, file_size);
}

TEST_F(RecordPairTest, JpegOverUdpHasKind10AndAnIndexEntryPerPicture) {
  RecordPair pair(codes_.Sink());
  pair.SetRecordHeader(RecordHeader{kPayloadTypeJpeg, 0, 640, 480, 15});
  const std::string path = dir_.File("a.h264");
  ASSERT_EQ(pair.ClientStartRecord(path.c_str(), 0), 1);
  const std::vector<uint8_t> picture = {0xFF, 0xD8, 0x01, 0x02, 0xFF, 0xD9};
  for (int i = 0; i < 3; ++i, clock_.Advance(66)) pair.RecordUnit(JpegUnit(true, 640, 480, picture));
  pair.ClientStopRecord();

  const qvtest::ReadBack rb = ReadAll(path);
  ASSERT_EQ(rb.open, RecordOpenResult::kOk);
  EXPECT_EQ(rb.layout, RecordLayout::kJpeg);
  EXPECT_EQ(rb.origin, IndexOrigin::kTail) << "an index of kind-10 pictures is valid";
  ASSERT_EQ(rb.index.size(), 3u);
  for (const FrameHeader& h : rb.headers) EXPECT_EQ(h.kind, kKindJpegUdp);
  EXPECT_EQ(rb.payloads[2], picture);
}

TEST_F(RecordPairTest, RecordingWithoutKeyFrameLeavesNoFileButNotifiesStop) {
  RecordPair pair(codes_.Sink());
  const std::string path = dir_.File("a.h264");
  ASSERT_EQ(pair.ClientStartRecord(path.c_str(), 0), 1);
  pair.RecordUnit(H264Unit(1, 720, 576, kStartCode, kStartCode));
  pair.RecordUnit(AudioUnit(2, 1, kStartCode, kStartCode));
  pair.ClientStopRecord();
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(codes_.Take(), (std::vector<int>{kRecordStarted, kRecordStopped}));
}

// Normal limit 60 s, alarm limit 30 s, both started at `start`: each stops on the first unit
// more than its limit after the start, reports its stop code then its limit code, and keeps
// nothing of that unit. Starting just before the tick wraps must not change anything.
TEST_F(RecordPairTest, TimeLimitStopsOnFirstUnitPastItAcrossTheWrap) {
  for (qvp::Tick start : {qvp::Tick{1000}, qvp::Tick{0xFFFFFFFFu - 45000}}) {
    SCOPED_TRACE(start);
    clock_.Set(start);
    qvtest::FakeDisk disk;
    RecordPair pair(codes_.Sink(), disk.Factory());
    const std::string normal = dir_.File("n.h264"), alarm = dir_.File("a.h264");
    ASSERT_EQ(pair.ClientStartRecord(normal.c_str(), 60), 1);
    ASSERT_EQ(pair.ClientStartAlarmRecord(alarm.c_str(), 30), 1);
    const std::vector<uint8_t> sps = {0x67, 1};
    auto unit_at = [&](uint32_t ms) {
      clock_.Set(start + ms);
      pair.RecordUnit(H264Unit(7, 720, 576, kStartCode, sps));
    };
    unit_at(0);
    unit_at(30000);
    unit_at(30001);
    unit_at(60000);
    EXPECT_TRUE(pair.IsRecording());
    unit_at(60001);
    EXPECT_FALSE(pair.IsRecording());
    EXPECT_EQ(codes_.Take(), (std::vector<int>{0, 2, 3, 5, 1, 4}));

    for (auto [path, ticks] : {std::pair{normal, std::vector<uint32_t>{0, 30000, 30001, 60000}},
                               std::pair{alarm, std::vector<uint32_t>{0, 30000}}}) {
      qvtest::WriteBytes(dir_.File("copy"), disk.Contents(path));
      const qvtest::ReadBack rb = ReadAll(dir_.File("copy"));
      ASSERT_EQ(rb.headers.size(), ticks.size()) << path;
      for (size_t i = 0; i < ticks.size(); ++i) EXPECT_EQ(rb.headers[i].tick, start + ticks[i]);
    }
  }
}

TEST_F(RecordPairTest, StartAndStopRules) {
  qvtest::FakeDisk disk;
  RecordPair pair(codes_.Sink(), disk.Factory());
  EXPECT_EQ(pair.ClientStartRecord(nullptr, 0), 0);
  EXPECT_EQ(pair.ClientStartRecord("", 0), 0);
  EXPECT_EQ(pair.ClientStartRecord("cam1.h264", 0), 0) << "no folder separator";
  EXPECT_EQ(pair.ClientStopRecord(), 1) << "idle stop";
  EXPECT_EQ(pair.ClientStopAlarmRecord(), 1);
  EXPECT_TRUE(codes_.Take().empty());

  // Paths that do not fit the client record are refused, never cut to another name.
  const std::string base = dir_.File("");
  const std::string normal_max = base + std::string(511 - base.size(), 'n');
  const std::string alarm_max = base + std::string(255 - base.size(), 'a');
  EXPECT_EQ(pair.ClientStartRecord((normal_max + "x").c_str(), 0), 0);
  EXPECT_EQ(pair.ClientStartAlarmRecord((alarm_max + "x").c_str(), 0), 0);
  EXPECT_EQ(pair.ClientStartRecord(normal_max.c_str(), 5), 1);
  EXPECT_EQ(pair.ClientStartAlarmRecord(alarm_max.c_str(), 0), 1);
  EXPECT_EQ(codes_.Take(), (std::vector<int>{0, 2}));

  // Already running: 1, and the running file, path and limit stay.
  pair.RecordUnit(H264Unit(7, 720, 576, kStartCode));
  EXPECT_EQ(pair.ClientStartRecord(dir_.File("other.h264").c_str(), 0), 1);
  EXPECT_EQ(pair.NormalWriter().Path(), normal_max);
  EXPECT_EQ(pair.NormalWriter().LimitMs(), 5000u);
  EXPECT_FALSE(disk.Has(dir_.File("other.h264")));
  EXPECT_TRUE(codes_.Take().empty());
  pair.StopRecordings();
  EXPECT_EQ(codes_.Take(), (std::vector<int>{1, 3}));
}

// Video and audio threads write into the same recording while a third thread starts and
// stops it over and over: every file read back holds whole records only.
TEST_F(RecordPairTest, ConcurrentWritersAndStartStopLeaveWholeRecords) {
  RecordPair pair(codes_.Sink());
  std::atomic<bool> done{false};
  auto writer = [&](bool video) {
    std::vector<uint8_t> payload;
    for (uint32_t i = 0; !done.load(); ++i) {
      payload.assign(video ? 200 + i % 2000 : 164, static_cast<uint8_t>(i));
      pair.RecordUnit(video ? H264Unit(i % 10 == 0 ? 7 : 1, 720, 576, payload)
                            : AudioUnit(2, i, Bytes(payload).first(4), Bytes(payload).subspan(4)));
      std::this_thread::yield();  // two cores are shared by three busy threads
    }
  };
  std::thread video(writer, true), audio(writer, false);
  constexpr int kFiles = 12;
  for (int n = 0; n < kFiles; ++n) {
    ASSERT_EQ(pair.ClientStartRecord(dir_.File("f" + std::to_string(n)).c_str(), 0), 1);
    // Stop once a couple of key frames are in, waiting at most two seconds.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (pair.NormalWriter().Stats().index_entries < 2 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::yield();
    }
    pair.ClientStopRecord();
  }
  done = true;
  video.join();
  audio.join();

  int files = 0;
  for (int n = 0; n < kFiles; ++n) {
    const std::string path = dir_.File("f" + std::to_string(n));
    if (!std::filesystem::exists(path)) continue;
    ++files;
    const qvtest::ReadBack rb = ReadAll(path);
    ASSERT_EQ(rb.open, RecordOpenResult::kOk);
    EXPECT_EQ(rb.origin, IndexOrigin::kTail);
    for (const std::vector<uint8_t>& p : rb.payloads) {
      EXPECT_EQ(std::count(p.begin(), p.end(), p[0]), static_cast<std::ptrdiff_t>(p.size()));
    }
  }
  EXPECT_EQ(files, kFiles);
  EXPECT_EQ(pair.NormalWriter().Stats().dropped_records, 0u);
}

}  // namespace
}  // namespace qvnet
