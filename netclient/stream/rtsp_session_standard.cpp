// CRtspSession in standard mode: any RTSP/1.0 server (RFC 2326) addressed by an rtsp:// URL.
// DESCRIBE (Basic or Digest when challenged), the description per media section, SETUP of the
// first video and the first audio track in whatever order the server lists them, PLAY on the
// aggregate URL, keep-alive requests within the session's time-out, TEARDOWN.
#include <netinet/in.h>

#include <cstdio>
#include <optional>
#include <random>
#include <utility>

#include "netclient/media/record/record_format.h"
#include "netclient/stream/debug_trace.h"
#include "netclient/stream/rtsp_session.h"
#include "netclient/wire/base64.h"
#include "netclient/wire/h264_sps.h"
#include "netclient/wire/rtsp_transport.h"
#include "netclient/wire/rtsp_url.h"
#include "netclient/wire/sdp.h"

namespace qvnet {
namespace {

constexpr int kStatusUnauthorized = 401;
// Messages the server may send before our answer (its own requests); more end the exchange.
constexpr int kMaxForeignMessages = 4;

bool Ok(const RtspResponse& r) { return r.status >= 200 && r.status < 300; }

// Picture size and frame rate the description announces: the SPS of sprop-parameter-sets,
// then a=x-dimensions / a=framesize and a=framerate where they are given.
void TakePictureFacts(const SdpMedia& media, int payload_type, StreamFacts& facts) {
  std::optional<double> rate = media.frame_rate;
  std::optional<std::pair<int, int>> size = media.dimensions;
  const std::string_view sprop = FmtpParameter(media.FmtpOf(payload_type), "sprop-parameter-sets");
  const std::optional<std::vector<uint8_t>> sps = Base64Decode(sprop.substr(0, sprop.find(',')));
  if (sps && !sps->empty()) {
    if (const std::optional<SpsInfo> info = ParseH264Sps(sps->data(), sps->size())) {
      size = std::make_pair(info->width, info->height);
      if (!rate) rate = info->frame_rate;
    }
  }
  if (size) {
    facts.width = size->first;
    facts.height = size->second;
  }
  if (rate) facts.frame_rate = std::max(1, static_cast<int32_t>(*rate + 0.5));
}

}  // namespace

std::string CRtspSession::NewClientNonce() {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(random() ^ ++cnonce_counter_));
  return text;
}

std::string CRtspSession::StandardRequestText(std::string_view method, const std::string& uri,
                                              const std::string& headers) {
  qvp::LockGuard guard(lock_);
  std::string lines = headers;
  if (standard_.auth) {
    lines += "Authorization: " + AuthorizationValue(*standard_.auth, method, uri, NewClientNonce()) + "\r\n";
  }
  return BuildRequest(method, uri, cseq_++, lines);
}

std::optional<RtspResponse> CRtspSession::StandardRequest(std::string_view method, const std::string& uri,
                                                          const std::string& headers, bool* refused) {
  *refused = false;
  bool answered_challenge = false;
  for (int sent = 0; sent < 2; ++sent) {
    std::string_view text;
    if (!Exchange(StandardRequestText(method, uri, headers), &text)) return std::nullopt;
    std::optional<RtspResponse> answer = ParseRtspResponse(answer_text_);
    // A request of the server's own (or anything else that is no answer) may come first.
    for (int skipped = 0; !answer && skipped < kMaxForeignMessages; ++skipped) {
      if (interleaved_->NextAnswer(&answer_text_, kMaxRtspAnswerBytes) != 0) return std::nullopt;
      answer = ParseRtspResponse(answer_text_);
    }
    if (!answer || answer->status != kStatusUnauthorized || answered_challenge) {
      *refused = answer && answer->status == kStatusUnauthorized;
      return answer;
    }
    const std::optional<AuthChallenge> challenge = ChooseChallenge(answer->Headers("WWW-Authenticate"));
    const std::string& user = client_.address.url.has_credentials ? client_.address.url.user : client_.user;
    const std::string& password =
        client_.address.url.has_credentials ? client_.address.url.password : client_.password;
    if (!challenge || user.empty()) {
      *refused = true;
      return answer;
    }
    {
      qvp::LockGuard guard(lock_);
      standard_.auth = AuthState{*challenge, user, password, 0};
      authenticate_ = true;
    }
    answered_challenge = true;
  }
  return std::nullopt;
}

