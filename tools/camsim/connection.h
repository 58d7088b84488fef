// One accepted TCP connection of a camera and its thread. The first bytes decide the
// protocol: "CMD:" is the control channel (MCTP), anything else RTSP.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/sync.h"
#include "tools/camsim/net.h"

namespace camsim {

class CameraContext;

class Connection {
 public:
  enum class Kind { kUnknown, kRtsp, kMctp };

  Connection(CameraContext& context, Fd socket, int id);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void Start();
  // Wakes every wait of this connection and ends it; safe from any thread, repeatable.
  void Shutdown();
  void Join();
  bool Done() const { return done_.load(); }
  bool Closing() const { return closing_.load(); }
  Kind GetKind() const { return kind_.load(); }
  int Id() const { return id_; }
  int Socket() const { return socket_.Get(); }

  // Sends `data` in one send call under the connection's send lock, so that answers and
  // interleaved media never mix and a client reading an answer with one recv gets it whole.
  bool Send(std::string_view data);
  // Sends `data` cut at `cuts` (offsets, ascending), `gap_ms` apart, so that each piece leaves
  // in a TCP segment of its own; nothing else is sent in between.
  bool SendInPieces(std::string_view data, const std::vector<size_t>& cuts, uint32_t gap_ms);
  // Appends what arrives within `timeout_ms` (-1: no limit) to `buffer`. Returns the byte
  // count, 0 on time-out, -1 when the peer closed, on error or when shutting down.
  int Receive(std::string* buffer, int timeout_ms);
  // The configured answer delay; false when the connection closes meanwhile.
  bool DelayAnswer();

 private:
  void Run();
  void Serve();

  CameraContext& context_;
  Fd socket_;
  const int id_;
  std::mutex send_mutex_;
  qvp::Event closing_event_{true, false};
  std::atomic<bool> closing_{false};
  std::atomic<bool> done_{false};
  std::atomic<Kind> kind_{Kind::kUnknown};
  std::thread thread_;
};

}  // namespace camsim
