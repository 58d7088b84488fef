// The servers' AVI layout: what the writer produces is what the reader finds, damaged files
// fail cleanly or are read only where they are sound, and the AVI replay feeds pictures and
// sound and seeks to pictures a decoder can start at.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <functional>

#include "netclient/replay/avi_reader.h"
#include "netclient/replay/avi_replay.h"
#include "tests/replay/replay_test_support.h"
#include "tests/support/temp_dir.h"
#include "tools/aviwrite/avi_writer.h"

namespace qvnet {
namespace {

using qvtest::Bytes;

// Pictures carry their number in the first byte after a 4-byte start code + NAL header, so a
// test can tell them apart; every 10th is a key picture (SPS first), the others P slices.
Bytes FakePicture(int n) {
  const bool key = n % 10 == 0;
  Bytes p(60 + static_cast<size_t>(n % 7), static_cast<uint8_t>(n));
  const uint8_t head[] = {0, 0, 0, 1, static_cast<uint8_t>(key ? 0x67 : 0x41)};
  std::copy(std::begin(head), std::end(head), p.begin());
  return p;
}

Bytes FakeSound(int n) { return Bytes(640, static_cast<uint8_t>(0x80 + n)); }

Bytes BuildAvi(int pictures, bool jpeg = false) {
  aviwrite::AviWriter w({jpeg, 64, 48, 25});
  for (int i = 0; i < pictures; ++i) w.AddFrame(FakePicture(i), FakeSound(i), i % 10 == 0);
  return w.Build();
}

void Put32(Bytes& b, size_t at, uint32_t v) { PutU32(b.data() + at, v); }

struct AviRig {
  explicit AviRig(const std::string& path) {
    client.play_audio = true;
    result = file.Open(path);
    reader.Begin();
  }
  void PlayToEnd() {
    for (int i = 0; i < 100000 && !reader.AtEnd(); ++i) reader.Step();
  }
  std::vector<Bytes> Pictures() {
    std::vector<Bytes> out;
    Bytes buf(1 << 16);
    while (uint32_t n = client.video_conduit->ReadMessage(buf.data(), static_cast<uint32_t>(buf.size()), nullptr, 0)) {
      out.emplace_back(buf.begin(), buf.begin() + n);
    }
    return out;
  }
  LibraryContext context;
  NetClient client{context};
  bool conduits = qvtest::MakeConduits(client);
  AviFile file;
  AviOpenResult result = AviOpenResult::kCannotOpen;
  ReplayFeed feed{client.ReplayTargetOf(), [] { return false; }, VideoFraming::kWholePictures, false};
  AviReplay reader{client.ReplayTargetOf(), file, feed};
};

TEST(AviLayout, WriterAndReaderAgree) {
  qvtest::TempDir dir;
  const Bytes avi = BuildAvi(50);
  ASSERT_GT(avi.size(), 2048u);
  EXPECT_EQ(std::string(avi.begin(), avi.begin() + 4), "RIFF");
  EXPECT_EQ(std::string(avi.begin() + 336, avi.begin() + 347), "QuorValenta");
  EXPECT_EQ(GetU32(&avi[48]), 50u);
  EXPECT_EQ(GetU32(&avi[132]), 25u);
  qvtest::WriteFile(dir.File("a.avi"), avi);
  AviFile f;
  ASSERT_EQ(f.Open(dir.File("a.avi")), AviOpenResult::kOk);
  EXPECT_EQ(f.FrameRate(), 25u);
  EXPECT_EQ(f.FrameCount(), 50u);
  EXPECT_FALSE(f.Jpeg());
  EXPECT_EQ(f.EntryCount(), 150u);
  EXPECT_EQ(f.IndexEnd(), avi.size());
  AviIndexEntry e;
  ASSERT_TRUE(f.ReadEntry(f.IndexStart() + 3 * 16, &e));
  EXPECT_EQ(e.id, kAviVideoChunk);
  EXPECT_EQ(e.flags, 0u);
  Bytes picture(e.size);
  ASSERT_TRUE(f.ReadChunk(e, picture));
  EXPECT_EQ(picture, FakePicture(1));
  EXPECT_FALSE(f.ReadEntry(f.IndexEnd() - 8, &e));  // not whole inside the index

  qvtest::WriteFile(dir.File("j.avi"), BuildAvi(3, true));
  ASSERT_EQ(f.Open(dir.File("j.avi")), AviOpenResult::kOk);
  EXPECT_TRUE(f.Jpeg());
}

TEST(AviLayout, DamagedFilesFailCleanly) {
  qvtest::TempDir dir;
  const Bytes good = BuildAvi(20);
  const size_t idx1 = good.size() - 20 * 3 * 16 - 8;
  const struct {
    const char* name;
    std::function<void(Bytes&)> damage;
    AviOpenResult result;
  } cases[] = {
      {"empty", [](Bytes& b) { b.clear(); }, AviOpenResult::kNotAvi},
      {"shorter than the signature", [](Bytes& b) { b.resize(340); }, AviOpenResult::kNotAvi},
      {"no signature", [](Bytes& b) { b[336] = 'q'; }, AviOpenResult::kNotAvi},
      {"not RIFF", [](Bytes& b) { b[0] = 'X'; }, AviOpenResult::kNotAvi},
      {"frame rate 0", [](Bytes& b) { Put32(b, 132, 0); }, AviOpenResult::kNoFrameRate},
      {"cut before the index", [&](Bytes& b) { b.resize(idx1 + 4); }, AviOpenResult::kNoIndex},
      {"header list larger than the file", [](Bytes& b) { Put32(b, 16, 0xFFFFFFF0u); }, AviOpenResult::kNoIndex},
      {"movi list larger than the file", [](Bytes& b) { Put32(b, 2040, 0x7FFFFFFFu); }, AviOpenResult::kNoIndex},
      {"index cut short", [](Bytes& b) { b.erase(b.end() - 100, b.end()); }, AviOpenResult::kOk},
  };
  for (const auto& c : cases) {
    Bytes b = good;
    c.damage(b);
    qvtest::WriteFile(dir.File("d.avi"), b);
    AviFile f;
    EXPECT_EQ(f.Open(dir.File("d.avi")), c.result) << c.name;
    if (c.result == AviOpenResult::kOk) {
      EXPECT_EQ(f.IndexEnd(), b.size()) << c.name;
    }
  }
}

TEST(AviReplayTest, ChunksOutsideTheFileArePassedOver) {
  qvtest::TempDir dir;
  Bytes b = BuildAvi(6);
  const size_t index = b.size() - 6 * 3 * 16;
  Put32(b, index + 0 * 48 + 8, 0xFFFFFF00u);        // picture 0 far past the end
  Put32(b, index + 1 * 48 + 12, 0x7FFFFFFFu);       // picture 1 runs past the end
  Put32(b, index + 2 * 48 + 8, static_cast<uint32_t>(b.size() - 4));  // header past the end
  Put32(b, index + 1 * 48 + 16 + 12, 0xFFFFFFFFu);  // sound of picture 1 too long
  std::memcpy(&b[index + 3 * 48], "JUNK", 4);       // picture 3: an unknown chunk id
  qvtest::WriteFile(dir.File("d.avi"), b);
  AviRig rig(dir.File("d.avi"));
  ASSERT_EQ(rig.result, AviOpenResult::kOk);
  rig.PlayToEnd();
  const std::vector<Bytes> pictures = rig.Pictures();
  ASSERT_EQ(pictures.size(), 2u);
  EXPECT_EQ(pictures[0], FakePicture(4));
  EXPECT_EQ(pictures[1], FakePicture(5));
  EXPECT_EQ(rig.client.audio_conduit->GetUsed(), 320u * 11);  // every sound chunk but one
}

TEST(AviReplayTest, PlaysPicturesAndSoundAndSeeksBackToAKeyPicture) {
  qvtest::TempDir dir;
  qvtest::WriteFile(dir.File("a.avi"), BuildAvi(60));
  AviRig rig(dir.File("a.avi"));
  ASSERT_EQ(rig.result, AviOpenResult::kOk);
  for (int i = 0; i < 3 * 30; ++i) rig.reader.Step();
  EXPECT_EQ(rig.client.display_control.replay.CurrentSeconds(), 1u);  // 90 entries: 1.2 s
  rig.PlayToEnd();
  EXPECT_EQ(rig.Pictures().size(), 60u);
  Bytes sound(rig.client.audio_conduit->GetUsed());
  rig.client.audio_conduit->Read(sound.data(), static_cast<uint32_t>(sound.size()), nullptr, 0);
  Bytes expected;
  for (int i = 0; i < 60; ++i) {
    const Bytes s = FakeSound(i);
    expected.insert(expected.end(), s.begin(), s.end());
  }
  EXPECT_EQ(sound, expected);  // played unchanged, in order

  // Two seconds is picture 50, itself a key picture; 1 s is picture 25, whose key picture is 20.
  for (const auto& [target, key] : {std::pair{2u, 50}, std::pair{1u, 20}, std::pair{0u, 0}}) {
    ASSERT_TRUE(rig.client.display_control.replay.RequestSeek(target));
    rig.reader.Step();
    EXPECT_FALSE(rig.client.display_control.replay.SeekPending());
    EXPECT_FALSE(rig.reader.AtEnd());
    std::vector<Bytes> got = rig.Pictures();
    ASSERT_EQ(got.size(), 1u) << target;
    EXPECT_EQ(got[0], FakePicture(key)) << target;
    for (int i = 0; i < 3; ++i) rig.reader.Step();
    got = rig.Pictures();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], FakePicture(key + 1)) << "reading goes on after the picture sought";
  }
  EXPECT_TRUE(IsAviSeekPoint(Bytes{0, 0, 1, 0x65, 0}, false));
  EXPECT_FALSE(IsAviSeekPoint(Bytes{0, 0, 0, 1, 0x61}, false));  // a reference P slice
  EXPECT_FALSE(IsAviSeekPoint(Bytes{1, 2, 3, 4, 0x67}, false));
  EXPECT_TRUE(IsAviSeekPoint(Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0}, true));
}

}  // namespace
}  // namespace qvnet
