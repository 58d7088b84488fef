#include "replay/export/export_audio.h"

#include <algorithm>
#include <cstdlib>

namespace qvexport {
namespace {

constexpr int64_t kSamplesPerMs = 8;
// A timestamp further than this from where the audio stood starts the timing over.
constexpr int64_t kMaxJumpSamples = 2 * 8000;

const char* CodecName(uint8_t codec) {
  switch (codec) {
    case qvcodec::kVoiceAlaw: return "G.711 A-law";
    case qvcodec::kVoiceUlaw: return "G.711 mu-law";
    default: return "G.726";
  }
}

}  // namespace

AudioPlan PlanAudio(uint8_t codec, const ExportMuxer& muxer) {
  AudioPlan plan;
  const bool g711 = codec == qvcodec::kVoiceAlaw || codec == qvcodec::kVoiceUlaw;
  const bool g726 = codec >= qvcodec::kVoiceG726_16 && codec <= qvcodec::kVoiceG726_40;
  if (!g711 && !g726) return plan;
  if (g711) {
    plan.format = codec == qvcodec::kVoiceUlaw ? AudioFormat::kMulaw : AudioFormat::kAlaw;
    if (muxer.CanCarry(plan.format)) {
      plan.mode = AudioMode::kCopy;
      return plan;
    }
  }
  plan.format = AudioFormat::kPcm16;
  if (muxer.CanCarry(AudioFormat::kPcm16)) {
    plan.mode = AudioMode::kDecode;
    return plan;
  }
  plan.mode = AudioMode::kNone;
  plan.warning = std::string("the recording's audio (") + CodecName(codec) +
                 ") is left out: this container cannot carry it; export to .mkv or .mov to keep it";
  return plan;
}

AudioTrackWriter::AudioTrackWriter(const AudioPlan& plan, uint8_t codec) : plan_(plan), codec_(codec) {
  if (plan_.mode == AudioMode::kDecode) {
    decoder_ready_ = qvcodec::VoiceDecReset(&state_, static_cast<int16_t>(codec_)) == qvcodec::kVoiceOk;
    pcm_.resize(qvcodec::kMaxVoiceSamples);
  }
}

bool AudioTrackWriter::Convert(std::span<const uint8_t> payload, std::vector<uint8_t>* out, int64_t* samples) {
  if (payload.size() <= qvcodec::kVoiceHeaderSize) return false;
  if (plan_.mode == AudioMode::kCopy) {
    // G.711: one byte per sample, all of the data (the frame header's word count rounds an odd
    // length down).
    out->assign(payload.begin() + qvcodec::kVoiceHeaderSize, payload.end());
    *samples = static_cast<int64_t>(out->size());
    return true;
  }
  if (!decoder_ready_) return false;
  uint16_t count = 0;
  if (qvcodec::VoiceDecodeFrameBounded(&state_, payload.data(), payload.size(), pcm_.data(), &count) !=
          qvcodec::kVoiceOk ||
      count == 0) {
    return false;
  }
  out->resize(static_cast<size_t>(count) * 2);
  for (size_t i = 0; i < count; ++i) {
    const auto v = static_cast<uint16_t>(pcm_[i]);
    (*out)[2 * i] = static_cast<uint8_t>(v & 0xFF);
    (*out)[2 * i + 1] = static_cast<uint8_t>(v >> 8);
  }
  *samples = count;
  return true;
}

bool AudioTrackWriter::Write(std::span<const uint8_t> payload, uint32_t rtp_timestamp, int64_t video_pts_ms,
                             ExportMuxer& muxer, std::string* error) {
  if (plan_.mode == AudioMode::kNone) return true;
  int64_t samples = 0;
  if (!Convert(payload, &buffer_, &samples)) return true;  // a record that does not decode is skipped
  int64_t pts = first_pts_ + static_cast<int32_t>(rtp_timestamp - first_rtp_);
  if (!synced_ || std::llabs(pts - next_pts_) > kMaxJumpSamples) {
    synced_ = true;
    first_rtp_ = rtp_timestamp;
    first_pts_ = std::max(next_pts_, video_pts_ms * kSamplesPerMs);
    pts = first_pts_;
  }
  pts = std::max(pts, next_pts_);  // never back in time
  next_pts_ = pts + samples;
  ++packets_;
  return muxer.WriteAudio(buffer_, pts, samples, error);
}

}  // namespace qvexport
