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

#include "netclient/media/conduit/buffer_conduit.h"
#include "netclient/media/display/av_display.h"
#include "netclient/media/display/display_control.h"
#include "netclient/media/display/surface.h"
#include "netclient/media/record/record_format.h"
#include "platform/memory_window_sink.h"
#include "platform/tick_clock.h"
#include "tests/support/replay_speed.h"
#include "platform/window_registry.h"
#include "tests/support/fake_clock.h"

namespace qvnet::test {

class SteppingClock : public qvtest::SteppingClock {
 public:
  explicit SteppingClock(qvp::Tick start = 100000) : qvtest::SteppingClock(start) {}
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

// What a display is bound to, set up as a live or a file source sets it up: the display
// control, the video conduit and the stream's video format (buffer figure as a client starts
// with).
struct TestClient {
  TestClient(bool file_mode, uint8_t payload, int width, int height, int frame_rate) {
    control.file_mode = file_mode;
    control.view = ViewState::kOn;
    control.key_frame_span = &key_frame_span;
    format = VideoFormat{payload == kPayloadTypeJpeg, width, height, 512, frame_rate};
    // Never blocking: the tests queue everything before the display reads, which would make
    // a blocking writer wait for a reader.
    conduit.Create(kVideoConduitBytes, false, kConduitLowWater, true);
  }
  CBufferConduit& Conduit() { return conduit; }

  DisplayControl control;
  std::atomic<int32_t> key_frame_span{0};
  VideoFormat format;
  CBufferConduit conduit;
};

using qvtest::SetSpeed;

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
