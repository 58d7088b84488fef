// One received unit as it goes into a record file: stream and kind, picture size, whether it
// is an index point, and up to three payload pieces written back to back (start code, rebuilt
// NAL header, data), so that receivers never copy a unit just to record it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "netclient/media/record/record_format.h"

namespace qvnet {

using Bytes = std::span<const uint8_t>;

struct FrameUnit {
  uint8_t stream = kStreamVideo;
  uint8_t kind = 0;
  uint16_t width = 0;
  uint16_t height = 0;
  // Header time of audio records (the RTP timestamp); video records take the writer's tick.
  uint32_t audio_timestamp = 0;
  bool index_point = false;
  std::array<Bytes, 3> pieces{};

  size_t PayloadLength() const { return pieces[0].size() + pieces[1].size() + pieces[2].size(); }
};

// An H.264 unit: the kind is the NAL type modulo 16; a sequence parameter set is an index point.
inline FrameUnit H264Unit(uint8_t nal_type, uint16_t width, uint16_t height, Bytes a, Bytes b = {},
                          Bytes c = {}) {
  FrameUnit u;
  u.kind = static_cast<uint8_t>(nal_type % 16);
  u.width = width;
  u.height = height;
  u.index_point = nal_type == kKindKeyFrame;
  u.pieces = {a, b, c};
  return u;
}

// A complete JPEG picture: kind 7 when received interleaved over TCP, 10 over UDP; every
// picture is an index point whatever its kind.
inline FrameUnit JpegUnit(bool over_udp, uint16_t width, uint16_t height, Bytes picture) {
  FrameUnit u;
  u.kind = over_udp ? kKindJpegUdp : kKindKeyFrame;
  u.width = width;
  u.height = height;
  u.index_point = true;
  u.pieces = {picture, Bytes{}, Bytes{}};
  return u;
}

// A decoded audio packet: the 4-byte voice frame header, then the RTP payload.
inline FrameUnit AudioUnit(uint8_t codec, uint32_t rtp_timestamp, Bytes voice_header, Bytes payload) {
  FrameUnit u;
  u.stream = kStreamAudio;
  u.kind = static_cast<uint8_t>(codec & 0xF);
  u.audio_timestamp = rtp_timestamp;
  u.pieces = {voice_header, payload, Bytes{}};
  return u;
}

}  // namespace qvnet
