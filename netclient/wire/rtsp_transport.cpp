#include "netclient/wire/rtsp_transport.h"

#include <charconv>

#include "netclient/wire/rtsp_message.h"

namespace qvnet {
namespace {

constexpr uint32_t kMaxTimeoutS = 24 * 3600;

std::optional<uint32_t> LeadingNumber(std::string_view text) {
  uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data()) return std::nullopt;
  return value;
}

// Calls `f(name, value)` for each ';'-separated parameter of `text`.
template <typename F>
void ForEachParameter(std::string_view text, F f) {
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find(';', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view item = TrimBlanks(text.substr(pos, end - pos));
    const size_t eq = item.find('=');
    f(TrimBlanks(item.substr(0, eq)), eq == std::string_view::npos ? std::string_view() : TrimBlanks(item.substr(eq + 1)));
    pos = end + 1;
  }
}

}  // namespace

TransportAnswer ParseTransportAnswer(std::string_view value) {
  value = value.substr(0, value.find(','));
  TransportAnswer t;
  ForEachParameter(value, [&t](std::string_view name, std::string_view v) {
    const std::optional<uint32_t> first = LeadingNumber(v);
    if (!first) return;
    if (EqualsNoCase(name, "interleaved") && *first <= 255) t.interleaved = static_cast<uint8_t>(*first);
    if (EqualsNoCase(name, "server_port") && *first > 0 && *first <= 65535) {
      t.server_port = static_cast<uint16_t>(*first);
    }
  });
  return t;
}

std::optional<SessionHeader> ParseSessionHeader(std::string_view value) {
  const size_t semicolon = value.find(';');
  SessionHeader s;
  const std::string_view id = TrimBlanks(value.substr(0, semicolon));
  if (id.empty() || id.size() > kMaxSessionIdLength) return std::nullopt;
  for (char c : id) {
    if (static_cast<unsigned char>(c) < 0x21 || c == 0x7F) return std::nullopt;
  }
  s.id = std::string(id);
  if (semicolon == std::string_view::npos) return s;
  ForEachParameter(value.substr(semicolon + 1), [&s](std::string_view name, std::string_view v) {
    if (!EqualsNoCase(name, "timeout")) return;
    const std::optional<uint32_t> seconds = LeadingNumber(v);
    if (seconds && *seconds > 0 && *seconds <= kMaxTimeoutS) s.timeout_s = *seconds;
  });
  return s;
}

}  // namespace qvnet
