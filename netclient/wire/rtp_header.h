// The RTP header as RFC 3550 §5.1 defines it, taken apart far enough to find the payload:
// the CSRC list (CC), the header extension (X, §5.3.1) and padding (P) are passed over, so the
// payload need not start at byte 12. Cameras of our dialect send none of them; other servers
// add extensions (RFC 5285 one- or two-byte elements, ONVIF replay headers) and CSRC lists
// after a mixer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace qvnet {

struct RtpHeaderView {
  uint8_t payload_type = 0;
  bool marker = false;
  uint16_t sequence = 0;
  uint32_t timestamp = 0;
  uint32_t ssrc = 0;
  size_t payload_offset = 0;  // from the start of the packet
  size_t payload_length = 0;  // without the padding
};

// Nullopt when the packet is shorter than its fixed header, CSRC list and extension claim, or
// its padding count is 0 or reaches into the header. The version is not checked: the cameras
// never sent anything else, and a stricter check would only drop their packets.
std::optional<RtpHeaderView> ParseRtpHeader(const uint8_t* packet, size_t length);

}  // namespace qvnet
