// A window without a screen: records what the libraries send to a window so that tests and
// command-line tools can watch notifications and check presented pixels.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/window_registry.h"

namespace qvp {

class MemoryWindowSink : public WindowSink {
 public:
  struct Message {
    uint32_t msg = 0;
    uint32_t wparam = 0;
    int32_t lparam = 0;
  };
  // A copy of a presented picture, rows packed (stride = 4 * width).
  struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgrx;
  };

  // Like a window's message queue, the queue is bounded; messages beyond it are dropped.
  static constexpr size_t kMaxQueuedMessages = 65536;

  explicit MemoryWindowSink(int width = 0, int height = 0) : size_{width, height} {}

  void Post(uint32_t msg, uint32_t wparam, int32_t lparam) override;
  WindowSize ClientSize() override;
  void Present(const uint8_t* bgrx, int width, int height, int stride) override;

  void SetClientSize(int width, int height);
  // Takes the oldest queued message, waiting at most `timeout_ms` for one.
  std::optional<Message> WaitMessage(uint32_t timeout_ms);
  size_t QueuedMessages();

  Image LastImage();
  uint64_t PresentCount();
  // Waits at most `timeout_ms` until at least `count` pictures have been presented.
  bool WaitPresentCount(uint64_t count, uint32_t timeout_ms);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Message> messages_;
  WindowSize size_;
  Image last_image_;
  uint64_t present_count_ = 0;
};

}  // namespace qvp
