#include "netclient/wire/jpeg_depacketizer.h"

#include <array>
#include <cstring>
#include <new>
#include <optional>

#include "netclient/media/record/frame_unit.h"
#include "netclient/media/record/record_pair.h"
#include "netclient/wire/media_output.h"
#include "netclient/wire/rtp_header.h"
#include "netclient/wire/stream_facts.h"

namespace qvnet {

bool JpegAssembly::Allocate() {
  if (buffer_ != nullptr) return true;
  buffer_.reset(new (std::nothrow) uint8_t[kJpegAssemblyCapacity]);
  fill_ = 0;
  dropping_ = false;
  return buffer_ != nullptr;
}

void JpegAssembly::Begin(const uint8_t* header, size_t header_length) {
  fill_ = 0;
  data_bytes_ = 0;
  dropping_ = false;
  started_ = true;
  rebuilt_ = false;
  if (header_length > 0 && buffer_ != nullptr && header_length <= kJpegAssemblyCapacity) {
    std::memcpy(buffer_.get(), header, header_length);
    fill_ = header_length;
  }
}

void JpegAssembly::Append(const uint8_t* data, size_t length) {
  data_bytes_ += length;
  if (dropping_ || buffer_ == nullptr) return;
  if (length > kJpegAssemblyCapacity - fill_) {
    Drop();
    return;
  }
  std::memcpy(buffer_.get() + fill_, data, length);
  fill_ += length;
}

namespace {

constexpr size_t kDialectTableBytes = 128;
constexpr std::array<uint8_t, 2> kEndOfImage{0xFF, 0xD9};

void DeliverPicture(const PacketContext& ctx, const JpegAssembly& jpeg) {
  if (ctx.media != nullptr) ctx.media->WriteVideo(jpeg.Data(), jpeg.Fill(), true);
  if (ctx.record == nullptr) return;
  const bool over_udp = ctx.transport == MediaTransport::kUdp;
  ctx.record->RecordUnit(JpegUnit(over_udp, static_cast<uint16_t>(ctx.client.width.load()),
                                  static_cast<uint16_t>(ctx.client.height.load()),
                                  Bytes(jpeg.Data(), jpeg.Fill())));
}

// The dialect's first fragment: quantization-table header, 128 bytes of tables, then SOI.
bool IsDialectFirstFragment(const uint8_t* data, size_t length) {
  const size_t image = kRtpJpegQuantHeaderSize + kDialectTableBytes;
  return length >= image + 2 && data[image] == 0xFF && data[image + 1] == 0xD8;
}

// The tables of a picture in the RFC's form; `*used` is how many bytes of `data` (behind the
// RTP/JPEG headers) they took. Nullopt when they cannot be had.
std::optional<QuantTables> PictureTables(const RtpJpegHeader& h, const uint8_t* data, size_t length,
                                         JpegAssembly& jpeg, size_t* used) {
  *used = 0;
  if (h.q < 128) {
    if (h.q == 0 || h.q >= 100) return std::nullopt;  // 0 and 100..127 are reserved
    return MakeQuantTables(h.q);
  }
  if (length < kRtpJpegQuantHeaderSize) return std::nullopt;
  const uint8_t precision = data[1];
  const size_t table_length = (static_cast<size_t>(data[2]) << 8) | data[3];
  if (table_length > length - kRtpJpegQuantHeaderSize) return std::nullopt;
  *used = kRtpJpegQuantHeaderSize + table_length;
  // A length of 0: the tables of an earlier picture with tables still hold (§3.1.8).
  if (table_length == 0) {
    if (!jpeg.HasCachedTables()) return std::nullopt;
    return jpeg.CachedTables();
  }
  std::optional<QuantTables> tables =
      ReadQuantTables(precision, std::span<const uint8_t>(data + kRtpJpegQuantHeaderSize, table_length));
  if (tables) {
    jpeg.CachedTables() = *tables;
    jpeg.SetHasCachedTables();
  }
  return tables;
}

// The picture size the RTP/JPEG header tells, for the frame headers and for files started
// from now on: a server outside the dialect may announce no size at all.
void TakePictureSize(const PacketContext& ctx, const RtpJpegHeader& h) {
  if (ctx.client.width.load() == h.width && ctx.client.height.load() == h.height) return;
  ctx.client.width = h.width;
  ctx.client.height = h.height;
  if (ctx.record == nullptr) return;
  RecordHeader header = ctx.record->CurrentRecordHeader();
  header.width = h.width;
  header.height = h.height;
  ctx.record->SetRecordHeader(header);
}

// Starts a picture from its first fragment; false when it cannot be started.
bool BeginPicture(const PacketContext& ctx, JpegAssembly& jpeg, const RtpJpegHeader& h, const uint8_t* data,
                  size_t length) {
  if (IsDialectFirstFragment(data, length)) {
    const size_t skip = kRtpJpegQuantHeaderSize + kDialectTableBytes;
    jpeg.Begin();
    jpeg.Append(data + skip, length - skip);
    return true;
  }
  size_t used = 0;
  const std::optional<QuantTables> tables = PictureTables(h, data, length, jpeg, &used);
  std::array<uint8_t, kMaxRebuiltJpegHeader> header{};
  const size_t header_length = tables ? BuildJpegHeaders(h, *tables, header) : 0;
  if (header_length == 0) return false;
  TakePictureSize(ctx, h);
  jpeg.Begin(header.data(), header_length);
  jpeg.SetRebuilt(true);
  jpeg.Append(data + used, length - used);
  return true;
}

void FinishPicture(const PacketContext& ctx, JpegAssembly& jpeg) {
  // A picture dropped for its size stays dropped until the next one begins.
  if (jpeg.Started() && !jpeg.Dropping() && jpeg.Fill() > 0) {
    const uint8_t* end = jpeg.Data() + jpeg.Fill();
    const bool has_eoi = jpeg.Fill() >= 2 && end[-2] == 0xFF && end[-1] == 0xD9;
    // The RFC's form carries the scan data only; its end marker is ours to add.
    if (jpeg.Rebuilt() && !has_eoi) jpeg.Append(kEndOfImage.data(), kEndOfImage.size());
    if (!jpeg.Dropping()) DeliverPicture(ctx, jpeg);
  }
  jpeg.Clear();
}

}  // namespace

bool HandleJpegPacket(const PacketContext& ctx, const uint8_t* packet, size_t length) {
  JpegAssembly* jpeg = ctx.jpeg;
  if (jpeg == nullptr || !jpeg->Allocated()) return false;
  const std::optional<RtpHeaderView> rtp = ParseRtpHeader(packet, length);
  if (!rtp) return false;
  const uint8_t* payload = packet + rtp->payload_offset;
  const std::optional<RtpJpegHeader> h = ParseRtpJpegHeader(payload, rtp->payload_length);
  if (!h) return false;
  const uint8_t* data = payload + h->size;
  const size_t data_length = rtp->payload_length - h->size;
  if (h->fragment_offset == 0) {
    if (!BeginPicture(ctx, *jpeg, *h, data, data_length)) {
      jpeg->Drop();
      return false;
    }
  } else if (h->fragment_offset != jpeg->DataBytes()) {
    // A fragment went missing: the picture cannot be completed.
    jpeg->Drop();
  } else {
    jpeg->Append(data, data_length);
  }
  if (rtp->marker) FinishPicture(ctx, *jpeg);
  return true;
}

}  // namespace qvnet
