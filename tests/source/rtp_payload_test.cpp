// RTP payloads as servers other than the cameras send them, fed from memory: headers with CSRC
// lists, extensions and padding; STAP-A aggregates; and RTP/JPEG in the RFC's own form, whose
// JPEG headers the receiver rebuilds (checked by decoding against the original image).
#include <gtest/gtest.h>

#include <turbojpeg.h>

#include <cstdint>
#include <string>
#include <vector>

#include "netclient/media/record/record_pair.h"
#include "netclient/wire/audio_depacketizer.h"
#include "netclient/wire/h264_depacketizer.h"
#include "netclient/wire/jpeg_depacketizer.h"
#include "netclient/wire/rtp_header.h"
#include "tests/source/source_test_support.h"

namespace qvnet {
namespace {

using qvtest::RtpPacket;
using Bytes8 = std::vector<uint8_t>;

// `packet` with `csrcs` CSRC entries, an extension of `ext_words` 32-bit words (when not
// negative) and `padding` bytes of padding.
Bytes8 WithExtras(const Bytes8& packet, int csrcs, int ext_words, uint8_t padding) {
  Bytes8 out(packet.begin(), packet.begin() + 12);
  out[0] = static_cast<uint8_t>(0x80 | (padding > 0 ? 0x20 : 0) | (ext_words >= 0 ? 0x10 : 0) | csrcs);
  for (int i = 0; i < csrcs * 4; ++i) out.push_back(static_cast<uint8_t>(0xC0 + i));
  if (ext_words >= 0) {
    out.insert(out.end(), {0xBE, 0xDE, 0x00, static_cast<uint8_t>(ext_words)});
    for (int i = 0; i < ext_words * 4; ++i) out.push_back(0xEE);
  }
  out.insert(out.end(), packet.begin() + 12, packet.end());
  for (int i = 1; i < padding; ++i) out.push_back(0);
  if (padding > 0) out.push_back(padding);
  return out;
}

TEST(RtpHeader, PayloadFoundBehindCsrcsExtensionAndBeforePadding) {
  const Bytes8 plain = RtpPacket({1, 2, 3, 4, 5}, true, 0x01020304, 97);
  struct Case {
    const char* name;
    Bytes8 packet;
    size_t offset;
  };
  const Case cases[] = {
      {"plain", plain, 12},
      {"two CSRCs", WithExtras(plain, 2, -1, 0), 20},
      {"extension", WithExtras(plain, 0, 2, 0), 24},
      {"empty extension", WithExtras(plain, 0, 0, 0), 16},
      {"padding", WithExtras(plain, 0, -1, 3), 12},
      {"all three", WithExtras(plain, 15, 3, 8), 12 + 60 + 16},
  };
  for (const Case& c : cases) {
    const std::optional<RtpHeaderView> h = ParseRtpHeader(c.packet.data(), c.packet.size());
    ASSERT_TRUE(h) << c.name;
    EXPECT_EQ(h->payload_offset, c.offset) << c.name;
    EXPECT_EQ(h->payload_length, 5u) << c.name;
    EXPECT_EQ(Bytes8(c.packet.begin() + static_cast<long>(h->payload_offset),
                     c.packet.begin() + static_cast<long>(h->payload_offset + 5)),
              (Bytes8{1, 2, 3, 4, 5}))
        << c.name;
    EXPECT_TRUE(h->marker) << c.name;
    EXPECT_EQ(h->payload_type, 97) << c.name;
    EXPECT_EQ(h->timestamp, 0x01020304u) << c.name;
  }
  Bytes8 bad_padding = WithExtras(plain, 0, -1, 3);
  bad_padding.back() = 200;  // more padding than the packet holds
  Bytes8 zero_padding = WithExtras(plain, 0, -1, 3);
  zero_padding.back() = 0;
  Bytes8 long_extension = WithExtras(plain, 0, 1, 0);
  long_extension[15] = 9;  // claims 9 words
  Bytes8 many_csrcs = plain;
  many_csrcs.resize(20);
  many_csrcs[0] = 0x83;  // 3 CSRCs in a 20-byte packet
  for (const Bytes8* p : {&bad_padding, &zero_padding, &long_extension, &many_csrcs}) {
    EXPECT_FALSE(ParseRtpHeader(p->data(), p->size()));
  }
  EXPECT_FALSE(ParseRtpHeader(plain.data(), 11));
}

class PayloadTest : public ::testing::Test {
 protected:
  PayloadTest() : client_(context_, kNetClientFlavor, 554, 0) {
    client_.width = 64;
    client_.height = 48;
    client_.audio_codec = 2;
    EXPECT_TRUE(jpeg_.Allocate());
  }
  PacketContext Ctx(MediaTransport transport = MediaTransport::kUdp) {
    return PacketContext{client_, transport, &record_, &media_, &jpeg_, &span_, 0, &fua_};
  }
  bool H264(const Bytes8& p, MediaTransport t = MediaTransport::kUdp) { return HandleH264Packet(Ctx(t), p.data(), p.size()); }
  bool Jpeg(const Bytes8& p) { return HandleJpegPacket(Ctx(), p.data(), p.size()); }

