// A StreamClient for tests: keeps every notification it is sent and lets a test wait for them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "netclient/include/QVNetClient.h"
#include "netclient/stream/library_context.h"
#include "netclient/stream/stream_client.h"
#include "netclient/wire/stream_flavor.h"

namespace qvtest {

using Note = std::pair<uint32_t, int32_t>;  // code, value

class NoteClient : public qvnet::StreamClient {
 public:
  NoteClient(qvnet::LibraryContext& context, const qvnet::StreamFlavor& flavor, uint16_t port, int16_t transport_kind)
      : StreamClient(context, flavor) {
    qvnet::TransportOf(transport_kind, &transport);
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
  std::vector<int32_t> States() { return Values(NOTIFY_STATE); }
  // Waits at most `timeout_ms` until at least `count` notifications arrived.
  bool WaitForNotes(size_t count, int timeout_ms = 3000) {
    return WaitFor([&](const std::vector<Note>& notes) { return notes.size() >= count; }, timeout_ms);
  }
  std::vector<int32_t> RecordCodes() { return Values(NOTIFY_RECORD); }

  // Waits at most `timeout_ms` until `pred` holds over the notifications so far.
  bool WaitFor(const std::function<bool(const std::vector<Note>&)>& pred, int timeout_ms = 5000) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return pred(notes_); });
  }
  // Waits until `note` arrived `times` times.
  bool WaitForNote(Note note, size_t times = 1, int timeout_ms = 5000) {
    return WaitFor(
        [&](const std::vector<Note>& notes) {
          size_t n = 0;
          for (const Note& x : notes) n += x == note ? 1 : 0;
          return n >= times;
        },
        timeout_ms);
  }

 private:
  std::vector<int32_t> Values(uint32_t code) {
    std::lock_guard guard(mutex_);
    std::vector<int32_t> values;
    for (const Note& n : notes_) {
      if (n.first == code) values.push_back(n.second);
    }
    return values;
  }

  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<Note> notes_;
};

}  // namespace qvtest
