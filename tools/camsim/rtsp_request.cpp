#include "tools/camsim/rtsp_request.h"

#include <cctype>
#include <charconv>

namespace camsim {

namespace {

// Parses "a" or "a-b" of non-negative integers below 65536.
bool ParsePair(std::string_view text, int* a, int* b) {
  const size_t dash = text.find('-');
  const std::string_view first = text.substr(0, dash);
  auto parse = [](std::string_view s, int* out) {
    const auto result = std::from_chars(s.data(), s.data() + s.size(), *out);
    return result.ec == std::errc() && result.ptr == s.data() + s.size() && *out >= 0 && *out < 65536;
  };
  if (!parse(first, a)) return false;
  if (dash == std::string_view::npos) {
    *b = *a + 1;
    return true;
  }
  return parse(text.substr(dash + 1), b);
}

std::optional<TransportSpec> ParseOneTransport(std::string_view spec) {
  TransportSpec t;
  size_t pos = 0;
  bool first = true;
  bool unicast = true;
  bool has_ports = false;
  while (pos <= spec.size()) {
    const size_t semi = std::min(spec.find(';', pos), spec.size());
    const std::string_view part = Trim(spec.substr(pos, semi - pos));
    pos = semi + 1;
    if (first) {
      first = false;
      t.profile = std::string(part);
      if (EqualsNoCase(part, "RTP/AVP/TCP")) {
        t.tcp = true;
      } else if (!EqualsNoCase(part, "RTP/AVP") && !EqualsNoCase(part, "RTP/AVP/UDP")) {
        return std::nullopt;
      }
      continue;
    }
    if (EqualsNoCase(part, "multicast")) unicast = false;
    const size_t eq = part.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view key = part.substr(0, eq);
    const std::string_view value = part.substr(eq + 1);
    if ((EqualsNoCase(key, "client_port") && !t.tcp) || (EqualsNoCase(key, "interleaved") && t.tcp)) {
      if (!ParsePair(value, &t.rtp, &t.rtcp)) return std::nullopt;
      has_ports = true;
    }
  }
  if (!unicast || (!t.tcp && !has_ports)) return std::nullopt;
  if (t.tcp && (t.rtp > 255 || t.rtcp > 255)) return std::nullopt;
  return t;
}

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

const std::string* RtspRequest::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (EqualsNoCase(key, name)) return &value;
  }
  return nullptr;
}

std::optional<size_t> CompleteRequestSize(std::string_view buffer) {
  const size_t end = buffer.find("\r\n\r\n");
  if (end == std::string_view::npos) {
    if (buffer.size() >= kMaxRequestSize) return std::nullopt;
    return 0;
  }
  const size_t head = end + 4;
  size_t body = 0;
  // Content-Length is the only way a request announces a body (RFC 2326 §12.14).
  const std::string_view headers = buffer.substr(0, end);
  size_t pos = 0;
  while ((pos = headers.find("\r\n", pos)) != std::string_view::npos) {
    pos += 2;
    const size_t line_end = std::min(headers.find("\r\n", pos), headers.size());
    const std::string_view line = headers.substr(pos, line_end - pos);
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || !EqualsNoCase(Trim(line.substr(0, colon)), "Content-Length")) continue;
    const std::string_view value = Trim(line.substr(colon + 1));
    const auto result = std::from_chars(value.data(), value.data() + value.size(), body);
    if (result.ec != std::errc() || result.ptr != value.data() + value.size()) return std::nullopt;
  }
  if (head + body > kMaxRequestSize) return std::nullopt;
  if (buffer.size() < head + body) return 0;
  return head + body;
}

std::optional<RtspRequest> ParseRtspRequest(std::string_view text) {
  const size_t head_end = text.find("\r\n\r\n");
  if (head_end == std::string_view::npos) return std::nullopt;
  RtspRequest request;
  request.body = std::string(text.substr(head_end + 4));
  const std::string_view head = text.substr(0, head_end);
  size_t line_end = std::min(head.find("\r\n"), head.size());
  const std::string_view line = head.substr(0, line_end);
  const size_t sp1 = line.find(' ');
  const size_t sp2 = sp1 == std::string_view::npos ? sp1 : line.find(' ', sp1 + 1);
  if (sp2 == std::string_view::npos || sp1 == 0 || sp2 == sp1 + 1) return std::nullopt;
  request.method = std::string(line.substr(0, sp1));
  request.uri = std::string(line.substr(sp1 + 1, sp2 - sp1 - 1));
  request.version = std::string(Trim(line.substr(sp2 + 1)));
  if (request.version != "RTSP/1.0") return std::nullopt;
  size_t pos = line_end;
  while (pos < head.size()) {
    pos += 2;
    line_end = std::min(head.find("\r\n", pos), head.size());
    const std::string_view header = head.substr(pos, line_end - pos);
    pos = line_end;
    const size_t colon = header.find(':');
    if (colon == std::string_view::npos) continue;
    request.headers.emplace_back(std::string(Trim(header.substr(0, colon))),
                                 std::string(Trim(header.substr(colon + 1))));
  }
  return request;
}

std::optional<TransportSpec> ParseTransport(std::string_view value) {
  size_t pos = 0;
  while (pos <= value.size()) {
    const size_t comma = std::min(value.find(',', pos), value.size());
    if (auto t = ParseOneTransport(Trim(value.substr(pos, comma - pos)))) return t;
    pos = comma + 1;
  }
  return std::nullopt;
}

}  // namespace camsim
