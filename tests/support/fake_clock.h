// A tick clock for tests: time moves only when a test advances it or a thread sleeps on it.
#pragma once

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/tick_clock.h"

namespace qvtest {

class FakeClock : public qvp::Clock {
 public:
  explicit FakeClock(qvp::Tick start = 0) : now_(start) { qvp::SetClock(this); }
  ~FakeClock() override { qvp::SetClock(nullptr); }

  qvp::Tick Now() override { return now_.load(); }
  // Sleeping advances the clock; the yield lets other threads observe the new time.
  void Sleep(uint32_t ms) override {
    now_.fetch_add(ms);
    std::this_thread::yield();
  }
  void Advance(uint32_t ms) { now_.fetch_add(ms); }
  void Set(qvp::Tick t) { now_.store(t); }

 private:
  std::atomic<qvp::Tick> now_;
};

// Sleeping advances the fake clock as usual and also gives up a little real time, so the
// display's pacing takes no time and threads that poll in 1 ms or 100 ms sleeps do not keep a
// core busy.
class SteppingClock : public FakeClock {
 public:
  explicit SteppingClock(qvp::Tick start = 500000) : FakeClock(start) {}
  void Sleep(uint32_t ms) override {
    FakeClock::Sleep(ms);
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
};

}  // namespace qvtest
