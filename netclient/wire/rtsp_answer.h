// Reading the cameras' RTSP answers. The cameras' answers are matched by substring, not parsed
// as RFC 2326 messages: the client only ever looks for a handful of fixed texts, and it must
// keep accepting exactly what it accepted before. Every function works on the text of one
// whole answer (rtsp_message.h frames it) and never reads beyond it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvnet {

// Longest realm or nonce taken from a challenge; longer values are cut.
inline constexpr size_t kMaxChallengeValue = 64;
// Longest session id kept; further digits are cut.
inline constexpr size_t kMaxSessionIdDigits = 31;

// The received bytes as the substring rules see them: text up to the first NUL byte.
std::string_view AnswerText(const char* data, size_t size);

bool AnswerIsOk(std::string_view answer);              // holds "200 OK"
bool AnswerIsUnauthorized(std::string_view answer);    // holds "401 Unauthorized"

// Realm and nonce of a Digest challenge: "WWW-Authenticate:", then "Digest" searched from 18
// characters behind its start, then `realm="` and `nonce="` searched from just behind
// "Digest"; each value runs to its closing quote and is cut at kMaxChallengeValue. False when
// any piece (including a closing quote) is missing.
bool ParseDigestChallenge(std::string_view answer, std::string* realm, std::string* nonce);

// The characters right after the first and the second "trackID=" (video, audio). The set-up
// always asks for two tracks, so an answer naming fewer than two is refused (false) rather
// than guessed at; the caller fails the set-up.
bool ParseTrackIds(std::string_view answer, char* video, char* audio);

struct VideoParams {
  int32_t width = 0;
  int32_t height = 0;
  int32_t frame_rate = 0;
  int32_t bit_rate = 0;  // already multiplied by 1024
};

// The camera's "\r\nServer: QuorValenta Rtsp Server W*H*FPS*KBPS\r\n" line. Nullopt when the
// marker is missing, fewer than four numbers follow, a number overflows int32, width, height
// or frame rate is not positive, or the bit rate is negative or overflows when multiplied by
// 1024: the client keeps its previous values then.
std::optional<VideoParams> ParseServerVideoParams(std::string_view answer);

struct CodecChoice {
  uint8_t video_payload_type = 96;  // kPayloadTypeH264, or kPayloadTypeJpeg (record_format.h)
  std::optional<uint8_t> audio_codec;  // nullopt: none of the known lines, keep the old code
};

// Codecs from the SDP's rtpmap lines, the first known line winning.
CodecChoice PickCodecs(std::string_view answer);

// The first port of "server_port=<rtp>-<rtcp>" in a SETUP answer's Transport line; nullopt
// when the answer names none (the cameras' dialect often does not) or it is no port.
std::optional<uint16_t> ParseServerPort(std::string_view answer);

// Digits that start 9 characters after "Session:", up to the first non-digit, at most
// kMaxSessionIdDigits. Empty when there is no "Session:".
std::string ParseSessionId(std::string_view answer);

}  // namespace qvnet
