#include "tools/camsim/digest.h"

#include <cstdint>

#include "tools/camsim/rtsp_request.h"

extern "C" {
#include <libavutil/md5.h>
}

namespace camsim {

std::string Md5Hex(std::string_view text) {
  uint8_t digest[16];
  av_md5_sum(digest, reinterpret_cast<const uint8_t*>(text.data()), text.size());
  static const char kHex[] = "0123456789abcdef";
  std::string out(32, '0');
  for (int i = 0; i < 16; ++i) {
    out[2 * i] = kHex[digest[i] >> 4];
    out[2 * i + 1] = kHex[digest[i] & 15];
  }
  return out;
}

std::optional<DigestCredentials> ParseDigestAuthorization(std::string_view value) {
  value = Trim(value);
  if (value.size() < 7 || !EqualsNoCase(value.substr(0, 6), "Digest") || value[6] != ' ') return std::nullopt;
  DigestCredentials c;
  size_t pos = 7;
  // Bounded by the header length: every turn consumes at least one character.
  while (pos < value.size()) {
    while (pos < value.size() && (value[pos] == ' ' || value[pos] == ',')) ++pos;
    const size_t eq = value.find('=', pos);
    if (eq == std::string_view::npos) break;
    const std::string_view name = Trim(value.substr(pos, eq - pos));
    std::string_view field;
    pos = eq + 1;
    if (pos < value.size() && value[pos] == '"') {
      const size_t close = value.find('"', pos + 1);
      if (close == std::string_view::npos) return std::nullopt;
      field = value.substr(pos + 1, close - pos - 1);
      pos = close + 1;
    } else {
      const size_t comma = std::min(value.find(',', pos), value.size());
      field = Trim(value.substr(pos, comma - pos));
      pos = comma;
    }
    std::string* target = nullptr;
    if (EqualsNoCase(name, "username")) target = &c.username;
    if (EqualsNoCase(name, "realm")) target = &c.realm;
    if (EqualsNoCase(name, "nonce")) target = &c.nonce;
    if (EqualsNoCase(name, "uri")) target = &c.uri;
    if (EqualsNoCase(name, "response")) target = &c.response;
    if (EqualsNoCase(name, "qop")) target = &c.qop;
    if (EqualsNoCase(name, "nc")) target = &c.nc;
    if (EqualsNoCase(name, "cnonce")) target = &c.cnonce;
    if (EqualsNoCase(name, "algorithm")) target = &c.algorithm;
    if (target != nullptr) *target = std::string(field);
  }
  return c;
}

std::string ExpectedDigestResponse(const DigestCredentials& c, std::string_view method,
                                   std::string_view password) {
  const std::string ha1 = Md5Hex(c.username + ":" + c.realm + ":" + std::string(password));
  const std::string ha2 = Md5Hex(std::string(method) + ":" + c.uri);
  if (c.qop.empty()) return Md5Hex(ha1 + ":" + c.nonce + ":" + ha2);
  return Md5Hex(ha1 + ":" + c.nonce + ":" + c.nc + ":" + c.cnonce + ":" + c.qop + ":" + ha2);
}

}  // namespace camsim
