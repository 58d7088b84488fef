#include "netclient/wire/jpeg_depacketizer.h"

#include <cstring>
#include <new>

#include "netclient/media/record/frame_unit.h"
#include "netclient/media/record/record_pair.h"
#include "netclient/wire/media_output.h"
#include "netclient/wire/stream_facts.h"

namespace qvnet {

bool JpegAssembly::Allocate() {
  if (buffer_ != nullptr) return true;
  buffer_.reset(new (std::nothrow) uint8_t[kJpegAssemblyCapacity]);
  fill_ = 0;
  dropping_ = false;
  return buffer_ != nullptr;
}

void JpegAssembly::Append(const uint8_t* data, size_t length) {
  if (dropping_ || buffer_ == nullptr) return;
  if (length > kJpegAssemblyCapacity - fill_) {
    Drop();
    return;
  }
  std::memcpy(buffer_.get() + fill_, data, length);
  fill_ += length;
}

namespace {

uint32_t FragmentOffset(const uint8_t* packet) {
  const uint8_t* h = packet + kRtpHeaderSize;  // type-specific byte, then 24-bit offset
  return (static_cast<uint32_t>(h[1]) << 16) | (static_cast<uint32_t>(h[2]) << 8) | h[3];
}

void DeliverPicture(const PacketContext& ctx, const JpegAssembly& jpeg) {
  if (ctx.media != nullptr) ctx.media->WriteVideo(jpeg.Data(), jpeg.Fill(), true);
  if (ctx.record == nullptr) return;
  const bool over_udp = ctx.transport == MediaTransport::kUdp;
  ctx.record->RecordUnit(JpegUnit(over_udp, static_cast<uint16_t>(ctx.client.width.load()),
                                  static_cast<uint16_t>(ctx.client.height.load()),
                                  Bytes(jpeg.Data(), jpeg.Fill())));
}

}  // namespace

bool HandleJpegPacket(const PacketContext& ctx, const uint8_t* packet, size_t length) {
  JpegAssembly* jpeg = ctx.jpeg;
  if (packet == nullptr || length < kMinJpegPacket || jpeg == nullptr || !jpeg->Allocated()) return false;
  size_t skip = kMinJpegPacket;
  if (FragmentOffset(packet) == 0) {
    jpeg->Begin();
    skip = kJpegFirstFragmentSkip;
    // A first fragment too short for its own tables cannot start a picture.
    if (length < skip) {
      jpeg->Drop();
      return false;
    }
  }
  jpeg->Append(packet + skip, length - skip);
  if (!RtpMarker(packet)) return true;
  // A picture dropped for its size stays dropped until the next one begins.
  if (!jpeg->Dropping() && jpeg->Fill() > 0) DeliverPicture(ctx, *jpeg);
  jpeg->Clear();
  return true;
}

}  // namespace qvnet
