#include "platform/icmp.h"

#include <arpa/inet.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "platform/socket.h"
#include "platform/tick_clock.h"

namespace qvp {
namespace {

constexpr uint8_t kEchoRequest = 8;
constexpr uint8_t kEchoReply = 0;
constexpr size_t kIcmpHeader = 8;
constexpr size_t kMaxPacket = 1500;
// Bounds the replies looked at in one wait: other traffic on a raw socket must not keep us.
constexpr int kMaxPacketsPerWait = 256;

using SteadyClock = std::chrono::steady_clock;

int MillisLeft(SteadyClock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool WaitReadable(int fd, SteadyClock::time_point deadline) {
  pollfd p{fd, POLLIN, 0};
  const int ready = poll(&p, 1, MillisLeft(deadline));
  return ready > 0 && (p.revents & POLLIN) != 0;
}

bool SendTo(int fd, const std::vector<uint8_t>& packet, const in_addr& target) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr = target;
  return sendto(fd, packet.data(), packet.size(), MSG_NOSIGNAL,
                reinterpret_cast<const sockaddr*>(&to), sizeof to) ==
         static_cast<ssize_t>(packet.size());
}

// Datagram socket: the kernel fills in the identifier and hands us only replies to it, ICMP
// header first.
EchoResult DatagramEcho(const in_addr& target) {
  Socket s(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP));
  if (!s.IsValid()) return EchoResult::kUnavailable;
  static const char kPayload[12] = "Data Buffer";
  std::vector<uint8_t> packet(kIcmpHeader + sizeof kPayload, 0);
  packet[0] = kEchoRequest;
  std::memcpy(packet.data() + kIcmpHeader, kPayload, sizeof kPayload);
  if (!SendTo(s.Fd(), packet, target)) return EchoResult::kNoReply;
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(kDatagramEchoTimeoutMs);
  uint8_t reply[kMaxPacket];
  for (int i = 0; i < kMaxPacketsPerWait && WaitReadable(s.Fd(), deadline); ++i) {
    const ssize_t n = recv(s.Fd(), reply, sizeof reply, 0);
    if (n >= static_cast<ssize_t>(kIcmpHeader) && reply[0] == kEchoReply) return EchoResult::kReply;
  }
  return EchoResult::kNoReply;
}

EchoResult RawEcho(const in_addr& target) {
  Socket s(socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP));
  if (!s.IsValid()) return EchoResult::kUnavailable;
  const uint16_t id = static_cast<uint16_t>(getpid());
  if (!SendTo(s.Fd(), BuildEchoRequest(id, 0, TickCount()), target)) return EchoResult::kNoReply;
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(kRawEchoTimeoutMs);
  uint8_t reply[kMaxPacket];
  // A raw socket sees every ICMP packet of the host, our own request on loopback included.
  for (int i = 0; i < kMaxPacketsPerWait && WaitReadable(s.Fd(), deadline); ++i) {
    sockaddr_in from{};
    socklen_t from_len = sizeof from;
    const ssize_t n = recvfrom(s.Fd(), reply, sizeof reply, 0, reinterpret_cast<sockaddr*>(&from),
                               &from_len);
    if (n <= 0) continue;
    if (IsEchoReplyFor(reply, static_cast<size_t>(n), id, from.sin_addr, target)) {
      return EchoResult::kReply;
    }
  }
  return EchoResult::kNoReply;
}

}  // namespace

uint16_t InternetChecksum(const uint8_t* data, size_t size) {
  uint32_t sum = 0;
  for (size_t i = 0; i + 1 < size; i += 2) sum += static_cast<uint32_t>(data[i] << 8 | data[i + 1]);
  if (size % 2 != 0) sum += static_cast<uint32_t>(data[size - 1] << 8);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

std::vector<uint8_t> BuildEchoRequest(uint16_t id, uint16_t seq, uint32_t tick) {
  std::vector<uint8_t> packet(kIcmpHeader + sizeof tick + kEchoPayloadFill, 0x45);
  packet[0] = kEchoRequest;
  packet[1] = 0;
  packet[2] = packet[3] = 0;
  packet[4] = static_cast<uint8_t>(id >> 8);
  packet[5] = static_cast<uint8_t>(id);
  packet[6] = static_cast<uint8_t>(seq >> 8);
  packet[7] = static_cast<uint8_t>(seq);
  std::memcpy(packet.data() + kIcmpHeader, &tick, sizeof tick);
  const uint16_t sum = InternetChecksum(packet.data(), packet.size());
  packet[2] = static_cast<uint8_t>(sum >> 8);
  packet[3] = static_cast<uint8_t>(sum);
  return packet;
}

bool IsEchoReplyFor(const uint8_t* packet, size_t size, uint16_t id, const in_addr& from,
                    const in_addr& expected) {
  if (packet == nullptr || size < 20) return false;
  const size_t ip_header = static_cast<size_t>(packet[0] & 0x0F) * 4;
  if (ip_header < 20 || size < ip_header + kIcmpHeader) return false;
  const uint8_t* icmp = packet + ip_header;
  const uint16_t reply_id = static_cast<uint16_t>(icmp[4] << 8 | icmp[5]);
  return icmp[0] == kEchoReply && reply_id == id && from.s_addr == expected.s_addr;
}

EchoResult IcmpEcho(const std::string& host) {
  in_addr target{};
  if (!ResolveIPv4(host, &target)) return EchoResult::kNoReply;
  const EchoResult datagram = DatagramEcho(target);
  if (datagram == EchoResult::kReply) return datagram;
  const EchoResult raw = RawEcho(target);
  if (raw == EchoResult::kUnavailable && datagram == EchoResult::kNoReply) {
    return EchoResult::kNoReply;
  }
  return raw;
}

}  // namespace qvp