CRtspSession::SetupResult CRtspSession::SetupStandard() {
  const SetupResult described = DescribeStandard();
  if (described != kSetupPlaying) return described;
  if (!SetupStandardTrack(true)) return kSetupFailed;
  // Audio is optional: a server that refuses its SETUP still gives us the video.
  if (standard_.audio && !SetupStandardTrack(false)) {
    qvp::LockGuard guard(lock_);
    standard_.audio.reset();
    audio_channel_ = -1;
    client_.audio_codec = 0;
  }
  return PlayStandard() ? kSetupPlaying : kSetupFailed;
}

CRtspSession::SetupResult CRtspSession::DescribeStandard() {
  bool refused = false;
  const std::optional<RtspResponse> answer = StandardRequest("DESCRIBE", uri_, "Accept: application/sdp\r\n", &refused);
  if (refused) return kSetupRefused;
  if (!answer || !Ok(*answer)) return kSetupFailed;
  return TakeStandardDescription(*answer, uri_) ? kSetupPlaying : kSetupFailed;
}

bool CRtspSession::TakeStandardDescription(const RtspResponse& answer, const std::string& request_url) {
  const std::optional<SessionDescription> sdp = ParseSdp(answer.body);
  if (!sdp) return false;
  const ChosenTracks chosen = ChooseTracks(*sdp);
  if (!chosen.video) return false;
  // RFC 2326 §C.1.1: controls are relative to Content-Base, else Content-Location, else the
  // request URL.
  const std::string* base = answer.Header("Content-Base");
  if (base == nullptr) base = answer.Header("Content-Location");
  const std::string base_url = base != nullptr && IsRtspUrl(*base) ? *base : request_url;
  const SdpMedia& video = sdp->media[chosen.video->media];
  qvp::LockGuard guard(lock_);
  standard_.aggregate_url = ResolveRtspUrl(base_url, sdp->control);
  standard_.video = Track{ResolveRtspUrl(base_url, video.control), chosen.video->payload_type, chosen.video->codec};
  if (chosen.audio) {
    const SdpMedia& audio = sdp->media[chosen.audio->media];
    standard_.audio = Track{ResolveRtspUrl(base_url, audio.control), chosen.audio->payload_type, chosen.audio->codec};
  }
  client_.video_payload_type = chosen.video->codec;
  client_.audio_codec = chosen.audio ? chosen.audio->codec : 0;
  if (chosen.video->codec == kPayloadTypeH264) TakePictureFacts(video, chosen.video->payload_type, client_);
  return true;
}

bool CRtspSession::SetupStandardTrack(bool video) {
  std::string transport;
  if (client_.transport == MediaTransport::kUdp) {
    std::atomic<uint16_t>* port = video ? &video_port_ : &audio_port_;
    if (!BindMediaSocket((video ? video_ : audio_).load(), video ? kVideoBasePort : kAudioBasePort, port)) {
      return false;
    }
    transport = UdpTransportLine(*port);
  } else {
    transport = TcpTransportLine(video ? kChannelVideoRtp : kChannelAudioRtp);
  }
  std::string url;
  std::string session;
  {
    qvp::LockGuard guard(lock_);
    url = video ? standard_.video.control_url : standard_.audio->control_url;
    session = session_id_;
  }
  const std::string headers = transport + (session.empty() ? std::string() : "Session: " + session + "\r\n");
  bool refused = false;
  const std::optional<RtspResponse> answer = StandardRequest("SETUP", url, headers, &refused);
  if (!answer || !Ok(*answer)) return false;
  const std::string* session_line = answer->Header("Session");
  const std::optional<SessionHeader> id = session_line ? ParseSessionHeader(*session_line) : std::nullopt;
  if (!id && session.empty()) return false;
  const std::string* transport_line = answer->Header("Transport");
  const TransportAnswer t = ParseTransportAnswer(transport_line ? *transport_line : std::string());
  if (client_.transport == MediaTransport::kTcp) {
    const int channel = t.interleaved.value_or(video ? kChannelVideoRtp : kChannelAudioRtp);
    (video ? video_channel_ : audio_channel_) = channel;
  } else {
    (video ? video_server_port_ : audio_server_port_) = t.server_port.value_or(0);
  }
  qvp::LockGuard guard(lock_);
  if (id) {
    session_id_ = id->id;
    standard_.timeout_s = id->timeout_s;
  }
  return true;
}

