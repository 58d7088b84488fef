#include "tools/camsim/connection.h"

#include <sys/socket.h>
#include <sys/time.h>

#include <cerrno>
#include <algorithm>
#include <cstdio>
#include <exception>

#include "tools/camsim/camera_context.h"
#include "tools/camsim/mctp_server.h"
#include "tools/camsim/rtsp_server.h"

namespace camsim {

namespace {

constexpr size_t kReadChunk = 16384;
// A client that stops reading for this long is treated as gone; keeps senders unstuck.
constexpr int kSendTimeoutSeconds = 5;

}  // namespace

Connection::Connection(CameraContext& context, Fd socket, int id)
    : context_(context), socket_(std::move(socket)), id_(id) {
  timeval tv{kSendTimeoutSeconds, 0};
  ::setsockopt(socket_.Get(), SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof(tv));
}

Connection::~Connection() {
  Shutdown();
  Join();
}

void Connection::Start() { thread_ = std::thread([this] { Run(); }); }

void Connection::Shutdown() {
  closing_.store(true);
  closing_event_.Set();
  ::shutdown(socket_.Get(), SHUT_RDWR);
}

void Connection::Join() {
  if (thread_.joinable()) thread_.join();
}

bool Connection::Send(std::string_view data) {
  std::lock_guard<std::mutex> lock(send_mutex_);
  if (closing_.load()) return false;
  return SendAll(socket_.Get(), data.data(), data.size());
}

bool Connection::SendInPieces(std::string_view data, const std::vector<size_t>& cuts, uint32_t gap_ms) {
  std::lock_guard<std::mutex> lock(send_mutex_);
  size_t from = 0;
  for (size_t i = 0; i <= cuts.size(); ++i) {
    const size_t to = i < cuts.size() ? std::min(cuts[i], data.size()) : data.size();
    if (to <= from) continue;
    if (from > 0 && closing_event_.Wait(gap_ms)) return false;
    if (closing_.load() || !SendAll(socket_.Get(), data.data() + from, to - from)) return false;
    from = to;
  }
  return true;
}

int Connection::Receive(std::string* buffer, int timeout_ms) {
  if (closing_.load()) return -1;
  const int ready = WaitReadable(socket_.Get(), -1, timeout_ms);
  if (ready <= 0) return ready;
  char chunk[kReadChunk];
  for (;;) {
    const ssize_t n = ::recv(socket_.Get(), chunk, sizeof(chunk), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || closing_.load()) return -1;
    buffer->append(chunk, static_cast<size_t>(n));
    return static_cast<int>(n);
  }
}

bool Connection::DelayAnswer() {
  const uint32_t ms = context_.slow_ms.load();
  if (ms > 0) closing_event_.Wait(ms);
  return !closing_.load();
}

void Connection::Run() {
  // Nothing may escape a thread body; a failure here ends only this connection.
  try {
    Serve();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "camsim: connection %d: %s\n", id_, e.what());
  } catch (...) {
    std::fprintf(stderr, "camsim: connection %d: unknown failure\n", id_);
  }
  Shutdown();
  done_.store(true);
}

void Connection::Serve() {
  static constexpr std::string_view kMctpMarker = "CMD:";
  std::string buffer;
  // Read until the first bytes can be told apart; a prefix of "CMD:" may still be MCTP.
  while (buffer.size() < kMctpMarker.size() && kMctpMarker.substr(0, buffer.size()) == buffer) {
    if (Receive(&buffer, -1) < 0) return;
  }
  if (buffer.compare(0, kMctpMarker.size(), kMctpMarker) == 0) {
    kind_.store(Kind::kMctp);
    ServeMctp(context_, *this, std::move(buffer));
  } else {
    kind_.store(Kind::kRtsp);
    RtspServer server(context_, *this);
    server.Serve(std::move(buffer));
  }
}

}  // namespace camsim
