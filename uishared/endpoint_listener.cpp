#include "uishared/endpoint_listener.h"

namespace qvui {

namespace {
// A burst is handled in slices so a flood of datagrams never holds up the window.
constexpr int kMaxPerWakeup = 64;
}  // namespace

bool EndpointListener::Bind(const std::string& name) {
  notifier_.reset();
  qvp::Endpoint endpoint;
  if (!endpoint.Bind(name)) return false;
  return Adopt(std::move(endpoint));
}

bool EndpointListener::Adopt(qvp::Endpoint endpoint) {
  notifier_.reset();
  endpoint_ = std::move(endpoint);
  if (!endpoint_.IsBound()) return false;
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

}  // namespace qvui
