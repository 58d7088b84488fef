// Running the Qt event loop until something holds, with a limit: for programs that drive the
// window from outside (the screenshot tool, the tests).
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>

namespace qvui {

inline bool RunEventsUntil(const std::function<bool()>& done, int limit_ms) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > limit_ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

}  // namespace qvui
