#include "platform/memory_window_sink.h"

#include <chrono>
#include <climits>
#include <cstring>
#include <new>

namespace qvp {

void MemoryWindowSink::Post(uint32_t msg, uint32_t wparam, int32_t lparam) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (messages_.size() >= kMaxQueuedMessages) return;
    try {
      messages_.push_back(Message{msg, wparam, lparam});
    } catch (const std::bad_alloc&) {
      return;
    }
  }
  changed_.notify_all();
}

WindowSize MemoryWindowSink::ClientSize() {
  std::lock_guard<std::mutex> lock(mutex_);
  return size_;
}

void MemoryWindowSink::Present(const uint8_t* bgrx, int width, int height, int stride) {
  if (bgrx == nullptr || width <= 0 || height <= 0 || width > INT_MAX / 4 || stride < width * 4) return;
  const size_t row = static_cast<size_t>(width) * 4;
  Image image;
  try {
    image.bgrx.resize(row * static_cast<size_t>(height));
  } catch (const std::bad_alloc&) {
    return;
  }
  image.width = width;
  image.height = height;
  for (int y = 0; y < height; ++y) {
    std::memcpy(image.bgrx.data() + row * static_cast<size_t>(y), bgrx + static_cast<size_t>(stride) * static_cast<size_t>(y), row);
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    last_image_ = std::move(image);
    ++present_count_;
  }
  changed_.notify_all();
}

void MemoryWindowSink::SetClientSize(int width, int height) {
  std::lock_guard<std::mutex> lock(mutex_);
  size_ = WindowSize{width, height};
}

std::optional<MemoryWindowSink::Message> MemoryWindowSink::WaitMessage(uint32_t timeout_ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return !messages_.empty(); })) {
    return std::nullopt;
  }
  const Message m = messages_.front();
  messages_.pop_front();
  return m;
}

size_t MemoryWindowSink::QueuedMessages() {
  std::lock_guard<std::mutex> lock(mutex_);
  return messages_.size();
}

MemoryWindowSink::Image MemoryWindowSink::LastImage() {
  std::lock_guard<std::mutex> lock(mutex_);
  return last_image_;
}

uint64_t MemoryWindowSink::PresentCount() {
  std::lock_guard<std::mutex> lock(mutex_);
  return present_count_;
}

bool MemoryWindowSink::WaitPresentCount(uint64_t count, uint32_t timeout_ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return present_count_ >= count; });
}

}  // namespace qvp
