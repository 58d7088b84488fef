#include "netclient/media/display/display_pacing.h"

#include <algorithm>
#include <cmath>

namespace qvnet {

int32_t EffectiveFrameRate(int32_t announced) {
  return announced < 1 || announced > 30 ? 30 : announced;
}

int32_t H264BufferCount(int32_t b) {
  if (b <= 32) return 16;
  if (b <= 128) return 8;
  if (b <= 255) return 2;
  if (b <= 1024) return 4;
  return 2;
}

void LivePacer::Reset(uint32_t interval_ms) {
  *this = LivePacer{};
  interval = interval_ms;
}

uint32_t LivePacer::Next(int32_t backlog, uint32_t now) {
  uint32_t sleep = 0;
  if (catch_up) {
    // The conditions are nested ranges of the time since the last drawing; the first that
    // holds decides.
    const uint32_t since = now - last;
    if (since == 0) {
      sleep = backlog <= 4 ? 20 : backlog > 14 ? 1 : 10;
    } else if (since < 10) {
      if (backlog <= 1) {
        sleep = 20;
      } else if (backlog == 2) {
        sleep = 15;
      } else if (backlog == 3) {
        sleep = 10;
      } else if (backlog < 8) {
        sleep = 1;
      }
    } else if (since < 20 && backlog < 3) {
      sleep = 1;
    }
    base = now;
    count = 0;
    catch_up = false;
  } else {
    // Measured from base so that the wrap of the tick counter does not matter.
    const int64_t wait = static_cast<int64_t>(interval) * count - static_cast<int64_t>(now - base);
    if (wait > 9) sleep = static_cast<uint32_t>(wait);
  }
  ++count;
  return sleep;
}

void ReplayPacer::Start(int32_t frame_rate, uint32_t now) {
  rate = frame_rate;
  base = now;
  count = 0;
  last_speed = -1;
}

void ReplayPacer::Rebase(uint32_t now) {
  count = 0;
  base = now;
}

uint32_t ReplayPacer::Next(int32_t speed, uint32_t now) {
  if (rate == 0) return 0;
  speed = std::clamp(speed, -4, 4);
  if (speed != last_speed) {
    last_speed = speed;
    count = 0;
    base = now;
  }
  ++count;
  const double due_ms = static_cast<double>(count) * 1000.0 / rate * std::ldexp(1.0, -speed);
  const int64_t due = static_cast<int64_t>(due_ms);
  const int64_t wait = due - static_cast<int64_t>(now - base);
  return wait > 0 ? static_cast<uint32_t>(wait) : 0;
}

}  // namespace qvnet
