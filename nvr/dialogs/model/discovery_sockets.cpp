#include "nvr/dialogs/model/discovery_sockets.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

namespace nvrdlg {
namespace {

// A UDP socket bound to `address` with a free port that may broadcast and sends multicast out
// of that address's interface; invalid when any step fails.
qvp::Socket OpenDiscoverySocket(const in_addr& address) {
  qvp::Socket s = qvp::Socket::Udp();
  if (!s.IsValid()) return s;
  const int on = 1;
  if (setsockopt(s.Fd(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0 ||
      setsockopt(s.Fd(), IPPROTO_IP, IP_MULTICAST_IF, &address, sizeof address) != 0 ||
      !qvp::Bind(s, address, 0)) {
    return qvp::Socket();
  }
  return s;
}

}  // namespace

std::vector<in_addr> LocalIPv4Addresses() {
  std::vector<in_addr> out;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return out;
  for (const ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
    if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET || (i->ifa_flags & IFF_UP) == 0) {
      continue;
    }
    out.push_back(reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr);
  }
  freeifaddrs(list);
  return out;
}

bool SameSlash24(const in_addr& a, const in_addr& b) {
  // s_addr is in network order: the first three bytes in memory are the /24 network.
  const auto* x = reinterpret_cast<const uint8_t*>(&a.s_addr);
  const auto* y = reinterpret_cast<const uint8_t*>(&b.s_addr);
  return x[0] == y[0] && x[1] == y[1] && x[2] == y[2];
}

size_t DiscoverySockets::Refresh(const std::vector<in_addr>& addresses) {
  std::lock_guard<std::mutex> guard(lock_);
  std::erase_if(entries_, [](const Entry& e) { return e.closed; });
  for (const in_addr& address : addresses) {
    const bool covered = std::any_of(entries_.begin(), entries_.end(),
                                     [&](const Entry& e) { return SameSlash24(e.address, address); });
    if (covered) continue;
    qvp::Socket s = OpenDiscoverySocket(address);
    if (!s.IsValid()) continue;  // that network is left out
    entries_.push_back(Entry{std::move(s), address, false});
  }
  return entries_.size();
}

size_t DiscoverySockets::Send(const void* datagram, size_t size, const in_addr& group,
                              uint16_t port, const std::function<void()>& between) {
  in_addr broadcast{};
  broadcast.s_addr = htonl(INADDR_BROADCAST);
  size_t sent = 0;
  for (const in_addr* to : {&group, static_cast<const in_addr*>(&broadcast)}) {
    if (to == &broadcast && between) between();
    std::lock_guard<std::mutex> guard(lock_);
    for (const Entry& e : entries_) {
      if (e.closed) continue;
      if (qvp::SendTo(e.socket, datagram, size, *to, port) == static_cast<ssize_t>(size)) ++sent;
    }
  }
  return sent;
}

std::vector<int> DiscoverySockets::Collect(size_t limit) {
  std::lock_guard<std::mutex> guard(lock_);
  std::vector<int> fds;
  for (const Entry& e : entries_) {
    if (fds.size() == limit) break;
    if (!e.closed) fds.push_back(e.socket.Fd());
  }
  return fds;
}

ssize_t DiscoverySockets::Receive(int fd, void* buffer, size_t size, sockaddr_in* from) {
  std::lock_guard<std::mutex> guard(lock_);
  for (Entry& e : entries_) {
    if (e.closed || e.socket.Fd() != fd) continue;
    socklen_t from_size = sizeof *from;
    // Never waits: a datagram that poll saw may be gone by now (a bad checksum).
    const ssize_t n = ::recvfrom(fd, buffer, size, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(from), &from_size);
    if (n >= 0) return n;
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
    e.closed = true;
    return -1;
  }
  return -1;
}

std::vector<in_addr> DiscoverySockets::BoundAddresses() {
  std::lock_guard<std::mutex> guard(lock_);
  std::vector<in_addr> out;
  for (const Entry& e : entries_) {
    if (!e.closed) out.push_back(e.address);
  }
  return out;
}

void DiscoverySockets::CloseAll() {
  std::lock_guard<std::mutex> guard(lock_);
  entries_.clear();
}

}  // namespace nvrdlg
