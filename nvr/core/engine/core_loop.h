// The core thread's event loop. All work on devices, recordings, disks and the database runs
// here, one task at a time: worker threads and the recording library only queue work for it.
//
//   - Tasks: Post() from any thread; runs them in order.
//   - Window messages: the loop registers a window in the platform registry, so the recording
//     library's notifications (posted to the client's notify window) arrive here as messages
//     and go to the message handler.
//   - Timers: by id, on the injectable tick clock (platform/tick_clock.h), like window timers: a
//     late timer fires once, not once per missed interval.
//
// Run() drives the loop on the calling thread until Quit(). A foreign event loop (a UI toolkit)
// instead calls RunPending() when the wake hook tells it work was queued and when
// NextTimerDueIn() elapses. Tests use RunPending() as a manual mode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "platform/window_registry.h"

namespace nvr {

class CoreLoop {
 public:
  using Task = std::function<void()>;
  using MessageHandler = std::function<void(uint32_t msg, uint32_t wparam, int32_t lparam)>;

  // Like a window's message queue the queue is bounded; beyond it posts are refused.
  static constexpr size_t kMaxQueued = 65536;
  // Longest sleep of Run() without work, so that a test clock moved by hand is noticed.
  static constexpr uint32_t kMaxIdleWaitMs = 100;

  CoreLoop();
  ~CoreLoop();
  CoreLoop(const CoreLoop&) = delete;
  CoreLoop& operator=(const CoreLoop&) = delete;

  // The loop's window: the notify window of every recording client.
  qvp::WindowHandle Window() const { return window_; }

  // Core thread only (or before the loop runs).
  void SetMessageHandler(MessageHandler handler) { handler_ = std::move(handler); }
  void SetTimer(uint32_t id, uint32_t interval_ms, Task callback);
  void KillTimer(uint32_t id);
  // Drops the queued window messages with this number: the notifications of a client that has
  // been stopped must not reach the client started after it under the same number.
  void DiscardMessages(uint32_t msg);

  // Any thread; never waits for the core thread. False when the queue is full or quitting.
  bool Post(Task task);
  void Quit();
  // Any thread. Called after each successful post, on the posting thread.
  void SetWakeHook(std::function<void()> hook);

  // Runs the queued tasks and messages (including those they queue, up to kMaxQueued) and
  // then the timers due now. Returns the number of items and timers run.
  size_t RunPending();
  // Runs until Quit(); returns at once when Quit() came first.
  void Run();
  // Milliseconds until the earliest timer is due (0 when overdue); nullopt without timers.
  std::optional<uint32_t> NextTimerDueIn() const;
  // Tasks and handlers that ended with an exception (caught here, never leaving the loop).
  size_t FailedTasks() const { return failed_tasks_; }

 private:
  struct Queue;
  class Sink;
  struct Timer {
    uint32_t interval = 0;
    uint32_t last = 0;
    Task callback;
  };

  size_t RunQueued();
  size_t RunDueTimers();
  void Invoke(const Task& task);

  std::shared_ptr<Queue> queue_;
  qvp::WindowHandle window_ = 0;
  MessageHandler handler_;
  std::map<uint32_t, Timer> timers_;
  size_t failed_tasks_ = 0;
};

}  // namespace nvr
