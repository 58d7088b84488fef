// The talk session slot of a client: holds the CTalk2VS made by QVNET_ClientStartTalk until
// QVNET_ClientStopTalk, the client's stop, or the next start replaces it.
#pragma once

#include <memory>
#include <mutex>

#include "netclient/stream/talk2vs.h"
#include "netclient/stream/stream_client.h"

namespace qvnet {

class TalkControl {
 public:
  explicit TalkControl(TalkTimings timings = {}) : timings_(timings) {}
  ~TalkControl() { Stop(); }
  TalkControl(const TalkControl&) = delete;
  TalkControl& operator=(const TalkControl&) = delete;

  // Ends a running session first, then makes a new one for `client` and starts its thread.
  // True when the thread started; the camera is reached in the background.
  bool Start(StreamClient& client);
  // Ends the session, if there is one, and destroys it. The client's stop calls this before
  // anything else it stops.
  void Stop();
  bool Active();

 private:
  void StopLocked();

  const TalkTimings timings_;
  std::mutex lock_;
  std::unique_ptr<CTalk2VS> session_;
};

}  // namespace qvnet
