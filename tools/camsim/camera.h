// One simulated camera: a TCP port that serves RTSP and MCTP, the media it streams and the
// controls a test or an operator uses to make it misbehave. A camera is started once and
// stopped once; every thread it made is joined by Stop().
#pragma once

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tools/camsim/camera_log.h"
#include "tools/camsim/camera_options.h"
#include "tools/camsim/mctp.h"
#include "tools/camsim/net.h"

namespace camsim {

class CameraContext;
class Connection;

class Camera {
 public:
  explicit Camera(CameraOptions options);
  ~Camera();
  Camera(const Camera&) = delete;
  Camera& operator=(const Camera&) = delete;

  // Prepares the media (encoding the clips if no other camera has them) and listens.
  bool Start(std::string* error);
  void Stop();
  bool Running() const { return running_.load(); }
  uint16_t Port() const { return port_; }
  const CameraOptions& Options() const { return options_; }

  // Events on every open event channel; each returns how many channels took it.
  int PushMotion(unsigned mask);
  int PushAlarm(int value);
  int SendRawEvent(std::string_view bytes);
  // More than 4096 bytes of a motion message that never ends.
  int FloodEvents();

  // Sends no video for `ms` from now (audio continues); resumes at a key frame.
  void PauseVideo(uint32_t ms);
  // Closes every RTSP connection, which ends its streaming; returns how many.
  int DropConnections();
  void SetRefuseAuth(RefuseAuth refuse);
  void SetSlow(uint32_t ms);
  void SetTalkBack(bool on);
  void SetRefuseTalk(bool on);
  void SetSilent(bool on);
  void SetMctpFault(McptFault fault);

  std::vector<RequestRecord> Requests() const;
  std::vector<SessionMedia> Media() const;
  std::vector<TalkRecord> TalkFrames() const;
  Bytes TalkVoice() const;
  // Talk connections that have ended: everything their client sent is in TalkFrames().
  size_t TalkSessionsEnded() const;
  CameraState State() const;
  size_t PlayingSessions() const;
  size_t EventChannels() const;

 private:
  void AcceptLoop();
  void Accept();
  void ReapFinished();

  CameraOptions options_;
  std::unique_ptr<CameraContext> context_;  // made by Start, kept until destruction
  Fd listener_;
  uint16_t port_ = 0;
  WakePipe wake_;
  std::atomic<bool> running_{false};
  std::thread accept_thread_;
  mutable std::mutex connections_mutex_;
  std::list<std::unique_ptr<Connection>> connections_;
};

}  // namespace camsim
