// ICMP echo ("ping", RFC 792) of an IPv4 host, for telling whether a device's host answers.
//
// Two ways, as the system allows: an unprivileged ICMP datagram socket (where
// net.ipv4.ping_group_range admits the process; the kernel then keeps the identifier and
// filters replies), else a raw ICMP socket (root or CAP_NET_RAW), on which the request is built
// here and replies are picked out by type, identifier and source address. Without either the
// host counts as not answering.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qvp {

enum class EchoResult {
  kReply,        // an echo reply came back in time
  kNoReply,      // sent, nothing came back in time (or the host cannot be resolved)
  kUnavailable,  // no ICMP socket of either kind may be made here
};

inline constexpr uint32_t kDatagramEchoTimeoutMs = 2000;
inline constexpr uint32_t kRawEchoTimeoutMs = 1000;
inline constexpr size_t kEchoPayloadFill = 32;  // bytes of 0x45 after the tick count

// RFC 1071 Internet checksum of `data`.
uint16_t InternetChecksum(const uint8_t* data, size_t size);

// The raw echo request: type 8, code 0, checksum, identifier, sequence, then the 32-bit tick
// count (host order, as the sender only compares it with itself) and 32 bytes of 0x45: 44 bytes.
std::vector<uint8_t> BuildEchoRequest(uint16_t id, uint16_t seq, uint32_t tick);

// True when `packet` (as a raw ICMP socket delivers it: IPv4 header first) is an echo reply
// (type 0) with identifier `id` from `from`.
bool IsEchoReplyFor(const uint8_t* packet, size_t size, uint16_t id, const in_addr& from,
                    const in_addr& expected);

// Pings `host` (dotted address or name): first over a datagram socket (12-byte payload, 2 s),
// and when that gives no answer over a raw socket (the request above, identifier = process id,
// 1 s). Blocks for at most about 3 s plus the name look-up.
EchoResult IcmpEcho(const std::string& host);

}  // namespace qvp
