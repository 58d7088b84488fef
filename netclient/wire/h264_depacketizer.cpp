#include "netclient/wire/h264_depacketizer.h"

#include <array>
#include <optional>
#include <span>

#include "netclient/media/record/frame_unit.h"
#include "netclient/media/record/record_pair.h"
#include "netclient/wire/media_output.h"
#include "netclient/wire/rtp_header.h"
#include "netclient/wire/stream_facts.h"

namespace qvnet {
namespace {

constexpr std::array<uint8_t, 3> kStartCode{0, 0, 1};

void ToConduit(const PacketContext& ctx, const uint8_t* data, size_t length, bool end_of_message) {
  if (ctx.media != nullptr) ctx.media->WriteVideo(data, length, end_of_message);
}

uint16_t PictureSize(const PacketContext& ctx, int32_t value) {
  if (!ctx.client.Flavor().fill_h264_size) return 0;
  return static_cast<uint16_t>(value);
}

void Record(const PacketContext& ctx, uint8_t nal_type, Bytes a, Bytes b = {}, Bytes c = {}) {
  if (ctx.record == nullptr) return;
  ctx.record->RecordUnit(H264Unit(nal_type, PictureSize(ctx, ctx.client.width.load()),
                                  PictureSize(ctx, ctx.client.height.load()), a, b, c));
}

void SpanAtSps(const PacketContext& ctx) {
  KeyFrameSpan* span = ctx.span;
  if (span == nullptr) return;
  if (span->count >= KeyFrameSpan::kSamples) {
    span->count = 0;
    span->sum = 0;
  }
  span->sps_tick = ctx.now;
  ++span->count;
}

// The statistic is sum x 2 / (frame interval in ms) / samples. Without a sequence parameter
// set there is no span to add; a frame rate of 0 (or one so high that the interval rounds to
// 0) has no interval to divide by: the span is still summed, the statistic keeps its value.
void SpanAtIdrEnd(const PacketContext& ctx) {
  KeyFrameSpan* span = ctx.span;
  if (span == nullptr || span->count == 0) return;
  span->sum += qvp::TicksSince(span->sps_tick, ctx.now);
  const int32_t frame_rate = ctx.client.frame_rate.load();
  if (frame_rate <= 0 || frame_rate > 1000) return;
  const uint32_t interval = 1000u / static_cast<uint32_t>(frame_rate);
  const uint32_t value = span->sum * 2u / interval / static_cast<uint32_t>(span->count);
  ctx.client.key_frame_span = static_cast<int32_t>(value);
}

void SingleNalUnit(const PacketContext& ctx, uint8_t nal_type, const uint8_t* payload, size_t payload_length) {
  // Over TCP a slice (types 1 and 5) closes the conduit message; over UDP a single NAL unit
  // never does, only the last fragment of an FU-A.
  const bool tcp = ctx.transport == MediaTransport::kTcp;
  ToConduit(ctx, kStartCode.data(), kStartCode.size(), false);
  ToConduit(ctx, payload, payload_length, tcp && (nal_type == 1 || nal_type == kNalTypeIdr));
  if (nal_type == kNalTypeSps) SpanAtSps(ctx);
  Record(ctx, nal_type, kStartCode, Bytes(payload, payload_length));
}

// Passes one held fragment on as it came: a start fragment as start code, NAL header and data,
// a continuation as its data; the end fragment closes the conduit message.
void PassFragment(const PacketContext& ctx, const FuAssembly& fu, const FuAssembly::Fragment& f, bool end) {
  const uint8_t nal_header = fu.NalHeader();
  const Bytes data(fu.Data() + f.offset, f.length);
  if (f.start) {
    ToConduit(ctx, kStartCode.data(), kStartCode.size(), false);
    ToConduit(ctx, &nal_header, 1, false);
    ToConduit(ctx, data.data(), data.size(), end);
    Record(ctx, fu.NalType(), kStartCode, Bytes(&nal_header, 1), data);
  } else {
    ToConduit(ctx, data.data(), data.size(), end);
    Record(ctx, fu.NalType(), data);
  }
}

// STAP-A (RFC 6184 §5.7.1): the aggregated units, each a 16-bit size and a NAL unit, go on one
// by one as single NAL units, so that the conduit and the record files see what they would
// have seen had the server sent them apart. The whole packet is checked first: a size that
// runs past its end (or a unit of size 0) drops the packet, never a part of it. A unit with
// the forbidden bit is left out on its own.
bool StapA(const PacketContext& ctx, const uint8_t* payload, size_t payload_length) {
  size_t units = 0;
  for (size_t pos = 1; pos < payload_length; ++units) {
    if (payload_length - pos < 2) return false;
    const size_t size = (static_cast<size_t>(payload[pos]) << 8) | payload[pos + 1];
    pos += 2;
    if (size == 0 || size > payload_length - pos) return false;
    pos += size;
  }
  if (units == 0) return false;
  for (size_t pos = 1; pos < payload_length;) {
    const size_t size = (static_cast<size_t>(payload[pos]) << 8) | payload[pos + 1];
    const uint8_t* nal = payload + pos + 2;
    pos += 2 + size;
    const auto type = static_cast<uint8_t>(nal[0] & 0x1F);
    if ((nal[0] & kNalForbiddenBit) != 0 || type < 1 || type > 23) continue;
    SingleNalUnit(ctx, type, nal, size);
  }
  return true;
}

// False when the fragment was dropped.
bool FuA(const PacketContext& ctx, const uint8_t* payload, size_t payload_length) {
  FuAssembly* fu = ctx.fu;
  if (fu == nullptr) return false;
  const uint8_t indicator = payload[0];
  const uint8_t fu_header = payload[1];
  const auto nal_type = static_cast<uint8_t>(fu_header & 0x1F);
  const bool start = (fu_header & kFuStartBit) != 0;
  const bool end = (fu_header & kFuEndBit) != 0;
  if (start) {
    // The NAL header the fragments were cut from: F and NRI of the indicator, type of the FU
    // header (RFC 6184 §5.8).
    fu->Begin(static_cast<uint8_t>((indicator & 0xE0) | nal_type), nal_type);
  } else if (!fu->Active()) {
    return false;  // its start fragment was lost: the rest of the unit cannot be used
  }
  if (!fu->Append(payload + 2, payload_length - 2, start)) return false;
  if (nal_type == kNalTypeSps) SpanAtSps(ctx);
  if (!end) return true;
  const std::vector<FuAssembly::Fragment>& fragments = fu->Fragments();
  for (size_t i = 0; i < fragments.size(); ++i) PassFragment(ctx, *fu, fragments[i], i + 1 == fragments.size());
  if (fu->NalType() == kNalTypeIdr) SpanAtIdrEnd(ctx);
  fu->Drop();
  return true;
}

}  // namespace

void FuAssembly::Begin(uint8_t nal_header, uint8_t nal_type) {
  Drop();
  active_ = true;
  nal_header_ = nal_header;
  nal_type_ = nal_type;
}

bool FuAssembly::Append(const uint8_t* data, size_t length, bool start) {
  if (!active_) return false;
  if (length > kFuAssemblyCapacity - data_.size()) {
    Drop();
    return false;
  }
  fragments_.push_back(Fragment{data_.size(), length, start});
  data_.insert(data_.end(), data, data + length);
  return true;
}

void FuAssembly::Drop() {
  active_ = false;
  data_.clear();
  fragments_.clear();
}

bool HandleH264Packet(const PacketContext& ctx, const uint8_t* packet, size_t length) {
  const std::optional<RtpHeaderView> rtp = ParseRtpHeader(packet, length);
  if (!rtp || rtp->payload_length < kMinH264Payload) return false;
  const uint8_t* payload = packet + rtp->payload_offset;
  const size_t payload_length = rtp->payload_length;
  // A set forbidden bit marks a unit with errors (RFC 6184 §5.3): never record or decode it,
  // nor the fragmented unit it belongs to.
  if ((payload[0] & kNalForbiddenBit) != 0) {
    if (ctx.fu != nullptr) ctx.fu->Drop();
    return false;
  }
  const auto type = static_cast<uint8_t>(payload[0] & 0x1F);
  // The fragments of one unit come back to back: any other packet means the unit lost its end.
  if (type != kNalTypeFuA && ctx.fu != nullptr) ctx.fu->Drop();
  bool taken = false;
  if (type >= 1 && type <= 23) {
    SingleNalUnit(ctx, type, payload, payload_length);
    taken = true;
  } else if (type == kNalTypeStapA) {
    taken = StapA(ctx, payload, payload_length);
  } else if (type == kNalTypeFuA) {
    taken = FuA(ctx, payload, payload_length);
  }
  if (!taken) return false;
  ctx.client.received_bytes.fetch_add(static_cast<uint32_t>(payload_length), std::memory_order_relaxed);
  return true;
}

}  // namespace qvnet
