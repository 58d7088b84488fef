#include "netclient/media/sound/talk_playback.h"

#include <algorithm>

namespace qvnet {

void TalkPlayback::Close() {
  device_.Drop();
  device_.Close();
}

size_t TalkPlayback::Play(const int16_t* samples, size_t count) {
  if (samples == nullptr) return 0;
  size_t queued = 0;
  for (size_t offset = 0; offset < count; offset += kBufferFrames) {
    const uint32_t frames = static_cast<uint32_t>(std::min<size_t>(kBufferFrames, count - offset));
    const long room = device_.Room();
    if (room < 0) break;
    if (room < static_cast<long>(frames)) continue;  // no free buffer: this one is dropped
    const long n = device_.Write(samples + offset, frames);
    if (n < 0) break;
    queued += static_cast<size_t>(n);
  }
  return queued;
}

}  // namespace qvnet
