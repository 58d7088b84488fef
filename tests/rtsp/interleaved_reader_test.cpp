// The interleaved reader fed from memory, also in small pieces as TCP may deliver them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "netclient/stream/interleaved_reader.h"

namespace qvnet {
namespace {

using Bytes = std::vector<uint8_t>;

// Hands out `data` at most `piece` bytes per receive; 0 at the end (peer closed).
class MemorySource {
 public:
  MemorySource(Bytes data, size_t piece) : data_(std::move(data)), piece_(piece) {}
  ReceiveFn Fn() {
    return [this](void* buf, size_t size) -> ssize_t {
      const size_t n = std::min({size, piece_, data_.size() - pos_});
      std::memcpy(buf, data_.data() + pos_, n);
      pos_ += n;
      return static_cast<ssize_t>(n);
    };
  }
  size_t Consumed() const { return pos_; }

 private:
  Bytes data_;
  size_t piece_;
  size_t pos_ = 0;
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
    Bytes buf(kCallerBuffer);
    size_t len = 0;
    EXPECT_EQ(ReadInterleavedPacket(src.Fn(), buf.data(), buf.size(), &len), 0);
    EXPECT_EQ(len, 100u);
    EXPECT_EQ(buf[99], 0xAA);
    EXPECT_EQ(ReadInterleavedPacket(src.Fn(), buf.data(), buf.size(), &len), 2);
    EXPECT_EQ(len, 2048u);  // exactly the buffer: still delivered
    EXPECT_EQ(buf[2047], 0xBB);
    EXPECT_EQ(ReadInterleavedPacket(src.Fn(), buf.data(), buf.size(), &len), 3);
    EXPECT_EQ(len, 1u);
    EXPECT_EQ(ReadInterleavedPacket(src.Fn(), buf.data(), buf.size(), &len), kInterleavedFailed) << "closed";
  }
}

TEST(InterleavedReader, OversizedPacketIsSkippedAndTheNextOneRead) {
  for (size_t length : {size_t{2049}, size_t{32767}}) {
    MemorySource src(Concat({Frame(0, length, 0xEE), Frame(0, 20, 0x11)}), 1500);
    // Guard bytes behind the caller's buffer catch any write past it.
    Bytes storage(kCallerBuffer + 64, 0x5A);
    size_t len = 99;
    EXPECT_EQ(ReadInterleavedPacket(src.Fn(), storage.data(), kCallerBuffer, &len), kInterleavedSkipped);
    EXPECT_EQ(len, 0u);
    EXPECT_TRUE(std::all_of(storage.begin() + kCallerBuffer, storage.end(), [](uint8_t b) { return b == 0x5A; }));
    EXPECT_EQ(ReadInterleavedPacket(src.Fn(), storage.data(), kCallerBuffer, &len), 0);
    EXPECT_EQ(len, 20u);
    EXPECT_EQ(storage[0], 0x11);
  }
}

TEST(InterleavedReader, RtspTextBetweenPackets) {
  const std::string text = "RTSP/1.0 200 OK\r\nCSeq: 6\r\n\r\n";
  MemorySource src(Concat({Bytes(text.begin(), text.end())}), 65536);
  Bytes buf(kCallerBuffer);
  size_t len = 0;
  EXPECT_EQ(ReadInterleavedPacket(src.Fn(), buf.data(), buf.size(), &len), kInterleavedText);
  EXPECT_EQ(std::string(buf.begin(), buf.begin() + static_cast<long>(len)), text);

  MemorySource lone(Bytes{'R'}, 65536);  // nothing follows the first byte
  EXPECT_EQ(ReadInterleavedPacket(lone.Fn(), buf.data(), buf.size(), &len), kInterleavedFailed);
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
    Bytes buf(kCallerBuffer);
    size_t len = 0;
    EXPECT_EQ(ReadInterleavedPacket(src.Fn(), buf.data(), buf.size(), &len), kInterleavedFailed) << c.name;
  }
  Bytes buf(kCallerBuffer);
  size_t len = 0;
  const ReceiveFn failing = [](void*, size_t) -> ssize_t { return -1; };
  EXPECT_EQ(ReadInterleavedPacket(failing, buf.data(), buf.size(), &len), kInterleavedFailed) << "receive error";
}

}  // namespace
}  // namespace qvnet
