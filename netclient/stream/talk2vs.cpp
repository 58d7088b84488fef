#include "netclient/stream/talk2vs.h"

#include "netclient/stream/mctp_commands.h"

namespace qvnet {

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
  qvp::Socket socket = ConnectTalk(client_);
  if (!socket.IsValid()) return false;
  {
    qvp::LockGuard guard(socket_lock_);
    if (stopping_) return false;
    socket_ = std::move(socket);
  }
  bool talk_back = false;
  if (!NegotiateTalk(socket_, client_, &talk_back)) return false;
  talk_back_ = talk_back;
  qvp::SetRecvTimeout(socket_, timings_.recv_timeout_ms);
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
