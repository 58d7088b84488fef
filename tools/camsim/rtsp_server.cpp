#include "tools/camsim/rtsp_server.h"

#include <arpa/inet.h>

#include <cstdio>

#include "tools/camsim/camera_context.h"
#include "tools/camsim/connection.h"
#include "tools/camsim/digest.h"
#include "tools/camsim/sdp.h"

namespace camsim {

namespace {

constexpr int kVideo = 0;
constexpr int kAudio = 1;
constexpr uint32_t kSplitGapMs = 20;

const char* Reason(int code) {
  switch (code) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 454: return "Session Not Found";
    case 455: return "Method Not Valid in This State";
    case 461: return "Unsupported Transport";
    case 500: return "Internal Server Error";
    default: return "Not Implemented";
  }
}

// Track named by "trackID=<n>" in a SETUP URI; -1 when there is none.
int TrackIndex(const std::string& uri) {
  const size_t pos = uri.rfind("trackID=");
  if (pos == std::string::npos || pos + 8 >= uri.size()) return -1;
  const char c = uri[pos + 8];
  return c == '0' ? kVideo : c == '1' ? kAudio : -1;
}

std::string Hex32(uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof(text), "%08X", value);
  return text;
}

}  // namespace

std::string RtspAnswer(int code, const std::string& cseq, const std::string& headers, const std::string& body) {
  std::string answer = "RTSP/1.0 " + std::to_string(code) + " " + Reason(code) + "\r\n";
  if (!cseq.empty()) answer += "CSeq: " + cseq + "\r\n";
  answer += headers;
  if (!body.empty()) answer += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  answer += "\r\n";
  answer += body;
  return answer;
}

RtspServer::RtspServer(CameraContext& context, Connection& connection)
    : context_(context), connection_(connection), nonce_(context.NewNonce()) {}

RtspServer::~RtspServer() { StopStreaming(); }

void RtspServer::Serve(std::string buffer) {
  for (;;) {
    bool need_more = buffer.empty();
    if (!need_more && !ServeOne(&buffer, &need_more)) return;
    if (need_more && connection_.Receive(&buffer, -1) < 0) return;
  }
}

bool RtspServer::ServeOne(std::string* buffer, bool* need_more) {
  if ((*buffer)[0] == '$') {
    // Interleaved data from the client (RTCP receiver reports): not used, skipped.
    *need_more = buffer->size() < 4;
    if (*need_more) return true;
    const size_t length = (static_cast<size_t>(static_cast<uint8_t>((*buffer)[2])) << 8) |
                          static_cast<uint8_t>((*buffer)[3]);
    *need_more = buffer->size() < 4 + length;
    if (*need_more) return true;
    buffer->erase(0, 4 + length);
    return true;
  }
  const std::optional<size_t> size = CompleteRequestSize(*buffer);
  if (!size) {
    connection_.Send(RtspAnswer(400, ""));
    return false;
  }
  *need_more = *size == 0;
  if (*need_more) return true;
  const std::string text = buffer->substr(0, *size);
  buffer->erase(0, *size);
  context_.log.Request("RTSP", connection_.Id(), text);
  const std::optional<RtspRequest> request = ParseRtspRequest(text);
  const std::string answer = request ? Handle(*request) : RtspAnswer(400, "");
  if (!connection_.DelayAnswer() || !SendAnswer(answer)) return false;
  if (play_pending_) StartStreaming();
  return true;
}

bool RtspServer::SendAnswer(const std::string& answer) {
  if (!context_.options.split_answers) return connection_.Send(answer);
  // Status line | rest of the header | body.
  const size_t status_end = answer.find("\r\n") + 2;
  const size_t header_end = answer.find("\r\n\r\n") + 4;
  return connection_.SendInPieces(answer, {status_end, header_end}, kSplitGapMs);
}

