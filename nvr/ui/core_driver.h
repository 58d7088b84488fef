// Drives the recorder core's loop (nvr::CoreLoop) from the Qt event loop of the GUI thread,
// which is then the core thread: work queued by the worker threads and the recording library
// wakes a queued RunPending() call, and a single-shot timer fires when the core's next timer
// is due. Worker threads never touch a widget; they only queue work for this thread.
#pragma once

#include <QObject>
#include <QTimer>
#include <memory>

#include "nvr/core/engine/core_loop.h"

namespace nvrui {

class CoreDriver : public QObject {
  Q_OBJECT

 public:
  explicit CoreDriver(nvr::CoreLoop& loop, QObject* parent = nullptr);
  ~CoreDriver() override;

  // Runs what is queued and due now, then arms the timer for the next core timer. Also
  // called by the window after it changed the core's timers.
  void RunPending();

 signals:
  // After each run that did something: the window refreshes what it shows.
  void ran();

 private:
  struct WakeTarget;

  nvr::CoreLoop& loop_;
  std::shared_ptr<WakeTarget> target_;
  QTimer timer_;
};

}  // namespace nvrui
