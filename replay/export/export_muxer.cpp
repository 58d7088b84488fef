#include "replay/export/export_muxer.h"

#include <cstdio>
#include <cstring>
#include <strings.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace qvexport {
namespace {

constexpr AVRational kMilliseconds{1, 1000};
constexpr AVRational kAudioSamples{1, 8000};

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

const char* MuxerName(ContainerKind kind) {
  switch (kind) {
    case ContainerKind::kMp4: return "mp4";
    case ContainerKind::kMov: return "mov";
    case ContainerKind::kMatroska: return "matroska";
  }
  return "mp4";
}

AVCodecID AudioCodecOf(AudioFormat format) {
  switch (format) {
    case AudioFormat::kMulaw: return AV_CODEC_ID_PCM_MULAW;
    case AudioFormat::kAlaw: return AV_CODEC_ID_PCM_ALAW;
    case AudioFormat::kPcm16: return AV_CODEC_ID_PCM_S16LE;
  }
  return AV_CODEC_ID_NONE;
}

bool EndsWith(const std::string& text, const char* suffix) {
  const size_t n = std::strlen(suffix);
  return text.size() > n && strcasecmp(text.c_str() + text.size() - n, suffix) == 0;
}

}  // namespace

bool ContainerOf(const std::string& path, ContainerKind* kind) {
  if (EndsWith(path, ".mp4")) {
    *kind = ContainerKind::kMp4;
  } else if (EndsWith(path, ".mov")) {
    *kind = ContainerKind::kMov;
  } else if (EndsWith(path, ".mkv")) {
    *kind = ContainerKind::kMatroska;
  } else {
    return false;
  }
  return true;
}

ExportMuxer::~ExportMuxer() { Abandon(); }

bool ExportMuxer::Open(const std::string& path, std::string* error) {
  ContainerKind kind;
  if (!ContainerOf(path, &kind)) {
    *error = "the output must end in .mp4, .mov or .mkv";
    return false;
  }
  const int rc = avformat_alloc_output_context2(&ctx_, nullptr, MuxerName(kind), nullptr);
  if (rc < 0 || ctx_ == nullptr) {
    *error = "cannot make the " + std::string(MuxerName(kind)) + " muxer: " + AvError(rc);
    return false;
  }
  kind_ = kind;
  path_ = path;
  temp_path_ = path + ".part";
  return true;
}

bool ExportMuxer::CanCarry(AudioFormat format) const {
  if (ctx_ == nullptr) return false;
  // Matroska carries G.711 as A_MS/ACM with its WAV format tag, though its muxer does not
  // list the codecs when asked.
  if (kind_ == ContainerKind::kMatroska) return true;
  return avformat_query_codec(ctx_->oformat, AudioCodecOf(format), FF_COMPLIANCE_NORMAL) == 1;
}

