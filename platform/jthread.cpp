#include "platform/jthread.h"

#include <system_error>

namespace qvp {
namespace {

// The JThread whose body runs on this thread. Join() and Start() from inside a body must not
// take the start lock: an owner may hold it while it joins this very thread.
thread_local const JThread* t_current_body = nullptr;

}  // namespace

JThread::~JThread() {
  RequestStop();
  Join();
}

int JThread::Start() {
  if (t_current_body == this) return kAlreadyRunning;
  std::lock_guard<std::mutex> lock(start_lock_);
  if (running_.load(std::memory_order_acquire)) return kAlreadyRunning;
  if (thread_.joinable()) thread_.join();  // an earlier run has ended; reap it
  stop_requested_.store(false, std::memory_order_release);
  running_.store(true, std::memory_order_release);
  try {
    thread_ = std::thread(&JThread::Entry, this);
  } catch (const std::system_error&) {
    running_.store(false, std::memory_order_release);
    return kCannotCreate;
  }
  return kStarted;
}

void JThread::Entry() {
  t_current_body = this;
  try {
    Thread();
  } catch (...) {
    // A body must not throw; if one does, the thread ends instead of the process.
  }
  t_current_body = nullptr;
  running_.store(false, std::memory_order_release);
}

void JThread::Join() {
  if (t_current_body == this) return;
  std::lock_guard<std::mutex> lock(start_lock_);
  if (!thread_.joinable()) return;
  thread_.join();
}

}  // namespace qvp
