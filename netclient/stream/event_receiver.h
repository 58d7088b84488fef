// CEventReceiver2: the long-lived MCTP event channel of a playing stream. It registers with
// the RTSP session's id, sends a keep-alive every 10 seconds and turns the camera's motion and
// alarm reports into NOTIFY_MOTION and NOTIFY_ALARM. Its end is silent: the stream goes on
// without events and is not reconnected for it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string_view>

#include "netclient/stream/rtsp_session.h"
#include "netclient/stream/stream_client.h"
#include "netclient/wire/mctp_event_framer.h"
#include "platform/jthread.h"
#include "platform/socket.h"
#include "platform/tick_clock.h"

namespace qvnet {

// Handles one event message ("CMD" through "END\n") for `client`, `now` being the current
// tick. Returns false when the channel must end (an alarm message that is not three lines).
//  - motion ("CMD:MD", 3 to 18 lines, else ignored): every line between the first and the
//    last that reads as 8 numbers with field 2 = 1 and field 3 a region 0..15 sets that
//    region's rectangle (fields 4..7), its last-report tick and its bit; then the client's
//    mask takes the bits and NOTIFY_MOTION is sent with them (0 when no line qualified).
//  - alarm ("CMD:ALARM"): line 2 "@2@v" sends NOTIFY_ALARM with v.
//  - anything else (keep-alive answers): ignored.
bool HandleEventMessage(StreamClient& client, std::string_view message, qvp::Tick now);

class CEventReceiver2 : public qvp::JThread {
 public:
  // A keep-alive goes out when more than this many ms passed since the last one. The running
  // channel's receive time-out (LibraryContext::event_recv_timeout_ms) paces the loop.
  static constexpr uint32_t kKeepAliveAfterMs = 9999;

  CEventReceiver2(StreamClient& client, const CRtspSession& session);
  ~CEventReceiver2() override;

  // The registration transaction. On success the socket stays open for Start(); on failure
  // it is closed and the stream plays without events. Refused while the thread runs.
  bool Register();
  // Sets the stop flag, wakes the thread, waits for it and closes the socket.
  void Stop();
  // From another thread: cuts a registration that is waiting for the camera's answer short
  // (it then fails at once) and wakes a running thread. The owner still calls Stop().
  void Abort();

  // Turns of the running loop so far (each ends with a receive or its time-out), so that a
  // test can wait for the loop to go round instead of sleeping.
  uint32_t Turns() const { return turns_.load(); }

 protected:
  void Thread() override;

 private:
  void RunLoop();

  StreamClient& client_;
  const CRtspSession& session_;
  // Changed only while the thread is not running, under socket_lock_ so that Abort() from
  // another thread can reach the registration in progress.
  qvp::Socket socket_;
  std::mutex socket_lock_;
  std::atomic<bool> stop_{false};
  std::atomic<uint32_t> turns_{0};
  MctpEventFramer framer_;
};

}  // namespace qvnet
