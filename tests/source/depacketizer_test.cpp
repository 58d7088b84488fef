// The RTP depacketizers fed from memory: the pieces they hand to the video conduit, what
// they record, what they drop, and the statistics they keep.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "netclient/media/conduit/buffer_conduit.h"
#include "netclient/media/record/record_pair.h"
#include "netclient/wire/audio_depacketizer.h"
#include "netclient/wire/h264_depacketizer.h"
#include "netclient/wire/jpeg_depacketizer.h"
#include "tests/source/source_test_support.h"

namespace qvnet {
namespace {

using qvtest::RtpPacket;
using Bytes8 = std::vector<uint8_t>;

const Bytes8 kStart{0, 0, 1};

Bytes8 Cat(std::initializer_list<Bytes8> parts) {
  Bytes8 all;
  for (const Bytes8& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

class DepacketizerTest : public ::testing::Test {
 protected:
  explicit DepacketizerTest(const StreamFlavor& flavor = kNetClientFlavor) : client_(context_, flavor, 554, 0) {
    client_.width = 352;
    client_.height = 288;
    client_.audio_codec = 6;
    EXPECT_TRUE(jpeg_.Allocate());
  }

  PacketContext Ctx(MediaTransport transport, qvp::Tick now = 0, MediaOutput* media = nullptr) {
    return PacketContext{client_, transport, &record_, media == nullptr ? &media_ : media, &jpeg_, &span_, now, &fua_};
  }
  bool H264(MediaTransport transport, const Bytes8& packet, qvp::Tick now = 0) {
    return HandleH264Packet(Ctx(transport, now), packet.data(), packet.size());
  }
  bool Jpeg(MediaTransport transport, const Bytes8& packet) {
    return HandleJpegPacket(Ctx(transport), packet.data(), packet.size());
  }
  void StartRecording() { ASSERT_EQ(record_.ClientStartRecord(path_.c_str(), 0), 1); }
  qvtest::Recording StopAndRead() {
    record_.ClientStopRecord();
    return qvtest::ReadRecording(path_);
  }

  LibraryContext context_;
  qvtest::NoteClient client_;
  qvtest::TestMediaOutput media_;
  qvtest::TempDir dir_{"qv-depacketizer"};
  std::string path_ = dir_.File("unit.h264");
  RecordPair record_{[](int) {}};
  JpegAssembly jpeg_;
  FuAssembly fua_;
  KeyFrameSpan span_;
};

class NvrDepacketizerTest : public DepacketizerTest {
 protected:
  NvrDepacketizerTest() : DepacketizerTest(kNvrClientFlavor) {}
};

// --- H.264 -----------------------------------------------------------------------------

TEST_F(DepacketizerTest, SingleNalUnitEndsTheMessageOnlyForTcpSlices) {
  struct Case {
    const char* name;
    MediaTransport transport;
    uint8_t nal_header;
    bool end_of_message;
  };
  const Case cases[] = {
      {"udp non-IDR slice", MediaTransport::kUdp, 0x41, false},
      {"udp IDR slice", MediaTransport::kUdp, 0x65, false},
      {"tcp non-IDR slice", MediaTransport::kTcp, 0x41, true},
      {"tcp IDR slice", MediaTransport::kTcp, 0x65, true},
      {"tcp SPS", MediaTransport::kTcp, 0x67, false},
      {"tcp PPS", MediaTransport::kTcp, 0x68, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    media_.pieces.clear();
    const Bytes8 payload{c.nal_header, 0x11, 0x22, 0x33};
    ASSERT_TRUE(H264(c.transport, RtpPacket(payload)));
    ASSERT_EQ(media_.pieces.size(), 2u);
    EXPECT_EQ(media_.pieces[0].bytes, kStart);
    EXPECT_FALSE(media_.pieces[0].end_of_message);
    EXPECT_EQ(media_.pieces[1].bytes, payload);
    EXPECT_EQ(media_.pieces[1].end_of_message, c.end_of_message);
  }
  EXPECT_EQ(client_.received_bytes.load(), 6u * 4u);
}

TEST_F(DepacketizerTest, FuAWithStartAndEndBitGivesACompleteNalUnit) {
  // FU indicator: F 0, NRI 3, type 28; FU header: S, E, type 5 (IDR).
  const Bytes8 data{0xDE, 0xAD, 0xBE, 0xEF};
  ASSERT_TRUE(H264(MediaTransport::kUdp, RtpPacket(Cat({{0x7C, 0xC5}, data}))));
  EXPECT_EQ(media_.VideoBytes(), Cat({kStart, {0x65}, data}));
  ASSERT_EQ(media_.pieces.size(), 3u);
  EXPECT_TRUE(media_.pieces[2].end_of_message);
  EXPECT_EQ(client_.received_bytes.load(), 6u);
}

TEST_F(DepacketizerTest, FuAFragmentsJoinIntoOneNalUnitAndAreRecordedAsSent) {
  StartRecording();
  ASSERT_TRUE(H264(MediaTransport::kTcp, RtpPacket({0x67, 0x42, 0x00, 0x1E})));  // SPS: index point
  ASSERT_TRUE(H264(MediaTransport::kTcp, RtpPacket({0x5C, 0x85, 1, 2})));        // NRI 2, start
  ASSERT_TRUE(H264(MediaTransport::kTcp, RtpPacket({0x5C, 0x05, 3, 4})));        // middle
  ASSERT_TRUE(H264(MediaTransport::kTcp, RtpPacket({0x5C, 0x45, 5})));           // end
  const Bytes8 idr = Cat({kStart, {0x45, 1, 2, 3, 4, 5}});
  EXPECT_EQ(media_.VideoBytes(), Cat({kStart, {0x67, 0x42, 0x00, 0x1E}, idr}));
  std::vector<bool> ends;
  for (const auto& p : media_.pieces) ends.push_back(p.end_of_message);
  EXPECT_EQ(ends, (std::vector<bool>{false, false, false, false, false, false, true}));

  const qvtest::Recording r = StopAndRead();
  ASSERT_TRUE(r.ok);
  ASSERT_EQ(r.frames.size(), 4u);
  const uint8_t kinds[] = {7, 5, 5, 5};
  const size_t lengths[] = {7, 6, 2, 1};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(r.frames[i].header.kind, kinds[i]) << i;
    EXPECT_EQ(r.frames[i].header.length, lengths[i]) << i;
    EXPECT_EQ(r.frames[i].header.width, 352);
    EXPECT_EQ(r.frames[i].header.height, 288);
  }
  EXPECT_EQ(r.VideoBytes(), media_.VideoBytes());
  ASSERT_EQ(r.index.size(), 1u);
  EXPECT_EQ(r.index[0].offset, r.frames[0].offset);
  EXPECT_EQ(r.index[0].tick, r.frames[0].header.tick);
}

// A unit that lost a fragment must reach neither the display nor a file as a broken NAL unit;
// the units around it are passed on as usual.
TEST_F(DepacketizerTest, FuAUnitsThatLostAFragmentAreDroppedWhole) {
  const Bytes8 sps = RtpPacket({0x67, 0x42, 0x00, 0x1E});
  const Bytes8 start = RtpPacket({0x5C, 0x85, 1, 2});  // IDR, NRI 2: start
  const Bytes8 middle = RtpPacket({0x5C, 0x05, 3, 4});
  const Bytes8 end = RtpPacket({0x5C, 0x45, 5});
  const Bytes8 slice = RtpPacket({0x41, 0x9A, 0x10});  // a single non-IDR slice
  const Bytes8 whole_idr = Cat({kStart, {0x45, 1, 2, 3, 4, 5}});
  struct Case {
    const char* name;
    std::vector<Bytes8> packets;
    std::vector<bool> taken;
    Bytes8 video;  // what reaches the conduit, and the recording
  };
  // Each stream starts with a sequence parameter set, so that every recording has its key frame.
  const Case cases[] = {
      {"continuations without their start", {middle, end, start, middle, end}, {false, false, true, true, true},
       whole_idr},
      {"a new start before the end", {start, middle, start, middle, end}, {true, true, true, true, true}, whole_idr},
      {"another packet before the end", {start, middle, slice, end}, {true, true, true, false},
       Cat({kStart, {0x41, 0x9A, 0x10}})},
      {"complete unit", {start, middle, end}, {true, true, true}, whole_idr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    media_.pieces.clear();
    StartRecording();
    ASSERT_TRUE(H264(MediaTransport::kTcp, sps));
    std::vector<bool> taken;
    for (const Bytes8& p : c.packets) taken.push_back(H264(MediaTransport::kTcp, p));
    EXPECT_EQ(taken, c.taken);
    const Bytes8 video = Cat({kStart, {0x67, 0x42, 0x00, 0x1E}, c.video});
    EXPECT_EQ(media_.VideoBytes(), video);
    const qvtest::Recording r = StopAndRead();
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.VideoBytes(), video);
  }
}

// The assembly holds at most kFuAssemblyCapacity bytes: a larger unit is dropped whole and the
// next one comes through.
TEST_F(DepacketizerTest, FuAUnitLargerThanTheAssemblyIsDropped) {
  const Bytes8 big(60000, 0x11);
  const size_t fragments = kFuAssemblyCapacity / big.size() + 1;
  ASSERT_TRUE(H264(MediaTransport::kUdp, RtpPacket(Cat({{0x7C, 0x85}, big}))));
  bool taken = true;
  for (size_t i = 1; i < fragments && taken; ++i) taken = H264(MediaTransport::kUdp, RtpPacket(Cat({{0x7C, 0x05}, big})));
  EXPECT_FALSE(taken) << "the fragment that does not fit drops the unit";
  EXPECT_FALSE(H264(MediaTransport::kUdp, RtpPacket(Cat({{0x7C, 0x45}, {1}})))) << "its end has no start any more";
  EXPECT_TRUE(media_.pieces.empty());
  ASSERT_TRUE(H264(MediaTransport::kUdp, RtpPacket({0x7C, 0xC5, 9})));
  EXPECT_EQ(media_.VideoBytes(), Cat({kStart, {0x65, 9}}));
}

TEST_F(DepacketizerTest, UnusablePacketsAreDroppedWithoutTrace) {
  struct Case {
    const char* name;
    Bytes8 packet;
  };
  const Case cases[] = {
      {"empty", {}},
      {"header only", RtpPacket({})},
      {"13 bytes", RtpPacket({0x65})},
      {"STAP-A whose size runs past its end", RtpPacket({0x78, 0x00, 0x02, 0x67, 0x42, 0x00, 0x05, 0x68, 0xCE})},
      {"STAP-A with a unit of size 0", RtpPacket({0x78, 0x00, 0x00, 0x00, 0x02, 0x68, 0xCE})},
      {"STAP-A without units", RtpPacket({0x78, 0x00})},
      {"FU-B", RtpPacket({0x7D, 0x85, 0x00, 0x01, 0xAA})},
      {"NAL type 0", RtpPacket({0x00, 0x11, 0x22})},
      {"NAL type 30", RtpPacket({0x1E, 0x11, 0x22})},
      {"forbidden bit on an IDR slice", RtpPacket({0xE5, 0x88, 0x84, 0x00})},
      {"forbidden bit on an FU-A", RtpPacket({0xFC, 0x85, 0x88, 0x84})},
  };
  StartRecording();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(H264(MediaTransport::kUdp, c.packet));
  }
  EXPECT_TRUE(media_.pieces.empty());
  EXPECT_EQ(client_.received_bytes.load(), 0u);
  EXPECT_EQ(record_.NormalWriter().Stats().byte_count, kFirstRecordOffset);
}

TEST_F(NvrDepacketizerTest, RecordsWithoutConduitAndWithoutPictureSize) {
  StartRecording();
  const PacketContext ctx{client_, MediaTransport::kUdp, &record_, nullptr, &jpeg_, &span_, 0};
  const Bytes8 sps = RtpPacket({0x67, 0x42});
  ASSERT_TRUE(HandleH264Packet(ctx, sps.data(), sps.size()));
  const qvtest::Recording r = StopAndRead();
  ASSERT_EQ(r.frames.size(), 1u);
  EXPECT_EQ(r.frames[0].header.width, 0);
  EXPECT_EQ(r.frames[0].header.height, 0);
  EXPECT_EQ(r.frames[0].payload, Cat({kStart, {0x67, 0x42}}));
}

TEST_F(DepacketizerTest, KeyFrameSpanEstimate) {
  const Bytes8 sps = RtpPacket({0x67, 0x42});
  const Bytes8 idr_end = RtpPacket({0x7C, 0xC5, 0x01});  // a whole IDR slice in one FU-A
  client_.frame_rate = 25;  // 40 ms per frame
  ASSERT_TRUE(H264(MediaTransport::kUdp, idr_end, 500));  // no SPS yet: nothing to measure
  EXPECT_EQ(client_.key_frame_span.load(), 0);
  H264(MediaTransport::kUdp, sps, 1000);
  H264(MediaTransport::kUdp, idr_end, 1200);
  EXPECT_EQ(client_.key_frame_span.load(), 200 * 2 / 40 / 1);
  H264(MediaTransport::kUdp, sps, 2000);
  H264(MediaTransport::kUdp, idr_end, 2100);
  EXPECT_EQ(client_.key_frame_span.load(), 300 * 2 / 40 / 2);

  // A frame rate with no usable interval leaves the figure as it was.
  for (int32_t rate : {0, -5, 5000}) {
    client_.frame_rate = rate;
    H264(MediaTransport::kUdp, sps, 3000);
    H264(MediaTransport::kUdp, idr_end, 3100);
    EXPECT_EQ(client_.key_frame_span.load(), 7) << rate;
  }
  // The tenth sample is the last before the count starts over.
  client_.frame_rate = 25;
  span_ = KeyFrameSpan{};
  for (int i = 0; i < KeyFrameSpan::kSamples; ++i) {
    H264(MediaTransport::kUdp, sps, 10000 + 1000 * i);
    H264(MediaTransport::kUdp, idr_end, 10000 + 1000 * i + 400);
  }
  EXPECT_EQ(client_.key_frame_span.load(), 4000 * 2 / 40 / 10);
  H264(MediaTransport::kUdp, sps, 30000);
  H264(MediaTransport::kUdp, idr_end, 30080);
  EXPECT_EQ(client_.key_frame_span.load(), 80 * 2 / 40 / 1);
}

// --- JPEG ------------------------------------------------------------------------------

// A JPEG fragment: 8-byte JPEG header with the 24-bit offset; the first fragment also has the
// 4-byte quantization-table header and 128 bytes of tables.
Bytes8 JpegFragment(uint32_t offset, const Bytes8& data, bool marker) {
  Bytes8 payload{0, static_cast<uint8_t>(offset >> 16), static_cast<uint8_t>(offset >> 8),
                 static_cast<uint8_t>(offset), 1, 255, 22, 18};
  if (offset == 0) {
    const Bytes8 tables(4 + 128, 0x55);
    payload.insert(payload.end(), tables.begin(), tables.end());
  }
  payload.insert(payload.end(), data.begin(), data.end());
  return RtpPacket(payload, marker, 0, 26);
}

TEST_F(DepacketizerTest, JpegFragmentsJoinIntoOnePictureRecordedPerTransport) {
  const Bytes8 a{0xFF, 0xD8, 1, 2, 3};
  const Bytes8 b{4, 5, 0xFF, 0xD9};
  RecordHeader header;
  header.payload_type = kPayloadTypeJpeg;
  record_.SetRecordHeader(header);
  for (MediaTransport transport : {MediaTransport::kUdp, MediaTransport::kTcp}) {
    const bool udp = transport == MediaTransport::kUdp;
    SCOPED_TRACE(udp ? "udp" : "tcp");
    media_.pieces.clear();
    StartRecording();
    ASSERT_TRUE(Jpeg(transport, JpegFragment(0, a, false)));
    EXPECT_TRUE(media_.pieces.empty());
    ASSERT_TRUE(Jpeg(transport, JpegFragment(5, b, true)));
    ASSERT_EQ(media_.pieces.size(), 1u);
    EXPECT_EQ(media_.pieces[0].bytes, Cat({a, b}));
    EXPECT_TRUE(media_.pieces[0].end_of_message);
    const qvtest::Recording r = StopAndRead();
    ASSERT_EQ(r.frames.size(), 1u);
    EXPECT_EQ(r.frames[0].header.kind, udp ? kKindJpegUdp : kKindKeyFrame);
    EXPECT_EQ(r.frames[0].header.width, 352);
    EXPECT_EQ(r.frames[0].payload, Cat({a, b}));
    ASSERT_EQ(r.index.size(), 1u);  // every picture, whatever its kind
    EXPECT_EQ(r.index[0].offset, r.frames[0].offset);
  }
}

TEST_F(DepacketizerTest, JpegPictureOverTheCapIsDroppedWholeAndTheNextOneIsFine) {
  // Exactly the cap still fits (a complete image, as the cameras send them).
  Bytes8 most(kJpegAssemblyCapacity - 10, 0x11);
  most[0] = 0xFF;
  most[1] = 0xD8;
  ASSERT_TRUE(Jpeg(MediaTransport::kTcp, JpegFragment(0, most, false)));
  ASSERT_TRUE(Jpeg(MediaTransport::kTcp, JpegFragment(static_cast<uint32_t>(most.size()), Bytes8(10, 0x22), true)));
  ASSERT_EQ(media_.pieces.size(), 1u);
  EXPECT_EQ(media_.pieces[0].bytes.size(), kJpegAssemblyCapacity);
  media_.pieces.clear();

  const Bytes8 chunk(1000, 0x77);
  Bytes8 first = chunk;
  first[0] = 0xFF;
  first[1] = 0xD8;
  ASSERT_TRUE(Jpeg(MediaTransport::kUdp, JpegFragment(0, first, false)));
  uint32_t offset = 1000;
  // Past the cap, then a few more fragments of the same picture, then its marker.
  while (offset < kJpegAssemblyCapacity + 5000) {
    Jpeg(MediaTransport::kUdp, JpegFragment(offset, chunk, false));
    offset += 1000;
  }
  EXPECT_TRUE(Jpeg(MediaTransport::kUdp, JpegFragment(offset, chunk, true)));
  EXPECT_TRUE(media_.pieces.empty());

  const Bytes8 small{0xFF, 0xD8, 9, 0xFF, 0xD9};
  ASSERT_TRUE(Jpeg(MediaTransport::kUdp, JpegFragment(0, small, true)));
  ASSERT_EQ(media_.pieces.size(), 1u);
  EXPECT_EQ(media_.pieces[0].bytes, small);
}

TEST_F(DepacketizerTest, ShortJpegPacketsAreDropped) {
  EXPECT_FALSE(Jpeg(MediaTransport::kUdp, RtpPacket(Bytes8(7, 0), true, 0, 26)));
  // A first fragment without room for its tables cannot start a picture; the rest of that
  // picture is skipped.
  Bytes8 cut = JpegFragment(0, {}, false);
  cut.resize(kJpegFirstFragmentSkip - 1);
  EXPECT_FALSE(Jpeg(MediaTransport::kUdp, cut));
  EXPECT_TRUE(Jpeg(MediaTransport::kUdp, JpegFragment(100, {1, 2, 3}, true)));
  EXPECT_TRUE(media_.pieces.empty());
}

// --- Audio -----------------------------------------------------------------------------

TEST_F(DepacketizerTest, AudioIsDecodedAsAVoiceFrameAndRecordedWhenItDecodes) {
  StartRecording();
  H264(MediaTransport::kUdp, RtpPacket({0x67, 0x42}));  // a key frame keeps the file
  const Bytes8 payload{1, 2, 3, 4, 5};                 // odd length: 2 words
  Bytes8 packet = RtpPacket(payload, false, 0x01020304, 8);
  ASSERT_TRUE(HandleAudioPacket(Ctx(MediaTransport::kUdp), packet.data(), packet.size()));
  ASSERT_EQ(media_.decoded_frames.size(), 1u);
  const Bytes8 frame = Cat({{0x00, 0x01, 0x02, 0x00}, payload});
  EXPECT_EQ(media_.decoded_frames[0], frame);

  media_.decode_result = false;
  Bytes8 bad = RtpPacket({9, 9}, false, 7, 8);
  EXPECT_FALSE(HandleAudioPacket(Ctx(MediaTransport::kUdp), bad.data(), bad.size()));

  const qvtest::Recording r = StopAndRead();
  ASSERT_EQ(r.frames.size(), 2u);  // the packet that did not decode is not recorded
  const qvtest::RecordedFrame& audio = r.frames[1];
  EXPECT_EQ(audio.header.stream, kStreamAudio);
  EXPECT_EQ(audio.header.kind, 6);
  EXPECT_EQ(audio.header.length, packet.size() - 8);
  EXPECT_EQ(audio.header.tick, 0x01020304u);
  EXPECT_EQ(audio.header.width, 0);
  EXPECT_EQ(audio.payload, frame);
}

TEST_F(NvrDepacketizerTest, AudioIsRecordedUndecoded) {
  StartRecording();
  H264(MediaTransport::kTcp, RtpPacket({0x67, 0x42}));
  const PacketContext ctx{client_, MediaTransport::kTcp, &record_, nullptr, &jpeg_, &span_, 0};
  Bytes8 packet = RtpPacket(Bytes8(160, 0xD5), false, 4242, 8);
  ASSERT_TRUE(HandleAudioPacket(ctx, packet.data(), packet.size()));
  Bytes8 header_only = RtpPacket({}, false, 1, 8);
  EXPECT_TRUE(HandleAudioPacket(ctx, header_only.data(), header_only.size()));
  Bytes8 cut(11, 0x80);
  EXPECT_FALSE(HandleAudioPacket(ctx, cut.data(), cut.size()));

  const qvtest::Recording r = StopAndRead();
  ASSERT_EQ(r.frames.size(), 3u);
  EXPECT_EQ(r.frames[1].header.tick, 4242u);
  EXPECT_EQ(r.frames[1].payload, Cat({{0x00, 0x01, 80, 0x00}, Bytes8(160, 0xD5)}));
  EXPECT_EQ(r.frames[2].payload, (Bytes8{0x00, 0x01, 0x00, 0x00}));
}

TEST(QueueDecodedAudioTest, QueuesOnlyWhilePlayingAndDropsABacklog) {
  CBufferConduit conduit;
  ASSERT_TRUE(conduit.Create(kLiveAudioConduitBytes, false, kConduitLowWater, false));
  const std::vector<int16_t> samples(160, 1234);
  EXPECT_TRUE(QueueDecodedAudio(conduit, false, samples.data(), samples.size()));
  EXPECT_EQ(conduit.GetUsed(), 0u);  // decoded, not played

  for (int i = 0; i < 4; ++i) ASSERT_TRUE(QueueDecodedAudio(conduit, true, samples.data(), samples.size()));
  EXPECT_EQ(conduit.GetUsed(), 1280u);  // 960 was not yet a backlog
  // More than 1024 bytes queued: the stale audio goes before the new samples.
  ASSERT_TRUE(QueueDecodedAudio(conduit, true, samples.data(), samples.size()));
  EXPECT_EQ(conduit.GetUsed(), 320u);
}

}  // namespace
}  // namespace qvnet
