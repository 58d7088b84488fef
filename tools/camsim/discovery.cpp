#include "tools/camsim/discovery.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace camsim {
namespace {

constexpr char kMagic[12] = {'q', 'u', 'o', 'r', 'v', 'a', 'l', 'e', 'n', 't', 'a', '\0'};
constexpr char kGroup[] = "224.111.111.1";
constexpr size_t kMaxRequestsKept = 1000;

// The IPv4 addresses of the interfaces that are up.
std::vector<in_addr> InterfaceAddresses() {
  std::vector<in_addr> out;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return out;
  for (const ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
    if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET || (i->ifa_flags & IFF_UP) == 0) continue;
    out.push_back(reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr);
  }
  ::freeifaddrs(list);
  return out;
}

bool IsLocalSender(const in_addr& source) {
  if ((ntohl(source.s_addr) >> 24) == 127) return true;
  const std::vector<in_addr> local = InterfaceAddresses();
  return std::any_of(local.begin(), local.end(), [&](const in_addr& a) { return a.s_addr == source.s_addr; });
}

std::string Dotted(const in_addr& a) {
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &a, text, sizeof text);
  return text;
}

void PutText(std::vector<uint8_t>* out, size_t at, size_t field, const std::string& text) {
  // Always leaves the field's last byte 0, as the cameras do.
  const size_t n = std::min(text.size(), field - 1);
  std::memcpy(out->data() + at, text.data(), n);
}

}  // namespace

bool IsDiscoveryRequest(const uint8_t* data, size_t size) {
  return size >= 13 && std::memcmp(data, kMagic, sizeof kMagic) == 0 && data[12] == 2;
}

std::vector<uint8_t> EncodeDiscoveryReply(const DiscoveryOptions& options, uint16_t rtsp_port,
                                          const std::string& address) {
  std::vector<uint8_t> reply(kDiscoveryReplyBytes, 0);
  std::memcpy(reply.data(), kMagic, sizeof kMagic);
  reply[12] = 1;
  PutText(&reply, 13, 47, options.model);
  PutText(&reply, 60, 30, address);
  PutText(&reply, 90, 70, options.name);
  reply[160] = 0;
  reply[161] = 0;
  reply[162] = static_cast<uint8_t>(rtsp_port >> 8);
  reply[163] = static_cast<uint8_t>(rtsp_port & 0xFF);
  reply[164] = static_cast<uint8_t>(std::clamp(options.channels, 0, 255));
  return reply;
}

bool DiscoveryResponder::Start(uint16_t rtsp_port, std::string* error) {
  rtsp_port_ = rtsp_port;
  socket_.Reset(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  const int on = 1;
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_port = htons(options_.port);
  any.sin_addr.s_addr = htonl(INADDR_ANY);
  if (!socket_.Valid() || ::setsockopt(socket_.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      ::setsockopt(socket_.Get(), IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0 ||
      ::bind(socket_.Get(), reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
    *error = "discovery port " + std::to_string(options_.port) + ": " + std::strerror(errno);
    socket_.Reset();
    return false;
  }
  for (const in_addr& a : InterfaceAddresses()) {
    ip_mreq join{};
    ::inet_pton(AF_INET, kGroup, &join.imr_multiaddr);
    join.imr_interface = a;
    if (::setsockopt(socket_.Get(), IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join) == 0) {
      joined_.push_back(Dotted(a));
    }
  }
  thread_ = std::thread([this] { Run(); });
  return true;
}

void DiscoveryResponder::Stop() {
  if (!thread_.joinable()) return;
  wake_.Wake();
  thread_.join();
  socket_.Reset();
}

std::vector<DiscoveryRequestSeen> DiscoveryResponder::Requests() const {
  std::lock_guard<std::mutex> guard(lock_);
  return requests_;
}

void DiscoveryResponder::Run() {
  for (;;) {
    pollfd fds[2] = {{socket_.Get(), POLLIN, 0}, {wake_.ReadFd(), POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
    if (fds[1].revents != 0) return;
    if ((fds[0].revents & POLLIN) != 0) HandleOne();
  }
}

void DiscoveryResponder::HandleOne() {
  uint8_t buffer[512];
  sockaddr_in from{};
  alignas(cmsghdr) char control[128];
  iovec io{buffer, sizeof buffer};
  msghdr msg{};
  msg.msg_name = &from;
  msg.msg_namelen = sizeof from;
  msg.msg_iov = &io;
  msg.msg_iovlen = 1;
  msg.msg_control = control;
  msg.msg_controllen = sizeof control;
  const ssize_t n = ::recvmsg(socket_.Get(), &msg, MSG_DONTWAIT);
  if (n < 0) return;
  DiscoveryRequestSeen seen;
  seen.bytes.assign(buffer, buffer + n);
  seen.source = Dotted(from.sin_addr);
  seen.source_port = ntohs(from.sin_port);
  std::string local;  // the address the request arrived on
  for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
    if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_PKTINFO) continue;
    in_pktinfo info{};
    std::memcpy(&info, CMSG_DATA(c), sizeof info);
    seen.destination = Dotted(info.ipi_addr);
    local = Dotted(info.ipi_spec_dst);
  }
  if (IsDiscoveryRequest(buffer, static_cast<size_t>(n)) && IsLocalSender(from.sin_addr)) {
    const std::string address = options_.address_text.empty() ? local : options_.address_text;
    const std::vector<uint8_t> reply = EncodeDiscoveryReply(options_, rtsp_port_, address);
    seen.answered = ::sendto(socket_.Get(), reply.data(), reply.size(), 0,
                             reinterpret_cast<const sockaddr*>(&from), sizeof from) ==
                    static_cast<ssize_t>(reply.size());
  }
  std::lock_guard<std::mutex> guard(lock_);
  if (requests_.size() == kMaxRequestsKept) requests_.erase(requests_.begin());
  requests_.push_back(std::move(seen));
}

}  // namespace camsim
