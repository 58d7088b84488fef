#include "netclient/stream/event_receiver.h"

#include <mutex>
#include <optional>
#include <string>

#include "netclient/wire/mctp_message.h"
#include "netclient/stream/mctp_transaction.h"
#include "netclient/wire/scan_ints.h"

namespace qvnet {
namespace {

constexpr MctpTimeouts kRegistrationTimeouts{10000, 10000, 10000};

bool Contains(std::string_view text, std::string_view what) { return text.find(what) != std::string_view::npos; }

void HandleMotion(StreamClient& client, std::string_view message, qvp::Tick now) {
  const int lines = CountLines(message);
  if (lines < 3 || lines > 18) return;
  uint32_t mask = 0;
  for (int i = 2; i < lines; ++i) {
    std::array<int32_t, 8> n{};
    if (ScanInts(NthLine(message, i), "@%d@%d@%d@%d@%d@%d@%d@%d\n", n.data(), n.size()) != 8) continue;
    if (n[1] != 1 || n[2] < 0 || n[2] >= kRegionCount) continue;
    const auto region = static_cast<size_t>(n[2]);
    client.motion.last_report[region] = now;
    {
      std::lock_guard guard(client.motion.lock);
      for (size_t k = 0; k < 4; ++k) client.motion.regions.rect[region][k] = n[3 + k];
    }
    mask |= 1u << region;
  }
  client.motion.mask = mask;
  client.Notify(NOTIFY_MOTION, static_cast<int32_t>(mask));
}

bool HandleAlarm(StreamClient& client, std::string_view message) {
  if (CountLines(message) != 3) return false;
  std::array<int32_t, 2> n{};
  if (ScanInts(NthLine(message, 2), "@%d@%d\n", n.data(), n.size()) == 2 && n[0] == 2) {
    client.Notify(NOTIFY_ALARM, n[1]);
  }
  return true;
}

}  // namespace

bool HandleEventMessage(StreamClient& client, std::string_view message, qvp::Tick now) {
  if (Contains(message, "CMD:MD")) {
    HandleMotion(client, message, now);
    return true;
  }
  if (Contains(message, "CMD:ALARM")) return HandleAlarm(client, message);
  return true;  // "CMD:ALIVE" answers and anything unknown
}

CEventReceiver2::CEventReceiver2(StreamClient& client, const CRtspSession& session)
    : client_(client), session_(session) {}

CEventReceiver2::~CEventReceiver2() { Stop(); }

bool CEventReceiver2::Register() {
  if (IsRunning()) return false;  // the running thread owns the socket
  {
    std::lock_guard guard(socket_lock_);
    socket_.Close();
  }
  stop_ = false;
  framer_.Clear();
  qvp::Socket socket = MctpConnect(client_.address.host, client_.address.port, kRegistrationTimeouts);
  if (!socket.IsValid()) return false;
  {
    // Published before the exchange, whose answer may take up to 10 s: Abort() can shut it.
    std::lock_guard guard(socket_lock_);
    if (stop_) return false;
    socket_ = std::move(socket);
  }
  const std::optional<std::string> answer =
      MctpExchange(socket_, MctpRegistration(session_.SessionId(), client_.stream_number));
  const bool ok = answer && RegistrationAccepted(*answer) && !stop_ &&
                  qvp::SetRecvTimeout(socket_, client_.Context().event_recv_timeout_ms.load());
  if (!ok) {
    std::lock_guard guard(socket_lock_);
    socket_.Close();
  }
  return ok;
}

void CEventReceiver2::Abort() {
  stop_ = true;
  std::lock_guard guard(socket_lock_);
  socket_.Shutdown();
}

void CEventReceiver2::Stop() {
  Abort();
  Join();
  std::lock_guard guard(socket_lock_);
  socket_.Close();
}

void CEventReceiver2::Thread() {
  try {
    RunLoop();
  } catch (...) {
    // The channel ends silently, whatever went wrong in it.
  }
}

void CEventReceiver2::RunLoop() {
  bool first = true;
  qvp::Tick last_keep_alive = 0;
  while (!stop_) {
    const qvp::Tick now = qvp::TickCount();
    if (first || qvp::TicksSince(last_keep_alive, now) > kKeepAliveAfterMs) {
      if (qvp::SendAll(socket_, kMctpKeepAlive.data(), kMctpKeepAlive.size()) != kMctpKeepAlive.size()) return;
      last_keep_alive = now;
      first = false;
    }
    const std::span<char> space = framer_.Space();
    const ssize_t n = qvp::Recv(socket_, space.data(), space.size());
    turns_.fetch_add(1);
    if (n < 0) {
      if (qvp::LastSocketError() == qvp::kSockTimedOut) continue;
      return;
    }
    // The camera closed the channel (or Stop shut it down): nothing more will come.
    if (n == 0) return;
    const bool go_on = framer_.Commit(static_cast<size_t>(n), [this](std::string_view message) {
      return HandleEventMessage(client_, message, qvp::TickCount());
    });
    if (!go_on) return;
  }
}

}  // namespace qvnet
