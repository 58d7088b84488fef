// The ping thread: pings one host at a time for the device list's row images. The core thread
// hands it the next host and wakes it (Request); the thread pings, paces itself to at most two
// pings a second and reports the answer back to the core thread, which then picks the next row
// (RecorderCore's ping step), so the rows are pinged one after another in a circle.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

#include "platform/jthread.h"
#include "platform/sync.h"

namespace nvr {

class PingThread : public qvp::JThread {
 public:
  // True when `host` answered.
  using Pinger = std::function<bool(const std::string& host)>;
  // Queues the answer to the core thread (false when nothing was pinged).
  using ResultSink = std::function<void(bool answered)>;

  // One ping takes at least this long, so the list is walked about twice a second.
  static constexpr uint32_t kMinPingMs = 500;
  static constexpr uint32_t kIdleMs = 1000;  // nothing to ping

  // `pinger` empty: ICMP echo (platform/icmp.h).
  PingThread(Pinger pinger, ResultSink sink);
  ~PingThread() override;

  int Begin();
  // Core thread: the next host (pending) or nothing to ping, then wakes the thread.
  void Request(const std::string& host, bool pending);
  // Clears the run flag and wakes the thread; Join() waits for it.
  void Stop();
  bool Ended() const { return ended_.load(); }

 protected:
  void Thread() override;

 private:
  void PingOnce();

  Pinger pinger_;
  ResultSink sink_;
  std::mutex block_lock_;  // guards host_ and pending_ between the two threads
  std::string host_;
  bool pending_ = false;
  qvp::Event event_{true, true};   // manual reset, created signalled: the first round starts
  qvp::Event stop_{true, false};   // ends the pacing waits at once
  std::atomic<bool> run_{false};
  std::atomic<bool> ended_{true};
};

// The ICMP pinger (platform/icmp.h).
bool IcmpPinger(const std::string& host);

}  // namespace nvr
