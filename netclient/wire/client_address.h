// The camera address a client is started with: "host", "host:port" or, in URL mode,
// "host:port/path", all in the cameras' dialect; or an RTSP URL
// "rtsp://[user:password@]host[:port]/path", which puts the client in standard mode (any
// RTSP/1.0 server: rtsp_url.h). Parsed once when the client is made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "netclient/wire/rtsp_url.h"

namespace qvnet {

inline constexpr uint16_t kDefaultRtspPort = 554;
// The longest host both libraries take: what the 128-byte address field of the client
// parameters carries with ":65535" and its terminator. A longer one is refused, never cut.
inline constexpr size_t kMaxHostLength = 121;

struct ClientAddress {
  std::string text;     // the whole address as given (the URL-mode URI is "rtsp://" + text)
  std::string host;     // up to the first ':'
  uint16_t port = kDefaultRtspPort;  // RTSP and MCTP alike
  bool url_mode = false;             // the text holds both a '/' and a ':'
  bool standard = false;             // an rtsp:// URL: the standard mode
  RtspUrl url;                       // the parsed URL in standard mode
};

// Parses `text` (read up to its terminator, at most `max_text` bytes). The host must have at
// most kMaxHostLength characters and the port, when given, must be a decimal
// number from 1 to 65535 (digits up to the first non-digit, as the cameras' own tools write
// it). Anything that cannot be represented is refused (false) rather than cut short: a cut host
// would silently reach a different camera. An rtsp:// URL must parse as one (ParseRtspUrl);
// its host and port fill `host` and `port`.
bool ParseClientAddress(const char* text, size_t max_text, ClientAddress* out);

}  // namespace qvnet
