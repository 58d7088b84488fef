#include "replay/ui/endpoint_listener.h"

namespace replay {

namespace {
// A burst is handled in slices so a flood of datagrams never holds up the window.
constexpr int kMaxPerWakeup = 64;
}  // namespace

bool EndpointListener::Bind(const std::string& name) {
  notifier_.reset();
  if (!endpoint_.Bind(name)) return false;
  notifier_ = std::make_unique<QSocketNotifier>(endpoint_.Fd(), QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &EndpointListener::Drain);
  return true;
}

void EndpointListener::Drain() {
  for (int i = 0; i < kMaxPerWakeup; ++i) {
    const std::optional<qvp::EndpointMessage> m = endpoint_.Receive(0);
    if (!m) return;
    ++received_;
    emit message(m->msg, m->wparam, m->lparam);
  }
}

}  // namespace replay
