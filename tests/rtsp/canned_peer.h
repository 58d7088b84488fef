// A tiny TCP peer on 127.0.0.1 for bad-answer tests: for each of `connections` connections
// it reads one request, sends the scripted chunks (with a pause between them, so that each
// arrives in a segment of its own) and closes, or with `hold` keeps the connection open and
// silent until the peer is destroyed.
#pragma once

#include <netinet/in.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket.h"

namespace qvtest {

class CannedPeer {
 public:
  explicit CannedPeer(std::vector<std::string> chunks, int gap_ms = 0, int connections = 1, bool hold = false)
      : chunks_(std::move(chunks)), gap_ms_(gap_ms), hold_(hold) {
    in_addr loopback{};
    loopback.s_addr = htonl(INADDR_LOOPBACK);
    listener_ = qvp::Socket::Tcp();
    if (!qvp::Listen(listener_, loopback, 0, 4) || !qvp::SetRecvTimeout(listener_, 5000)) return;
    port_ = qvp::LocalPort(listener_);
    thread_ = std::thread([this, connections] { Serve(connections); });
  }
  ~CannedPeer() {
    listener_.Shutdown();
    if (thread_.joinable()) thread_.join();
  }
  CannedPeer(const CannedPeer&) = delete;
  CannedPeer& operator=(const CannedPeer&) = delete;

  uint16_t Port() const { return port_; }
  std::vector<std::string> Requests() {
    std::lock_guard guard(mutex_);
    return requests_;
  }

 private:
  void Serve(int connections) {
    for (int i = 0; i < connections; ++i) {
      qvp::Socket s = qvp::Accept(listener_);
      if (!s.IsValid()) return;
      qvp::SetRecvTimeout(s, 3000);
      char buf[4096];
      const ssize_t n = qvp::Recv(s, buf, sizeof(buf));
      {
        std::lock_guard guard(mutex_);
        requests_.emplace_back(buf, n > 0 ? static_cast<size_t>(n) : 0);
      }
      for (size_t k = 0; k < chunks_.size(); ++k) {
        if (k > 0 && gap_ms_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(gap_ms_));
        qvp::SendAll(s, chunks_[k].data(), chunks_[k].size());
      }
      if (hold_) held_.push_back(std::move(s));
    }
  }

  std::vector<std::string> chunks_;
  int gap_ms_;
  bool hold_;
  std::vector<qvp::Socket> held_;  // touched by the serving thread only, closed after the join
  qvp::Socket listener_;
  uint16_t port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::string> requests_;
};

}  // namespace qvtest
