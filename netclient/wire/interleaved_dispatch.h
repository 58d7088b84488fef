// One interleaved unit to its depacketizer, by channel (interleaved_reader.h): video RTP to the
// JPEG or H.264 depacketizer by the stream's payload type, audio RTP to the audio one; RTCP,
// RTSP text and skipped oversize packets are ignored. The channels are the dialect's (0 and
// 2) unless the server answered others. The TCP source, the interleaved fuzz
// target and the seed recorder all take their packets apart here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "netclient/wire/interleaved_reader.h"
#include "netclient/wire/rtp_packet.h"

namespace qvnet {

struct InterleavedChannels {
  int video = kChannelVideoRtp;
  int audio = kChannelAudioRtp;  // -1: no audio track
};

void HandleInterleavedPacket(const PacketContext& ctx, int channel, uint8_t* packet, size_t length,
                             InterleavedChannels channels = {});

}  // namespace qvnet
