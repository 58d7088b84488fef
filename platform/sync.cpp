#include "platform/sync.h"

#include <algorithm>
#include <chrono>

namespace qvp {

// One WaitAny call registered in every event it waits on.
struct Event::Waiter {
  std::mutex mutex;
  std::condition_variable cv;
  bool woken = false;
};

Event::Event(bool manual_reset, bool initially_set) : manual_reset_(manual_reset), set_(initially_set) {}

Event::~Event() = default;

void Event::Set() {
  // Everything happens under the lock: a waiter may destroy the event as soon as its Wait()
  // returns, and Wait() cannot return before this lock is released, so nothing of the event
  // is touched after that.
  std::lock_guard<std::mutex> lock(mutex_);
  set_ = true;
  // WaitAny unregisters under our mutex before it returns, so these pointers stay valid.
  for (Waiter* w : waiters_) {
    std::lock_guard<std::mutex> wl(w->mutex);
    w->woken = true;
    w->cv.notify_all();
  }
  if (manual_reset_) {
    cv_.notify_all();
  } else {
    cv_.notify_one();
  }
}

void Event::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  set_ = false;
}

bool Event::IsSet() {
  std::lock_guard<std::mutex> lock(mutex_);
  return set_;
}

bool Event::TryConsumeLocked() {
  if (!set_) return false;
  if (!manual_reset_) set_ = false;
  return true;
}

bool Event::Wait(uint32_t timeout_ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (timeout_ms == kInfinite) {
    cv_.wait(lock, [this] { return set_; });
  } else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return set_; })) {
    return false;
  }
  return TryConsumeLocked();
}

int Event::WaitAny(std::initializer_list<Event*> events, uint32_t timeout_ms) {
  Waiter waiter;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (Event* e : events) {
    std::lock_guard<std::mutex> lock(e->mutex_);
    e->waiters_.push_back(&waiter);
  }
  int result = -1;
  for (;;) {
    int index = 0;
    for (Event* e : events) {
      std::lock_guard<std::mutex> lock(e->mutex_);
      if (e->TryConsumeLocked()) {
        result = index;
        break;
      }
      ++index;
    }
    if (result >= 0) break;
    std::unique_lock<std::mutex> wl(waiter.mutex);
    if (!waiter.woken) {
      if (timeout_ms == kInfinite) {
        waiter.cv.wait(wl, [&] { return waiter.woken; });
      } else if (!waiter.cv.wait_until(wl, deadline, [&] { return waiter.woken; })) {
        break;
      }
    }
    waiter.woken = false;
  }
  for (Event* e : events) {
    std::lock_guard<std::mutex> lock(e->mutex_);
    auto& w = e->waiters_;
    w.erase(std::remove(w.begin(), w.end(), &waiter), w.end());
  }
  return result;
}

}  // namespace qvp