std::string RtspServer::Handle(const RtspRequest& request) {
  const std::string* cseq_header = request.Header("CSeq");
  if (cseq_header == nullptr) return RtspAnswer(400, "");
  const std::string& cseq = *cseq_header;
  const std::string& method = request.method;
  if (method == "OPTIONS") {
    return RtspAnswer(200, cseq, "Public: OPTIONS, DESCRIBE, SETUP, PLAY, TEARDOWN, GET_PARAMETER, SET_PARAMETER\r\n");
  }
  const bool known = method == "DESCRIBE" || method == "SETUP" || method == "PLAY" || method == "TEARDOWN" ||
                     method == "GET_PARAMETER" || method == "SET_PARAMETER";
  if (!known) return RtspAnswer(501, cseq);
  std::string refusal;
  if (!Authorized(request, cseq, &refusal)) return refusal;
  if (method == "DESCRIBE") return OnDescribe(request, cseq);
  if (method == "SETUP") return OnSetup(request, cseq);
  if (method == "PLAY") return OnPlay(request, cseq);
  if (method == "TEARDOWN") return OnTeardown(cseq);
  if (method == "GET_PARAMETER" && context_.options.refuse_get_parameter) return RtspAnswer(501, cseq);
  // Parameters are not kept; the requests serve as keep-alives.
  return RtspAnswer(200, cseq, session_id_.empty() ? std::string() : SessionHeader());
}

bool RtspServer::Authorized(const RtspRequest& request, const std::string& cseq, std::string* refusal) {
  const CameraOptions& options = context_.options;
  if (options.user.empty()) return true;
  const std::string challenge =
      "WWW-Authenticate: Digest realm=\"" + options.realm + "\", nonce=\"" + nonce_ + "\"\r\n";
  const std::string* header = request.Header("Authorization");
  if (header == nullptr) {
    *refusal = RtspAnswer(401, cseq, challenge);
    return false;
  }
  const RefuseAuth refuse = context_.refuse_auth.load();
  if (request.method == "DESCRIBE" && refuse != RefuseAuth::kOff) {
    *refusal = refuse == RefuseAuth::k403 ? RtspAnswer(403, cseq) : RtspAnswer(401, cseq, challenge);
    return false;
  }
  const std::optional<DigestCredentials> c = ParseDigestAuthorization(*header);
  const bool ok = c && c->username == options.user && c->realm == options.realm && c->nonce == nonce_ &&
                  EqualsNoCase(c->response, ExpectedDigestResponse(*c, request.method, options.password));
  if (!ok) *refusal = RtspAnswer(401, cseq, challenge);
  return ok;
}

std::string RtspServer::OnDescribe(const RtspRequest& request, const std::string& cseq) {
  const CameraOptions& o = context_.options;
  base_uri_ = request.uri;
  while (!base_uri_.empty() && base_uri_.back() == '/') base_uri_.pop_back();
  SdpInput sdp;
  sdp.video = context_.video.get();
  sdp.audio = context_.audio ? o.audio : AudioCodec::kNone;
  sdp.audio_without_control = o.audio_without_control;
  sdp.address = o.bind_address;
  sdp.session_version = context_.Random() % 1000000000u;
  std::string headers;
  const std::string marker = "Server: QuorValenta Rtsp Server ";
  if (o.server_header == ServerHeader::kParams) {
    headers += marker + std::to_string(o.width) + "*" + std::to_string(o.height) + "*" + std::to_string(o.fps) +
               "*" + std::to_string(o.kbps) + "\r\n";
  } else if (o.server_header == ServerHeader::kCustom) {
    headers += marker + o.server_header_text + "\r\n";
  }
  headers += "Content-Base: " + base_uri_ + "/\r\n";
  headers += "Content-Type: application/sdp\r\n";
  return RtspAnswer(200, cseq, headers, BuildSdp(sdp));
}

std::string RtspServer::OnSetup(const RtspRequest& request, const std::string& cseq) {
  const int index = TrackIndex(request.uri);
  if (index < 0 || (index == kAudio && !context_.audio)) return RtspAnswer(404, cseq);
  if (!session_id_.empty() && request.Header("Session") != nullptr && !SessionMatches(request)) {
    return RtspAnswer(454, cseq);
  }
  if (streamer_) return RtspAnswer(455, cseq);
  const std::string* header = request.Header("Transport");
  const std::optional<TransportSpec> spec = header ? ParseTransport(*header) : std::nullopt;
  if (!spec) return RtspAnswer(461, cseq);
  const std::string transport = SetUpTransport(&tracks_[static_cast<size_t>(index)], index, *spec);
  if (transport.empty()) return RtspAnswer(500, cseq);
  if (session_id_.empty()) session_id_ = context_.NewSessionId();
  return RtspAnswer(200, cseq, "Transport: " + transport + "\r\n" + SessionHeader());
}

