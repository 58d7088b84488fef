// A recording library without cameras: records every call, keeps one "file" per started
// recording, and posts state notifications the way the real library does (to the client's
// notify window through the window registry).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "nvr/core/engine/recording_library.h"
#include "platform/window_registry.h"

namespace coretest {

class FakeRecordingLibrary : public nvr::RecordingLibrary {
 public:
  struct Client {
    NvrClientParams params{};
    bool running = true;
    std::string recording;  // path of the running recording; "" = none
  };

  int Startup() override { return ++startups; }
  int SetWaitTime(int connect_timeout, int retry_count, int reconnect_interval) override {
    wait_time = {connect_timeout, retry_count, reconnect_interval};
    return 1;
  }
  nvr::ClientHandle ClientStart(const NvrClientParams& params) override {
    if (refuse_start) return 0;
    const nvr::ClientHandle h = next_handle++;
    clients[h] = Client{params, true, std::string()};
    return h;
  }
  int ClientStop(nvr::ClientHandle h) override {
    auto it = clients.find(h);
    if (it == clients.end() || !it->second.running) return 0;
    it->second.running = false;
    it->second.recording.clear();
    ++stops;
    return 1;
  }
  int ClientStartRecord(nvr::ClientHandle h, const std::string& path, int seconds) override {
    ++record_attempts;
    auto it = clients.find(h);
    if (refuse_record || seconds != 0 || it == clients.end() || !it->second.running ||
        !it->second.recording.empty() || path.empty()) {
      return 0;
    }
    it->second.recording = path;
    files.push_back(path);
    return 1;
  }
  int ClientStopRecord(nvr::ClientHandle h) override {
    auto it = clients.find(h);
    if (it == clients.end() || it->second.recording.empty()) return 0;
    it->second.recording.clear();
    return 1;
  }

  // Posts code 1 (connection state) with `value` for client `h`, as the library's threads do.
  bool PostState(nvr::ClientHandle h, int32_t value) {
    const Client& c = clients.at(h);
    return qvp::PostWindowMessage(c.params.notify_window, c.params.notify_message, 1, value);
  }
  size_t Running() const {
    size_t n = 0;
    for (const auto& [h, c] : clients) n += c.running ? 1 : 0;
    return n;
  }

  int startups = 0;
  std::vector<int> wait_time;
  std::map<nvr::ClientHandle, Client> clients;
  std::vector<std::string> files;  // every recording started, in order
  int stops = 0;
  int record_attempts = 0;
  bool refuse_start = false;
  bool refuse_record = false;
  nvr::ClientHandle next_handle = 100;
};

}  // namespace coretest
