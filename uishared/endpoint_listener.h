// A named endpoint on the Qt event loop (the replay program's " QV_NVR Replay", the recorder's
// "QV_NVRAPP"): each message that arrives is handed on as a signal. A second copy of a program
// cannot bind the name and runs without one.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>
#include <string>

#include "platform/endpoint.h"

namespace qvui {

class EndpointListener : public QObject {
  Q_OBJECT

 public:
  explicit EndpointListener(QObject* parent = nullptr) : QObject(parent) {}

  bool Bind(const std::string& name);
  // Listens on an endpoint bound elsewhere (the recorder binds its own while it starts).
  bool Adopt(qvp::Endpoint endpoint);
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

}  // namespace qvui