std::string RtspServer::SetUpTransport(Track* track, int index, const TransportSpec& spec) {
  track->transport = spec;
  track->rtp.ssrc = context_.Random();
  track->rtp.sequence = static_cast<uint16_t>(context_.Random());
  track->first_timestamp = context_.Random();
  if (index == kVideo) {
    track->rtp.payload_type = context_.video->codec == VideoCodec::kJpeg ? 26 : 96;
  } else {
    track->rtp.payload_type = static_cast<uint8_t>(GetAudioCodecInfo(context_.options.audio)->payload_type);
  }
  const std::string ssrc = ";ssrc=" + Hex32(track->rtp.ssrc);
  if (spec.tcp) {
    if (track->transport.rtp < 0) {
      track->transport.rtp = 2 * index;
      track->transport.rtcp = 2 * index + 1;
    }
    track->rtp_socket.Reset();
    track->rtcp_socket.Reset();
    track->set_up = true;
    return "RTP/AVP/TCP;unicast;interleaved=" + std::to_string(track->transport.rtp) + "-" +
           std::to_string(track->transport.rtcp) + ssrc;
  }
  if (!BindUdpPair(context_.options.bind_address, &track->rtp_socket, &track->rtcp_socket, &track->server_port)) {
    return {};
  }
  track->set_up = true;
  return spec.profile + ";unicast;client_port=" + std::to_string(spec.rtp) + "-" + std::to_string(spec.rtcp) +
         ";server_port=" + std::to_string(track->server_port) + "-" + std::to_string(track->server_port + 1) + ssrc;
}

std::string RtspServer::OnPlay(const RtspRequest& request, const std::string& cseq) {
  if (session_id_.empty() || !tracks_[kVideo].set_up) return RtspAnswer(455, cseq);
  if (!SessionMatches(request)) return RtspAnswer(454, cseq);
  std::string headers = SessionHeader() + "Range: npt=0.000-\r\n";
  if (streamer_) return RtspAnswer(200, cseq, headers);
  std::string info;
  for (size_t i = 0; i < tracks_.size(); ++i) {
    if (!tracks_[i].set_up) continue;
    if (!info.empty()) info += ",";
    info += "url=" + base_uri_ + "/trackID=" + std::to_string(i) + ";seq=" + std::to_string(tracks_[i].rtp.sequence) +
            ";rtptime=" + std::to_string(tracks_[i].first_timestamp);
  }
  headers += "RTP-Info: " + info + "\r\n";
  // Playing from the answer on: a client registers its event channel right after it.
  context_.SetPlaying(session_id_, true);
  play_pending_ = true;
  return RtspAnswer(200, cseq, headers);
}

std::string RtspServer::OnTeardown(const std::string& cseq) {
  const std::string headers = session_id_.empty() ? std::string() : SessionHeader();
  StopStreaming();
  for (Track& track : tracks_) track = Track();
  session_id_.clear();
  return RtspAnswer(200, cseq, headers);
}

bool RtspServer::SessionMatches(const RtspRequest& request) const {
  const std::string* header = request.Header("Session");
  if (header == nullptr) return false;
  return header->substr(0, header->find(';')) == session_id_;
}

std::string RtspServer::SessionHeader() const {
  const CameraOptions& o = context_.options;
  return "Session: " + session_id_ + (o.session_timeout ? ";timeout=" + std::to_string(o.session_timeout_s) : "") +
         "\r\n";
}

MediaTarget RtspServer::TargetFor(Track* track) const {
  MediaTarget target;
  target.enabled = track->set_up;
  target.tcp = track->transport.tcp;
  target.channel = track->transport.rtp;
  target.udp_socket = track->rtp_socket.Get();
  target.track = track->rtp;
  target.first_timestamp = track->first_timestamp;
  if (!target.tcp && PeerAddress(connection_.Socket(), &target.destination)) {
    target.destination.sin_port = htons(static_cast<uint16_t>(track->transport.rtp));
  }
  return target;
}

void RtspServer::StartStreaming() {
  play_pending_ = false;
  const AudioCodec audio = tracks_[kAudio].set_up ? context_.options.audio : AudioCodec::kNone;
  log_session_ = context_.log.BeginSession(session_id_, context_.video->codec, audio);
  streamer_ = std::make_unique<Streamer>(context_, connection_, log_session_, TargetFor(&tracks_[kVideo]),
                                         TargetFor(&tracks_[kAudio]));
  streamer_->Start();
}

void RtspServer::StopStreaming() {
  play_pending_ = false;
  if (streamer_) {
    streamer_->Stop();
    streamer_.reset();
    context_.log.EndSession(log_session_);
  }
  if (!session_id_.empty()) context_.SetPlaying(session_id_, false);
}

}  // namespace camsim
