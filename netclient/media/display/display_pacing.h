// When the display shows its pictures. Two rules: live video is drawn as soon as it is
// decoded, with short sleeps that smooth bursts and none while a backlog is worked off;
// replay is drawn at the recorded frame rate scaled by the speed. Both are pure state
// machines over the tick clock: they say how long to sleep, the display does the sleeping.
#pragma once

#include <cstdint>

namespace qvnet {

// Frame rates outside 1..30 (none announced, or more than a display keeps up with) are
// taken as 30.
int32_t EffectiveFrameRate(int32_t announced);

// Decoder picture buffers for the buffer figure B (the bit-rate figure the camera announced):
// B <= 32 -> 16, 33..128 -> 8, 129..255 -> 2, 256..1024 -> 4, above -> 2.
int32_t H264BufferCount(int32_t buffer_figure);

struct LivePacer {
  uint32_t interval = 33;  // ms per picture at the frame rate
  uint32_t base = 0;       // tick of the picture that started the count
  uint32_t count = 0;      // pictures since base
  uint32_t last = 0;       // tick of the previous drawing
  bool catch_up = true;    // the pace restarts from the next picture

  void Reset(uint32_t interval_ms);
  // Milliseconds to sleep before drawing the next picture; `backlog` is the number of
  // queued pictures beyond the key-frame span. While catching up: a short sleep that shrinks
  // as the backlog grows, then the count restarts here. Otherwise: sleep until
  // base + interval * count when that is more than 9 ms away.
  uint32_t Next(int32_t backlog, uint32_t now);
};

struct ReplayPacer {
  int32_t rate = 0;  // frames per second; 0 paces nothing
  uint32_t base = 0;
  uint32_t count = 0;
  int32_t last_speed = -1;

  // Rebased after this many pictures so that rounding never adds up.
  static constexpr uint32_t kRebaseAfter = 199;

  void Start(int32_t frame_rate, uint32_t now);
  void Rebase(uint32_t now);
  // Milliseconds to sleep before the next picture at speed `speed` (-4..4, 2^speed times
  // normal): picture `count` is due count * 1000 / rate * 2^-speed ms after base. A speed
  // change restarts the count.
  uint32_t Next(int32_t speed, uint32_t now);
  bool NeedsRebase() const { return count > kRebaseAfter; }
};

}  // namespace qvnet
