// RTP packetization of what a camera sends: H.264 per RFC 6184 (single NAL unit packets,
// FU-A, STAP-A on request), JPEG in the cameras' dialect of RFC 2435 and one audio frame
// per packet (RFC 3551).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/camsim/media_types.h"

namespace camsim {

inline constexpr size_t kRtpHeaderSize = 12;
inline constexpr size_t kJpegHeaderSize = 8;
inline constexpr size_t kJpegQuantHeaderSize = 4;
inline constexpr size_t kMinMtu = 200;  // room for the first JPEG packet's 152 header bytes

// Per-track RTP state: sequence numbers continue across access units.
struct RtpTrack {
  uint8_t payload_type = 96;
  uint16_t sequence = 0;
  uint32_t ssrc = 0;
};

// RFC 3550 §5.1 fixed header, version 2, no padding, extension or CSRC.
void WriteRtpHeader(uint8_t* out, uint8_t payload_type, bool marker, uint16_t sequence,
                    uint32_t timestamp, uint32_t ssrc);

// Appends the packets of one access unit to `out`; the marker bit is set on its last packet.
// `mtu` bounds each whole RTP packet.
void PacketizeH264(const AccessUnit& unit, uint32_t timestamp, size_t mtu, bool stap_a,
                   RtpTrack* track, std::vector<Bytes>* out);

// The first packet holds 12 RTP + 8 JPEG header bytes (fragment offset 0), the 4-byte
// quantization table header with 128 bytes of tables (Q = 255) and then the start of the
// complete JPEG image (SOI..EOI); each later packet holds 12 + 8 bytes (fragment offset =
// position in the image) and the next part. The marker bit closes the picture.
void PacketizeJpeg(const AccessUnit& unit, uint32_t timestamp, size_t mtu, int width, int height,
                   RtpTrack* track, std::vector<Bytes>* out);

Bytes PacketizeAudio(const Bytes& payload, uint32_t timestamp, bool marker, RtpTrack* track);

// `packet` with two CSRCs, a one-byte header extension (RFC 5285, profile 0xBEDE, 8 bytes) and
// 4 bytes of padding added around its payload (RFC 3550 §5.1, §5.3.1).
Bytes WithRtpExtras(const Bytes& packet);

}  // namespace camsim
