// The headers of a SETUP answer that the standard mode reads (RFC 2326 §12.37, §12.39): the
// interleaved channels and server ports of the Transport header, and the session id and its
// time-out from the Session header.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvnet {

// RFC 2326 allows session ids of up to 256 characters; a longer one is refused.
inline constexpr size_t kMaxSessionIdLength = 256;
// The time-out a server means when it names none (RFC 2326 §12.37).
inline constexpr uint32_t kDefaultSessionTimeoutS = 60;

struct TransportAnswer {
  std::optional<uint8_t> interleaved;   // first channel of "interleaved=a-b"
  std::optional<uint16_t> server_port;  // first port of "server_port=a-b"
};

// The first transport of the header (a server answers with one).
TransportAnswer ParseTransportAnswer(std::string_view value);

struct SessionHeader {
  std::string id;
  uint32_t timeout_s = kDefaultSessionTimeoutS;
};

// "<id>[;timeout=<seconds>]": the id is everything up to ';', blanks trimmed, any characters
// RFC 2326 allows. Nullopt for an empty or overlong id or one with control characters. A
// time-out that is no number, 0 or above a day keeps the default.
std::optional<SessionHeader> ParseSessionHeader(std::string_view value);

}  // namespace qvnet
