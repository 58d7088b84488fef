#include "platform/tick_clock.h"

#include <atomic>
#include <cerrno>
#include <ctime>

namespace qvp {
namespace {

std::atomic<Clock*> g_clock{nullptr};

Tick RealNow() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<Tick>(ms);
}

void RealSleep(uint32_t ms) {
  timespec req{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&req, &req) != 0 && errno == EINTR) {
  }
}

}  // namespace

Tick TickCount() {
  Clock* c = g_clock.load(std::memory_order_acquire);
  return c ? c->Now() : RealNow();
}

void SleepMs(uint32_t ms) {
  Clock* c = g_clock.load(std::memory_order_acquire);
  if (c) {
    c->Sleep(ms);
  } else {
    RealSleep(ms);
  }
}

void SetClock(Clock* clock) { g_clock.store(clock, std::memory_order_release); }

}  // namespace qvp