bool CRtspSession::PlayStandard() {
  std::string url;
  std::string headers;
  {
    qvp::LockGuard guard(lock_);
    url = standard_.aggregate_url;
    headers = "Session: " + session_id_ + "\r\nRange: npt=0.000-\r\n";
  }
  if (!standard_.audio) audio_channel_ = -1;
  bool refused = false;
  const std::optional<RtspResponse> answer = StandardRequest("PLAY", url, headers, &refused);
  if (!answer || !Ok(*answer)) return false;
  // Half the time-out leaves room for a late answer and one lost request.
  keepalive_ms_ = std::max<uint32_t>(1, standard_.timeout_s) * 1000u / 2;
  return true;
}

std::string CRtspSession::StandardTeardownLocked() {
  std::string headers = "Session: " + session_id_ + "\r\n";
  if (standard_.auth) {
    headers += "Authorization: " +
               AuthorizationValue(*standard_.auth, "TEARDOWN", standard_.aggregate_url, NewClientNonce()) + "\r\n";
  }
  return BuildRequest("TEARDOWN", standard_.aggregate_url, cseq_++, headers);
}

bool CRtspSession::KeepAlive() {
  if (!client_.address.standard || keepalive_ms_.load() == 0) return false;
  const qvp::Socket* control = control_.load();
  if (control == nullptr) return false;
  std::string request;
  {
    qvp::LockGuard guard(lock_);
    const std::string_view method = standard_.keepalive_with_options ? "OPTIONS" : "GET_PARAMETER";
    std::string headers = "Session: " + session_id_ + "\r\n";
    if (standard_.auth) {
      headers += "Authorization: " +
                 AuthorizationValue(*standard_.auth, method, standard_.aggregate_url, NewClientNonce()) + "\r\n";
    }
    standard_.keepalive_cseq = cseq_;
    request = BuildRequest(method, standard_.aggregate_url, cseq_++, headers);
  }
  if (qvp::SendAll(*control, request.data(), request.size()) != request.size()) return false;
  DebugTrace("CRtspSession::KeepAlive\n");
  // Over TCP the answer comes among the packets (TakeServerText).
  if (client_.transport == MediaTransport::kTcp || interleaved_ == nullptr) return true;
  answer_deadline_ = qvp::TickCount() + kSetupTimeoutMs;
  const int result = interleaved_->NextAnswer(&answer_text_, kMaxRtspAnswerBytes);
  answer_deadline_ = 0;
  if (result == 0) TakeServerText(reinterpret_cast<const uint8_t*>(answer_text_.data()), answer_text_.size());
  return true;
}

void CRtspSession::TakeServerText(const uint8_t* data, size_t length) {
  if (!client_.address.standard || data == nullptr) return;
  const std::optional<RtspResponse> answer =
      ParseRtspResponse(std::string_view(reinterpret_cast<const char*>(data), length));
  if (!answer || Ok(*answer)) return;
  const std::string* cseq = answer->Header("CSeq");
  qvp::LockGuard guard(lock_);
  if (cseq == nullptr || *cseq != std::to_string(standard_.keepalive_cseq)) return;
  // A server without GET_PARAMETER (405, 501, ...) still takes OPTIONS as a sign of life.
  standard_.keepalive_with_options = true;
}

}  // namespace qvnet
