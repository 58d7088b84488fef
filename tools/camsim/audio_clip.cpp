#include "tools/camsim/audio_clip.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "tools/camsim/av_util.h"
#include "tools/camsim/test_pattern.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace camsim {

const AudioCodecInfo* GetAudioCodecInfo(AudioCodec codec) {
  // g726le (adpcm_g726le) packs code words from the least significant bit, as RFC 3551 §4.5.4 asks.
  static const AudioCodecInfo kPcma{8, "a=rtpmap:8 PCMA/8000", "pcm_alaw", 8};
  static const AudioCodecInfo kPcmu{0, "a=rtpmap:0 PCMU/8000", "pcm_mulaw", 8};
  static const AudioCodecInfo kG726_16{97, "a=rtpmap:97 G726-16/8000", "g726le", 2};
  static const AudioCodecInfo kG726_24{97, "a=rtpmap:97 G726-24/8000", "g726le", 3};
  static const AudioCodecInfo kG726_32{97, "a=rtpmap:97 G726-32/8000", "g726le", 4};
  static const AudioCodecInfo kG726_40{97, "a=rtpmap:97 G726-40/8000", "g726le", 5};
  static const AudioCodecInfo kUnknown{98, "a=rtpmap:98 X-VENDOR-VOICE/8000", "pcm_alaw", 8};
  switch (codec) {
    case AudioCodec::kPcma: return &kPcma;
    case AudioCodec::kPcmu: return &kPcmu;
    case AudioCodec::kG726_16: return &kG726_16;
    case AudioCodec::kG726_24: return &kG726_24;
    case AudioCodec::kG726_32: return &kG726_32;
    case AudioCodec::kG726_40: return &kG726_40;
    case AudioCodec::kUnknown: return &kUnknown;
    case AudioCodec::kNone: break;
  }
  return nullptr;
}

namespace {

CodecContextPtr OpenAudioEncoder(const AudioCodecInfo& info, std::string* error) {
  const AVCodec* codec = avcodec_find_encoder_by_name(info.av_encoder);
  if (codec == nullptr) {
    *error = std::string("libavcodec has no encoder ") + info.av_encoder;
    return nullptr;
  }
  CodecContextPtr ctx(avcodec_alloc_context3(codec));
  if (!ctx) {
    *error = "out of memory";
    return nullptr;
  }
  ctx->sample_rate = 8000;
  ctx->sample_fmt = AV_SAMPLE_FMT_S16;
  av_channel_layout_default(&ctx->ch_layout, 1);
  ctx->bit_rate = 8000L * info.bits_per_sample;
  const int rc = avcodec_open2(ctx.get(), codec, nullptr);
  if (rc < 0) {
    *error = std::string("cannot open encoder ") + info.av_encoder + ": " + AvErrorText(rc);
    return nullptr;
  }
  return ctx;
}

// Feeds one frame (or the flush) and appends what comes out to `out`.
bool EncodeStep(AVCodecContext* ctx, const AVFrame* frame, AVPacket* packet, Bytes* out) {
  if (avcodec_send_frame(ctx, frame) < 0) return false;
  for (;;) {
    const int rc = avcodec_receive_packet(ctx, packet);
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
    if (rc < 0) return false;
    out->insert(out->end(), packet->data, packet->data + packet->size);
    av_packet_unref(packet);
  }
}

}  // namespace

std::shared_ptr<AudioClip> EncodeAudioClip(AudioCodec codec, int seconds, std::string* error) {
  const AudioCodecInfo* info = GetAudioCodecInfo(codec);
  if (info == nullptr) {
    *error = "no audio codec";
    return nullptr;
  }
  CodecContextPtr ctx = OpenAudioEncoder(*info, error);
  if (!ctx) return nullptr;
  const int total = std::max(1, seconds) * 8000;
  const std::vector<int16_t> pcm = MakeSpeechLikeSignal(total);
  const int frame_size = ctx->frame_size > 0 ? ctx->frame_size : kSamplesPerPacket;
  FramePtr frame(av_frame_alloc());
  PacketPtr packet(av_packet_alloc());
  if (!frame || !packet) {
    *error = "out of memory";
    return nullptr;
  }
  frame->format = AV_SAMPLE_FMT_S16;
  frame->sample_rate = 8000;
  frame->nb_samples = frame_size;
  av_channel_layout_default(&frame->ch_layout, 1);
  if (av_frame_get_buffer(frame.get(), 0) < 0) {
    *error = "out of memory";
    return nullptr;
  }
  Bytes stream;
  for (int pos = 0; pos < total; pos += frame_size) {
    if (av_frame_make_writable(frame.get()) < 0) break;
    // Fixed-size encoders get a zero-padded last frame; its surplus output is cut below.
    auto* samples = reinterpret_cast<int16_t*>(frame->data[0]);
    const int n = std::min(frame_size, total - pos);
    std::memset(samples, 0, static_cast<size_t>(frame_size) * sizeof(int16_t));
    std::memcpy(samples, pcm.data() + pos, static_cast<size_t>(n) * sizeof(int16_t));
    frame->pts = pos;
    if (!EncodeStep(ctx.get(), frame.get(), packet.get(), &stream)) {
      *error = std::string("encoder ") + info->av_encoder + " failed";
      return nullptr;
    }
  }
  EncodeStep(ctx.get(), nullptr, packet.get(), &stream);

  auto clip = std::make_shared<AudioClip>();
  clip->codec = codec;
  const size_t bytes_per_packet = kSamplesPerPacket * static_cast<size_t>(info->bits_per_sample) / 8;
  const size_t packets = std::min(stream.size(), static_cast<size_t>(total) * info->bits_per_sample / 8) /
                         bytes_per_packet;
  for (size_t i = 0; i < packets; ++i) {
    const auto begin = stream.begin() + static_cast<std::ptrdiff_t>(i * bytes_per_packet);
    clip->packets.emplace_back(begin, begin + static_cast<std::ptrdiff_t>(bytes_per_packet));
  }
  if (clip->packets.empty()) {
    *error = std::string("encoder ") + info->av_encoder + " produced nothing";
    return nullptr;
  }
  return clip;
}

std::shared_ptr<const AudioClip> GetAudioClip(AudioCodec codec, int seconds, std::string* error) {
  static std::mutex mutex;
  static std::map<std::pair<int, int>, std::weak_ptr<const AudioClip>> cache;
  std::lock_guard<std::mutex> lock(mutex);
  auto& entry = cache[{static_cast<int>(codec), seconds}];
  if (auto clip = entry.lock()) return clip;
  std::shared_ptr<const AudioClip> clip = EncodeAudioClip(codec, seconds, error);
  if (clip) entry = clip;
  return clip;
}

}  // namespace camsim
