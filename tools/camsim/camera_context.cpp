#include "tools/camsim/camera_context.h"

#include <algorithm>
#include <chrono>

#include "tools/camsim/connection.h"

namespace camsim {

int64_t SteadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

CameraContext::CameraContext(const CameraOptions& opts, std::shared_ptr<const VideoClip> video_clip,
                             std::shared_ptr<const AudioClip> audio_clip,
                             std::shared_ptr<const AudioClip> talk_clip)
    : options(opts),
      video(std::move(video_clip)),
      audio(std::move(audio_clip)),
      talk_voice(std::move(talk_clip)),
      log(opts),
      refuse_auth(opts.refuse_auth),
      slow_ms(opts.slow_ms),
      talk_back(opts.talk_back),
      refuse_talk(opts.refuse_talk),
      silent(opts.silent),
      mctp_fault(opts.mctp_fault),
      pause_armed(opts.pause_video_ms > 0),
      drop_armed(opts.drop_after_ms > 0),
      random_(std::random_device{}()),
      state_(DefaultCameraState(opts.width, opts.height)) {}

void CameraContext::PauseVideo(int64_t from_ms, uint32_t duration_ms) {
  pause_from_.store(from_ms);
  pause_until_.store(from_ms + duration_ms);
}

bool CameraContext::VideoPaused(int64_t now_ms) const {
  return now_ms >= pause_from_.load() && now_ms < pause_until_.load();
}

uint32_t CameraContext::Random() {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<uint32_t>(random_());
}

std::string CameraContext::NewSessionId() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (options.text_session_id) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string id = "QvS-";
    while (id.size() < 16) id += kHex[random_() % 16];
    return id;
  }
  const size_t digits = options.long_session_id ? 40 : 8;
  std::string id;
  id += static_cast<char>('1' + random_() % 9);
  while (id.size() < digits) id += static_cast<char>('0' + random_() % 10);
  return id;
}

std::string CameraContext::NewNonce() {
  static const char kHex[] = "0123456789abcdef";
  std::lock_guard<std::mutex> lock(mutex_);
  std::string nonce;
  for (int i = 0; i < 32; ++i) nonce += kHex[random_() % 16];
  return nonce;
}

void CameraContext::SetPlaying(const std::string& session, bool playing) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (playing) {
    playing_.insert(session);
  } else {
    playing_.erase(session);
  }
}

bool CameraContext::IsPlaying(const std::string& session) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return playing_.count(session) > 0;
}

size_t CameraContext::PlayingCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return playing_.size();
}

CameraState CameraContext::State() const {
  std::lock_guard<std::mutex> lock(state_mutex_);
  return state_;
}

void CameraContext::AddEventChannel(Connection* connection, int stream) {
  std::lock_guard<std::mutex> lock(events_mutex_);
  events_.push_back({connection, stream});
}

void CameraContext::RemoveEventChannel(Connection* connection) {
  std::lock_guard<std::mutex> lock(events_mutex_);
  events_.erase(std::remove_if(events_.begin(), events_.end(),
                               [&](const EventChannel& e) { return e.connection == connection; }),
                events_.end());
}

size_t CameraContext::EventChannelCount() const {
  std::lock_guard<std::mutex> lock(events_mutex_);
  return events_.size();
}

template <typename MakeText>
int CameraContext::Broadcast(MakeText make_text) {
  std::lock_guard<std::mutex> lock(events_mutex_);
  int sent = 0;
  for (const EventChannel& channel : events_) {
    if (channel.connection->Send(make_text(channel.stream))) ++sent;
  }
  return sent;
}

int CameraContext::PushMotion(unsigned mask) {
  const CameraState state = State();
  const McptFault fault = mctp_fault.load();
  return Broadcast([&](int stream) { return MotionEvent(mask, stream, state, fault); });
}

int CameraContext::PushAlarm(int value) {
  const McptFault fault = mctp_fault.load();
  return Broadcast([&](int) { return AlarmEvent(value, fault); });
}

int CameraContext::PushRaw(std::string_view bytes) {
  return Broadcast([&](int) { return std::string(bytes); });
}

}  // namespace camsim
