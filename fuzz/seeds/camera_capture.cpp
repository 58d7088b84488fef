#include "fuzz/seeds/camera_capture.h"

#include <cstdio>
#include <optional>

#include "netclient/wire/client_address.h"
#include "netclient/wire/interleaved_reader.h"
#include "netclient/wire/mctp_message.h"
#include "netclient/stream/mctp_transaction.h"
#include "netclient/wire/rtsp_answer.h"
#include "netclient/wire/rtsp_message.h"
#include "netclient/wire/rtsp_requests.h"
#include "platform/socket.h"
#include "platform/tick_clock.h"

namespace qvseeds {
namespace {

constexpr qvnet::MctpTimeouts kTimeouts{3000, 3000, 3000};
// Units read after TEARDOWN while looking for its answer among the frames still arriving.
constexpr int kTeardownUnits = 5000;

qvp::Socket Connect(uint16_t port) { return qvnet::MctpConnect("127.0.0.1", port, kTimeouts); }

// Sends `request` and takes one receive as the answer (the simulator sends each answer whole).
std::optional<std::string> Exchange(const qvp::Socket& socket, const std::string& request) {
  if (qvp::SendAll(socket, request.data(), request.size()) != request.size()) return std::nullopt;
  std::string answer(qvnet::kMaxRtspAnswerBytes, '\0');
  const ssize_t n = qvp::Recv(socket, answer.data(), answer.size());
  if (n <= 0) return std::nullopt;
  answer.resize(static_cast<size_t>(n));
  return answer;
}

Bytes ReceiveStream(const qvp::Socket& socket, size_t limit) {
  Bytes stream(limit);
  size_t fill = 0;
  while (fill < limit) {
    const ssize_t n = qvp::Recv(socket, stream.data() + fill, limit - fill);
    if (n <= 0) break;
    fill += static_cast<size_t>(n);
  }
  stream.resize(fill);
  return stream;
}

// The answer to TEARDOWN arrives behind whatever frames were already on their way.
std::string ReadTeardownAnswer(const qvp::Socket& socket) {
  qvnet::InterleavedReader reader([&socket](void* buf, size_t size) { return qvp::Recv(socket, buf, size); });
  std::string text;
  for (int i = 0; i < kTeardownUnits; ++i) {
    uint8_t* data = nullptr;
    size_t length = 0;
    const int unit = reader.Next(&data, &length, qvnet::InterleavedReader::kBufferSize);
    if (unit == qvnet::kInterleavedFailed) break;
    if (unit != qvnet::kInterleavedText) continue;
    text.append(reinterpret_cast<const char*>(data), length);
    if (text.find("\r\n\r\n") != std::string::npos) break;
  }
  return text;
}

bool PlayAndStream(const qvp::Socket& socket, const std::string& uri, char video, char audio,
                   const qvnet::DigestAuth* auth, size_t stream_bytes,
                   const std::function<void(const std::string&)>& while_playing, SessionCapture* out) {
  std::optional<std::string> answer =
      Exchange(socket, qvnet::BuildVideoSetup(uri, video, 3, qvnet::TcpTransportLine(0), auth));
  if (!answer) return false;
  out->answers.emplace_back("setup_video", *answer);
  out->session_id = qvnet::ParseSessionId(*answer);
  answer = Exchange(socket, qvnet::BuildAudioSetup(uri, audio, 4, out->session_id, qvnet::TcpTransportLine(2), auth));
  if (!answer) return false;
  out->answers.emplace_back("setup_audio", *answer);
  answer = Exchange(socket, qvnet::BuildPlay(uri, 5, out->session_id, auth));
  if (!answer) return false;
  out->answers.emplace_back("play", *answer);
  out->stream = ReceiveStream(socket, stream_bytes);
  out->packets = SplitInterleaved(out->stream);
  if (while_playing) while_playing(out->session_id);
  const std::string teardown = qvnet::BuildTeardown(uri, 6, out->session_id, auth);
  if (qvp::SendAll(socket, teardown.data(), teardown.size()) != teardown.size()) return false;
  out->teardown_text = ReadTeardownAnswer(socket);
  return true;
}

}  // namespace

ScopedCamera::ScopedCamera(camsim::CameraOptions options) : camera_(std::move(options)) {
  std::string error;
  ok_ = camera_.Start(&error);
  if (!ok_) std::fprintf(stderr, "camera simulator did not start: %s\n", error.c_str());
}

camsim::CameraOptions SmallCamera(camsim::VideoCodec video, camsim::AudioCodec audio) {
  camsim::CameraOptions o;
  o.video = video;
  o.audio = audio;
  o.width = 160;
  o.height = 128;
  o.fps = 25;
  o.kbps = 48;
  o.clip_seconds = 1;
  o.jpeg_qscale = 31;
  o.mtu = 400;  // several fragments per picture
  return o;
}

SessionCapture CaptureSession(ScopedCamera& camera, bool play, size_t stream_bytes,
                              const std::function<void(const std::string& session_id)>& while_playing) {
  SessionCapture capture;
  const qvp::Socket socket = Connect(camera.Port());
  if (!socket.IsValid()) return capture;
  qvnet::ClientAddress address;
  address.host = "127.0.0.1";
  address.port = camera.Port();
  const std::string uri = qvnet::BuildRtspUri(address, 0);
  std::optional<std::string> answer = Exchange(socket, qvnet::BuildDescribe(uri, 1, nullptr));
  if (!answer) return capture;
  std::optional<qvnet::DigestAuth> auth;
  if (qvnet::AnswerIsUnauthorized(*answer)) {
    capture.answers.emplace_back("describe_401", *answer);
    auth.emplace();
    auth->user = camera.Get().Options().user;
    auth->password = camera.Get().Options().password;
    if (!qvnet::ParseDigestChallenge(*answer, &auth->realm, &auth->nonce)) return capture;
    answer = Exchange(socket, qvnet::BuildDescribe(uri, 2, &*auth));
    if (!answer) return capture;
  }
  capture.answers.emplace_back("describe", *answer);
  char video = '0';
  char audio = '1';
  if (!play || !qvnet::ParseTrackIds(*answer, &video, &audio)) return capture;
  PlayAndStream(socket, uri, video, audio, auth ? &*auth : nullptr, stream_bytes, while_playing, &capture);
  return capture;
}

std::string RtspExchange(uint16_t port, const std::string& request) {
  const qvp::Socket socket = Connect(port);
  if (!socket.IsValid()) return {};
  return Exchange(socket, request).value_or(std::string());
}

std::string MctpAnswer(uint16_t port, const std::string& request) {
  return qvnet::MctpTransaction("127.0.0.1", port, request, kTimeouts).value_or(std::string());
}

Bytes CaptureEvents(uint16_t port, const std::string& session_id, const std::function<void()>& trigger) {
  const qvp::Socket socket = Connect(port);
  if (!socket.IsValid()) return {};
  const std::string registration = qvnet::MctpRegistration(session_id, 0);
  if (qvp::SendAll(socket, registration.data(), registration.size()) != registration.size()) return {};
  const std::string keep_alive(qvnet::kMctpKeepAlive);
  qvp::SendAll(socket, keep_alive.data(), keep_alive.size());
  qvp::SleepMs(200);  // registration answered and the channel open before the events go out
  trigger();
  qvp::SetRecvTimeout(socket, 500);
  return ReceiveStream(socket, 4096);
}

std::vector<Interleaved> SplitInterleaved(std::span<const uint8_t> stream) {
  std::vector<Interleaved> out;
  size_t at = 0;
  while (at + 4 <= stream.size() && stream[at] == '$') {
    const size_t length = (static_cast<size_t>(stream[at + 2]) << 8) | stream[at + 3];
    if (at + 4 + length > stream.size()) break;
    out.push_back({stream[at + 1], Bytes(stream.begin() + static_cast<std::ptrdiff_t>(at + 4),
                                         stream.begin() + static_cast<std::ptrdiff_t>(at + 4 + length))});
    at += 4 + length;
  }
  return out;
}

}  // namespace qvseeds
