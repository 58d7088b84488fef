#include "netclient/stream/mctp_transaction.h"

#include <netinet/in.h>

#include <array>

#include "netclient/wire/mctp_message.h"

namespace qvnet {

qvp::Socket MctpConnect(const std::string& host, uint16_t port, const MctpTimeouts& timeouts,
                        const MctpSocketExtras& extras) {
  qvp::Socket socket = qvp::Socket::Tcp();
  if (!socket.IsValid()) return {};
  if (!qvp::SetSendTimeout(socket, timeouts.send_ms) || !qvp::SetRecvTimeout(socket, timeouts.recv_ms)) return {};
  if (extras.no_delay && !qvp::SetNoDelay(socket, true)) return {};
  if (extras.send_buffer > 0 && !qvp::SetSendBufferSize(socket, extras.send_buffer)) return {};
  if (extras.recv_buffer > 0 && !qvp::SetRecvBufferSize(socket, extras.recv_buffer)) return {};
  in_addr addr{};
  if (!qvp::ResolveIPv4(host, &addr)) return {};
  if (qvp::ConnectWithTimeout(socket, addr, port, timeouts.connect_ms) != 0) return {};
  return socket;
}

std::optional<std::string> MctpExchange(const qvp::Socket& socket, std::string_view request) {
  if (qvp::SendAll(socket, request.data(), request.size()) != request.size()) return std::nullopt;
  std::array<char, kMctpAnswerCapacity> answer{};
  const ssize_t n = qvp::Recv(socket, answer.data(), answer.size());
  if (n < 0) return std::nullopt;
  // The answer is text: like the cameras' own tools, read it up to a NUL byte.
  std::string text(answer.data(), static_cast<size_t>(n));
  const size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

std::optional<std::string> MctpTransaction(const std::string& host, uint16_t port, std::string_view request,
                                           const MctpTimeouts& timeouts) {
  const qvp::Socket socket = MctpConnect(host, port, timeouts);
  if (!socket.IsValid()) return std::nullopt;
  return MctpExchange(socket, request);
}

}  // namespace qvnet
