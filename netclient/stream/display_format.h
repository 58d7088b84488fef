// What a display's decoder is made for, from what the client knows of its stream: the live
// media output and the file source hand it to CAVDisplay::CreateDecoder.
#pragma once

#include "netclient/media/display/av_display.h"
#include "netclient/media/record/record_format.h"
#include "netclient/wire/stream_facts.h"

namespace qvnet {

inline VideoFormat VideoFormatOf(const StreamFacts& facts) {
  VideoFormat format;
  format.jpeg = facts.video_payload_type.load() == kPayloadTypeJpeg;
  format.width = facts.width.load();
  format.height = facts.height.load();
  format.buffer_figure = facts.bit_rate.load();
  format.frame_rate = facts.frame_rate.load();
  return format;
}

}  // namespace qvnet
