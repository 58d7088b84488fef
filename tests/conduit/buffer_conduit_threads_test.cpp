// The conduit between real threads: waking, holding back and releasing waiters, and a
// writer/reader stress run that checks every byte and every message boundary.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "netclient/media/conduit/buffer_conduit.h"

namespace {

using qvnet::CBufferConduit;
using namespace std::chrono_literals;

// Waits the code under test must never sit out; a result within kPrompt proves a wake-up.
constexpr uint32_t kLongMs = 60000;
constexpr auto kPrompt = 5s;
// Time for a thread to reach its wait; the assertions hold whether or not it got there.
constexpr auto kSettle = 20ms;

enum class Waiter { kRead, kReadMessage, kBlockedWriter };

TEST(BufferConduitThreads, CloseReleasesEveryWaiter) {
  for (Waiter who : {Waiter::kRead, Waiter::kReadMessage, Waiter::kBlockedWriter}) {
    SCOPED_TRACE(static_cast<int>(who));
    CBufferConduit c(kLongMs);
    ASSERT_TRUE(c.Create(64, true, 0, true));
    uint8_t buf[8] = {};
    // A first write takes the space event, so the next blocking write has to wait.
    if (who == Waiter::kBlockedWriter) {
      ASSERT_TRUE(c.Write(buf, 8, true));
    }
    auto waiter = std::async(std::launch::async, [&]() -> uint32_t {
      switch (who) {
        case Waiter::kRead: return c.Read(buf, 8, nullptr, kLongMs);
        case Waiter::kReadMessage: return c.ReadMessage(buf, 8, nullptr, kLongMs);
        case Waiter::kBlockedWriter: return c.Write(buf, 8, true) ? 1u : 0u;
      }
      return 99;
    });
    std::this_thread::sleep_for(kSettle);
    c.Close();
    ASSERT_EQ(waiter.wait_for(kPrompt), std::future_status::ready);
    EXPECT_EQ(waiter.get(), 0u);
  }
}

TEST(BufferConduitThreads, WaitingReadMessageDoesNotHoldOffWriter) {
  CBufferConduit c;
  ASSERT_TRUE(c.Create(64, false, 0, true));
  const uint8_t msg[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  auto reader = std::async(std::launch::async, [&] {
    uint8_t out[16] = {};
    // The first wake may come from the unfinished first piece; bounded retries.
    for (int i = 0; i < 4; ++i) {
      if (uint32_t n = c.ReadMessage(out, 16, nullptr, kLongMs)) return n;
    }
    return 0u;
  });
  std::this_thread::sleep_for(kSettle);
  auto writer = std::async(std::launch::async, [&] { return c.Write(msg, 5, false) && c.Write(msg + 5, 3, true); });
  ASSERT_EQ(writer.wait_for(kPrompt), std::future_status::ready);
  EXPECT_TRUE(writer.get());
  ASSERT_EQ(reader.wait_for(kPrompt), std::future_status::ready);
  EXPECT_EQ(reader.get(), 8u);
}

TEST(BufferConduitThreads, UnfinishedMessageLetsReaderWaitInsteadOfSpin) {
  CBufferConduit c;
  ASSERT_TRUE(c.Create(64, false, 0, true));
  const uint8_t piece[5] = {};
  uint8_t out[16];
  ASSERT_TRUE(c.Write(piece, 5, false));
  EXPECT_EQ(c.ReadMessage(out, 16, nullptr, 0), 0u) << "woken, but no whole message";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(c.ReadMessage(out, 16, nullptr, 30), 0u);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 25ms) << "the data event should have been reset";
}

TEST(BufferConduitThreads, BlockingWriterWaitsForReaderThenGoesOn) {
  CBufferConduit c(kLongMs);
  ASSERT_TRUE(c.Create(4096, true, 1024, true));
  std::vector<uint8_t> msg(2000, 7), out(4096);
  ASSERT_TRUE(c.Write(msg.data(), 2000, true));
  auto writer = std::async(std::launch::async, [&] { return c.Write(msg.data(), 2000, true); });
  EXPECT_EQ(writer.wait_for(kSettle), std::future_status::timeout) << "room, but no space signal yet";
  ASSERT_EQ(c.ReadMessage(out.data(), 4096, nullptr, 0), 2000u);
  ASSERT_EQ(writer.wait_for(kPrompt), std::future_status::ready);
  EXPECT_TRUE(writer.get());

  CBufferConduit timed(20);
  ASSERT_TRUE(timed.Create(4096, true, 1024, true));
  ASSERT_TRUE(timed.Write(msg.data(), 2000, true));
  EXPECT_FALSE(timed.Write(msg.data(), 2000, true)) << "no reader frees space within the wait";
  EXPECT_EQ(timed.GetUsed(), 2000u);
}

// Byte k of the whole stream; differs between k and k + any ring size used here.
uint8_t StreamByte(uint64_t k) { return static_cast<uint8_t>(k ^ (k >> 8) ^ (k >> 16)); }

struct StressCase {
  bool framed;
  bool blocking;
};

class ConduitStress : public testing::TestWithParam<StressCase> {};

TEST_P(ConduitStress, EveryByteAndBoundaryArrivesInOrder) {
  constexpr uint32_t kMessages = 4000;
  constexpr uint32_t kMaxMessage = 3000;
  const StressCase p = GetParam();
  CBufferConduit c(200);
  ASSERT_TRUE(c.Create(8192, p.blocking, 2048, p.framed));

  // The writer sends each message in up to three pieces; the reader recomputes the sizes.
  std::atomic<bool> abandon{false};
  std::thread writer([&] {
    std::minstd_rand sizes(7), cuts(11);
    std::vector<uint8_t> msg(kMaxMessage);
    uint64_t k = 0;
    for (uint32_t i = 0; i < kMessages; ++i) {
      const uint32_t size = 1 + sizes() % kMaxMessage;
      for (uint32_t j = 0; j < size; ++j) msg[j] = StreamByte(k++);
      uint32_t done = 0;
      while (done < size) {
        const uint32_t piece = std::min<uint32_t>(size - done, 1 + cuts() % (kMaxMessage / 2));
        const bool last = done + piece == size;
        while (!c.Write(msg.data() + done, piece, last)) {
          if (abandon) return;
          std::this_thread::yield();
        }
        done += piece;
      }
    }
  });

  std::minstd_rand sizes(7), chunks(13);
  std::vector<uint8_t> out(4000);
  uint64_t k = 0, total = 0;
  std::vector<uint32_t> expected(kMessages);
  for (auto& s : expected) total += s = 1 + sizes() % kMaxMessage;
  uint32_t message = 0, left_in_message = expected[0];
  bool in_order = true;
  const auto give_up = std::chrono::steady_clock::now() + 60s;  // deadlock guard only
  while (in_order && k < total && std::chrono::steady_clock::now() < give_up) {
    const uint32_t want = 1 + chunks() % 4000;
    uint32_t n = 0;
    if (p.framed) {
      n = c.ReadMessage(out.data(), want, nullptr, 200);
      if (n == 0) continue;
      in_order = n == std::min(want, left_in_message);
      EXPECT_TRUE(in_order) << "message " << message << " came as " << n << " bytes";
      left_in_message -= n;
      if (left_in_message == 0 && ++message < kMessages) left_in_message = expected[message];
    } else {
      n = c.Read(out.data(), static_cast<uint32_t>(std::min<uint64_t>(want % 2000 + 1, total - k)), nullptr, 200);
    }
    for (uint32_t j = 0; in_order && j < n; ++j, ++k) {
      in_order = out[j] == StreamByte(k);
      EXPECT_TRUE(in_order) << "stream byte " << k;
    }
  }
  abandon = true;
  writer.join();
  EXPECT_EQ(k, total);
  EXPECT_EQ(c.GetUsed(), 0u);
  EXPECT_EQ(c.GetMessageCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Modes, ConduitStress,
                         testing::Values(StressCase{true, false}, StressCase{true, true}, StressCase{false, false},
                                         StressCase{false, true}),
                         [](const testing::TestParamInfo<StressCase>& mode) {
                           return std::string(mode.param.framed ? "Framed" : "ByteStream") +
                                  (mode.param.blocking ? "Blocking" : "NonBlocking");
                         });

}  // namespace
