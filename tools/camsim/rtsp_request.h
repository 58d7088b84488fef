// RTSP/1.0 requests as a camera receives them (RFC 2326 §6): framing in a byte stream,
// header lookup and the Transport header (RFC 2326 §12.39).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace camsim {

inline constexpr size_t kMaxRequestSize = 16384;

struct RtspRequest {
  std::string method;
  std::string uri;
  std::string version;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  // Value of the first header of that name (case-insensitive), trimmed; null when absent.
  const std::string* Header(std::string_view name) const;
};

// Size of the first complete request (headers, blank line and Content-Length body) at the
// start of `buffer`; 0 when more bytes are needed; nullopt when it can never be complete
// (too large or a bad Content-Length).
std::optional<size_t> CompleteRequestSize(std::string_view buffer);

// Parses one complete request; nullopt when the request line is not "METHOD URI RTSP/1.0".
std::optional<RtspRequest> ParseRtspRequest(std::string_view text);

struct TransportSpec {
  bool tcp = false;
  int rtp = -1;   // client port (UDP) or interleaved channel (TCP)
  int rtcp = -1;
  std::string profile;  // as the client wrote it: "RTP/AVP", "RTP/AVP/UDP", "RTP/AVP/TCP"
};

// The first transport we can serve of a comma-separated list: unicast RTP/AVP over UDP with
// client_port, or RTP/AVP/TCP (interleaved given or not).
std::optional<TransportSpec> ParseTransport(std::string_view value);

bool EqualsNoCase(std::string_view a, std::string_view b);
std::string_view Trim(std::string_view text);

}  // namespace camsim
