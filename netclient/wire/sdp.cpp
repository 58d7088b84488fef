#include "netclient/wire/sdp.h"

#include <charconv>

#include "netclient/media/codec/voiceengine.h"
#include "netclient/media/record/record_format.h"
#include "netclient/wire/rtsp_message.h"

namespace qvnet {
namespace {

std::optional<int> Number(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// "<payload type> <rest>" of rtpmap, fmtp and framesize lines.
std::optional<std::pair<int, std::string_view>> TypeAndRest(std::string_view value) {
  const size_t space = value.find(' ');
  const std::optional<int> pt = Number(value.substr(0, space));
  if (!pt || *pt < 0 || *pt > 127) return std::nullopt;
  return std::make_pair(*pt, space == std::string_view::npos ? std::string_view() : TrimBlanks(value.substr(space + 1)));
}

// "m=<type> <port>[/<count>] <proto> <fmt> ...". The port means nothing here: RTSP servers
// write 0 and negotiate ports in SETUP (RFC 2326 §C.1).
std::optional<SdpMedia> MediaLine(std::string_view value) {
  SdpMedia m;
  size_t pos = 0;
  std::vector<std::string_view> words;
  while (pos < value.size() && words.size() < 64) {
    const size_t space = value.find(' ', pos);
    const std::string_view word = value.substr(pos, space == std::string_view::npos ? std::string_view::npos : space - pos);
    if (!word.empty()) words.push_back(word);
    if (space == std::string_view::npos) break;
    pos = space + 1;
  }
  if (words.size() < 3) return std::nullopt;
  m.type = std::string(words[0]);
  for (size_t i = 3; i < words.size(); ++i) {
    if (const std::optional<int> pt = Number(words[i]); pt && *pt >= 0 && *pt <= 127) m.formats.push_back(*pt);
  }
  return m;
}

void Attribute(std::string_view attr, SdpMedia* m, SessionDescription* sdp) {
  const size_t colon = attr.find(':');
  const std::string_view name = attr.substr(0, colon);
  const std::string_view value = colon == std::string_view::npos ? std::string_view() : TrimBlanks(attr.substr(colon + 1));
  if (name == "control") {
    (m != nullptr ? m->control : sdp->control) = std::string(value);
    return;
  }
  if (m == nullptr) return;
  if (name == "rtpmap") {
    const auto tr = TypeAndRest(value);
    if (!tr) return;
    SdpRtpMap map;
    map.payload_type = tr->first;
    const std::string_view rest = tr->second;
    const size_t slash = rest.find('/');
    map.encoding = std::string(rest.substr(0, slash));
    if (slash != std::string_view::npos) {
      const std::string_view clock = rest.substr(slash + 1);
      const size_t second = clock.find('/');
      map.clock_rate = Number(clock.substr(0, second)).value_or(0);
      if (second != std::string_view::npos) map.channels = Number(clock.substr(second + 1)).value_or(0);
    }
    m->rtpmaps.push_back(std::move(map));
  } else if (name == "fmtp") {
    if (const auto tr = TypeAndRest(value)) m->fmtps.emplace_back(tr->first, std::string(tr->second));
  } else if (name == "framerate") {
    double rate = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), rate);
    if (error == std::errc() && rate > 0 && rate <= 1000) m->frame_rate = rate;
  } else if (name == "x-dimensions" || name == "framesize") {
    // "a=x-dimensions:704,576" or "a=framesize:96 704-576"
    std::string_view dims = value;
    if (name == "framesize") dims = TypeAndRest(value) ? TypeAndRest(value)->second : std::string_view();
    const size_t sep = dims.find_first_of(",-");
    const std::optional<int> w = Number(dims.substr(0, sep));
    const std::optional<int> h = sep == std::string_view::npos ? std::nullopt : Number(dims.substr(sep + 1));
    if (w && h && *w > 0 && *h > 0 && *w <= 16384 && *h <= 16384) m->dimensions = std::make_pair(*w, *h);
  }
}

std::optional<uint8_t> VideoCodec(const SdpMedia& m, int pt) {
  const SdpRtpMap* map = m.RtpMapOf(pt);
  if (map == nullptr) return pt == kPayloadTypeJpeg ? std::optional<uint8_t>(kPayloadTypeJpeg) : std::nullopt;
  if (map->clock_rate != 90000) return std::nullopt;
  if (EqualsNoCase(map->encoding, "H264")) return kPayloadTypeH264;
  if (EqualsNoCase(map->encoding, "JPEG")) return kPayloadTypeJpeg;
  return std::nullopt;
}

std::optional<uint8_t> AudioCodec(const SdpMedia& m, int pt) {
  const SdpRtpMap* map = m.RtpMapOf(pt);
  if (map == nullptr) {
    if (pt == 0) return qvcodec::kVoiceUlaw;
    if (pt == 8) return qvcodec::kVoiceAlaw;
    return std::nullopt;
  }
  if (map->clock_rate != 8000 || map->channels != 1) return std::nullopt;
  static constexpr std::pair<std::string_view, uint8_t> kNames[] = {
      {"PCMU", qvcodec::kVoiceUlaw},       {"PCMA", qvcodec::kVoiceAlaw},       {"G726-16", qvcodec::kVoiceG726_16},
      {"G726-24", qvcodec::kVoiceG726_24}, {"G726-32", qvcodec::kVoiceG726_32}, {"G726-40", qvcodec::kVoiceG726_40},
  };
  for (const auto& [name, code] : kNames) {
    if (EqualsNoCase(map->encoding, name)) return code;
  }
  return std::nullopt;
}

}  // namespace

