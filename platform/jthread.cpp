#include "platform/jthread.h"

#include <system_error>

namespace qvp {

JThread::~JThread() {
  RequestStop();
  Join();
}

int JThread::Start() {
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
  try {
    Thread();
  } catch (...) {
    // A body must not throw; if one does, the thread ends instead of the process.
  }
  running_.store(false, std::memory_order_release);
}

void JThread::Join() {
  std::lock_guard<std::mutex> lock(start_lock_);
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) return;
  thread_.join();
}

}  // namespace qvp
