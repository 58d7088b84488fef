#include "netclient/media/record/record_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>

#include "netclient/media/record/record_pair.h"
#include "tests/record/record_test_support.h"
#include "tests/support/fake_clock.h"

namespace qvnet {
namespace {

using Mutation = std::function<void(std::vector<uint8_t>&)>;

// A stopped recording of 40 units (an SPS every 6th, audio every 3rd) and its reading.
class RecordReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qvtest::FakeClock clock(20000);
    const std::string path = dir_.File("good.h264");
    {
      RecordPair pair(nullptr);
      ASSERT_EQ(pair.ClientStartRecord(path.c_str(), 0), 1);
      for (uint32_t i = 0; i < 40; ++i, clock.Advance(40)) {
        const std::vector<uint8_t> data(50 + i * 13, static_cast<uint8_t>(i));
        pair.RecordUnit(i % 3 == 2 ? AudioUnit(6, i, Bytes(data).first(4), Bytes(data).subspan(4))
                                   : H264Unit(i % 6 == 0 ? 7 : 1, 720, 576, data));
      }
      pair.ClientStopRecord();
    }
    good_ = qvtest::ReadBytes(path);
    ref_ = qvtest::ReadAll(path);
    ASSERT_EQ(ref_.origin, IndexOrigin::kTail);
    ASSERT_EQ(ref_.index.size(), 7u);
  }

  qvtest::ReadBack Read(const std::vector<uint8_t>& bytes) {
    qvtest::WriteBytes(dir_.File("m.h264"), bytes);
    return qvtest::ReadAll(dir_.File("m.h264"));
  }
  std::vector<uint8_t> Prefix(uint64_t size) const { return {good_.begin(), good_.begin() + static_cast<std::ptrdiff_t>(size)}; }
  // Index entries of the reference that lie before `end`.
  std::vector<IndexEntry> IndexBefore(uint64_t end) const {
    std::vector<IndexEntry> out;
    for (const IndexEntry& e : ref_.index) if (e.offset < end) out.push_back(e);
    return out;
  }

  qvtest::TempDir dir_;
  std::vector<uint8_t> good_;
  qvtest::ReadBack ref_;
};

