#include "nvr/ui/core_driver.h"

#include <algorithm>
#include <atomic>
#include <mutex>

namespace nvrui {

// What the wake hook reaches from other threads. The hook may still run on a worker thread
// after the driver is gone (the loop calls a copy of it outside its lock), so the driver is
// reached only under this lock and only while it lives.
struct CoreDriver::WakeTarget {
  std::mutex mutex;
  CoreDriver* driver = nullptr;
  // One queued run is enough however many posts arrive before it runs.
  std::atomic<bool> queued{false};

  void Wake() {
    if (queued.exchange(true)) return;
    std::lock_guard<std::mutex> lock(mutex);
    if (driver == nullptr) return;
    QMetaObject::invokeMethod(driver, &CoreDriver::RunPending, Qt::QueuedConnection);
  }
};

CoreDriver::CoreDriver(nvr::CoreLoop& loop, QObject* parent)
    : QObject(parent), loop_(loop), target_(std::make_shared<WakeTarget>()) {
  target_->driver = this;
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &CoreDriver::RunPending);
  loop_.SetWakeHook([target = target_] { target->Wake(); });
  // Work queued before the hook existed.
  QMetaObject::invokeMethod(this, &CoreDriver::RunPending, Qt::QueuedConnection);
}

CoreDriver::~CoreDriver() {
  loop_.SetWakeHook(nullptr);
  std::lock_guard<std::mutex> lock(target_->mutex);
  target_->driver = nullptr;
}

void CoreDriver::RunPending() {
  target_->queued.store(false);
  const size_t ran_items = loop_.RunPending();
  const std::optional<uint32_t> due = loop_.NextTimerDueIn();
  if (due) {
    timer_.start(static_cast<int>(std::min<uint32_t>(*due, 60000)));
  } else {
    timer_.stop();
  }
  if (ran_items > 0) emit ran();
}

}  // namespace nvrui
