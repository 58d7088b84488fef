// Locks and events with the semantics the worker threads are written against:
// manual-reset and auto-reset events that can be waited on with a time-out, alone or
// several at once. Waits use real time (steady clock), never the injectable tick clock,
// because they are how threads sleep and wake, not what they measure.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <vector>

namespace qvp {

inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;

// A plain critical section; kept as a named type so owners read like the threads they serve.
using Lock = std::mutex;
using LockGuard = std::lock_guard<std::mutex>;

class Event {
 public:
  Event(bool manual_reset, bool initially_set);
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  // True when the event was signalled within `timeout_ms` (kInfinite waits for ever).
  // An auto-reset event is reset by the wait that sees it.
  bool Wait(uint32_t timeout_ms);
  bool IsSet();

  // Waits for the first of `events` to be signalled. Returns its index, or -1 on time-out.
  static int WaitAny(std::initializer_list<Event*> events, uint32_t timeout_ms);

 private:
  struct Waiter;
  bool TryConsumeLocked();

  std::mutex mutex_;
  std::condition_variable cv_;
  const bool manual_reset_;
  bool set_;
  std::vector<Waiter*> waiters_;
};

}  // namespace qvp