// An unstopped recording has no index and may end inside a record: the index is rebuilt from
// the whole records.
TEST_F(RecordReaderTest, UnstoppedFilesAreScanned) {
  const uint64_t at = ref_.offsets[25];
  const struct {
    const char* name;
    uint64_t size;
    size_t records;
  } cases[] = {
      {"no_index", ref_.frames_end, 40},
      {"cut_in_payload", at + 20, 25},
      {"cut_in_header", at + 5, 25},
      {"header_only", kFirstRecordOffset, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const qvtest::ReadBack rb = Read(Prefix(c.size));
    ASSERT_EQ(rb.open, RecordOpenResult::kOk);
    EXPECT_EQ(rb.origin, IndexOrigin::kScanned);
    EXPECT_EQ(rb.headers.size(), c.records);
    EXPECT_EQ(rb.index, IndexBefore(c.size));
  }
}

TEST_F(RecordReaderTest, UntrustworthyIndexIsRebuiltByScanning) {
  const uint64_t begin = ref_.frames_end, count_at = good_.size() - 12;
  const uint64_t entry1 = begin + 10 + 16;
  const struct {
    const char* name;
    Mutation mutate;
  } cases[] = {
      {"count_beyond_file", [&](auto& f) { PutU32(&f[count_at], 0xFFFFFFFFu); }},
      {"count_off_by_one", [&](auto& f) { PutU32(&f[count_at], 8); }},
      {"no_begin_marker", [&](auto& f) { std::memset(&f[begin], 'X', 10); }},
      {"entry_past_end", [&](auto& f) { PutU64(&f[entry1], good_.size() + 100); }},
      {"entry_at_slice", [&](auto& f) {
         PutU64(&f[entry1], ref_.offsets[1]);
         PutU32(&f[entry1 + 8], ref_.headers[1].tick);
       }},
      {"entry_tick_differs", [&](auto& f) { PutU32(&f[entry1 + 8], 1); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = good_;
    c.mutate(bytes);
    const qvtest::ReadBack rb = Read(bytes);
    ASSERT_EQ(rb.open, RecordOpenResult::kOk);
    EXPECT_EQ(rb.origin, IndexOrigin::kScanned);
    EXPECT_EQ(rb.index, ref_.index);
    EXPECT_EQ(rb.headers.size(), 40u);
  }
}

TEST_F(RecordReaderTest, DamagedAndForeignFiles) {
  // A length field that runs past the end stops the scan at that record.
  std::vector<uint8_t> bytes = Prefix(ref_.frames_end);
  PutU32(&bytes[ref_.offsets[30]], EncodeDescriptor(kStreamVideo, 1, kMaxPayloadLength));
  qvtest::ReadBack rb = Read(bytes);
  EXPECT_EQ(rb.headers.size(), 30u);
  EXPECT_EQ(rb.index, IndexBefore(ref_.offsets[30]));

  // Garbage after the header: whatever it yields must hold together (checked by ReadAll).
  std::mt19937 rng(7);
  bytes = Prefix(kFirstRecordOffset);
  for (int i = 0; i < 100000; ++i) bytes.push_back(static_cast<uint8_t>(rng()));
  EXPECT_EQ(Read(bytes).open, RecordOpenResult::kOk);

  // An index block that says it is empty is an error of its own.
  bytes = Prefix(ref_.frames_end);
  const std::vector<uint8_t> empty = EncodeIndexBlock({});
  bytes.insert(bytes.end(), empty.begin(), empty.end());
  EXPECT_EQ(Read(bytes).open, RecordOpenResult::kEmptyIndex);

  bytes = good_;
  bytes[3] = 'X';
  EXPECT_EQ(Read(bytes).open, RecordOpenResult::kNotRecordFile);
  EXPECT_EQ(Read(Prefix(38)).open, RecordOpenResult::kNotRecordFile);
  EXPECT_EQ(qvtest::ReadAll(dir_.File("missing")).open, RecordOpenResult::kCannotOpen);
}

// Random damage anywhere: opening and reading never crash or loop, and every index entry
// the reader keeps leads to a video record with its tick.
TEST_F(RecordReaderTest, RandomDamageNeverBreaksTheReader) {
  std::mt19937 rng(2024);
  std::vector<uint8_t> payload(1 << 20);
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> bytes = good_;
    for (int flips = 1 + static_cast<int>(rng() % 8); flips > 0; --flips) {
      bytes[rng() % bytes.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
    }
    if (rng() % 4 == 0) bytes.resize(rng() % bytes.size());
    qvtest::WriteBytes(dir_.File("f.h264"), bytes);
    RecordFileReader reader;
    if (reader.Open(dir_.File("f.h264")) != RecordOpenResult::kOk) continue;
    FrameHeader h;
    for (size_t n = 0; n <= bytes.size() && reader.ReadFrame(payload, h) != FrameReadResult::kEnd; ++n) {
    }
    for (const IndexEntry& e : reader.Index()) {
      ASSERT_TRUE(reader.Seek(e.offset));
      ASSERT_EQ(reader.ReadFrame(payload, h), FrameReadResult::kFrame) << round;
      EXPECT_EQ(h.tick, e.tick);
      EXPECT_EQ(h.stream, kStreamVideo);
    }
  }
}

TEST_F(RecordReaderTest, ReadFrameBoundsAndSeek) {
  RecordFileReader reader;
  ASSERT_EQ(reader.Open(dir_.File("good.h264")), RecordOpenResult::kOk);
  EXPECT_FALSE(reader.Seek(kFirstRecordOffset - 1));
  EXPECT_FALSE(reader.Seek(reader.FramesEnd() + 1));
  std::vector<uint8_t> small(8);
  FrameHeader h;
  EXPECT_EQ(reader.ReadFrame(small, h), FrameReadResult::kTooLarge);
  EXPECT_EQ(reader.Position(), ref_.offsets[1]) << "the record too large is passed over";
  ASSERT_TRUE(reader.Seek(ref_.index[3].offset));
  std::vector<uint8_t> buffer(4096);
  ASSERT_EQ(reader.ReadFrame(buffer, h), FrameReadResult::kFrame);
  EXPECT_EQ(h.kind, kKindKeyFrame);
  EXPECT_EQ(h.tick, ref_.index[3].tick);
  ASSERT_TRUE(reader.Seek(reader.FramesEnd()));
  EXPECT_EQ(reader.ReadFrame(buffer, h), FrameReadResult::kEnd);
}

// The legacy layout, written by hand: 38-byte signature and frame-rate byte, 8-byte frame
// headers {descriptor, tick}, 8-byte index entries {u32 offset, u32 tick}.
TEST_F(RecordReaderTest, LegacyLayout) {
  std::vector<uint8_t> f(kFirstRecordOffset, 0);  // frame rate (byte 38) 0 reads as 30
  std::memcpy(f.data(), kLegacySignature.data(), kLegacySignature.size());
  std::vector<IndexEntry> index;
  auto record = [&](uint8_t stream, uint8_t kind, uint32_t tick, uint32_t length) {
    if (stream == kStreamVideo && kind == kKindKeyFrame) index.push_back({f.size(), tick});
    f.resize(f.size() + 8 + length, static_cast<uint8_t>(length));
    PutU32(&f[f.size() - length - 8], EncodeDescriptor(stream, kind, length));
    PutU32(&f[f.size() - length - 4], tick);
  };
  record(kStreamVideo, 7, 1000, 10);
  record(kStreamVideo, 1, 1040, 30);
  record(kStreamAudio, 2, 77, 20);
  record(kStreamVideo, 7, 2000, 12);
  const std::vector<uint8_t> frames = f;
  f.insert(f.end(), kBeginIndexMarker.begin(), kBeginIndexMarker.end());
  for (const IndexEntry& e : index) {
    f.resize(f.size() + 8);
    PutU32(&f[f.size() - 8], static_cast<uint32_t>(e.offset));
    PutU32(&f[f.size() - 4], e.tick);
  }
  f.resize(f.size() + 4);
  PutU32(&f[f.size() - 4], 2);
  f.insert(f.end(), kEndIndexMarker.begin(), kEndIndexMarker.end());

  for (const auto& [bytes, origin] : {std::pair{f, IndexOrigin::kTail}, std::pair{frames, IndexOrigin::kScanned}}) {
    qvtest::WriteBytes(dir_.File("old.dat"), bytes);
    RecordFileReader reader;
    ASSERT_EQ(reader.Open(dir_.File("old.dat")), RecordOpenResult::kOk);
    EXPECT_EQ(reader.Layout(), RecordLayout::kLegacy);
    EXPECT_EQ(reader.FrameRate(), 30);
    EXPECT_EQ(reader.Origin(), origin);
    EXPECT_EQ(reader.Index(), index);
    const qvtest::ReadBack rb = qvtest::ReadAll(dir_.File("old.dat"));
    ASSERT_EQ(rb.headers.size(), 4u);
    EXPECT_EQ(rb.headers[2].stream, kStreamAudio);
    EXPECT_EQ(rb.payloads[3], std::vector<uint8_t>(12, 12));
  }
}

}  // namespace
}  // namespace qvnet
