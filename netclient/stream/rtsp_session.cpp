#include "netclient/stream/rtsp_session.h"

#include <netinet/in.h>

#include <utility>

#include "netclient/stream/debug_trace.h"
#include "netclient/wire/interleaved_reader.h"
#include "platform/tick_clock.h"

namespace qvnet {

CRtspSession::CRtspSession(StreamClient& client) : client_(client) {}

qvp::Socket* CRtspSession::Adopt(qvp::Socket socket) {
  owned_.push_back(std::make_unique<qvp::Socket>(std::move(socket)));
  return owned_.back().get();
}

void CRtspSession::Retire(std::atomic<qvp::Socket*>* slot) {
  qvp::Socket* socket = slot->exchange(nullptr);
  if (socket != nullptr) socket->Shutdown();
}

bool CRtspSession::CreateSockets() {
  CloseAll();
  qvp::LockGuard guard(lock_);
  owned_.clear();  // no thread uses the retired sockets any more: really close them now
  qvp::Socket control = qvp::Socket::Tcp();
  if (!control.IsValid()) return false;
  qvp::Socket video;
  qvp::Socket audio;
  if (client_.transport == MediaTransport::kUdp) {
    video = qvp::Socket::Udp();
    audio = qvp::Socket::Udp();
    if (!video.IsValid() || !audio.IsValid()) return false;  // the locals close what was made
  }
  video_port_ = 0;
  audio_port_ = 0;
  control_ = Adopt(std::move(control));
  const qvp::Socket* control_socket = control_.load();
  interleaved_ = std::make_unique<InterleavedReader>([this, control_socket](void* b, size_t size) -> ssize_t {
    // An answer that trickles in must still be whole within the set-up's time-out.
    const uint32_t deadline = answer_deadline_.load();
    if (deadline != 0 && static_cast<int32_t>(qvp::TickCount() - deadline) > 0) return -1;
    return qvp::Recv(*control_socket, b, size);
  });
  if (client_.address.standard) interleaved_->SetHighestChannel(kHighestStandardChannel);
  if (video.IsValid()) video_ = Adopt(std::move(video));
  if (audio.IsValid()) audio_ = Adopt(std::move(audio));
  return true;
}

bool CRtspSession::SetTimeouts(uint32_t send_ms, uint32_t recv_ms) {
  qvp::LockGuard guard(lock_);
  const qvp::Socket* control = control_.load();
  return control != nullptr && qvp::SetSendTimeout(*control, send_ms) && qvp::SetRecvTimeout(*control, recv_ms);
}

void CRtspSession::CloseMediaSockets() {
  qvp::LockGuard guard(lock_);
  Retire(&video_);
  Retire(&audio_);
}

void CRtspSession::CloseAll() {
  CloseMediaSockets();
  qvp::LockGuard guard(lock_);
  Retire(&control_);
}

std::string CRtspSession::SessionId() const {
  qvp::LockGuard guard(lock_);
  return session_id_;
}

std::string CRtspSession::Uri() const {
  qvp::LockGuard guard(lock_);
  return uri_;
}

bool CRtspSession::Authenticated() const {
  qvp::LockGuard guard(lock_);
  return authenticate_;
}

int CRtspSession::NextCseq() {
  qvp::LockGuard guard(lock_);
  return cseq_++;
}

CRtspSession::SetupResult CRtspSession::Setup() {
  {
    qvp::LockGuard guard(lock_);
    cseq_ = 1;
    authenticate_ = false;
    uri_ = BuildRtspUri(client_.address, client_.stream_number);
    auth_.user = client_.user;
    auth_.password = client_.password;
    standard_ = StandardState{};
  }
  video_channel_ = kChannelVideoRtp;
  audio_channel_ = kChannelAudioRtp;
  keepalive_ms_ = 0;
  if (!Connect()) return kSetupFailed;
  if (client_.address.standard) return SetupStandard();
  const SetupResult described = Describe();
  if (described != kSetupPlaying) return described;
  if (!SetupVideo() || !SetupAudio() || !Play()) return kSetupFailed;
  return kSetupPlaying;
}

bool CRtspSession::Connect() {
  if (!SetTimeouts(kSetupTimeoutMs, kSetupTimeoutMs)) return false;
  in_addr addr{};
  if (!qvp::ResolveIPv4(client_.address.host, &addr)) return false;
  camera_addr_ = addr.s_addr;
  video_server_port_ = 0;
  audio_server_port_ = 0;
  const qvp::Socket* control = control_.load();
  if (control == nullptr) return false;
  const int timeout_s = client_.Context().connect_timeout_s.load();
  return qvp::ConnectWithTimeout(*control, addr, client_.address.port, static_cast<uint32_t>(timeout_s) * 1000u) == 0;
}

bool CRtspSession::Exchange(const std::string& request, std::string_view* answer) {
  const qvp::Socket* control = control_.load();
  if (control == nullptr || interleaved_ == nullptr) return false;
  if (qvp::SendAll(*control, request.data(), request.size()) != request.size()) return false;
  answer_deadline_ = qvp::TickCount() + kSetupTimeoutMs;
  const int result = interleaved_->NextAnswer(&answer_text_, kMaxRtspAnswerBytes);
  answer_deadline_ = 0;
  if (result != 0) return false;
  // The dialect's rules see the text up to a NUL byte, as they always did.
  *answer = AnswerText(answer_text_.data(), answer_text_.size());
  return true;
}

CRtspSession::SetupResult CRtspSession::Describe() {
  std::string_view answer;
  if (!Exchange(BuildDescribe(uri_, NextCseq(), nullptr), &answer)) return kSetupFailed;
  if (AnswerIsUnauthorized(answer)) {
    std::string realm;
    std::string nonce;
    const bool complete = ParseDigestChallenge(answer, &realm, &nonce);
    {
      qvp::LockGuard guard(lock_);
      authenticate_ = true;
      if (complete) {
        auth_.realm = std::move(realm);
        auth_.nonce = std::move(nonce);
      }
    }
    if (!complete) return kSetupFailed;
    // Only this one challenge is answered: a second 401 means the account was refused.
    if (!Exchange(BuildDescribe(uri_, NextCseq(), &auth_), &answer)) return kSetupFailed;
    if (!AnswerIsOk(answer)) return kSetupRefused;
  }
  if (!AnswerIsOk(answer)) return kSetupFailed;
  if (!ParseTrackIds(answer, &video_track_, &audio_track_)) return kSetupFailed;
  TakeDescription(answer);
  return kSetupPlaying;
}

void CRtspSession::TakeDescription(std::string_view answer) {
  if (const std::optional<VideoParams> params = ParseServerVideoParams(answer)) {
    client_.width = params->width;
    client_.height = params->height;
    client_.frame_rate = params->frame_rate;
    client_.bit_rate = params->bit_rate;
    DebugTrace("Get Rtsp Video Param right \r\n\r\n");
  }
  const CodecChoice codecs = PickCodecs(answer);
  client_.video_payload_type = codecs.video_payload_type;
  if (codecs.audio_codec) client_.audio_codec = *codecs.audio_codec;
}

bool CRtspSession::BindMediaSocket(const qvp::Socket* socket, uint16_t base, std::atomic<uint16_t>* port) {
  if (socket == nullptr) return false;
  if (!qvp::SetRecvTimeout(*socket, client_.Context().udp_loss_timeout_ms.load()) ||
      !qvp::SetRecvBufferSize(*socket, kMediaRecvBuffer)) {
    return false;
  }
  in_addr any{};
  any.s_addr = htonl(INADDR_ANY);
  for (int i = 0; i < kMaxPortTries; ++i) {
    const auto candidate = static_cast<uint16_t>(base + 2 * i);
    if (!qvp::Bind(*socket, any, candidate)) continue;
    *port = candidate;
    return true;
  }
  return false;
}

bool CRtspSession::SetupVideo() {
  std::string transport;
  if (client_.transport == MediaTransport::kUdp) {
    if (!BindMediaSocket(video_.load(), kVideoBasePort, &video_port_)) return false;
    transport = UdpTransportLine(video_port_);
  } else {
    transport = TcpTransportLine(kChannelVideoRtp);
  }
  {
    qvp::LockGuard guard(lock_);
    session_id_.clear();
  }
  std::string_view answer;
  if (!Exchange(BuildVideoSetup(uri_, video_track_, NextCseq(), transport, Auth()), &answer)) return false;
  if (!AnswerIsOk(answer)) return false;
  video_server_port_ = ParseServerPort(answer).value_or(0);
  std::string session = ParseSessionId(answer);
  qvp::LockGuard guard(lock_);
  session_id_ = std::move(session);
  return true;
}

bool CRtspSession::SetupAudio() {
  std::string transport;
  if (client_.transport == MediaTransport::kUdp) {
    if (!BindMediaSocket(audio_.load(), kAudioBasePort, &audio_port_)) return false;
    transport = UdpTransportLine(audio_port_);
  } else {
    transport = TcpTransportLine(kChannelAudioRtp);
  }
  std::string_view answer;
  const std::string request = BuildAudioSetup(uri_, audio_track_, NextCseq(), SessionId(), transport, Auth());
  if (!Exchange(request, &answer) || !AnswerIsOk(answer)) return false;
  audio_server_port_ = ParseServerPort(answer).value_or(0);
  return true;
}

bool CRtspSession::FromCamera(const sockaddr_in& from, bool video) const {
  if (from.sin_family != AF_INET || from.sin_addr.s_addr != camera_addr_.load()) return false;
  const uint16_t port = (video ? video_server_port_ : audio_server_port_).load();
  return port == 0 || ntohs(from.sin_port) == port;
}

bool CRtspSession::Play() {
  std::string_view answer;
  return Exchange(BuildPlay(uri_, NextCseq(), SessionId(), Auth()), &answer) && AnswerIsOk(answer);
}

bool CRtspSession::TearDown() {
  qvp::LockGuard guard(lock_);
  if (control_.load() == nullptr) {
    DebugTrace("CRtspSession::TearDown return\n");
    return false;
  }
  DebugTrace("CRtspSession::TearDown\n");
  if (TearDownLocked(true)) return true;
  DebugTrace("CRtspSession::TearDown return\n");
  return false;
}

bool CRtspSession::TearDownTcp() {
  qvp::LockGuard guard(lock_);
  if (control_.load() == nullptr) {
    DebugTrace("CRtspSession::TearDownTCP return\n");
    return false;
  }
  DebugTrace("CRtspSession::TearDownTCP\n");
  if (TearDownLocked(false)) return true;
  DebugTrace("CRtspSession::TearDownTCP return\n");
  return false;
}

bool CRtspSession::TearDownLocked(bool wait_answer) {
  const qvp::Socket* control = control_.load();
  const std::string request =
      client_.address.standard ? StandardTeardownLocked() : BuildTeardown(uri_, cseq_++, session_id_, Auth());
  if (qvp::SendAll(*control, request.data(), request.size()) != request.size()) return false;
  // Over TCP the answer would arrive among the interleaved packets: nobody waits for it.
  if (!wait_answer || interleaved_ == nullptr) return true;
  // UDP: the source thread tears down, and it is the only reader of the control socket.
  std::string answer;
  answer_deadline_ = qvp::TickCount() + kSetupTimeoutMs;
  const int result = interleaved_->NextAnswer(&answer, kMaxRtspAnswerBytes);
  answer_deadline_ = 0;
  if (result != 0) return false;
  return AnswerIsOk(AnswerText(answer.data(), answer.size()));
}

int CRtspSession::NextInterleaved(uint8_t** data, size_t* length, size_t max_packet) {
  // The reader keeps its socket pointer, which stays valid (shut down at worst) until the next
  // CreateSockets() on this same thread.
  if (control_.load() == nullptr || interleaved_ == nullptr) return kInterleavedFailed;
  return interleaved_->Next(data, length, max_packet);
}

}  // namespace qvnet
