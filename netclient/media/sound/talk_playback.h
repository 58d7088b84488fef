// The playback side of two-way talk: the camera's voice, decoded, on the default output
// device, in buffers of at most 40 ms (320 samples, 640 bytes).
//
// Sixteen such buffers with a free list become, on ALSA, a ring of 16 periods of 320 frames:
// a buffer is free while the ring has a period of room, and playing one writes it into the
// ring (no callback is needed: the ring itself gives the room back as it plays). Sound that
// finds no free buffer is dropped, so talk-back never lags by more than the ring.
// Used by the talk receiver thread only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/audio/pcm_device.h"

namespace qvnet {

class TalkPlayback {
 public:
  static constexpr uint32_t kBufferCount = 16;
  static constexpr uint32_t kBufferFrames = 320;

  bool Open() { return device_.Open(kBufferFrames, kBufferCount); }
  // Throws away what is still queued and closes the device.
  void Close();

  // Plays `count` samples, cut into buffers of at most kBufferFrames (a voice frame may
  // decode to more than one buffer holds). Returns the samples queued; the rest was dropped
  // for want of a free buffer or a working device.
  size_t Play(const int16_t* samples, size_t count);

 private:
  qvp::PcmOutput device_;
};

}  // namespace qvnet
