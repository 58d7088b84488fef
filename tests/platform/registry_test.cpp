#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "platform/handle_registry.h"
#include "platform/memory_window_sink.h"
#include "platform/sync.h"
#include "platform/window_registry.h"
#include "tests/support/poll.h"

namespace {

TEST(HandleRegistryTest, NextFreeHandleSkipsZeroAndLiveValues) {
  struct Case {
    const char* name;
    qvp::Handle counter;
    std::vector<qvp::Handle> live;
    qvp::Handle expected;
  };
  const Case cases[] = {
      {"plain", 7, {}, 7},
      {"wraps past zero", 0, {}, 1},
      {"skips live", 5, {5, 6}, 7},
      {"wrap then live", 0xFFFFFFFFu, {0xFFFFFFFFu, 1, 2}, 3},
  };
  for (const Case& c : cases) {
    std::map<qvp::Handle, int> live;
    for (qvp::Handle h : c.live) live[h] = 0;
    qvp::Handle counter = c.counter;
    EXPECT_EQ(qvp::NextFreeHandle(&counter, live), c.expected) << c.name;
    EXPECT_EQ(counter, c.expected + 1) << c.name;
  }
}

TEST(HandleRegistryTest, AddFindRemove) {
  qvp::HandleRegistry<int> registry(0xFFFFFFFFu);
  int a = 1;
  int b = 2;
  EXPECT_EQ(registry.Add(nullptr), 0u);
  const qvp::Handle ha = registry.Add(&a);
  const qvp::Handle hb = registry.Add(&b);
  EXPECT_EQ(ha, 0xFFFFFFFFu);
  EXPECT_EQ(hb, 1u);  // 0 is never a handle
  EXPECT_EQ(registry.Find(ha).get(), &a);
  EXPECT_EQ(registry.Find(hb).get(), &b);
  EXPECT_FALSE(registry.Find(0));
  EXPECT_EQ(registry.Remove(ha), &a);
  EXPECT_EQ(registry.Remove(ha), nullptr);
  EXPECT_FALSE(registry.Find(ha));
  // The same object again gets a new handle: a stale copy of the old one stays dead.
  EXPECT_EQ(registry.Add(&a), 2u);
}

// A lease keeps its object in use: Remove() takes the handle away at once but returns only
// when the lease has ended, so the caller may free the object then.
TEST(HandleRegistryTest, RemoveWaitsForTheLeasesOfItsHandle) {
  qvp::HandleRegistry<int> registry;
  int object = 7;
  const qvp::Handle h = registry.Add(&object);
  auto lease = std::make_unique<qvp::HandleRegistry<int>::Lease>(registry.Find(h));
  ASSERT_TRUE(*lease);
  std::atomic<bool> removed{false};
  std::thread remover([&] {
    EXPECT_EQ(registry.Remove(h), &object);
    removed = true;
  });
  EXPECT_TRUE(qvtest::PollUntil([&] { return !registry.Find(h); })) << "the handle is gone at once";
  EXPECT_FALSE(removed.load()) << "but its removal waits for the lease";
  EXPECT_EQ(**lease, 7);
  lease.reset();
  remover.join();
  EXPECT_TRUE(removed.load());
  EXPECT_EQ(registry.Size(), 0u);
}

TEST(WindowRegistryTest, CallsReachTheSinkOnlyWhileRegistered) {
  auto sink = std::make_shared<qvp::MemoryWindowSink>(704, 576);
  EXPECT_EQ(qvp::RegisterWindow(nullptr), 0u);
  const qvp::WindowHandle h = qvp::RegisterWindow(sink);
  ASSERT_NE(h, 0u);
  EXPECT_TRUE(qvp::IsWindow(h));

  EXPECT_TRUE(qvp::PostWindowMessage(h, 9024 + 3, 1, -2));
  const auto m = sink->WaitMessage(1000);
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(m->msg, 9027u);
  EXPECT_EQ(m->wparam, 1u);
  EXPECT_EQ(m->lparam, -2);

  int w = -1;
  int ht = -1;
  EXPECT_TRUE(qvp::WindowClientSize(h, &w, &ht));
  EXPECT_EQ(w, 704);
  EXPECT_EQ(ht, 576);

  qvp::UnregisterWindow(h);
  const uint8_t px[4] = {1, 2, 3, 0};
  EXPECT_FALSE(qvp::IsWindow(h));
  EXPECT_FALSE(qvp::PostWindowMessage(h, 1, 0, 0));
  EXPECT_FALSE(qvp::WindowClientSize(h, &w, &ht));
  EXPECT_FALSE(qvp::PresentToWindow(h, px, 1, 1, 4));
  EXPECT_FALSE(qvp::PostWindowMessage(0, 1, 0, 0));
  EXPECT_FALSE(sink->WaitMessage(0).has_value());

  const qvp::WindowHandle again = qvp::RegisterWindow(sink);
  EXPECT_NE(again, h);
  qvp::UnregisterWindow(again);
}

TEST(WindowRegistryTest, PresentChecksThePictureAndDeliversACopy) {
  auto sink = std::make_shared<qvp::MemoryWindowSink>();
  const qvp::WindowHandle h = qvp::RegisterWindow(sink);
  // 2x2 BGRX with 4 bytes of padding per row (stride 12).
  const uint8_t pixels[24] = {1, 2, 3, 0, 4, 5, 6, 0, 0xEE, 0xEE, 0xEE, 0xEE,
                              7, 8, 9, 0, 10, 11, 12, 0, 0xEE, 0xEE, 0xEE, 0xEE};
  struct Case {
    const char* name;
    const uint8_t* data;
    int width, height, stride;
  };
  const Case rejected[] = {
      {"null pixels", nullptr, 2, 2, 12}, {"zero width", pixels, 0, 2, 12},
      {"negative height", pixels, 2, -1, 12}, {"stride below a row", pixels, 2, 2, 7},
      {"width overflows a row", pixels, 0x40000000, 1, 12},
  };
  for (const Case& c : rejected) {
    EXPECT_FALSE(qvp::PresentToWindow(h, c.data, c.width, c.height, c.stride)) << c.name;
  }
  EXPECT_EQ(sink->PresentCount(), 0u);

  ASSERT_TRUE(qvp::PresentToWindow(h, pixels, 2, 2, 12));
  EXPECT_TRUE(sink->WaitPresentCount(1, 1000));
  const qvp::MemoryWindowSink::Image image = sink->LastImage();
  EXPECT_EQ(image.width, 2);
  EXPECT_EQ(image.height, 2);
  const std::vector<uint8_t> packed = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 10, 11, 12, 0};
  EXPECT_EQ(image.bgrx, packed);
  qvp::UnregisterWindow(h);
}

