#include "netclient/media/codec/av_ptr.h"

#include <cstring>

namespace qvcodec {

CodecContextPtr OpenDecoder(AVCodecID id, int flags, int err_recognition) {
  const AVCodec* codec = avcodec_find_decoder(id);
  if (codec == nullptr) return nullptr;
  CodecContextPtr ctx(avcodec_alloc_context3(codec));
  if (!ctx) return nullptr;
  ctx->flags |= flags;
  ctx->err_recognition |= err_recognition;
  // One thread: frame threading would hold pictures back by the thread count.
  ctx->thread_count = 1;
  if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return nullptr;
  return ctx;
}

PacketPtr CopyToPacket(const uint8_t* data, int size) {
  if (data == nullptr || size <= 0) return nullptr;
  PacketPtr pkt(av_packet_alloc());
  if (!pkt || av_new_packet(pkt.get(), size) < 0) return nullptr;
  std::memcpy(pkt->data, data, static_cast<size_t>(size));
  return pkt;
}

}  // namespace qvcodec
