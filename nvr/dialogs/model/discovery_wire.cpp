#include "nvr/dialogs/model/discovery_wire.h"

#include <arpa/inet.h>

#include <cstring>

namespace nvrdlg {
namespace {

constexpr char kMagic[12] = {'q', 'u', 'o', 'r', 'v', 'a', 'l', 'e', 'n', 't', 'a', '\0'};
constexpr size_t kTypeAt = 12;
constexpr size_t kModelAt = 13;
constexpr size_t kModelSize = 47;
constexpr size_t kNameAt = 90;
constexpr size_t kNameSize = 70;
constexpr size_t kPortAt = 160;
constexpr size_t kChannelsAt = 164;

// The text of a field: up to its first 0 byte or the field's end.
std::string FieldText(std::span<const uint8_t> bytes, size_t at, size_t size) {
  const std::span<const uint8_t> field = bytes.subspan(at, size);
  size_t length = 0;
  while (length < field.size() && field[length] != 0) ++length;
  return std::string(reinterpret_cast<const char*>(field.data()), length);
}

}  // namespace

std::array<uint8_t, kDiscoveryRequestSize> DiscoveryRequest() {
  std::array<uint8_t, kDiscoveryRequestSize> request{};
  std::memcpy(request.data(), kMagic, sizeof kMagic);
  request[kTypeAt] = kDiscoveryTypeRequest;
  return request;
}

std::optional<DiscoveryReply> ParseDiscoveryReply(std::span<const uint8_t> datagram,
                                                  const in_addr& source) {
  if (datagram.size() < kDiscoveryReplyMinimum) return std::nullopt;
  const std::span<const uint8_t> bytes = datagram.first(std::min(datagram.size(), kDiscoveryReplySize));
  if (std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) return std::nullopt;
  if (bytes[kTypeAt] != kDiscoveryTypeReply) return std::nullopt;
  const uint32_t port = (uint32_t{bytes[kPortAt]} << 24) | (uint32_t{bytes[kPortAt + 1]} << 16) |
                        (uint32_t{bytes[kPortAt + 2]} << 8) | uint32_t{bytes[kPortAt + 3]};
  if (port == 0 || port > 65535) return std::nullopt;
  DiscoveryReply reply;
  // The model field is compared with its terminator: a model without one is none we list.
  reply.model = FieldText(bytes, kModelAt, kModelSize - 1);
  reply.name = FieldText(bytes, kNameAt, kNameSize);
  char dotted[INET_ADDRSTRLEN] = {};
  if (inet_ntop(AF_INET, &source, dotted, sizeof dotted) == nullptr) return std::nullopt;
  reply.address = dotted;
  reply.rtsp_port = static_cast<uint16_t>(port);
  reply.channels = bytes[kChannelsAt];
  return reply;
}

bool IsListedModel(const std::string& model) { return model == "DVS" || model == "IPCAMERA"; }

}  // namespace nvrdlg