const SdpRtpMap* SdpMedia::RtpMapOf(int payload_type) const {
  for (const SdpRtpMap& map : rtpmaps) {
    if (map.payload_type == payload_type) return &map;
  }
  return nullptr;
}

std::string_view SdpMedia::FmtpOf(int payload_type) const {
  for (const auto& [pt, value] : fmtps) {
    if (pt == payload_type) return value;
  }
  return {};
}

std::optional<SessionDescription> ParseSdp(std::string_view text) {
  if (text.substr(0, 2) != "v=") return std::nullopt;
  SessionDescription sdp;
  SdpMedia* current = nullptr;
  bool skipping = false;  // past kMaxSdpMedia sections
  size_t pos = 0;
  while (pos < text.size()) {
    size_t eol = text.find('\n', pos);
    if (eol == std::string_view::npos) eol = text.size();
    std::string_view line = text.substr(pos, eol - pos);
    pos = eol + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() < 2 || line[1] != '=') continue;
    const std::string_view value = line.substr(2);
    if (line[0] == 'm') {
      std::optional<SdpMedia> m = MediaLine(value);
      if (!m) return std::nullopt;
      skipping = sdp.media.size() >= kMaxSdpMedia;
      if (skipping) continue;
      sdp.media.push_back(std::move(*m));
      current = &sdp.media.back();
    } else if (line[0] == 'a' && !skipping) {
      Attribute(value, current, &sdp);
    }
  }
  return sdp;
}

ChosenTracks ChooseTracks(const SessionDescription& sdp) {
  ChosenTracks chosen;
  for (size_t i = 0; i < sdp.media.size(); ++i) {
    const SdpMedia& m = sdp.media[i];
    const bool video = m.type == "video";
    if ((video && chosen.video) || (!video && (m.type != "audio" || chosen.audio))) continue;
    for (int pt : m.formats) {
      const std::optional<uint8_t> codec = video ? VideoCodec(m, pt) : AudioCodec(m, pt);
      if (!codec) continue;
      (video ? chosen.video : chosen.audio) = ChosenTrack{i, pt, *codec};
      break;
    }
  }
  return chosen;
}

std::string_view FmtpParameter(std::string_view fmtp, std::string_view key) {
  size_t pos = 0;
  while (pos < fmtp.size()) {
    size_t end = fmtp.find(';', pos);
    if (end == std::string_view::npos) end = fmtp.size();
    const std::string_view item = TrimBlanks(fmtp.substr(pos, end - pos));
    pos = end + 1;
    const size_t eq = item.find('=');
    if (eq != std::string_view::npos && EqualsNoCase(TrimBlanks(item.substr(0, eq)), key)) {
      return TrimBlanks(item.substr(eq + 1));
    }
  }
  return {};
}

}  // namespace qvnet
