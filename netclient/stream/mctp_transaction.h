// One MCTP command transaction: a TCP connection of its own to the camera's port, one request
// sent whole, one answer of at most 1024 bytes, close. No retries: the caller's result tells
// the application, which decides whether to try again.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/socket.h"

namespace qvnet {

struct MctpTimeouts {
  uint32_t connect_ms;
  uint32_t send_ms;
  uint32_t recv_ms;
};

// The talk connection also carries voice frames, so it wants small-packet sockets.
struct MctpSocketExtras {
  bool no_delay = false;
  int send_buffer = 0;  // 0: leave the system's size
  int recv_buffer = 0;
};

// A connected TCP socket with the time-outs (and extras) set; invalid on any failure.
qvp::Socket MctpConnect(const std::string& host, uint16_t port, const MctpTimeouts& timeouts,
                        const MctpSocketExtras& extras = {});

// Sends `request` (every byte, or failure) and reads one answer of at most
// kMctpAnswerCapacity bytes. Nullopt on a send failure or a receive error; an answer of 0
// bytes (the camera closed) is an empty text, which no line check accepts.
std::optional<std::string> MctpExchange(const qvp::Socket& socket, std::string_view request);

// Connect, exchange, close.
std::optional<std::string> MctpTransaction(const std::string& host, uint16_t port, std::string_view request,
                                           const MctpTimeouts& timeouts);

}  // namespace qvnet
