// The Digest "response" of RFC 2069 (no qop, no cnonce), the only form the cameras check.
#pragma once

#include <string>
#include <string_view>

namespace qvnet {

// response = MD5(HA1 ":" nonce ":" HA2) with HA1 = MD5(user ":" realm ":" password) and
// HA2 = MD5(method ":" uri), each digest entering and leaving as 32 lower-case hex digits.
std::string DigestResponse(std::string_view user, std::string_view realm, std::string_view password,
                           std::string_view method, std::string_view uri, std::string_view nonce);

}  // namespace qvnet
