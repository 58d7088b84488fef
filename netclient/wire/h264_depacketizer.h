// H.264 over RTP (RFC 6184): single NAL unit packets, STAP-A aggregates and FU-A fragments,
// turned into Annex B pieces (00 00 01 + NAL unit) for the video conduit and the record files.
// The cameras of our dialect send no STAP-A; other servers put SPS and PPS into one. MTAP and
// FU-B (interleaved mode only) are dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "netclient/wire/rtp_packet.h"
#include "platform/tick_clock.h"

namespace qvnet {

inline constexpr uint8_t kNalTypeIdr = 5;
inline constexpr uint8_t kNalTypeSps = 7;
inline constexpr uint8_t kNalTypeStapA = 24;
inline constexpr uint8_t kNalTypeFuA = 28;
inline constexpr uint8_t kFuStartBit = 0x80;
inline constexpr uint8_t kFuEndBit = 0x40;
inline constexpr uint8_t kNalForbiddenBit = 0x80;

// The two FU-A bytes (or a NAL header and one byte): a shorter payload carries no NAL data.
inline constexpr size_t kMinH264Payload = 2;

// Running figures behind the key-frame span statistic: the tick of the last sequence
// parameter set and the sum of the spans from it to the end of the IDR picture that follows.
struct KeyFrameSpan {
  static constexpr int kSamples = 10;
  int count = 0;
  uint32_t sum = 0;
  qvp::Tick sps_tick = 0;
};

// The fragmented NAL unit being received (FU-A, RFC 6184 §5.8). Its fragments are held until
// the end fragment arrives and are then passed on exactly as they came (the same conduit
// pieces, one record per fragment), so that a unit that lost a fragment reaches neither the
// conduit nor a recording: a continuation without its start fragment is dropped, a new start
// or any other packet before the end drops the unfinished unit (the fragments of one unit are
// sent back to back), and a unit that would outgrow kFuAssemblyCapacity is dropped whole. Made
// once per receiver; its buffer keeps the size of the largest unit seen.
inline constexpr size_t kFuAssemblyCapacity = 2u << 20;

class FuAssembly {
 public:
  struct Fragment {
    size_t offset = 0;  // into Data()
    size_t length = 0;
    bool start = false;
  };

  bool Active() const { return active_; }
  // A start fragment: forgets an unfinished unit and begins one with the rebuilt NAL header.
  void Begin(uint8_t nal_header, uint8_t nal_type);
  // Adds a fragment's data; false (and the unit dropped) when it would not fit.
  bool Append(const uint8_t* data, size_t length, bool start);
  void Drop();

  uint8_t NalHeader() const { return nal_header_; }
  uint8_t NalType() const { return nal_type_; }
  const uint8_t* Data() const { return data_.data(); }
  const std::vector<Fragment>& Fragments() const { return fragments_; }

 private:
  bool active_ = false;
  uint8_t nal_header_ = 0;
  uint8_t nal_type_ = 0;
  std::vector<uint8_t> data_;
  std::vector<Fragment> fragments_;
};

// Takes one RTP packet apart (rtp_header.h finds its payload). Writes the pieces to ctx.media's
// video conduit and records them, counts the payload bytes and updates the key-frame span.
// FU-A fragments go through ctx.fu (FuAssembly). False when the packet was dropped (too short,
// the forbidden bit set, a malformed STAP-A, a packet type other than single NAL unit, STAP-A
// and FU-A, an FU-A fragment without an assembly or without its unit's start, or one that
// outgrew the assembly).
bool HandleH264Packet(const PacketContext& ctx, const uint8_t* packet, size_t length);

}  // namespace qvnet
