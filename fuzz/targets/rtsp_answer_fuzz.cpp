// The RTSP answers of the dialect's set-up as CRtspSession reads them: a whole answer, seen up
// to the first NUL, then whatever the answer decides next (challenge, description, session id)
// and the requests built from it.
#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string>

#include "fuzz/targets/fuzz_support.h"
#include "fuzz/targets/fuzz_targets.h"
#include "netclient/wire/rtsp_answer.h"
#include "netclient/wire/rtsp_message.h"
#include "netclient/wire/rtsp_requests.h"

namespace qvfuzz {
namespace {

constexpr const char* kName = "rtsp_answer";
constexpr std::string_view kUri = "rtsp://127.0.0.1:554/0";

void Challenge(std::string_view answer) {
  std::string realm = "kept";
  std::string nonce = "kept";
  if (!qvnet::ParseDigestChallenge(answer, &realm, &nonce)) {
    Check(realm == "kept" && nonce == "kept", kName, "a refused challenge changed realm or nonce");
    return;
  }
  Check(realm.size() <= qvnet::kMaxChallengeValue && nonce.size() <= qvnet::kMaxChallengeValue, kName,
        "realm or nonce longer than the cut");
  Check(realm.find('"') == std::string::npos && nonce.find('"') == std::string::npos, kName,
        "realm or nonce runs past its closing quote");
  // The next request carries the camera's values in its Authorization line.
  const qvnet::DigestAuth auth{"admin", "1234", realm, nonce};
  const std::string request = qvnet::BuildDescribe(kUri, 2, &auth);
  Check(request.find("Authorization: Digest ") != std::string::npos, kName, "no Authorization line");
}

void Description(std::string_view answer) {
  char video = 0;
  char audio = 0;
  if (qvnet::ParseTrackIds(answer, &video, &audio)) {
    const std::string setup = qvnet::BuildVideoSetup(kUri, video, 3, qvnet::TcpTransportLine(0), nullptr);
    Check(!setup.empty(), kName, "empty SETUP request");
  }
  if (const std::optional<qvnet::VideoParams> p = qvnet::ParseServerVideoParams(answer)) {
    Check(p->width > 0 && p->height > 0 && p->frame_rate > 0 && p->bit_rate >= 0 && p->bit_rate % 1024 == 0, kName,
          "video parameters out of range");
  }
  const qvnet::CodecChoice codecs = qvnet::PickCodecs(answer);
  Check(codecs.video_payload_type == 96 || codecs.video_payload_type == 26, kName, "unknown video payload type");
  Check(!codecs.audio_codec || (*codecs.audio_codec >= 1 && *codecs.audio_codec <= 7), kName,
        "unknown audio codec");
}

void Session(std::string_view answer) {
  const std::string id = qvnet::ParseSessionId(answer);
  Check(id.size() <= qvnet::kMaxSessionIdDigits, kName, "session id longer than the cut");
  Check(std::all_of(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; }), kName,
        "session id holds a non-digit");
  const std::string play = qvnet::BuildPlay(kUri, 5, id, nullptr);
  Check(play.find(id) != std::string::npos, kName, "PLAY lost the session id");
}

}  // namespace

int FuzzRtspAnswer(const uint8_t* data, size_t size) {
  const size_t n = std::min(size, qvnet::kMaxRtspAnswerBytes);
  const std::string buffer(reinterpret_cast<const char*>(data), n);
  const std::string_view answer = qvnet::AnswerText(buffer.data(), n);
  Check(answer.size() <= n && answer.find('\0') == std::string_view::npos, kName, "answer text past the NUL");

  if (qvnet::AnswerIsUnauthorized(answer)) Challenge(answer);
  if (qvnet::AnswerIsOk(answer)) {
    Description(answer);
    Session(answer);
  }
  return 0;
}

}  // namespace qvfuzz
