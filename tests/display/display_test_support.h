// Shared by the display suites: a tick clock that lets waiting threads breathe, a registered
// in-memory window that notes when each picture arrived, a client set up the way a source
// sets it up, and random pictures.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "netclient/media/display/surface.h"
#include "netclient/stream/library_context.h"
#include "netclient/client/net_client.h"
#include "platform/memory_window_sink.h"
#include "platform/tick_clock.h"
#include "platform/window_registry.h"
#include "tests/support/fake_clock.h"

namespace qvnet::test {

// Sleeping advances the fake clock as usual and also gives up a little real time, so a
// thread that polls in 1 ms or 100 ms sleeps does not keep a core busy.
class SteppingClock : public qvtest::FakeClock {
 public:
  explicit SteppingClock(qvp::Tick start = 100000) : FakeClock(start) {}
  void Sleep(uint32_t ms) override {
    FakeClock::Sleep(ms);
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
};

// Notes the tick of every presentation before keeping the picture.
class TimedSink : public qvp::MemoryWindowSink {
 public:
  using MemoryWindowSink::MemoryWindowSink;
  void Present(const uint8_t* bgrx, int width, int height, int stride) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ticks_.push_back(qvp::TickCount());
    }
    MemoryWindowSink::Present(bgrx, width, height, stride);
  }
  std::vector<uint32_t> Ticks() {
    std::lock_guard<std::mutex> lock(mutex_);
    return ticks_;
  }

 private:
  std::mutex mutex_;
  std::vector<uint32_t> ticks_;
};

// A window registered for the life of the test.
struct TestWindow {
  explicit TestWindow(int width, int height)
      : sink(std::make_shared<TimedSink>(width, height)), handle(qvp::RegisterWindow(sink)) {}
  ~TestWindow() { qvp::UnregisterWindow(handle); }
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;

  std::shared_ptr<TimedSink> sink;
  qvp::WindowHandle handle;
};

// A client with its video conduit, set up as a live or a file source sets it up.
struct TestClient {
  TestClient(bool file_mode, uint8_t payload, int width, int height, int frame_rate) {
    client.file_mode = file_mode;
    client.video_payload_type = payload;
    client.width = width;
    client.height = height;
    client.frame_rate = frame_rate;
    client.view = 1;
    // Never blocking: the tests queue everything before the display reads, which would make
    // a blocking writer wait for a reader.
    client.video_conduit = std::make_unique<CBufferConduit>();
    client.video_conduit->Create(kVideoConduitBytes, false, kConduitLowWater, true);
  }
  CBufferConduit& Conduit() { return *client.video_conduit; }

  LibraryContext context;
  NetClient client{context};
};

// A planar 4:2:0 picture with padded strides, filled with random samples.
struct OwnedYuv {
  OwnedYuv(int w, int h, uint32_t seed) : width(w), height(h) {
    y_stride = w + 5;
    uv_stride = (w + 1) / 2 + 3;
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> sample(0, 255);
    y.resize(static_cast<size_t>(y_stride * h));
    u.resize(static_cast<size_t>(uv_stride * ((h + 1) / 2)));
    v.resize(u.size());
    for (auto* plane : {&y, &u, &v}) {
      for (uint8_t& s : *plane) s = static_cast<uint8_t>(sample(rng));
    }
  }
  YuvView View() const { return YuvView{y.data(), u.data(), v.data(), width, height, y_stride, uv_stride}; }
  int Y(int x, int line) const { return y[static_cast<size_t>(line * y_stride + x)]; }
  int U(int x, int line) const { return u[static_cast<size_t>(line / 2 * uv_stride + x / 2)]; }
  int V(int x, int line) const { return v[static_cast<size_t>(line / 2 * uv_stride + x / 2)]; }

  int width, height, y_stride, uv_stride;
  std::vector<uint8_t> y, u, v;
};

}  // namespace qvnet::test
