// What one loaded library holds for all its clients: the wait-time settings, the optional
// notification callback with the lock that serialises it, and the few time-outs tests shorten.
// Each library (libQVNetClient.so, libQVNVRClient.so) owns one; the shared stream code reaches
// it through its client, never through a global, so two libraries in one process stay apart.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "netclient/include/QVNetClient.h"

namespace qvnet {

struct LibraryContext {
  // Seconds a non-blocking RTSP connect may take.
  std::atomic<int> connect_timeout_s{5};
  // Further connection attempts after a failed one; -1 = unlimited.
  std::atomic<int> retry_count{1};
  // Seconds between a failure or loss and the next attempt; waited in 100 ms steps.
  std::atomic<int> reconnect_interval_s{10};

  std::atomic<ClientNotifyCallback> callback{nullptr};
  // Held around every callback invocation of the whole library.
  std::mutex notify_lock;

  // Silence on the UDP video socket that counts as a lost stream. Tests shorten it.
  std::atomic<uint32_t> udp_loss_timeout_ms{10000};
  // Length of one step of the reconnect wait. Tests shorten it; the count of steps stays.
  std::atomic<uint32_t> reconnect_step_ms{100};
  // Receive time-out of a running MCTP event channel: the pace of its keep-alive and stop
  // checks. Tests shorten it.
  std::atomic<uint32_t> event_recv_timeout_ms{1000};

  // Stores the three wait times with the library's corrections: connect time-out <= 0 -> 5,
  // a negative retry count other than -1 -> 1, a negative reconnect interval -> 10 (0 stays 0).
  void SetWaitTime(int connect_timeout, int retry, int reconnect_interval) {
    connect_timeout_s = connect_timeout <= 0 ? 5 : connect_timeout;
    retry_count = (retry < 0 && retry != -1) ? 1 : retry;
    reconnect_interval_s = reconnect_interval < 0 ? 10 : reconnect_interval;
  }
};

}  // namespace qvnet
