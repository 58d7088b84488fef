// Hands what arrives from outside the service to its core thread: SIGTERM and SIGINT (read
// from a signalfd, so nothing runs in signal context) and the messages of the program's
// endpoint (a second copy asking to be shown). The handlers run on this thread and must only
// queue work; a handler that could not queue (false) is called again 100 ms later.
#pragma once

#include <functional>

#include "platform/endpoint.h"
#include "platform/jthread.h"

namespace nvrapp {

// Blocks SIGTERM, SIGINT and SIGHUP in the calling thread and ignores SIGPIPE. Call it before
// any other thread exists: threads inherit the mask, so the signals wait for the signalfd
// instead of interrupting whichever thread the kernel picks.
bool BlockServiceSignals();

class ServiceEvents final : public qvp::JThread {
 public:
  using SignalHandler = std::function<bool(int signo)>;
  using MessageHandler = std::function<void(const qvp::EndpointMessage&)>;

  ServiceEvents(qvp::Endpoint& endpoint, SignalHandler on_signal, MessageHandler on_message);
  ~ServiceEvents() override;
  ServiceEvents(const ServiceEvents&) = delete;
  ServiceEvents& operator=(const ServiceEvents&) = delete;

  // Opens the signalfd and the stop event and starts the thread; false when one fails.
  bool Begin();
  // Wakes the thread and waits for it to end.
  void End();

 protected:
  void Thread() override;

 private:
  void Loop();
  void ReadSignals();
  void ReadMessages();

  qvp::Endpoint& endpoint_;
  SignalHandler on_signal_;
  MessageHandler on_message_;
  int signal_fd_ = -1;
  int stop_fd_ = -1;
  int pending_signal_ = 0;  // a signal whose handler could not queue it yet
};

}  // namespace nvrapp
