// What a server in standard mode hands us, each through the parser the session uses: whole
// answers (framing, status, headers, the Session and Transport headers, the challenges and the
// Authorization built from them), session descriptions with the tracks and parameter sets
// taken from them, and RTSP URLs with controls resolved against them.
#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

#include "fuzz/targets/fuzz_support.h"
#include "fuzz/targets/fuzz_targets.h"
#include "netclient/wire/base64.h"
#include "netclient/wire/h264_sps.h"
#include "netclient/wire/rtsp_auth.h"
#include "netclient/wire/rtsp_message.h"
#include "netclient/wire/rtsp_transport.h"
#include "netclient/wire/rtsp_url.h"
#include "netclient/wire/sdp.h"

namespace qvfuzz {
namespace {

bool HasControl(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

void Authorization(const char* name, const qvnet::RtspResponse& answer) {
  const std::optional<qvnet::AuthChallenge> challenge = qvnet::ChooseChallenge(answer.Headers("WWW-Authenticate"));
  if (!challenge) return;
  qvnet::AuthState state{*challenge, "admin", "pa\"ss", 0};
  const std::string value = qvnet::AuthorizationValue(state, "DESCRIBE", "rtsp://127.0.0.1/x", "0a4f113b");
  Check(!HasControl(value), name, "a control character in the Authorization line");
  Check(value.rfind("Basic ", 0) == 0 || value.rfind("Digest ", 0) == 0, name, "an Authorization of no scheme");
}

}  // namespace

int FuzzRtspMessage(const uint8_t* data, size_t size) {
  constexpr const char* kName = "rtsp_message";
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const qvnet::AnswerFrame frame = qvnet::FrameRtspAnswer(text);
  if (frame.status != qvnet::AnswerFraming::kComplete) return 0;
  Check(frame.size <= text.size() && frame.size <= qvnet::kMaxRtspAnswerBytes, kName, "an answer beyond its bytes");
  const std::optional<qvnet::RtspResponse> answer = qvnet::ParseRtspResponse(text.substr(0, frame.size));
  if (!answer) return 0;
  Check(answer->status >= 0 && answer->status <= 999, kName, "a status of more than three digits");
  Check(answer->headers.size() <= qvnet::kMaxRtspHeaderLines, kName, "more header lines than taken");
  if (const std::string* s = answer->Header("Session")) {
    if (const std::optional<qvnet::SessionHeader> session = qvnet::ParseSessionHeader(*s)) {
      Check(!session->id.empty() && session->id.size() <= qvnet::kMaxSessionIdLength && !HasControl(session->id) &&
                session->id.find(' ') == std::string::npos,
            kName, "a session id we could not send back");
      Check(session->timeout_s > 0, kName, "a session time-out of 0");
    }
  }
  if (const std::string* t = answer->Header("Transport")) qvnet::ParseTransportAnswer(*t);
  Authorization(kName, *answer);
  return 0;
}

int FuzzSdp(const uint8_t* data, size_t size) {
  constexpr const char* kName = "sdp";
  const std::optional<qvnet::SessionDescription> sdp =
      qvnet::ParseSdp(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!sdp) return 0;
  Check(sdp->media.size() <= qvnet::kMaxSdpMedia, kName, "more media sections than taken");
  const qvnet::ChosenTracks tracks = qvnet::ChooseTracks(*sdp);
  for (const std::optional<qvnet::ChosenTrack>& t : {tracks.video, tracks.audio}) {
    if (!t) continue;
    Check(t->media < sdp->media.size(), kName, "a track outside the description");
    const qvnet::SdpMedia& m = sdp->media[t->media];
    Check(std::find(m.formats.begin(), m.formats.end(), t->payload_type) != m.formats.end(), kName,
          "a payload type the section does not offer");
  }
  if (!tracks.video) return 0;
  const qvnet::SdpMedia& video = sdp->media[tracks.video->media];
  const std::string_view sprop = qvnet::FmtpParameter(video.FmtpOf(tracks.video->payload_type), "sprop-parameter-sets");
  if (const std::optional<std::vector<uint8_t>> sps = qvnet::Base64Decode(sprop.substr(0, sprop.find(',')))) {
    if (const std::optional<qvnet::SpsInfo> info = qvnet::ParseH264Sps(sps->data(), sps->size())) {
      Check(info->width > 0 && info->height > 0, kName, "a picture without a size");
    }
  }
  return 0;
}

int FuzzRtspUrl(const uint8_t* data, size_t size) {
  constexpr const char* kName = "rtsp_url";
  ByteReader in(data, size);
  const std::span<const uint8_t> first = in.Chunk();
  const std::string_view text(reinterpret_cast<const char*>(first.data()), first.size());
  const std::span<const uint8_t> rest = in.Rest();
  const std::string_view control(reinterpret_cast<const char*>(rest.data()), rest.size());
  const std::optional<qvnet::RtspUrl> url = qvnet::ParseRtspUrl(text);
  if (!url) return 0;
  Check(!url->host.empty() && url->port != 0, kName, "a URL without host or port");
  Check(url->request_url.rfind("rtsp://", 0) == 0 && !HasControl(url->request_url), kName, "a request URL we could not send");
  const std::string_view authority = std::string_view(url->request_url).substr(7, url->request_url.find_first_of("/?", 7) - 7);
  Check(authority.find('@') == std::string_view::npos, kName, "credentials left in the request URL");
  const std::string resolved = qvnet::ResolveRtspUrl(url->request_url, control);
  Check(!resolved.empty(), kName, "a control resolved to nothing");
  return 0;
}

int FuzzH264Sps(const uint8_t* data, size_t size) {
  constexpr const char* kName = "h264_sps";
  const std::optional<qvnet::SpsInfo> info = qvnet::ParseH264Sps(data, size);
  if (!info) return 0;
  // 1024 macroblocks each way at most, less the cropping.
  Check(info->width > 0 && info->height > 0 && info->width <= 16384 && info->height <= 32768, kName,
        "a picture size out of range");
  Check(!info->frame_rate || (*info->frame_rate >= 0.5 && *info->frame_rate <= 1000), kName, "a frame rate out of range");
  return 0;
}

}  // namespace qvfuzz
