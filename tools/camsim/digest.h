// HTTP Digest access authentication as RTSP cameras use it: the RFC 2069 form (no qop) and
// RFC 2617 with qop=auth, MD5 only.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace camsim {

struct DigestCredentials {
  std::string username;
  std::string realm;
  std::string nonce;
  std::string uri;
  std::string response;
  std::string qop;
  std::string nc;
  std::string cnonce;
  std::string algorithm;
};

// Lower-case hexadecimal MD5 (RFC 1321) of `text`.
std::string Md5Hex(std::string_view text);

// Parses an Authorization header value "Digest name=value, name=\"value\", ...".
std::optional<DigestCredentials> ParseDigestAuthorization(std::string_view value);

// The expected response for these credentials: RFC 2069 when qop is empty, else RFC 2617
// qop=auth. HA2 uses `method` and the uri the client put in its header.
std::string ExpectedDigestResponse(const DigestCredentials& c, std::string_view method,
                                   std::string_view password);

}  // namespace camsim
