#include "netclient/wire/interleaved_dispatch.h"

#include "netclient/media/record/record_format.h"
#include "netclient/wire/audio_depacketizer.h"
#include "netclient/wire/h264_depacketizer.h"
#include "netclient/wire/interleaved_reader.h"
#include "netclient/wire/jpeg_depacketizer.h"
#include "netclient/wire/stream_facts.h"

namespace qvnet {

void HandleInterleavedPacket(const PacketContext& ctx, int channel, uint8_t* packet, size_t length,
                             InterleavedChannels channels) {
  if (channel < 0 || channel >= kInterleavedText) return;  // text, skipped packets, failures
  if (channel == channels.video) {
    if (ctx.client.video_payload_type.load() == kPayloadTypeJpeg) {
      HandleJpegPacket(ctx, packet, length);
    } else {
      HandleH264Packet(ctx, packet, length);
    }
  } else if (channel == channels.audio) {
    HandleAudioPacket(ctx, packet, length);
  }
}

}  // namespace qvnet
