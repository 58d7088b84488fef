#include "netclient/wire/audio_depacketizer.h"

#include <limits>
#include <optional>

#include "netclient/media/record/frame_unit.h"
#include "netclient/media/record/record_pair.h"
#include "netclient/wire/media_output.h"
#include "netclient/wire/rtp_header.h"
#include "netclient/wire/stream_facts.h"

namespace qvnet {

bool HandleAudioPacket(const PacketContext& ctx, uint8_t* packet, size_t length) {
  if (length > kMaxAudioPacket) return false;
  const std::optional<RtpHeaderView> rtp = ParseRtpHeader(packet, length);
  if (!rtp) return false;
  const uint32_t timestamp = rtp->timestamp;
  const size_t payload_length = rtp->payload_length;
  const auto words = static_cast<uint16_t>(payload_length / 2);
  // The payload starts at byte 12 or later, so the four bytes before it are header bytes that
  // are no longer needed.
  uint8_t* frame = packet + rtp->payload_offset - kVoiceFrameHeaderBytes;
  frame[0] = static_cast<uint8_t>(kVoiceFrameTagValue & 0xFF);
  frame[1] = static_cast<uint8_t>(kVoiceFrameTagValue >> 8);
  frame[2] = static_cast<uint8_t>(words & 0xFF);
  frame[3] = static_cast<uint8_t>(words >> 8);
  const size_t frame_length = kVoiceFrameHeaderBytes + payload_length;

  if (ctx.client.Flavor().decode_audio) {
    if (ctx.media == nullptr || !ctx.media->DecodeAudio(frame, frame_length)) return false;
  }
  if (ctx.record != nullptr) {
    ctx.record->RecordUnit(AudioUnit(ctx.client.audio_codec.load(), timestamp, Bytes(frame, kVoiceFrameHeaderBytes),
                                     Bytes(frame + kVoiceFrameHeaderBytes, payload_length)));
  }
  return true;
}

bool QueueDecodedAudio(CIConduit& conduit, bool play_audio, const int16_t* samples, size_t count) {
  if (!play_audio) return true;
  if (samples == nullptr || count > std::numeric_limits<uint32_t>::max() / sizeof(int16_t)) return false;
  if (conduit.GetUsed() > kAudioBacklogBytes) conduit.Reset();
  return conduit.Write(reinterpret_cast<const uint8_t*>(samples), static_cast<uint32_t>(count * sizeof(int16_t)),
                       false);
}

}  // namespace qvnet
