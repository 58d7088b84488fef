// CTalk2VS: one two-way talk session with the camera of a client. Its thread opens a TCP
// connection of its own to the camera's control port, asks for talk with "CMD:TALK" (stream
// number, voice codec 6 = G.726 at 32 kbit/s), then runs a sender (microphone to camera) and,
// when the camera said it answers, a receiver (camera to loudspeaker) on that connection.
//
// Session loop, one pass per connection:
//   1. close the socket of the previous pass, stop and destroy its sender and receiver;
//   2. connect and negotiate until it succeeds, waiting retry_steps x retry_step_ms between
//      failures while not stopping (stopping ends the session);
//   3. reset the sender-ended and receiver-ended events;
//   4. with talk-back, open and start the receiver; then open and start the sender; a failure
//      (such as no sound device) ends the session;
//   5. wait for stop, sender ended or receiver ended: stop ends the session, the others start
//      the next pass with a fresh connection.
// On ending the socket is shut down, the workers are stopped and destroyed, the socket closed.
//
// Stop() may come from any thread: stopping flag, stop event, shutdown of the socket (which
// ends a negotiation waiting for its answer and the workers' sends and receives), join. The
// socket is published before the negotiation's request goes out; only the TCP connect itself
// (at most 3 s) is not cut short.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "netclient/media/sound/recv_thread.h"
#include "netclient/media/sound/send_thread.h"
#include "netclient/stream/stream_client.h"
#include "platform/jthread.h"
#include "platform/socket.h"
#include "platform/sync.h"

namespace qvnet {

struct TalkTimings {
  // A failed negotiation waits retry_steps x retry_step_ms (10 s) before the next try.
  uint32_t retry_step_ms = 100;
  uint32_t retry_steps = 100;
  // Silence from the camera that ends the receiver (the socket's receive time-out).
  uint32_t recv_timeout_ms = 10'000;
};

class CTalk2VS : public qvp::JThread {
 public:
  // `client` gives the camera's host, port and stream number and outlives the session.
  explicit CTalk2VS(StreamClient& client, TalkTimings timings = {});
  ~CTalk2VS() override;

  // Ends the session and joins its thread; safe to call more than once.
  void Stop();

  // The camera of the current pass sends its voice back.
  bool TalkBack() const { return talk_back_; }

 protected:
  void Thread() override;

 private:
  // One connect and negotiation; true when the camera accepted talk.
  bool Negotiate();
  // Negotiates until accepted (true) or stopping (false).
  bool Connect();
  bool StartWorkers();
  void StopWorkers();
  void ShutdownSocket();
  void CloseSocket();

  StreamClient& client_;
  const TalkTimings timings_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> talk_back_{false};
  qvp::Event stop_event_{true, false};
  qvp::Event sender_ended_{true, false};
  qvp::Event receiver_ended_{true, false};

  // The session thread replaces and closes the socket only while no worker runs; Stop()
  // shuts it down from outside. socket_lock_ orders those two.
  qvp::Lock socket_lock_;
  qvp::Socket socket_;

  std::unique_ptr<CRecvThread> receiver_;
  std::unique_ptr<CSendThread> sender_;
};

}  // namespace qvnet
