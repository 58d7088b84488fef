// A tick clock for tests: time moves only when a test advances it or a thread sleeps on it.
#pragma once

#include <atomic>
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

}  // namespace qvtest
