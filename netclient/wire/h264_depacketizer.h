// H.264 over RTP (RFC 6184) as the cameras send it: single NAL unit packets and FU-A
// fragments, turned into Annex B pieces (00 00 01 + NAL unit) for the video conduit and the
// record files. Aggregation packets (STAP-A, MTAP) and FU-B are not sent by the cameras and
// are dropped.
#pragma once

#include <cstddef>
#include <cstdint>

#include "netclient/wire/rtp_packet.h"
#include "platform/tick_clock.h"

namespace qvnet {

inline constexpr uint8_t kNalTypeIdr = 5;
inline constexpr uint8_t kNalTypeSps = 7;
inline constexpr uint8_t kNalTypeStapA = 24;
inline constexpr uint8_t kNalTypeFuA = 28;
inline constexpr uint8_t kFuStartBit = 0x80;
inline constexpr uint8_t kFuEndBit = 0x40;

// RTP header plus the two FU-A bytes: anything shorter carries no NAL data.
inline constexpr size_t kMinH264Packet = kRtpHeaderSize + 2;

// Running figures behind the key-frame span statistic: the tick of the last sequence
// parameter set and the sum of the spans from it to the end of the IDR picture that follows.
struct KeyFrameSpan {
  static constexpr int kSamples = 10;
  int count = 0;
  uint32_t sum = 0;
  qvp::Tick sps_tick = 0;
};

// Takes one RTP packet apart. Writes the pieces to ctx.media's video conduit and records
// them, counts the payload bytes and updates the key-frame span. False when the packet was
// dropped (too short, or a packet type other than single NAL unit and FU-A).
bool HandleH264Packet(const PacketContext& ctx, const uint8_t* packet, size_t length);

}  // namespace qvnet
