// Base of every worker thread: Start() runs the virtual body Thread() on a new thread.
// A start lock makes Start() safe against a concurrent Start()/Join(); the running flag is
// true from Start() until the body returns.
//
// Stopping is the owner's business (a stop flag, an event, closing a socket), followed by
// Join(). Because the body is virtual, a derived class must stop and join in its own
// destructor: once the base destructor runs, the derived part is gone, and a body that has
// not yet been entered would call the pure virtual Thread(). The base destructor only raises
// StopRequested() and joins, as a last resort for a body that is already running and polls
// it. A thread is never killed. Join() and Start() called from the body itself return at
// once (Start() with kAlreadyRunning).
#pragma once

#include <atomic>
#include <mutex>
#include <thread>

namespace qvp {

class JThread {
 public:
  JThread() = default;
  virtual ~JThread();
  JThread(const JThread&) = delete;
  JThread& operator=(const JThread&) = delete;

  enum StartResult : int { kStarted = 0, kAlreadyRunning = -1, kCannotCreate = -2 };

  // Starts the body; fails when it is still running or the thread cannot be created.
  int Start();
  // Waits without time-out for the body to end (no-op when not started or called from the body).
  void Join();
  bool IsRunning() const { return running_.load(std::memory_order_acquire); }

  // Raised by RequestStop() and by the destructor; bodies may poll it.
  bool StopRequested() const { return stop_requested_.load(std::memory_order_acquire); }
  void RequestStop() { stop_requested_.store(true, std::memory_order_release); }

 protected:
  virtual void Thread() = 0;

 private:
  void Entry();

  std::mutex start_lock_;
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<bool> stop_requested_{false};
};

}  // namespace qvp