// Holds Present() until released, and reports its own destruction.
class BlockingSink : public qvp::MemoryWindowSink {
 public:
  explicit BlockingSink(std::atomic<bool>* destroyed) : destroyed_(destroyed) {}
  ~BlockingSink() override { destroyed_->store(true); }
  void Present(const uint8_t* bgrx, int width, int height, int stride) override {
    entered.Set();
    release.Wait(5000);
    MemoryWindowSink::Present(bgrx, width, height, stride);
  }
  qvp::Event entered{true, false};
  qvp::Event release{true, false};

 private:
  std::atomic<bool>* destroyed_;
};

TEST(WindowRegistryTest, SinkOutlivesUnregisterDuringPresent) {
  std::atomic<bool> destroyed{false};
  auto sink = std::make_shared<BlockingSink>(&destroyed);
  BlockingSink* raw = sink.get();
  const qvp::WindowHandle h = qvp::RegisterWindow(std::move(sink));
  const uint8_t px[4] = {9, 9, 9, 0};
  auto presenter = std::async(std::launch::async, [&] { return qvp::PresentToWindow(h, px, 1, 1, 4); });
  ASSERT_TRUE(raw->entered.Wait(5000));

  qvp::UnregisterWindow(h);  // the registry held the only other reference
  EXPECT_FALSE(qvp::IsWindow(h));
  EXPECT_FALSE(destroyed.load());
  raw->release.Set();
  ASSERT_EQ(presenter.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_TRUE(presenter.get());
  EXPECT_TRUE(destroyed.load());
}

}  // namespace
