// Failing disks: whatever the file system does, a record file holds whole records only, its
// index points at them, and the byte counter equals the file's size.
#include "netclient/media/record/record_writer.h"

#include <gtest/gtest.h>

#include "netclient/media/record/record_pair.h"
#include "tests/record/record_test_support.h"
#include "tests/support/fake_clock.h"

namespace qvnet {
namespace {

const std::vector<uint8_t> kStartCode = {0x00, 0x00, 0x01};

// Unit i is an SPS every 5th time, else a slice; its data repeats byte i so that a record
// read back tells which unit it was and whether it is whole.
size_t DataSize(uint32_t i) { return 100 + (i * 997u) % 3000u; }

class FailingDiskTest : public ::testing::Test {
 protected:
  void Units(uint32_t from, uint32_t to) {
    for (uint32_t i = from; i < to; ++i) {
      const std::vector<uint8_t> data(DataSize(i), static_cast<uint8_t>(i));
      clock_.Advance(40);
      pair_.RecordUnit(H264Unit(i % 5 == 0 ? 7 : 1, 720, 576, kStartCode, data));
    }
  }
  // Stops and reads the file back; returns the unit numbers found, each checked whole.
  std::vector<uint32_t> StopAndRead(qvtest::ReadBack& rb) {
    pair_.ClientStopRecord();
    const std::vector<uint8_t> bytes = disk_.Contents(path_);
    EXPECT_EQ(pair_.NormalWriter().Stats().byte_count, bytes.size());
    qvtest::WriteBytes(dir_.File("copy"), bytes);
    rb = qvtest::ReadAll(dir_.File("copy"));
    EXPECT_EQ(rb.open, RecordOpenResult::kOk);
    std::vector<uint32_t> ids;
    for (const std::vector<uint8_t>& p : rb.payloads) {
      const uint8_t id = p.back();  // the tests stay below 256 units
      EXPECT_EQ(p.size(), DataSize(id) + 3);
      EXPECT_EQ(std::count(p.begin() + 3, p.end(), id), static_cast<std::ptrdiff_t>(p.size() - 3));
      ids.push_back(id);
    }
    return ids;
  }

