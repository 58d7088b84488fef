#include "netclient/wire/audio_depacketizer.h"

#include <limits>

#include "netclient/media/record/frame_unit.h"
#include "netclient/media/record/record_pair.h"
#include "netclient/wire/media_output.h"
#include "netclient/wire/stream_facts.h"

namespace qvnet {

bool HandleAudioPacket(const PacketContext& ctx, uint8_t* packet, size_t length) {
  if (packet == nullptr || length < kRtpHeaderSize || length > kMaxAudioPacket) return false;
  const uint32_t timestamp = RtpTimestamp(packet);
  const size_t payload_length = length - kRtpHeaderSize;
  const auto words = static_cast<uint16_t>(payload_length / 2);
  uint8_t* frame = packet + kVoiceFrameOffset;
  frame[0] = static_cast<uint8_t>(kVoiceFrameTagValue & 0xFF);
  frame[1] = static_cast<uint8_t>(kVoiceFrameTagValue >> 8);
  frame[2] = static_cast<uint8_t>(words & 0xFF);
  frame[3] = static_cast<uint8_t>(words >> 8);
  const size_t frame_length = length - kVoiceFrameOffset;

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
