// libavcodec encoders for the simulator's clips: libx264 (baseline, SPS and PPS before every
// IDR) and mjpeg.
#include <cstdio>

#include "tools/camsim/annexb.h"
#include "tools/camsim/av_util.h"
#include "tools/camsim/jpeg_tables.h"
#include "tools/camsim/test_pattern.h"
#include "tools/camsim/video_clip.h"

extern "C" {
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

namespace camsim {

namespace {

// Pulls every finished packet out of the encoder into `on_packet`. False on an encoder error.
template <typename OnPacket>
bool DrainPackets(AVCodecContext* ctx, AVPacket* packet, OnPacket on_packet, std::string* error) {
  for (;;) {
    const int rc = avcodec_receive_packet(ctx, packet);
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
    if (rc < 0) {
      *error = "encoder: " + AvErrorText(rc);
      return false;
    }
    const bool ok = on_packet(*packet);
    av_packet_unref(packet);
    if (!ok) {
      *error = "encoder produced an unusable picture";
      return false;
    }
  }
}

// Encodes `count` test-pattern frames with an opened encoder, then flushes it.
template <typename OnPacket>
bool EncodeFrames(AVCodecContext* ctx, int count, OnPacket on_packet, std::string* error) {
  FramePtr frame(av_frame_alloc());
  PacketPtr packet(av_packet_alloc());
  if (!frame || !packet) {
    *error = "out of memory";
    return false;
  }
  frame->format = ctx->pix_fmt;
  frame->width = ctx->width;
  frame->height = ctx->height;
  if (av_frame_get_buffer(frame.get(), 0) < 0) {
    *error = "out of memory for a picture";
    return false;
  }
  for (int i = 0; i < count; ++i) {
    if (av_frame_make_writable(frame.get()) < 0) {
      *error = "picture not writable";
      return false;
    }
    FillTestPattern({frame->data[0], frame->data[1], frame->data[2], frame->linesize[0],
                     frame->linesize[1], ctx->width, ctx->height},
                    i);
    frame->pts = i;
    frame->quality = ctx->global_quality;
    if (avcodec_send_frame(ctx, frame.get()) < 0) {
      *error = "encoder refused a picture";
      return false;
    }
    if (!DrainPackets(ctx, packet.get(), on_packet, error)) return false;
  }
  avcodec_send_frame(ctx, nullptr);
  return DrainPackets(ctx, packet.get(), on_packet, error);
}

CodecContextPtr NewContext(const char* encoder, const CameraOptions& options, std::string* error) {
  const AVCodec* codec = avcodec_find_encoder_by_name(encoder);
  if (codec == nullptr) {
    *error = std::string("libavcodec has no encoder ") + encoder;
    return nullptr;
  }
  CodecContextPtr ctx(avcodec_alloc_context3(codec));
  if (!ctx) {
    *error = "out of memory";
    return nullptr;
  }
  ctx->width = options.width;
  ctx->height = options.height;
  ctx->time_base = AVRational{1, options.fps};
  ctx->framerate = AVRational{options.fps, 1};
  ctx->thread_count = 1;
  return ctx;
}

bool Open(AVCodecContext* ctx, std::string* error) {
  // The encoders' statistics would bury a test's own output; errors still show.
  if (av_log_get_level() > AV_LOG_ERROR) av_log_set_level(AV_LOG_ERROR);
  const int rc = avcodec_open2(ctx, ctx->codec, nullptr);
  if (rc < 0) *error = std::string("cannot open encoder ") + ctx->codec->name + ": " + AvErrorText(rc);
  return rc >= 0;
}

}  // namespace

std::shared_ptr<VideoClip> EncodeH264Clip(const CameraOptions& options, std::string* error) {
  CodecContextPtr ctx = NewContext("libx264", options, error);
  if (!ctx) return nullptr;
  // One-second GOPs, no scene-cut IDRs, so the clip is a whole number of GOPs and loops
  // cleanly; repeat-headers puts SPS and PPS before every IDR, where recorders index.
  const int gop = options.fps;
  ctx->pix_fmt = AV_PIX_FMT_YUV420P;
  ctx->bit_rate = static_cast<int64_t>(options.kbps) * 1000;
  ctx->gop_size = gop;
  ctx->max_b_frames = 0;
  av_opt_set(ctx->priv_data, "preset", "ultrafast", 0);
  av_opt_set(ctx->priv_data, "profile", "baseline", 0);
  char params[128];
  std::snprintf(params, sizeof(params), "repeat-headers=1:scenecut=0:keyint=%d:min-keyint=%d", gop, gop);
  av_opt_set(ctx->priv_data, "x264-params", params, 0);
  if (!Open(ctx.get(), error)) return nullptr;

  auto clip = std::make_shared<VideoClip>();
  clip->codec = VideoCodec::kH264;
  clip->width = options.width;
  clip->height = options.height;
  clip->fps = options.fps;
  auto on_packet = [&](const AVPacket& packet) {
    AccessUnit unit;
    unit.nals = SplitAnnexB(packet.data, static_cast<size_t>(packet.size));
    for (const Bytes& nal : unit.nals) {
      const uint8_t type = NalTypeOf(nal);
      if (type == kNalIdr) unit.key = true;
      if (type == kNalSps && clip->sps.empty()) clip->sps = nal;
      if (type == kNalPps && clip->pps.empty()) clip->pps = nal;
    }
    if (unit.nals.empty()) return false;
    clip->units.push_back(std::move(unit));
    return true;
  };
  if (!EncodeFrames(ctx.get(), options.clip_seconds * gop, on_packet, error)) return nullptr;
  if (clip->units.empty() || !clip->units.front().key) {
    *error = "the H.264 encoder did not start with an IDR picture";
    return nullptr;
  }
  return clip;
}

std::shared_ptr<VideoClip> EncodeJpegClip(const CameraOptions& options, std::string* error) {
  CodecContextPtr ctx = NewContext("mjpeg", options, error);
  if (!ctx) return nullptr;
  ctx->pix_fmt = AV_PIX_FMT_YUVJ420P;
  ctx->color_range = AVCOL_RANGE_JPEG;
  ctx->flags |= AV_CODEC_FLAG_QSCALE;
  ctx->global_quality = FF_QP2LAMBDA * options.jpeg_qscale;
  if (!Open(ctx.get(), error)) return nullptr;

  auto clip = std::make_shared<VideoClip>();
  clip->codec = VideoCodec::kJpeg;
  clip->width = options.width;
  clip->height = options.height;
  clip->fps = options.fps;
  auto on_packet = [&](const AVPacket& packet) {
    AccessUnit unit;
    unit.key = true;
    unit.nals.emplace_back(packet.data, packet.data + packet.size);
    if (!ExtractQuantTables(unit.nals.front(), &unit.qtables)) return false;
    clip->units.push_back(std::move(unit));
    return true;
  };
  if (!EncodeFrames(ctx.get(), options.clip_seconds * options.fps, on_packet, error)) return nullptr;
  return clip;
}

}  // namespace camsim
