// The replay program's named endpoint (" QV_NVR Replay") on the Qt event loop: each message
// that arrives is handed on as a signal. A second replay program cannot bind the name and runs
// without one.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>
#include <string>

#include "platform/endpoint.h"

namespace replay {

class EndpointListener : public QObject {
  Q_OBJECT

 public:
  explicit EndpointListener(QObject* parent = nullptr) : QObject(parent) {}

  bool Bind(const std::string& name);
  bool IsBound() const { return endpoint_.IsBound(); }
  // Messages taken from the endpoint so far.
  uint64_t Received() const { return received_; }

 signals:
  void message(uint32_t msg, uint32_t wparam, int32_t lparam);

 private:
  void Drain();

  qvp::Endpoint endpoint_;
  std::unique_ptr<QSocketNotifier> notifier_;
  uint64_t received_ = 0;
};

}  // namespace replay
