// A StreamClient for tests: records every notification and lets a test wait for them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "netclient/stream/library_context.h"
#include "netclient/stream/stream_client.h"
#include "netclient/stream/stream_flavor.h"

namespace qvtest {

class RecordingClient : public qvnet::StreamClient {
 public:
  using Note = std::pair<uint32_t, int32_t>;  // code, value

  RecordingClient(qvnet::LibraryContext& context, uint16_t port, int16_t transport_kind = 1)
      : StreamClient(context, qvnet::kNetClientFlavor) {
    transport = transport_kind;
    address.host = "127.0.0.1";
    address.port = port;
    address.text = "127.0.0.1:" + std::to_string(port);
  }

  void Notify(uint32_t code, int32_t value) override {
    std::lock_guard guard(mutex_);
    notes_.emplace_back(code, value);
    cv_.notify_all();
  }

  std::vector<Note> Notes() {
    std::lock_guard guard(mutex_);
    return notes_;
  }

  // Waits (at most `timeout_ms`) until at least `count` notifications arrived.
  bool WaitForNotes(size_t count, int timeout_ms = 3000) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return notes_.size() >= count; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<Note> notes_;
};

}  // namespace qvtest
