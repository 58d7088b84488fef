// Owners for the libavcodec / libswscale objects the decoders hold, so that every early
// return releases them.
#pragma once

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

namespace qvcodec {

struct CodecContextFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ParserClose {
  void operator()(AVCodecParserContext* p) const { av_parser_close(p); }
};
struct SwsFree {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct AvFree {
  void operator()(uint8_t* p) const { av_free(p); }
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using ParserPtr = std::unique_ptr<AVCodecParserContext, ParserClose>;
using SwsPtr = std::unique_ptr<SwsContext, SwsFree>;
using AvBuffer = std::unique_ptr<uint8_t, AvFree>;

// Opens a single-threaded decoder for `id` with `flags` and `err_recognition` added; null
// when the codec is missing or will not open.
CodecContextPtr OpenDecoder(AVCodecID id, int flags, int err_recognition = 0);

// A packet owning a padded copy of `size` bytes, as libavcodec requires of its input;
// null when allocation fails.
PacketPtr CopyToPacket(const uint8_t* data, int size);

}  // namespace qvcodec