  LibraryContext context_;
  qvtest::NoteClient client_;
  qvtest::TestMediaOutput media_;
  qvtest::TempDir dir_{"qv-rtp-payload"};
  RecordPair record_{[](int) {}};
  JpegAssembly jpeg_;
  FuAssembly fua_;
  KeyFrameSpan span_;
};

const Bytes8 kStart{0, 0, 1};

Bytes8 Cat(std::initializer_list<Bytes8> parts) {
  Bytes8 all;
  for (const Bytes8& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST_F(PayloadTest, H264AndAudioBehindHeaderExtras) {
  ASSERT_TRUE(H264(WithExtras(RtpPacket({0x67, 0x42, 0x00, 0x1E}), 2, 2, 4)));
  ASSERT_TRUE(H264(WithExtras(RtpPacket({0x7C, 0x85, 1, 2}), 1, 0, 0)));
  ASSERT_TRUE(H264(WithExtras(RtpPacket({0x7C, 0x45, 3}), 0, 1, 2)));
  EXPECT_EQ(media_.VideoBytes(), Cat({kStart, {0x67, 0x42, 0x00, 0x1E}, kStart, {0x65, 1, 2, 3}}));
  EXPECT_EQ(client_.received_bytes.load(), 4u + 4u + 3u);  // payloads only

  Bytes8 audio = WithExtras(RtpPacket({0xD5, 0xD5, 0xD5}, false, 77, 0), 3, 1, 4);
  ASSERT_TRUE(HandleAudioPacket(Ctx(), audio.data(), audio.size()));
  ASSERT_EQ(media_.decoded_frames.size(), 1u);
  EXPECT_EQ(media_.decoded_frames[0], (Bytes8{0x00, 0x01, 0x01, 0x00, 0xD5, 0xD5, 0xD5}));
}

TEST_F(PayloadTest, StapAUnitsGoOnAsSingleUnitsAndAreRecordedByKind) {
  const std::string path = dir_.File("stap.h264");
  ASSERT_EQ(record_.ClientStartRecord(path.c_str(), 0), 1);
  // SPS, PPS and an SEI in one packet; the forbidden bit drops one unit, not the packet.
  const Bytes8 stap = RtpPacket({0x78, 0x00, 0x04, 0x67, 0x42, 0x00, 0x1E, 0x00, 0x02, 0x68, 0xCE, 0x00, 0x02, 0x86, 0x01,
                                 0x00, 0x02, 0x06, 0x05});
  ASSERT_TRUE(H264(stap, MediaTransport::kTcp));
  ASSERT_TRUE(H264(RtpPacket({0x65, 0x88}), MediaTransport::kTcp));
  EXPECT_EQ(media_.VideoBytes(),
            Cat({kStart, {0x67, 0x42, 0x00, 0x1E}, kStart, {0x68, 0xCE}, kStart, {0x06, 0x05}, kStart, {0x65, 0x88}}));
  record_.ClientStopRecord();
  const qvtest::Recording r = qvtest::ReadRecording(path);
  ASSERT_TRUE(r.ok);
  ASSERT_EQ(r.frames.size(), 4u);
  EXPECT_EQ(r.frames[0].header.kind, 7);
  EXPECT_EQ(r.frames[1].header.kind, 8);
  EXPECT_EQ(r.frames[2].header.kind, 6);
  EXPECT_EQ(r.frames[3].header.kind, 5);
  ASSERT_EQ(r.index.size(), 1u);  // the SPS from the aggregate is the key frame's index point
  EXPECT_EQ(r.index[0].offset, r.frames[0].offset);
}

// --- RTP/JPEG in the RFC's form ---------------------------------------------------------

struct EncodedImage {
  Bytes8 jpeg;
  Bytes8 scan;    // entropy-coded data between SOS and EOI
  Bytes8 tables;  // the DQT tables, luma then chroma, 64 bytes each
};

EncodedImage Encode(int subsampling, int quality) {
  constexpr int kW = 64;
  constexpr int kH = 48;
  Bytes8 rgb(kW * kH * 3);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      uint8_t* p = &rgb[static_cast<size_t>((y * kW + x) * 3)];
      p[0] = static_cast<uint8_t>(x * 4);
      p[1] = static_cast<uint8_t>(y * 5);
      p[2] = static_cast<uint8_t>((x * y) & 0xFF);
    }
  }
  tjhandle tj = tjInitCompress();
  unsigned char* out = nullptr;
  unsigned long size = 0;
  EXPECT_EQ(tjCompress2(tj, rgb.data(), kW, 0, kH, TJPF_RGB, &out, &size, subsampling, quality, 0), 0);
  EncodedImage image;
  image.jpeg.assign(out, out + size);
  tjFree(out);
  tjDestroy(tj);
  // Walk the marker segments to the scan; collect the DQT tables on the way.
  size_t pos = 2;
  while (pos + 4 <= image.jpeg.size()) {
    const uint8_t marker = image.jpeg[pos + 1];
    const size_t length = (static_cast<size_t>(image.jpeg[pos + 2]) << 8) | image.jpeg[pos + 3];
    if (marker == 0xDB) {
      for (size_t t = pos + 4; t + 65 <= pos + 2 + length; t += 65) {
        image.tables.insert(image.tables.end(), image.jpeg.begin() + static_cast<long>(t + 1),
                            image.jpeg.begin() + static_cast<long>(t + 65));
      }
    }
    pos += 2 + length;
    if (marker == 0xDA) break;
  }
  image.scan.assign(image.jpeg.begin() + static_cast<long>(pos), image.jpeg.end() - 2);
  return image;
}

Bytes8 Decode(const Bytes8& jpeg) {
  tjhandle tj = tjInitDecompress();
  int w = 0;
  int h = 0;
  int sub = 0;
  int cs = 0;
  Bytes8 rgb;
  if (tjDecompressHeader3(tj, jpeg.data(), jpeg.size(), &w, &h, &sub, &cs) == 0) {
    rgb.resize(static_cast<size_t>(w * h * 3));
    if (tjDecompress2(tj, jpeg.data(), jpeg.size(), rgb.data(), w, 0, h, TJPF_RGB, 0) != 0) rgb.clear();
  }
  tjDestroy(tj);
  return rgb;
}

// The picture as RTP/JPEG packets of at most `chunk` scan bytes; the first carries the
// in-band tables when `tables` is not null (Q >= 128).
std::vector<Bytes8> Packetize(const Bytes8& scan, uint8_t type, uint8_t q, const Bytes8* tables, size_t chunk = 300) {
  std::vector<Bytes8> packets;
  for (size_t pos = 0; pos < scan.size(); pos += chunk) {
    const size_t n = std::min(chunk, scan.size() - pos);
    Bytes8 payload{0, static_cast<uint8_t>(pos >> 16), static_cast<uint8_t>(pos >> 8), static_cast<uint8_t>(pos), type, q,
                   64 / 8, 48 / 8};
    if (pos == 0 && tables != nullptr) {
      payload.insert(payload.end(), {0, 0, static_cast<uint8_t>(tables->size() >> 8), static_cast<uint8_t>(tables->size())});
      payload.insert(payload.end(), tables->begin(), tables->end());
    }
    payload.insert(payload.end(), scan.begin() + static_cast<long>(pos), scan.begin() + static_cast<long>(pos + n));
    packets.push_back(RtpPacket(payload, pos + n == scan.size(), 0, 26));
  }
  return packets;
}

TEST_F(PayloadTest, JpegHeadersRebuiltForComputedAndInBandTables) {
  struct Case {
    const char* name;
    int subsampling;
    uint8_t type;
    int quality;
    bool in_band;
  };
  const Case cases[] = {
      {"4:2:0, Q 75 computed", TJSAMP_420, 1, 75, false},
      {"4:2:0, Q 20 computed", TJSAMP_420, 1, 20, false},
      {"4:2:2, Q 50 computed", TJSAMP_422, 0, 50, false},
      {"4:2:0, tables in-band", TJSAMP_420, 1, 90, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    media_.pieces.clear();
    const EncodedImage image = Encode(c.subsampling, c.quality);
    ASSERT_EQ(image.tables.size(), 128u);
    const uint8_t q = c.in_band ? 255 : static_cast<uint8_t>(c.quality);
    for (const Bytes8& p : Packetize(image.scan, c.type, q, c.in_band ? &image.tables : nullptr)) ASSERT_TRUE(Jpeg(p));
    ASSERT_EQ(media_.pieces.size(), 1u);
    const Bytes8& picture = media_.pieces[0].bytes;
    ASSERT_GE(picture.size(), 4u);
    EXPECT_EQ(picture[0], 0xFF);
    EXPECT_EQ(picture[1], 0xD8);
    EXPECT_EQ(picture[picture.size() - 2], 0xFF);
    EXPECT_EQ(picture.back(), 0xD9);
    const Bytes8 decoded = Decode(picture);
    ASSERT_FALSE(decoded.empty());
    EXPECT_EQ(decoded, Decode(image.jpeg));
  }
}

TEST_F(PayloadTest, JpegInBandTablesRememberedLostFragmentsAndUnknownTypesDropped) {
  const EncodedImage image = Encode(TJSAMP_420, 80);
  for (const Bytes8& p : Packetize(image.scan, 1, 200, &image.tables)) ASSERT_TRUE(Jpeg(p));
  // The next picture sends a table length of 0: the tables of the last one hold.
  const Bytes8 none;
  for (const Bytes8& p : Packetize(image.scan, 1, 200, &none)) ASSERT_TRUE(Jpeg(p));
  ASSERT_EQ(media_.pieces.size(), 2u);
  EXPECT_EQ(Decode(media_.pieces[1].bytes), Decode(image.jpeg));

  media_.pieces.clear();
  std::vector<Bytes8> packets = Packetize(image.scan, 1, 80, nullptr, 100);
  ASSERT_GT(packets.size(), 2u);
  packets.erase(packets.begin() + 1);  // lost on the way
  for (const Bytes8& p : packets) Jpeg(p);
  EXPECT_TRUE(media_.pieces.empty());

  for (uint8_t type : {2, 3, 66, 130}) {
    for (const Bytes8& p : Packetize(image.scan, type, 80, nullptr)) Jpeg(p);
  }
  for (uint8_t q : {0, 100, 127}) {
    for (const Bytes8& p : Packetize(image.scan, 1, q, nullptr)) Jpeg(p);
  }
  EXPECT_TRUE(media_.pieces.empty());
  // The next good picture comes through.
  for (const Bytes8& p : Packetize(image.scan, 1, 80, nullptr)) ASSERT_TRUE(Jpeg(p));
  EXPECT_EQ(media_.pieces.size(), 1u);
}

}  // namespace
}  // namespace qvnet
