#include "tools/camsim/camera.h"

#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>

#include "tools/camsim/audio_clip.h"
#include "tools/camsim/camera_context.h"
#include "tools/camsim/connection.h"
#include "tools/camsim/video_clip.h"

namespace camsim {

namespace {

constexpr int kReapIntervalMs = 500;
constexpr int kAudioClipSeconds = 8;

}  // namespace

Camera::Camera(CameraOptions options) : options_(std::move(options)) {}

Camera::~Camera() { Stop(); }

bool Camera::Start(std::string* error) {
  if (context_) {
    *error = "a camera is started only once";
    return false;
  }
  if (!wake_.Valid()) {
    *error = "cannot make a pipe";
    return false;
  }
  std::shared_ptr<const VideoClip> video = GetVideoClip(options_, error);
  if (!video) return false;
  std::shared_ptr<const AudioClip> audio;
  if (options_.audio != AudioCodec::kNone) {
    audio = GetAudioClip(options_.audio, kAudioClipSeconds, error);
    if (!audio) return false;
  }
  std::shared_ptr<const AudioClip> talk = GetAudioClip(AudioCodec::kG726_32, kAudioClipSeconds, error);
  if (!talk) return false;
  listener_ = ListenTcp(options_.bind_address, options_.port, error);
  if (!listener_.Valid()) return false;
  port_ = LocalPort(listener_.Get());
  context_ = std::make_unique<CameraContext>(options_, std::move(video), std::move(audio), std::move(talk));
  running_.store(true);
  accept_thread_ = std::thread([this] { AcceptLoop(); });
  return true;
}

void Camera::Stop() {
  if (!running_.exchange(false)) return;
  wake_.Wake();
  if (accept_thread_.joinable()) accept_thread_.join();
  std::list<std::unique_ptr<Connection>> connections;
  {
    std::lock_guard<std::mutex> lock(connections_mutex_);
    connections.swap(connections_);
  }
  for (auto& c : connections) c->Shutdown();
  for (auto& c : connections) c->Join();
  listener_.Reset();
}

void Camera::AcceptLoop() {
  for (;;) {
    pollfd fds[2] = {{listener_.Get(), POLLIN, 0}, {wake_.ReadFd(), POLLIN, 0}};
    const int n = ::poll(fds, 2, kReapIntervalMs);
    if (n < 0 && errno != EINTR) break;
    if (fds[1].revents & POLLIN) break;
    if (n > 0 && (fds[0].revents & POLLIN)) Accept();
    ReapFinished();
  }
}

void Camera::Accept() {
  Fd socket(::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC));
  if (!socket.Valid()) return;
  const int one = 1;
  ::setsockopt(socket.Get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
  auto connection = std::make_unique<Connection>(*context_, std::move(socket), context_->NextConnectionId());
  connection->Start();
  std::lock_guard<std::mutex> lock(connections_mutex_);
  connections_.push_back(std::move(connection));
}

void Camera::ReapFinished() {
  std::list<std::unique_ptr<Connection>> finished;
  {
    std::lock_guard<std::mutex> lock(connections_mutex_);
    for (auto it = connections_.begin(); it != connections_.end();) {
      auto next = std::next(it);
      if ((*it)->Done()) finished.splice(finished.end(), connections_, it);
      it = next;
    }
  }
  // Destroyed outside the lock: each joins its (already ended) thread.
}

int Camera::PushMotion(unsigned mask) { return context_ ? context_->PushMotion(mask) : 0; }
int Camera::PushAlarm(int value) { return context_ ? context_->PushAlarm(value) : 0; }
int Camera::SendRawEvent(std::string_view bytes) { return context_ ? context_->PushRaw(bytes) : 0; }

int Camera::FloodEvents() {
  std::string flood = "CMD:MD MCTP/1.0 CS\n";
  while (flood.size() <= 4200) flood += "@0@1@0@0@0@0@0@0\n";
  return SendRawEvent(flood);
}

void Camera::PauseVideo(uint32_t ms) {
  if (context_) context_->PauseVideo(SteadyMs(), ms);
}

int Camera::DropConnections() {
  std::lock_guard<std::mutex> lock(connections_mutex_);
  int dropped = 0;
  for (auto& c : connections_) {
    if (c->GetKind() != Connection::Kind::kRtsp || c->Closing()) continue;
    c->Shutdown();
    ++dropped;
  }
  return dropped;
}

void Camera::SetRefuseAuth(RefuseAuth refuse) {
  options_.refuse_auth = refuse;
  if (context_) context_->refuse_auth.store(refuse);
}

void Camera::SetSlow(uint32_t ms) {
  options_.slow_ms = ms;
  if (context_) context_->slow_ms.store(ms);
}

void Camera::SetTalkBack(bool on) {
  options_.talk_back = on;
  if (context_) context_->talk_back.store(on);
}

void Camera::SetRefuseTalk(bool on) {
  options_.refuse_talk = on;
  if (context_) context_->refuse_talk.store(on);
}

void Camera::SetSilent(bool on) {
  options_.silent = on;
  if (context_) context_->silent.store(on);
}

void Camera::SetMctpFault(McptFault fault) {
  options_.mctp_fault = fault;
  if (context_) context_->mctp_fault.store(fault);
}

std::vector<RequestRecord> Camera::Requests() const {
  return context_ ? context_->log.Requests() : std::vector<RequestRecord>{};
}

std::vector<SessionMedia> Camera::Media() const {
  return context_ ? context_->log.Media() : std::vector<SessionMedia>{};
}

std::vector<TalkRecord> Camera::TalkFrames() const {
  return context_ ? context_->log.TalkFrames() : std::vector<TalkRecord>{};
}

Bytes Camera::TalkVoice() const { return context_ ? context_->log.TalkVoice() : Bytes{}; }

size_t Camera::TalkSessionsEnded() const { return context_ ? context_->log.TalkSessionsEnded() : 0; }

CameraState Camera::State() const {
  return context_ ? context_->State() : DefaultCameraState(options_.width, options_.height);
}

size_t Camera::PlayingSessions() const { return context_ ? context_->PlayingCount() : 0; }
size_t Camera::EventChannels() const { return context_ ? context_->EventChannelCount() : 0; }

}  // namespace camsim
