#include "netclient/wire/client_address.h"

#include <cstring>
#include <optional>

namespace qvnet {

bool ParseClientAddress(const char* text, size_t max_text, ClientAddress* out) {
  if (text == nullptr || out == nullptr) return false;
  const size_t length = strnlen(text, max_text);
  if (length == 0 || length == max_text) return false;  // empty, or not terminated in its field
  ClientAddress a;
  a.text.assign(text, length);
  if (IsRtspUrl(a.text)) {
    std::optional<RtspUrl> url = ParseRtspUrl(a.text);
    if (!url || url->host.size() > kMaxHostLength) return false;
    a.host = url->host;
    a.port = url->port;
    a.standard = true;
    a.url = std::move(*url);
    *out = std::move(a);
    return true;
  }
  const size_t colon = a.text.find(':');
  a.host = a.text.substr(0, colon);
  if (a.host.empty() || a.host.size() > kMaxHostLength) return false;
  if (colon != std::string::npos) {
    uint32_t port = 0;
    size_t i = colon + 1;
    for (; i < a.text.size() && a.text[i] >= '0' && a.text[i] <= '9'; ++i) {
      port = port * 10 + static_cast<uint32_t>(a.text[i] - '0');
      if (port > 65535) return false;
    }
    if (port == 0) return false;
    a.port = static_cast<uint16_t>(port);
  }
  a.url_mode = a.text.find('/') != std::string::npos && colon != std::string::npos;
  *out = std::move(a);
  return true;
}

}  // namespace qvnet
