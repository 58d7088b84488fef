// Single-thread behaviour of the conduit: sizes, boundaries, wrap-around, Close and Reset.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <vector>

#include "netclient/media/conduit/buffer_conduit.h"

namespace {

using qvnet::CBufferConduit;
using Bytes = std::vector<uint8_t>;

Bytes Pattern(uint32_t n, uint8_t seed) {
  Bytes b(n);
  for (uint32_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 7);
  return b;
}

Bytes Slice(const Bytes& b, size_t from, size_t to) { return Bytes(b.begin() + from, b.begin() + to); }

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes TakeMessage(CBufferConduit& c, uint32_t max, uint32_t* left = nullptr) {
  Bytes out(max);
  out.resize(c.ReadMessage(out.data(), max, left, 0));
  return out;
}

TEST(BufferConduit, CreateFreeAndModeRules) {
  CBufferConduit c;
  Bytes b = Pattern(4, 1);
  EXPECT_FALSE(c.Write(b.data(), 4, true)) << "no buffer yet";
  EXPECT_FALSE(c.Create(0, false, 0, true));
  ASSERT_TRUE(c.Create(16, false, 0, true));
  EXPECT_FALSE(c.Create(16, false, 0, true)) << "already created";
  EXPECT_TRUE(c.Write(b.data(), 4, true));
  c.Free();
  EXPECT_EQ(c.GetUsed() + c.GetMessageCount(), 0u);
  EXPECT_FALSE(c.Write(b.data(), 4, true));
  ASSERT_TRUE(c.Create(8, false, 0, false)) << "Create again after Free";
  EXPECT_TRUE(c.Write(b.data(), 4, true));
  EXPECT_EQ(c.ReadMessage(b.data(), 4, nullptr, 0), 0u) << "not framed";
  EXPECT_EQ(c.GetMessageCount(), 0u);
}

TEST(BufferConduit, WriteLargerThanFreeSpaceWritesNothing) {
  CBufferConduit c;
  ASSERT_TRUE(c.Create(16, false, 0, true));
  const Bytes head = Pattern(10, 1), refused = Pattern(7, 50), tail = Pattern(6, 100);
  ASSERT_TRUE(c.Write(head.data(), 10, false));
  EXPECT_FALSE(c.Write(refused.data(), 7, true));
  EXPECT_EQ(c.GetUsed(), 10u);
  EXPECT_EQ(c.GetMessageCount(), 0u);
  ASSERT_TRUE(c.Write(tail.data(), 6, true)) << "exactly fills the ring";
  EXPECT_EQ(TakeMessage(c, 32), Concat(head, tail)) << "pending length must stay 10";
}

TEST(BufferConduit, MessageBoundaries) {
  CBufferConduit c;
  ASSERT_TRUE(c.Create(64, false, 0, true));
  const Bytes a = Pattern(10, 1), b = Pattern(5, 99);
  EXPECT_TRUE(c.Write(nullptr, 0, true)) << "an empty message is not queued";
  ASSERT_TRUE(c.Write(a.data(), 6, false));
  EXPECT_EQ(c.GetMessageCount(), 0u);
  EXPECT_TRUE(TakeMessage(c, 64).empty()) << "unfinished message";
  ASSERT_TRUE(c.Write(a.data() + 6, 4, true));
  ASSERT_TRUE(c.Write(b.data(), 5, false));
  ASSERT_TRUE(c.Write(nullptr, 0, true)) << "an empty piece can end a message";
  EXPECT_EQ(c.GetMessageCount(), 2u);

  // A short maximum delivers the start and leaves the rest as the oldest message.
  uint32_t left = 0;
  EXPECT_EQ(TakeMessage(c, 4, &left), Slice(a, 0, 4));
  EXPECT_EQ(left, 2u);
  EXPECT_EQ(c.GetUsed(), 11u);
  EXPECT_EQ(TakeMessage(c, 100, &left), Slice(a, 4, 10));
  EXPECT_EQ(left, 1u);
  EXPECT_EQ(TakeMessage(c, 100, &left), b);
  EXPECT_EQ(left, 0u);
}

TEST(BufferConduit, ByteStreamReads) {
  CBufferConduit c;
  ASSERT_TRUE(c.Create(64, false, 0, true));
  const Bytes a = Pattern(3, 1), b = Pattern(4, 40), p = Pattern(4, 80), q = Pattern(3, 120);
  Bytes out(8);
  ASSERT_TRUE(c.Write(a.data(), 3, true));
  ASSERT_TRUE(c.Write(b.data(), 4, true));
  EXPECT_EQ(c.Read(out.data(), 8, nullptr, 0), 0u) << "fewer than asked: nothing taken";
  uint32_t remaining = 0;
  // Queued bytes are taken even though the short read above cleared the data event.
  ASSERT_EQ(c.Read(out.data(), 5, &remaining, 0), 5u);
  EXPECT_EQ(remaining, 2u);
  EXPECT_EQ(Slice(out, 0, 5), Concat(a, Slice(b, 0, 2)));

  // Byte reads of a framed conduit (the replay display does this) keep the message lengths
  // in step, or a later ReadMessage would run past the queued bytes.
  EXPECT_EQ(c.GetMessageCount(), 1u);
  EXPECT_EQ(TakeMessage(c, 64), Slice(b, 2, 4));
  ASSERT_TRUE(c.Write(p.data(), 4, false));
  ASSERT_EQ(c.Read(out.data(), 2, nullptr, 0), 2u);
  ASSERT_TRUE(c.Write(q.data(), 3, true));
  EXPECT_EQ(TakeMessage(c, 64), Concat(Slice(p, 2, 4), q));
  EXPECT_EQ(c.GetUsed(), 0u);
}

TEST(BufferConduit, WrapAroundReadsBackInOrder) {
  constexpr uint32_t kCap = 16;
  const Bytes full = Pattern(kCap, 60);
  for (bool framed : {false, true}) {
    for (uint32_t offset = 1; offset < kCap; ++offset) {
      SCOPED_TRACE(testing::Message() << "framed " << framed << " offset " << offset);
      CBufferConduit c;
      ASSERT_TRUE(c.Create(kCap, false, 0, framed));
      Bytes out(kCap);
      ASSERT_TRUE(c.Write(out.data(), offset, true));
      ASSERT_EQ(c.Read(out.data(), offset, nullptr, 0), offset);
      ASSERT_TRUE(c.Write(full.data(), 9, false));
      ASSERT_TRUE(c.Write(full.data() + 9, kCap - 9, true));
      if (!framed) {
        ASSERT_EQ(c.Read(out.data(), kCap, nullptr, 0), kCap);
      }
      EXPECT_EQ(framed ? TakeMessage(c, kCap) : out, full);
    }
  }
}

TEST(BufferConduit, CloseFailsEverythingAtOnceUntilReset) {
  constexpr uint32_t kLongMs = 30000;
  CBufferConduit c;
  ASSERT_TRUE(c.Create(64, false, 0, true));
  const Bytes a = Pattern(4, 1), b = Pattern(6, 9);
  ASSERT_TRUE(c.Write(a.data(), 4, true));
  ASSERT_TRUE(c.Write(a.data(), 2, false));
  c.Close();
  EXPECT_FALSE(c.Write(a.data(), 4, true));
  auto reads = std::async(std::launch::async, [&] {
    Bytes out(8);
    return c.Read(out.data(), 4, nullptr, kLongMs) + c.ReadMessage(out.data(), 8, nullptr, kLongMs);
  });
  ASSERT_EQ(reads.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_EQ(reads.get(), 0u) << "queued data stays out of reach while closed";

  c.Reset();
  EXPECT_EQ(c.GetUsed() + c.GetMessageCount(), 0u);
  ASSERT_TRUE(c.Write(b.data(), 6, true));
  EXPECT_EQ(TakeMessage(c, 64), b) << "Reset drops the unfinished message too";
}

}  // namespace
