#include "nvr/dialogs/model/device_search.h"

#include <arpa/inet.h>
#include <poll.h>

#include <chrono>
#include <thread>

#include "platform/jthread.h"

namespace nvrdlg {

class DeviceSearch::ReceiveThread : public qvp::JThread {
 public:
  explicit ReceiveThread(DeviceSearch& search) : search_(search) {}
  ~ReceiveThread() override {
    RequestStop();
    Join();
  }

 protected:
  void Thread() override {
    while (!StopRequested()) search_.ReceiveOnce();
  }

 private:
  DeviceSearch& search_;
};

DeviceSearch::DeviceSearch(SearchOptions options) : options_(std::move(options)) {}

DeviceSearch::~DeviceSearch() { Close(); }

bool DeviceSearch::Open(std::function<void()> wake) {
  if (thread_) return false;
  wake_ = std::move(wake);
  thread_ = std::make_unique<ReceiveThread>(*this);
  if (thread_->Start() == qvp::JThread::kStarted) return true;
  thread_.reset();
  return false;
}

size_t DeviceSearch::Search() {
  const std::vector<in_addr> addresses = options_.addresses ? options_.addresses() : LocalIPv4Addresses();
  if (sockets_.Refresh(addresses) == 0) return 0;
  in_addr group{};
  if (inet_pton(AF_INET, options_.group.c_str(), &group) != 1) return 0;
  const auto request = DiscoveryRequest();
  const uint32_t delay = options_.broadcast_delay_ms;
  return sockets_.Send(request.data(), request.size(), group, options_.port, [delay] {
    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
  });
}

std::optional<DiscoveryReply> DeviceSearch::TakeReply() {
  std::lock_guard<std::mutex> guard(queue_lock_);
  if (queue_.empty()) return std::nullopt;
  DiscoveryReply reply = std::move(queue_.front());
  queue_.pop_front();
  return reply;
}

void DeviceSearch::Close() {
  if (thread_) {
    thread_->RequestStop();
    thread_->Join();
    thread_.reset();
  }
  sockets_.CloseAll();
  std::lock_guard<std::mutex> guard(queue_lock_);
  queue_.clear();
}

void DeviceSearch::ReceiveOnce() {
  const std::vector<int> fds = sockets_.Collect(kMaxReceiveSockets);
  std::vector<pollfd> polled;
  for (const int fd : fds) polled.push_back(pollfd{fd, POLLIN, 0});
  const int ready = polled.empty() ? 0 : ::poll(polled.data(), polled.size(), kReceiveWaitMs);
  if (ready <= 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kReceiveWaitMs));
    return;
  }
  for (const pollfd& p : polled) {
    if ((p.revents & (POLLIN | POLLERR)) == 0) continue;
    uint8_t buffer[kDiscoveryReplySize];
    sockaddr_in from{};
    const ssize_t n = sockets_.Receive(p.fd, buffer, sizeof buffer, &from);
    if (n <= 0) continue;
    const std::optional<DiscoveryReply> reply =
        ParseDiscoveryReply(std::span<const uint8_t>(buffer, static_cast<size_t>(n)), from.sin_addr);
    if (reply) Queue(*reply);
  }
}

void DeviceSearch::Queue(const DiscoveryReply& reply) {
  {
    std::lock_guard<std::mutex> guard(queue_lock_);
    if (queue_.size() >= options_.max_queued) return;
    queue_.push_back(reply);
  }
  if (wake_) wake_();
}

}  // namespace nvrdlg
