#include "nvr/app/service_events.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace nvrapp {
namespace {

constexpr int kRetryMs = 100;
// Messages taken from the endpoint per wake-up: a flood cannot keep the thread from signals.
constexpr int kMaxMessagesPerWake = 64;

sigset_t ServiceSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  return set;
}

}  // namespace

bool BlockServiceSignals() {
  signal(SIGPIPE, SIG_IGN);
  const sigset_t set = ServiceSignals();
  return pthread_sigmask(SIG_BLOCK, &set, nullptr) == 0;
}

ServiceEvents::ServiceEvents(qvp::Endpoint& endpoint, SignalHandler on_signal,
                             MessageHandler on_message)
    : endpoint_(endpoint), on_signal_(std::move(on_signal)), on_message_(std::move(on_message)) {}

ServiceEvents::~ServiceEvents() {
  End();
  if (signal_fd_ >= 0) close(signal_fd_);
  if (stop_fd_ >= 0) close(stop_fd_);
}

bool ServiceEvents::Begin() {
  const sigset_t set = ServiceSignals();
  signal_fd_ = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
  stop_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (signal_fd_ < 0 || stop_fd_ < 0) return false;
  return Start() == kStarted;
}

void ServiceEvents::End() {
  if (stop_fd_ >= 0) {
    const uint64_t one = 1;
    ssize_t ignored = write(stop_fd_, &one, sizeof one);
    (void)ignored;
  }
  Join();
}

void ServiceEvents::Thread() {
  try {
    Loop();
  } catch (...) {
    // A handler that failed to allocate: the thread ends, the service goes on without it.
  }
}

void ServiceEvents::Loop() {
  for (;;) {
    pollfd fds[3] = {{stop_fd_, POLLIN, 0}, {signal_fd_, POLLIN, 0}, {endpoint_.Fd(), POLLIN, 0}};
    const nfds_t count = endpoint_.IsBound() ? 3 : 2;
    const int ready = poll(fds, count, pending_signal_ != 0 ? kRetryMs : -1);
    if (ready < 0 && errno != EINTR) return;
    if (fds[0].revents != 0) return;
    if (pending_signal_ != 0 && on_signal_(pending_signal_)) pending_signal_ = 0;
    if (fds[1].revents & POLLIN) ReadSignals();
    if (count == 3 && (fds[2].revents & POLLIN)) ReadMessages();
  }
}

void ServiceEvents::ReadSignals() {
  signalfd_siginfo info{};
  while (read(signal_fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    const int signo = static_cast<int>(info.ssi_signo);
    // SIGHUP (the terminal went away) is not a request to stop: the recorder runs on.
    if (signo == SIGHUP) continue;
    if (!on_signal_(signo)) pending_signal_ = signo;
  }
}

void ServiceEvents::ReadMessages() {
  for (int i = 0; i < kMaxMessagesPerWake; ++i) {
    const std::optional<qvp::EndpointMessage> m = endpoint_.Receive(0);
    if (!m) return;
    on_message_(*m);
  }
}

}  // namespace nvrapp
