// The one millisecond clock of the system: a 32-bit tick that wraps at 2^32 like the
// uptime counters cameras and old recordings use, plus the sleep that goes with it.
// Tests install their own clock so that 10-second losses, 60-second limits and wrap-around
// run in milliseconds of real time.
#pragma once

#include <cstdint>

namespace qvp {

using Tick = uint32_t;

// Source of time. The default reads CLOCK_MONOTONIC; a test clock may advance on Sleep.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual Tick Now() = 0;
  virtual void Sleep(uint32_t ms) = 0;
};

// Milliseconds from CLOCK_MONOTONIC, truncated to 32 bits (or the installed test clock).
Tick TickCount();
// Sleeps on the installed clock; real clock: nanosleep.
void SleepMs(uint32_t ms);

// Installs a clock for tests; nullptr restores the real one. The clock must outlive its use.
void SetClock(Clock* clock);

// Milliseconds from `since` to `now` across one wrap of the counter.
inline uint32_t TicksSince(Tick since, Tick now) { return now - since; }

}  // namespace qvp