bool ExportMuxer::AddVideo(const VideoTrack& track, std::string* error) {
  AVStream* st = avformat_new_stream(ctx_, nullptr);
  if (st == nullptr) {
    *error = "cannot add the video stream";
    return false;
  }
  AVCodecParameters* par = st->codecpar;
  par->codec_type = AVMEDIA_TYPE_VIDEO;
  par->codec_id = track.jpeg ? AV_CODEC_ID_MJPEG : AV_CODEC_ID_H264;
  par->width = track.width;
  par->height = track.height;
  par->format = track.jpeg ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
  if (!track.parameter_sets.empty()) {
    par->extradata = static_cast<uint8_t*>(av_mallocz(track.parameter_sets.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (par->extradata == nullptr) {
      *error = "out of memory";
      return false;
    }
    std::memcpy(par->extradata, track.parameter_sets.data(), track.parameter_sets.size());
    par->extradata_size = static_cast<int>(track.parameter_sets.size());
  }
  // No nominal frame rate: the pictures' own times and durations say it (a recorded rate may
  // be the default, not the camera's).
  st->time_base = kMilliseconds;
  video_ = st->index;
  return true;
}

bool ExportMuxer::AddAudio(AudioFormat format, std::string* error) {
  AVStream* st = avformat_new_stream(ctx_, nullptr);
  if (st == nullptr) {
    *error = "cannot add the audio stream";
    return false;
  }
  AVCodecParameters* par = st->codecpar;
  par->codec_type = AVMEDIA_TYPE_AUDIO;
  par->codec_id = AudioCodecOf(format);
  par->sample_rate = 8000;
  av_channel_layout_default(&par->ch_layout, 1);
  par->bits_per_coded_sample = format == AudioFormat::kPcm16 ? 16 : 8;
  par->block_align = format == AudioFormat::kPcm16 ? 2 : 1;
  par->bit_rate = 8000LL * par->bits_per_coded_sample;
  st->time_base = kAudioSamples;
  audio_ = st->index;
  return true;
}

bool ExportMuxer::Begin(std::string* error) {
  int rc = avio_open(&ctx_->pb, temp_path_.c_str(), AVIO_FLAG_WRITE);
  if (rc < 0) {
    *error = "cannot write " + temp_path_ + ": " + AvError(rc);
    return false;
  }
  rc = avformat_write_header(ctx_, nullptr);
  if (rc < 0) {
    *error = "cannot write the file header: " + AvError(rc);
    return false;
  }
  header_written_ = true;
  return true;
}

bool ExportMuxer::WritePacket(int stream, std::span<const uint8_t> data, int64_t pts, int64_t duration,
                              AVRational time_base, bool key, std::string* error) {
  AVPacket* pkt = av_packet_alloc();
  if (pkt == nullptr || av_new_packet(pkt, static_cast<int>(data.size())) < 0) {
    av_packet_free(&pkt);
    *error = "out of memory";
    return false;
  }
  std::memcpy(pkt->data, data.data(), data.size());
  pkt->stream_index = stream;
  pkt->pts = pkt->dts = pts;
  pkt->duration = duration;
  if (key) pkt->flags |= AV_PKT_FLAG_KEY;
  av_packet_rescale_ts(pkt, time_base, ctx_->streams[stream]->time_base);
  const int rc = av_interleaved_write_frame(ctx_, pkt);
  av_packet_free(&pkt);
  if (rc < 0) *error = "cannot write to the file: " + AvError(rc);
  return rc >= 0;
}

bool ExportMuxer::WriteVideo(std::span<const uint8_t> data, int64_t pts_ms, int64_t duration_ms, bool key,
                             std::string* error) {
  return WritePacket(video_, data, pts_ms, duration_ms, kMilliseconds, key, error);
}

bool ExportMuxer::WriteAudio(std::span<const uint8_t> data, int64_t pts_samples, int64_t samples, std::string* error) {
  return WritePacket(audio_, data, pts_samples, samples, kAudioSamples, true, error);
}

bool ExportMuxer::Finish(std::string* error) {
  if (ctx_ == nullptr || !header_written_) {
    *error = "nothing was written";
    return false;
  }
  const int rc = av_write_trailer(ctx_);
  const int closed = avio_closep(&ctx_->pb);
  avformat_free_context(ctx_);
  ctx_ = nullptr;
  if (rc < 0 || closed < 0) {
    *error = "cannot finish the file: " + AvError(rc < 0 ? rc : closed);
    unlink(temp_path_.c_str());
    return false;
  }
  if (std::rename(temp_path_.c_str(), path_.c_str()) != 0) {
    *error = "cannot rename " + temp_path_ + " to " + path_;
    unlink(temp_path_.c_str());
    return false;
  }
  return true;
}

void ExportMuxer::Abandon() {
  if (ctx_ == nullptr) return;
  if (ctx_->pb != nullptr) {
    avio_closep(&ctx_->pb);
    unlink(temp_path_.c_str());
  }
  avformat_free_context(ctx_);
  ctx_ = nullptr;
}

}  // namespace qvexport
