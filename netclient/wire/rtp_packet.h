// The fixed RTP header (RFC 3550 §5.1) as the cameras send it, and the context in which a
// received packet is taken apart. The depacketizers (h264_, jpeg_, audio_depacketizer.h) are
// pure functions of a packet in memory and this context, so tests feed them without sockets.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/tick_clock.h"

namespace qvnet {

class StreamFacts;
class RecordPair;
class MediaOutput;
class FuAssembly;
class JpegAssembly;
struct KeyFrameSpan;

// The cameras send neither CSRC lists nor header extensions, so the payload always starts
// at byte 12; the version, sequence number, SSRC and payload type are not checked.
inline constexpr size_t kRtpHeaderSize = 12;

// Callers make sure the packet holds at least the fixed header.
inline bool RtpMarker(const uint8_t* packet) { return (packet[1] & 0x80) != 0; }

inline uint32_t RtpTimestamp(const uint8_t* packet) {
  return (static_cast<uint32_t>(packet[4]) << 24) | (static_cast<uint32_t>(packet[5]) << 16) |
         (static_cast<uint32_t>(packet[6]) << 8) | static_cast<uint32_t>(packet[7]);
}

// How the packet arrived: over its own UDP socket or interleaved in the RTSP connection.
enum class MediaTransport { kUdp, kTcp };

struct PacketContext {
  StreamFacts& client;  // what is known of the stream the packet belongs to
  MediaTransport transport = MediaTransport::kUdp;
  RecordPair* record = nullptr;      // null: nothing is recorded
  MediaOutput* media = nullptr;      // null: no display or sound (recording library)
  JpegAssembly* jpeg = nullptr;      // null: JPEG packets are dropped
  KeyFrameSpan* span = nullptr;      // null: no key-frame statistic
  qvp::Tick now = 0;                 // when the packet was handled
  FuAssembly* fu = nullptr;          // null: H.264 FU-A fragments are dropped
};

}  // namespace qvnet
