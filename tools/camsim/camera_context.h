// The state one camera shares between its connections: settings that control commands
// change at run time, the prepared media, the logs, the control-channel state, the playing
// sessions and the open event channels.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "tools/camsim/camera_log.h"
#include "tools/camsim/camera_options.h"
#include "tools/camsim/media_types.h"
#include "tools/camsim/mctp.h"

namespace camsim {

class Connection;

// Milliseconds of the steady clock: media is paced in real time whatever tick clock a test
// installs.
int64_t SteadyMs();

class CameraContext {
 public:
  CameraContext(const CameraOptions& options, std::shared_ptr<const VideoClip> video,
                std::shared_ptr<const AudioClip> audio, std::shared_ptr<const AudioClip> talk_voice);

  const CameraOptions options;
  const std::shared_ptr<const VideoClip> video;
  const std::shared_ptr<const AudioClip> audio;       // null without an audio track
  const std::shared_ptr<const AudioClip> talk_voice;  // G.726-32 sent back during talk
  CameraLog log;

  std::atomic<RefuseAuth> refuse_auth;
  std::atomic<uint32_t> slow_ms;
  std::atomic<bool> talk_back;
  std::atomic<bool> refuse_talk;
  std::atomic<bool> silent;
  std::atomic<McptFault> mctp_fault;
  // The timed pause and drop of the options apply once, to the first session that plays.
  std::atomic<bool> pause_armed;
  std::atomic<bool> drop_armed;

  void PauseVideo(int64_t from_ms, uint32_t duration_ms);
  bool VideoPaused(int64_t now_ms) const;

  uint32_t Random();
  std::string NewSessionId();
  std::string NewNonce();
  int NextConnectionId() { return ++connections_; }

  void SetPlaying(const std::string& session, bool playing);
  bool IsPlaying(const std::string& session) const;
  size_t PlayingCount() const;

  CameraState State() const;
  template <typename F>
  auto WithState(F f) {
    std::lock_guard<std::mutex> lock(state_mutex_);
    return f(&state_);
  }

  void AddEventChannel(Connection* connection, int stream);
  void RemoveEventChannel(Connection* connection);
  size_t EventChannelCount() const;
  // Sends to every open event channel; returns how many took it.
  int PushMotion(unsigned mask);
  int PushAlarm(int value);
  int PushRaw(std::string_view bytes);

 private:
  struct EventChannel {
    Connection* connection;
    int stream;
  };
  template <typename MakeText>
  int Broadcast(MakeText make_text);

  std::atomic<int64_t> pause_from_{0};
  std::atomic<int64_t> pause_until_{0};
  std::atomic<int> connections_{0};

  mutable std::mutex mutex_;  // random engine and sessions
  std::mt19937 random_;
  std::set<std::string> playing_;

  mutable std::mutex state_mutex_;
  CameraState state_;

  mutable std::mutex events_mutex_;
  std::vector<EventChannel> events_;
};

}  // namespace camsim
