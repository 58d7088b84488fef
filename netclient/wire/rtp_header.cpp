#include "netclient/wire/rtp_header.h"

#include "netclient/wire/rtp_packet.h"

namespace qvnet {
namespace {

constexpr uint8_t kPaddingBit = 0x20;
constexpr uint8_t kExtensionBit = 0x10;
constexpr uint8_t kCsrcCountMask = 0x0F;
constexpr size_t kExtensionHeaderSize = 4;  // profile-defined 16 bits, length in 32-bit words

uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

}  // namespace

std::optional<RtpHeaderView> ParseRtpHeader(const uint8_t* packet, size_t length) {
  if (packet == nullptr || length < kRtpHeaderSize) return std::nullopt;
  RtpHeaderView h;
  h.marker = RtpMarker(packet);
  h.payload_type = packet[1] & 0x7F;
  h.sequence = Be16(packet + 2);
  h.timestamp = RtpTimestamp(packet);
  h.ssrc = (static_cast<uint32_t>(packet[8]) << 24) | (static_cast<uint32_t>(packet[9]) << 16) |
           (static_cast<uint32_t>(packet[10]) << 8) | packet[11];
  size_t offset = kRtpHeaderSize + 4u * (packet[0] & kCsrcCountMask);
  if (offset > length) return std::nullopt;
  if ((packet[0] & kExtensionBit) != 0) {
    if (length - offset < kExtensionHeaderSize) return std::nullopt;
    const size_t words = Be16(packet + offset + 2);
    offset += kExtensionHeaderSize;
    if (words * 4 > length - offset) return std::nullopt;
    offset += words * 4;
  }
  size_t end = length;
  if ((packet[0] & kPaddingBit) != 0) {
    // The last byte counts the padding, itself included (RFC 3550 §5.1).
    const size_t padding = packet[length - 1];
    if (padding == 0 || padding > length - offset) return std::nullopt;
    end -= padding;
  }
  h.payload_offset = offset;
  h.payload_length = end - offset;
  return h;
}

}  // namespace qvnet
