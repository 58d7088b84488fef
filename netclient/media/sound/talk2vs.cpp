#include "netclient/media/sound/talk2vs.h"

#include <optional>
#include <string>

#include "netclient/stream/mctp_commands.h"
#include "netclient/stream/mctp_message.h"
#include "netclient/stream/mctp_transaction.h"

namespace qvnet {

namespace {

// The talk connection: connect within 3 s, 10 s send and receive time-outs, and small-packet
// settings, since it carries a voice frame every 40 ms.
constexpr MctpTimeouts kTalkTimeouts{3000, 10000, 10000};
constexpr MctpSocketExtras kTalkSocket{.no_delay = true, .send_buffer = 8192, .recv_buffer = 16384};

}  // namespace

CTalk2VS::CTalk2VS(StreamClient& client, TalkTimings timings) : client_(client), timings_(timings) {}

CTalk2VS::~CTalk2VS() { Stop(); }

void CTalk2VS::Stop() {
  stopping_ = true;
  RequestStop();
  stop_event_.Set();
  ShutdownSocket();
  Join();
}

void CTalk2VS::Thread() {
  while (!stopping_) {
    ShutdownSocket();
    StopWorkers();
    CloseSocket();
    if (!Connect()) break;
    sender_ended_.Reset();
    receiver_ended_.Reset();
    if (!StartWorkers()) break;
    if (qvp::Event::WaitAny({&stop_event_, &sender_ended_, &receiver_ended_}, qvp::kInfinite) == 0) break;
  }
  ShutdownSocket();
  StopWorkers();
  CloseSocket();
}

bool CTalk2VS::Negotiate() {
  qvp::Socket socket = MctpConnect(client_.address.host, client_.address.port, kTalkTimeouts, kTalkSocket);
  if (!socket.IsValid()) return false;
  {
    qvp::LockGuard guard(socket_lock_);
    if (stopping_) return false;
    socket_ = std::move(socket);
  }
  const std::optional<std::string> answer = MctpExchange(socket_, MctpTalk(client_.stream_number, kTalkCodec));
  bool talk_back = false;
  if (!answer || !ReadTalkAnswer(*answer, &talk_back)) return false;
  talk_back_ = talk_back;
  if (timings_.recv_timeout_ms != kTalkTimeouts.recv_ms) qvp::SetRecvTimeout(socket_, timings_.recv_timeout_ms);
  return true;
}

bool CTalk2VS::Connect() {
  while (!stopping_) {
    if (Negotiate()) return true;
    CloseSocket();
    for (uint32_t step = 0; step < timings_.retry_steps && !stopping_; ++step) {
      if (stop_event_.Wait(timings_.retry_step_ms)) break;
    }
  }
  return false;
}

bool CTalk2VS::StartWorkers() {
  if (talk_back_) {
    receiver_ = std::make_unique<CRecvThread>(socket_, receiver_ended_);
    if (!receiver_->OpenPlayback() || receiver_->Start() != kStarted) return false;
  }
  sender_ = std::make_unique<CSendThread>(socket_, sender_ended_);
  return sender_->OpenCapture() && sender_->Start() == kStarted;
}

void CTalk2VS::StopWorkers() {
  if (receiver_) {
    receiver_->Stop();
    receiver_.reset();
  }
  if (sender_) {
    sender_->Stop();
    sender_.reset();
  }
}

void CTalk2VS::ShutdownSocket() {
  qvp::LockGuard guard(socket_lock_);
  socket_.Shutdown();
}

void CTalk2VS::CloseSocket() {
  qvp::LockGuard guard(socket_lock_);
  socket_.Close();
}

}  // namespace qvnet
