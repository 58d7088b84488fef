#include "nvr/core/engine/core_loop.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/tick_clock.h"

namespace nvr {

// Shared by the loop and its window sink: the registry may still hold the sink for a call in
// progress after the loop is gone.
struct CoreLoop::Queue {
  struct Item {
    Task task;  // empty for a window message
    uint32_t msg = 0;
    uint32_t wparam = 0;
    int32_t lparam = 0;
  };

  bool Push(Item item) {
    std::function<void()> hook;
    {
      std::lock_guard<std::mutex> guard(mutex);
      if (quit || items.size() >= kMaxQueued) return false;
      items.push_back(std::move(item));
      hook = wake_hook;
    }
    cv.notify_one();
    if (hook) hook();
    return true;
  }

  std::mutex mutex;
  std::condition_variable cv;
  std::deque<Item> items;
  bool quit = false;
  std::function<void()> wake_hook;
};

class CoreLoop::Sink final : public qvp::WindowSink {
 public:
  explicit Sink(std::shared_ptr<Queue> queue) : queue_(std::move(queue)) {}
  void Post(uint32_t msg, uint32_t wparam, int32_t lparam) override {
    queue_->Push(Queue::Item{Task(), msg, wparam, lparam});
  }
  qvp::WindowSize ClientSize() override { return {}; }
  void Present(const uint8_t*, int, int, int) override {}

 private:
  std::shared_ptr<Queue> queue_;
};

CoreLoop::CoreLoop() : queue_(std::make_shared<Queue>()) {
  window_ = qvp::RegisterWindow(std::make_shared<Sink>(queue_));
}

CoreLoop::~CoreLoop() {
  if (window_ != 0) qvp::UnregisterWindow(window_);
  std::lock_guard<std::mutex> guard(queue_->mutex);
  queue_->quit = true;
  queue_->items.clear();
  queue_->wake_hook = nullptr;
}

void CoreLoop::SetTimer(uint32_t id, uint32_t interval_ms, Task callback) {
  timers_[id] = Timer{interval_ms, qvp::TickCount(), std::move(callback)};
}

void CoreLoop::KillTimer(uint32_t id) { timers_.erase(id); }

void CoreLoop::DiscardMessages(uint32_t msg) {
  std::lock_guard<std::mutex> guard(queue_->mutex);
  std::erase_if(queue_->items, [msg](const Queue::Item& item) {
    return !item.task && item.msg == msg;
  });
}

bool CoreLoop::Post(Task task) {
  if (!task) return false;
  return queue_->Push(Queue::Item{std::move(task)});
}

void CoreLoop::Quit() {
  {
    std::lock_guard<std::mutex> guard(queue_->mutex);
    queue_->quit = true;
  }
  queue_->cv.notify_all();
}

void CoreLoop::SetWakeHook(std::function<void()> hook) {
  std::lock_guard<std::mutex> guard(queue_->mutex);
  queue_->wake_hook = std::move(hook);
}

void CoreLoop::Invoke(const Task& task) {
  try {
    task();
  } catch (...) {
    ++failed_tasks_;
  }
}

size_t CoreLoop::RunQueued() {
  size_t run = 0;
  while (run < kMaxQueued) {
    Queue::Item item;
    {
      std::lock_guard<std::mutex> guard(queue_->mutex);
      if (queue_->items.empty()) break;
      item = std::move(queue_->items.front());
      queue_->items.pop_front();
    }
    ++run;
    if (item.task) {
      Invoke(item.task);
    } else if (handler_) {
      Invoke([&] { handler_(item.msg, item.wparam, item.lparam); });
    }
  }
  return run;
}

size_t CoreLoop::RunDueTimers() {
  // Callbacks may set or kill timers: walk a snapshot of the ids.
  std::vector<uint32_t> ids;
  for (const auto& [id, timer] : timers_) ids.push_back(id);
  size_t run = 0;
  for (uint32_t id : ids) {
    auto it = timers_.find(id);
    if (it == timers_.end()) continue;
    const qvp::Tick now = qvp::TickCount();
    if (qvp::TicksSince(it->second.last, now) < it->second.interval) continue;
    it->second.last = now;
    const Task callback = it->second.callback;  // the timer may be killed by its callback
    Invoke(callback);
    ++run;
  }
  return run;
}

size_t CoreLoop::RunPending() { return RunQueued() + RunDueTimers(); }

std::optional<uint32_t> CoreLoop::NextTimerDueIn() const {
  if (timers_.empty()) return std::nullopt;
  const qvp::Tick now = qvp::TickCount();
  uint32_t best = UINT32_MAX;
  for (const auto& [id, timer] : timers_) {
    const uint32_t elapsed = qvp::TicksSince(timer.last, now);
    const uint32_t left = elapsed >= timer.interval ? 0 : timer.interval - elapsed;
    if (left < best) best = left;
  }
  return best;
}

void CoreLoop::Run() {
  for (;;) {
    RunPending();
    const uint32_t wait_ms = std::min(NextTimerDueIn().value_or(kMaxIdleWaitMs), kMaxIdleWaitMs);
    std::unique_lock<std::mutex> lock(queue_->mutex);
    if (queue_->quit) return;
    queue_->cv.wait_for(lock, std::chrono::milliseconds(wait_ms),
                        [this] { return queue_->quit || !queue_->items.empty(); });
    if (queue_->quit) return;
  }
}

}  // namespace nvr
