// G.711 and G.726 audio over RTP (RFC 3551): each packet becomes one voice frame (a 4-byte
// header, then the payload as received) that is decoded for playback and recorded.
#pragma once

#include <cstddef>
#include <cstdint>

#include "netclient/media/conduit/ci_conduit.h"
#include "netclient/wire/rtp_packet.h"

namespace qvnet {

inline constexpr size_t kVoiceFrameHeaderBytes = 4;
inline constexpr uint16_t kVoiceFrameTagValue = 0x0100;
// Longest audio packet the receivers read.
inline constexpr size_t kMaxAudioPacket = 2048;
// Audio queued beyond this is stale: the sound output fell behind, so the queue is emptied
// before new samples go in.
inline constexpr uint32_t kAudioBacklogBytes = 1024;

// Takes one RTP packet apart (rtp_header.h finds its payload). The RTP timestamp is kept, then
// the four bytes before the payload (the SSRC, or the end of a CSRC list or extension) are
// overwritten with the voice frame header {256, payload length / 2} (little-endian), so the
// voice frame lies in the packet without a copy. With the flavor's decode_audio the frame is
// decoded through ctx.media and recorded only when it decodes; otherwise every packet is
// recorded as received. False when the packet was dropped (shorter than the RTP header, or
// not decodable).
bool HandleAudioPacket(const PacketContext& ctx, uint8_t* packet, size_t length);

// What a live MediaOutput does with decoded samples: nothing unless the client plays audio;
// a backlog of more than kAudioBacklogBytes is thrown away first; then the samples go in as
// one write (2 bytes each, no message end). False when the conduit refused them.
bool QueueDecodedAudio(CIConduit& conduit, bool play_audio, const int16_t* samples, size_t count);

}  // namespace qvnet
