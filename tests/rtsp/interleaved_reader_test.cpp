// The interleaved reader fed from memory, also in small pieces as TCP may deliver them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "netclient/wire/interleaved_reader.h"

namespace qvnet {
namespace {

using Bytes = std::vector<uint8_t>;

// Hands out `data` at most `piece` bytes per receive; 0 at the end (peer closed).
class MemorySource {
 public:
  MemorySource(Bytes data, size_t piece) : data_(std::move(data)), piece_(piece) {}
  ReceiveFn Fn() {
    return [this](void* buf, size_t size) -> ssize_t {
      ++receives_;
      const size_t n = std::min({size, piece_, data_.size() - pos_});
      std::memcpy(buf, data_.data() + pos_, n);
      pos_ += n;
      return static_cast<ssize_t>(n);
    };
  }
  size_t Consumed() const { return pos_; }
  size_t Receives() const { return receives_; }

 private:
  Bytes data_;
  size_t piece_;
  size_t pos_ = 0;
  size_t receives_ = 0;
};

Bytes Frame(uint8_t channel, size_t length, uint8_t fill) {
  Bytes b{'$', channel, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length & 0xFF)};
  b.insert(b.end(), length, fill);
  return b;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

constexpr size_t kCallerBuffer = 2048;

TEST(InterleavedReader, PacketsInWholeAndInOneBytePieces) {
  for (size_t piece : {size_t{65536}, size_t{1}}) {
    MemorySource src(Concat({Frame(0, 100, 0xAA), Frame(2, 2048, 0xBB), Frame(3, 1, 0xCC)}), piece);
    InterleavedReader reader(src.Fn());
    Bytes buf(kCallerBuffer);
    size_t len = 0;
    EXPECT_EQ(reader.Read(buf.data(), buf.size(), &len), 0);
    EXPECT_EQ(len, 100u);
    EXPECT_EQ(buf[99], 0xAA);
    EXPECT_EQ(reader.Read(buf.data(), buf.size(), &len), 2);
    EXPECT_EQ(len, 2048u);  // exactly the buffer: still delivered
    EXPECT_EQ(buf[2047], 0xBB);
    EXPECT_EQ(reader.Read(buf.data(), buf.size(), &len), 3);
    EXPECT_EQ(len, 1u);
    EXPECT_EQ(reader.Read(buf.data(), buf.size(), &len), kInterleavedFailed) << "closed";
  }
}

// A burst of packets that arrived together costs one receive, not three a packet, and packets
// that straddle the end of the reader's buffer come out whole.
TEST(InterleavedReader, BurstIsTakenWithOneReceiveAndWrapsIntact) {
  Bytes stream;
  for (int i = 0; i < 200; ++i) {
    const Bytes f = Frame(static_cast<uint8_t>(i % 4), 1000 + static_cast<size_t>(i), static_cast<uint8_t>(i));
    stream.insert(stream.end(), f.begin(), f.end());
  }
  MemorySource src(stream, 65536);
  InterleavedReader reader(src.Fn());
  for (int i = 0; i < 200; ++i) {
    uint8_t* data = nullptr;
    size_t len = 0;
    ASSERT_EQ(reader.Next(&data, &len, kCallerBuffer), i % 4) << i;
    ASSERT_EQ(len, 1000u + static_cast<size_t>(i));
    EXPECT_EQ(data[0], static_cast<uint8_t>(i));
    EXPECT_EQ(data[len - 1], static_cast<uint8_t>(i));
  }
  // 200 packets of about 1.1 KB: a handful of 64 KiB receives.
  EXPECT_LE(src.Receives(), stream.size() / 60000 + 2);
}

TEST(InterleavedReader, OversizedPacketIsSkippedAndTheNextOneRead) {
  for (size_t length : {size_t{2049}, size_t{32767}}) {
    MemorySource src(Concat({Frame(0, length, 0xEE), Frame(0, 20, 0x11)}), 1500);
    // Guard bytes behind the caller's buffer catch any write past it.
    Bytes storage(kCallerBuffer + 64, 0x5A);
    InterleavedReader reader(src.Fn());
    size_t len = 99;
    EXPECT_EQ(reader.Read(storage.data(), kCallerBuffer, &len), kInterleavedSkipped);
    EXPECT_EQ(len, 0u);
    EXPECT_TRUE(std::all_of(storage.begin() + kCallerBuffer, storage.end(), [](uint8_t b) { return b == 0x5A; }));
    EXPECT_EQ(reader.Read(storage.data(), kCallerBuffer, &len), 0);
    EXPECT_EQ(len, 20u);
    EXPECT_EQ(storage[0], 0x11);
  }
}

TEST(InterleavedReader, RtspTextBetweenPackets) {
  const std::string text = "RTSP/1.0 200 OK\r\nCSeq: 6\r\n\r\n";
  MemorySource src(Concat({Bytes(text.begin(), text.end()), Frame(0, 10, 0x42)}), 65536);
  InterleavedReader reader(src.Fn());
  Bytes buf(kCallerBuffer);
  size_t len = 0;
  EXPECT_EQ(reader.Read(buf.data(), buf.size(), &len), kInterleavedText);
  EXPECT_EQ(std::string(buf.begin(), buf.begin() + static_cast<long>(len)), text);
  EXPECT_EQ(reader.Read(buf.data(), buf.size(), &len), 0) << "the packet behind the text";
  EXPECT_EQ(len, 10u);

  MemorySource lone(Bytes{'R'}, 65536);  // nothing follows the first byte
  InterleavedReader lone_reader(lone.Fn());
  EXPECT_EQ(lone_reader.Read(buf.data(), buf.size(), &len), kInterleavedFailed);
}

TEST(InterleavedReader, MalformedHeadersAndErrorsFail) {
  struct Case {
    const char* name;
    Bytes data;
  };
  const Case cases[] = {
      {"channel 4", {'$', 4, 0, 10}},
      {"length 0", {'$', 0, 0, 0}},
      {"negative length", {'$', 0, 0x80, 0x00}},
      {"truncated length", {'$', 0, 0}},
      {"truncated payload", Concat({Bytes{'$', 0, 0, 10}, Bytes(5, 1)})},
  };
  for (const Case& c : cases) {
    MemorySource src(c.data, 65536);
    InterleavedReader reader(src.Fn());
    Bytes buf(kCallerBuffer);
    size_t len = 0;
    EXPECT_EQ(reader.Read(buf.data(), buf.size(), &len), kInterleavedFailed) << c.name;
  }
  Bytes buf(kCallerBuffer);
  size_t len = 0;
  InterleavedReader failing([](void*, size_t) -> ssize_t { return -1; });
  EXPECT_EQ(failing.Read(buf.data(), buf.size(), &len), kInterleavedFailed) << "receive error";
}

}  // namespace
}  // namespace qvnet
