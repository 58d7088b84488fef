#include "netclient/wire/rtsp_answer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <utility>

#include "netclient/media/codec/voiceengine.h"
#include "netclient/media/record/record_format.h"
#include "netclient/wire/scan_ints.h"

namespace qvnet {
namespace {

constexpr std::string_view kServerMarker = "\r\nServer: QuorValenta Rtsp Server ";

bool Contains(std::string_view text, std::string_view what) { return text.find(what) != std::string_view::npos; }

// The quoted value that follows `key` (which ends with the opening quote), searched from `from`.
bool QuotedValue(std::string_view text, size_t from, std::string_view key, std::string* out) {
  const size_t key_pos = text.find(key, from);
  if (key_pos == std::string_view::npos) return false;
  const size_t start = key_pos + key.size();
  const size_t end = text.find('"', start);
  if (end == std::string_view::npos) return false;
  *out = std::string(text.substr(start, std::min(end - start, kMaxChallengeValue)));
  return true;
}

}  // namespace

std::string_view AnswerText(const char* data, size_t size) {
  if (data == nullptr) return {};
  const void* nul = std::memchr(data, 0, size);
  return std::string_view(data, nul == nullptr ? size : static_cast<size_t>(static_cast<const char*>(nul) - data));
}

bool AnswerIsOk(std::string_view answer) { return Contains(answer, "200 OK"); }
bool AnswerIsUnauthorized(std::string_view answer) { return Contains(answer, "401 Unauthorized"); }

bool ParseDigestChallenge(std::string_view answer, std::string* realm, std::string* nonce) {
  const size_t header = answer.find("WWW-Authenticate:");
  if (header == std::string_view::npos || header + 18 > answer.size()) return false;
  const size_t digest = answer.find("Digest", header + 18);
  if (digest == std::string_view::npos) return false;
  const size_t behind = digest + 6;
  std::string r;
  std::string n;
  if (!QuotedValue(answer, behind, "realm=\"", &r) || !QuotedValue(answer, behind, "nonce=\"", &n)) return false;
  *realm = std::move(r);
  *nonce = std::move(n);
  return true;
}

bool ParseTrackIds(std::string_view answer, char* video, char* audio) {
  constexpr std::string_view kTrack = "trackID=";
  const size_t first = answer.find(kTrack);
  if (first == std::string_view::npos || first + kTrack.size() >= answer.size()) return false;
  const size_t second = answer.find(kTrack, first + 1);
  if (second == std::string_view::npos || second + kTrack.size() >= answer.size()) return false;
  *video = answer[first + kTrack.size()];
  *audio = answer[second + kTrack.size()];
  return true;
}

std::optional<VideoParams> ParseServerVideoParams(std::string_view answer) {
  const size_t marker = answer.find(kServerMarker);
  if (marker == std::string_view::npos) return std::nullopt;
  std::array<int32_t, 4> n{};
  if (ScanInts(answer.substr(marker + kServerMarker.size()), "%d*%d*%d*%d\r\n", n.data(), n.size()) != 4) {
    return std::nullopt;
  }
  constexpr int32_t kMaxBitRate = std::numeric_limits<int32_t>::max() / 1024;
  if (n[0] <= 0 || n[1] <= 0 || n[2] <= 0 || n[3] < 0 || n[3] > kMaxBitRate) return std::nullopt;
  return VideoParams{n[0], n[1], n[2], n[3] * 1024};
}

CodecChoice PickCodecs(std::string_view answer) {
  static constexpr std::pair<std::string_view, uint8_t> kAudio[] = {
      {"a=rtpmap:97 G726-32/8000", qvcodec::kVoiceG726_32}, {"a=rtpmap:97 G726-24/8000", qvcodec::kVoiceG726_24},
      {"a=rtpmap:97 G726-16/8000", qvcodec::kVoiceG726_16}, {"a=rtpmap:97 G726-40/8000", qvcodec::kVoiceG726_40},
      {"a=rtpmap:0 PCMU/8000", qvcodec::kVoiceUlaw},        {"a=rtpmap:8 PCMA/8000", qvcodec::kVoiceAlaw},
  };
  CodecChoice choice;
  choice.video_payload_type = Contains(answer, "a=rtpmap:26 JPEG/90000") ? kPayloadTypeJpeg : kPayloadTypeH264;
  for (const auto& [line, code] : kAudio) {
    if (!Contains(answer, line)) continue;
    choice.audio_codec = code;
    break;
  }
  return choice;
}

std::optional<uint16_t> ParseServerPort(std::string_view answer) {
  constexpr std::string_view kKey = "server_port=";
  const size_t at = answer.find(kKey);
  if (at == std::string_view::npos) return std::nullopt;
  uint32_t port = 0;
  size_t i = at + kKey.size();
  const size_t first = i;
  for (; i < answer.size() && answer[i] >= '0' && answer[i] <= '9'; ++i) {
    port = port * 10 + static_cast<uint32_t>(answer[i] - '0');
    if (port > 65535) return std::nullopt;
  }
  if (i == first || port == 0) return std::nullopt;
  return static_cast<uint16_t>(port);
}

std::string ParseSessionId(std::string_view answer) {
  const size_t header = answer.find("Session:");
  if (header == std::string_view::npos) return {};
  std::string id;
  for (size_t i = header + 9; i < answer.size() && id.size() < kMaxSessionIdDigits; ++i) {
    if (answer[i] < '0' || answer[i] > '9') break;
    id.push_back(answer[i]);
  }
  return id;
}

}  // namespace qvnet