  qvtest::FakeClock clock_{100};
  qvtest::TempDir dir_;
  qvtest::FakeDisk disk_;
  std::vector<int> codes_;
  RecordPair pair_{[this](int c) { codes_.push_back(c); }, disk_.Factory()};
  const std::string path_ = dir_.File("rec.h264");
};

TEST_F(FailingDiskTest, FullDiskDropsWholeRecordsAndResumesAfterCleanUp) {
  ASSERT_EQ(pair_.ClientStartRecord(path_.c_str(), 0), 1);
  Units(0, 60);
  disk_.capacity = disk_.Contents(path_).size() + 70000;  // fills up part-way through a flush
  Units(60, 160);
  disk_.capacity = UINT64_MAX;
  Units(160, 220);

  const RecordWriterStats stats = pair_.NormalWriter().Stats();
  EXPECT_GT(stats.failed_writes, 0u);
  EXPECT_GT(stats.dropped_records, 0u);
  qvtest::ReadBack rb;
  const std::vector<uint32_t> ids = StopAndRead(rb);
  EXPECT_EQ(rb.origin, IndexOrigin::kTail);
  EXPECT_EQ(ids.size() + stats.dropped_records, 220u);
  ASSERT_GE(ids.size(), 60u);
  for (uint32_t i = 0; i < 60; ++i) EXPECT_EQ(ids[i], i);
  for (uint32_t i = 0; i < 60; ++i) EXPECT_EQ(ids[ids.size() - 60 + i], 160 + i) << "after clean-up";
  size_t key_frames = 0;
  for (uint32_t id : ids) key_frames += id % 5 == 0;
  EXPECT_EQ(rb.index.size(), key_frames) << "index entries of dropped records are gone too";
}

TEST_F(FailingDiskTest, ShortWriteIsCutBackToTheLastWholeRecord) {
  for (bool truncate_fails : {false, true}) {
    SCOPED_TRACE(truncate_fails);
    ASSERT_EQ(pair_.ClientStartRecord(path_.c_str(), 0), 1);
    Units(0, 40);
    disk_.short_next_write = 5000;  // lands inside a record of the next flush
    disk_.fail_truncate = truncate_fails;
    Units(40, 120);
    EXPECT_EQ(pair_.NormalWriter().Stats().failed_writes, 1u);
    disk_.fail_truncate = false;
    qvtest::ReadBack rb;
    const std::vector<uint32_t> ids = StopAndRead(rb);
    EXPECT_EQ(rb.origin, IndexOrigin::kTail);
    EXPECT_EQ(ids.size() + pair_.NormalWriter().Stats().dropped_records, 120u);
    EXPECT_EQ(ids.back(), 119u);
  }
}

TEST_F(FailingDiskTest, FailedIndexWriteLeavesAScannableFile) {
  ASSERT_EQ(pair_.ClientStartRecord(path_.c_str(), 0), 1);
  Units(0, 50);
  const RecordWriterStats before = pair_.NormalWriter().Stats();
  disk_.capacity = before.byte_count;  // every record fits, the index block does not
  qvtest::ReadBack rb;
  const std::vector<uint32_t> ids = StopAndRead(rb);
  const RecordWriterStats after = pair_.NormalWriter().Stats();
  EXPECT_FALSE(after.index_written);
  EXPECT_EQ(after.byte_count, before.byte_count);
  EXPECT_EQ(ids.size(), 50u);
  EXPECT_EQ(rb.origin, IndexOrigin::kScanned);
  EXPECT_EQ(rb.index.size(), before.index_entries);
  EXPECT_EQ(codes_, (std::vector<int>{kRecordStarted, kRecordStopped}));
}

TEST_F(FailingDiskTest, StartFailsWhenFileOrHeaderCannotBeWritten) {
  disk_.fail_open = true;
  EXPECT_EQ(pair_.ClientStartRecord(path_.c_str(), 0), 0);
  disk_.fail_open = false;
  disk_.capacity = 20;
  EXPECT_EQ(pair_.ClientStartRecord(path_.c_str(), 0), 0);
  EXPECT_FALSE(disk_.Has(path_)) << "no half header left behind";
  EXPECT_FALSE(pair_.IsRecording());
  EXPECT_TRUE(codes_.empty());
}

TEST_F(FailingDiskTest, MalformedAndOversizedUnitsAreDroppedWithTheirIndexEntries) {
  ASSERT_EQ(pair_.ClientStartRecord(path_.c_str(), 0), 1);
  // A header that promises more payload than the unit carries.
  std::array<uint8_t, kFrameHeaderSize> header{};
  EncodeFrameHeader(FrameHeader{kStreamVideo, 7, 100, 720, 576, 7}, header);
  const std::vector<uint8_t> fifty(50, 1);
  pair_.LockRecord();
  pair_.AddIndex(7);
  pair_.WriteRecord(0, header.data(), header.size());
  pair_.WriteRecord(0, fifty.data(), fifty.size());
  pair_.UnlockRecord();
  // A unit longer than the length field can describe.
  const std::vector<uint8_t> huge(kMaxPayloadLength + 1, 2);
  pair_.RecordUnit(H264Unit(7, 720, 576, huge));
  Units(0, 1);

  const RecordWriterStats stats = pair_.NormalWriter().Stats();
  EXPECT_EQ(stats.dropped_records, 2u);
  EXPECT_EQ(stats.index_entries, 1u);
  qvtest::ReadBack rb;
  EXPECT_EQ(StopAndRead(rb), std::vector<uint32_t>{0});
  EXPECT_EQ(rb.index, (std::vector<IndexEntry>{{kFirstRecordOffset, 140}}));
}

// A recorder killed between two flushes loses what is buffered: records wait a quarter of a
// second at most, and everything before a key frame is written when the key frame begins.
TEST_F(FailingDiskTest, BufferedRecordsReachTheFileSoon) {
  ASSERT_EQ(pair_.ClientStartRecord(path_.c_str(), 0), 1);
  const std::vector<uint8_t> slice(200, 1);
  const auto on_file = [&] { return disk_.Contents(path_).size(); };
  pair_.RecordUnit(H264Unit(1, 720, 576, kStartCode, slice));
  clock_.Advance(240);
  pair_.RecordUnit(H264Unit(1, 720, 576, kStartCode, slice));
  EXPECT_EQ(on_file(), kFirstRecordOffset) << "younger than 250 ms: still buffered";
  clock_.Advance(10);
  pair_.RecordUnit(H264Unit(1, 720, 576, kStartCode, slice));
  const size_t three = 3 * (kFrameHeaderSize + 3 + slice.size());
  EXPECT_EQ(on_file(), kFirstRecordOffset + three);

  pair_.RecordUnit(H264Unit(1, 720, 576, kStartCode, slice));
  pair_.RecordUnit(H264Unit(7, 720, 576, kStartCode, slice));  // a key frame begins
  EXPECT_EQ(on_file(), kFirstRecordOffset + three + (kFrameHeaderSize + 3 + slice.size()));
  pair_.ClientStopRecord();
  qvtest::WriteBytes(dir_.File("copy"), disk_.Contents(path_));
  const qvtest::ReadBack rb = qvtest::ReadAll(dir_.File("copy"));
  EXPECT_EQ(rb.payloads.size(), 5u);
  ASSERT_EQ(rb.index.size(), 1u);
  EXPECT_EQ(rb.index[0].offset, kFirstRecordOffset + 4 * (kFrameHeaderSize + 3 + slice.size()));
}

}  // namespace
}  // namespace qvnet
