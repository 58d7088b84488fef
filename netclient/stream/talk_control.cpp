#include "netclient/stream/talk_control.h"

namespace qvnet {

bool TalkControl::Start(StreamClient& client) {
  std::lock_guard<std::mutex> guard(lock_);
  StopLocked();
  session_ = std::make_unique<CTalk2VS>(client, timings_);
  if (session_->Start() == qvp::JThread::kStarted) return true;
  session_.reset();
  return false;
}

void TalkControl::Stop() {
  std::lock_guard<std::mutex> guard(lock_);
  StopLocked();
}

bool TalkControl::Active() {
  std::lock_guard<std::mutex> guard(lock_);
  return session_ != nullptr;
}

void TalkControl::StopLocked() {
  if (!session_) return;
  session_->Stop();
  session_.reset();
}

}  // namespace qvnet
