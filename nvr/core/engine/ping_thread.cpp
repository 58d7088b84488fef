#include "nvr/core/engine/ping_thread.h"

#include <chrono>

#include "platform/icmp.h"

namespace nvr {

bool IcmpPinger(const std::string& host) { return qvp::IcmpEcho(host) == qvp::EchoResult::kReply; }

PingThread::PingThread(Pinger pinger, ResultSink sink)
    : pinger_(std::move(pinger)), sink_(std::move(sink)) {
  if (!pinger_) pinger_ = IcmpPinger;
}

PingThread::~PingThread() {
  Stop();
  Join();
}

int PingThread::Begin() {
  run_.store(true);
  stop_.Reset();
  ended_.store(false);
  const int started = Start();
  if (started != kStarted) ended_.store(true);
  return started;
}

void PingThread::Request(const std::string& host, bool pending) {
  {
    std::lock_guard<std::mutex> guard(block_lock_);
    host_ = host;
    pending_ = pending;
  }
  event_.Set();
}

void PingThread::Stop() {
  run_.store(false);
  stop_.Set();
  event_.Set();
}

void PingThread::PingOnce() {
  std::string host;
  bool pending = false;
  {
    std::lock_guard<std::mutex> guard(block_lock_);
    host = host_;
    pending = pending_;
  }
  bool answered = false;
  if (pending) {
    const auto started = std::chrono::steady_clock::now();
    answered = pinger_(host);
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    if (spent.count() < kMinPingMs) stop_.Wait(kMinPingMs - static_cast<uint32_t>(spent.count()));
  } else {
    stop_.Wait(kIdleMs);
  }
  if (run_.load()) sink_(answered);
}

void PingThread::Thread() {
  try {
    while (run_.load()) {
      event_.Wait(qvp::kInfinite);
      if (!run_.load()) break;
      event_.Reset();
      PingOnce();
    }
  } catch (...) {
    // Nothing may leave a thread body; the row images simply stop changing.
  }
  ended_.store(true);
}

}  // namespace nvr
