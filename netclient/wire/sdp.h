// Session descriptions (RFC 4566) as the standard mode reads them: the session-level control
// URL and, per media section, its type, payload formats, rtpmap and fmtp lines, control URL and
// the picture facts some servers announce (a=framerate, a=x-dimensions, a=framesize). Then the
// choice of what to record: the first video and the first audio section in any order, each
// with its first format we can take. Every read is bounded by the text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qvnet {

// Media sections taken from one description; more are ignored.
inline constexpr size_t kMaxSdpMedia = 32;

struct SdpRtpMap {
  int payload_type = -1;
  std::string encoding;  // as written ("H264", "PCMU", "G726-32", ...)
  int clock_rate = 0;
  int channels = 1;
};

struct SdpMedia {
  std::string type;         // "video", "audio", ...
  std::vector<int> formats;  // payload types of the m= line, in order
  std::string control;      // a=control, empty when absent
  std::vector<SdpRtpMap> rtpmaps;
  std::vector<std::pair<int, std::string>> fmtps;
  std::optional<double> frame_rate;             // a=framerate
  std::optional<std::pair<int, int>> dimensions;  // a=x-dimensions or a=framesize

  const SdpRtpMap* RtpMapOf(int payload_type) const;
  std::string_view FmtpOf(int payload_type) const;
};

struct SessionDescription {
  std::string control;  // session-level a=control
  std::vector<SdpMedia> media;
};

// Lines may end in CRLF or LF; unknown lines are passed over. Nullopt when the text has no
// "v=" line at its start or a media line is malformed.
std::optional<SessionDescription> ParseSdp(std::string_view text);

// The codecs as the record files number them: video payload kinds 96 (H.264) and 26 (JPEG);
// audio codec numbers 1 (A-law), 2 (µ-law), 4..7 (G.726 16..40 kbit/s).
struct ChosenTrack {
  size_t media = 0;      // index into SessionDescription::media
  int payload_type = 0;  // the RTP payload type the server uses for it
  uint8_t codec = 0;
};

struct ChosenTracks {
  std::optional<ChosenTrack> video;
  std::optional<ChosenTrack> audio;  // optional: streams without audio record video alone
};

// The first video section with H.264 (rtpmap "H264/90000") or JPEG (static type 26 or rtpmap
// "JPEG/90000"), and the first audio section with PCMU or PCMA (static types 0 and 8, or by
// rtpmap) or G726-16/24/32/40 at 8000 Hz, mono, whatever its payload type.
ChosenTracks ChooseTracks(const SessionDescription& sdp);

// The value of `key` in an fmtp parameter list ("a=1;key=value;b=2"), empty when absent.
std::string_view FmtpParameter(std::string_view fmtp, std::string_view key);

}  // namespace qvnet
