// RTSP URLs (RFC 2326 §3.2) as the standard mode takes them: the address a user types,
// rtsp://[user[:password]@]host[:port][/path], and the control URLs of a description resolved
// against their base (RFC 2326 §C.1.1: absolute, "*", or relative to the base).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvnet {

struct RtspUrl {
  std::string host;
  uint16_t port = 554;
  // The URL as typed without its user information: what the requests carry.
  std::string request_url;
  std::string user;      // percent-decoded
  std::string password;  // percent-decoded
  bool has_credentials = false;
};

// True when `text` starts with "rtsp://" (ASCII case ignored): the address is in standard mode.
bool IsRtspUrl(std::string_view text);

// Nullopt for anything that is not such a URL: another scheme, no host, a host with characters
// other than letters, digits, '.', '-' and '_' (IPv6 literals are not taken), a port that is
// not 1..65535, user information with a bad percent escape or a NUL, or control characters
// and blanks anywhere. A fragment ("#...") is dropped.
std::optional<RtspUrl> ParseRtspUrl(std::string_view text);

// `reference` resolved against `base` (an absolute URL without user information): an absolute
// reference as it is, "" and "*" the base itself, "/x" the base's scheme and authority with
// that path, anything else appended to the base with one '/' between.
std::string ResolveRtspUrl(std::string_view base, std::string_view reference);

}  // namespace qvnet
