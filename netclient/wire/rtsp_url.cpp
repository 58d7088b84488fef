#include "netclient/wire/rtsp_url.h"

#include <cctype>

#include "netclient/wire/rtsp_message.h"

namespace qvnet {
namespace {

constexpr std::string_view kScheme = "rtsp://";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> PercentDecoded(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out.push_back(text[i]);
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int hi = HexValue(text[i + 1]);
    const int lo = HexValue(text[i + 2]);
    if (hi < 0 || lo < 0 || (hi == 0 && lo == 0)) return std::nullopt;
    out.push_back(static_cast<char>(hi * 16 + lo));
    i += 2;
  }
  return out;
}

bool ValidHost(std::string_view host) {
  if (host.empty()) return false;
  for (char c : host) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_') return false;
  }
  return true;
}

std::optional<uint16_t> ParsePort(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  uint32_t port = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    port = port * 10 + static_cast<uint32_t>(c - '0');
  }
  if (port == 0 || port > 65535) return std::nullopt;
  return static_cast<uint16_t>(port);
}

bool TakeUserInfo(std::string_view info, RtspUrl* url) {
  const size_t colon = info.find(':');
  const std::optional<std::string> user = PercentDecoded(info.substr(0, colon));
  const std::optional<std::string> password =
      colon == std::string_view::npos ? std::optional<std::string>("") : PercentDecoded(info.substr(colon + 1));
  if (!user || !password) return false;
  url->user = *user;
  url->password = *password;
  url->has_credentials = true;
  return true;
}

}  // namespace

bool IsRtspUrl(std::string_view text) {
  return text.size() >= kScheme.size() && EqualsNoCase(text.substr(0, kScheme.size()), kScheme);
}

std::optional<RtspUrl> ParseRtspUrl(std::string_view text) {
  if (!IsRtspUrl(text)) return std::nullopt;
  for (char c : text) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return std::nullopt;
  }
  text = text.substr(0, text.find('#'));
  const std::string_view rest = text.substr(kScheme.size());
  const size_t authority_end = rest.find_first_of("/?");
  const std::string_view authority = rest.substr(0, authority_end);
  const std::string_view tail = authority_end == std::string_view::npos ? std::string_view() : rest.substr(authority_end);
  RtspUrl url;
  const size_t at = authority.rfind('@');
  std::string_view host_port = authority;
  if (at != std::string_view::npos) {
    if (!TakeUserInfo(authority.substr(0, at), &url)) return std::nullopt;
    host_port = authority.substr(at + 1);
  }
  const size_t colon = host_port.find(':');
  url.host = std::string(host_port.substr(0, colon));
  if (!ValidHost(url.host)) return std::nullopt;
  if (colon != std::string_view::npos) {
    const std::optional<uint16_t> port = ParsePort(host_port.substr(colon + 1));
    if (!port) return std::nullopt;
    url.port = *port;
  }
  url.request_url = "rtsp://" + std::string(host_port) + std::string(tail);
  return url;
}

std::string ResolveRtspUrl(std::string_view base, std::string_view reference) {
  if (reference.empty() || reference == "*") return std::string(base);
  if (IsRtspUrl(reference)) return std::string(reference);
  if (reference.front() == '/') {
    const size_t authority_end = base.size() > kScheme.size() ? base.find('/', kScheme.size()) : std::string_view::npos;
    return std::string(base.substr(0, authority_end)) + std::string(reference);
  }
  std::string url(base);
  if (url.empty() || url.back() != '/') url.push_back('/');
  url.append(reference);
  return url;
}

}  // namespace qvnet
