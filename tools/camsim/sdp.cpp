#include "tools/camsim/sdp.h"

#include <cstdio>

extern "C" {
#include <libavutil/base64.h>
}

namespace camsim {

namespace {

std::string Base64(const Bytes& data) {
  std::string out(AV_BASE64_SIZE(data.size()), '\0');
  const int size = static_cast<int>(data.size());
  if (av_base64_encode(out.data(), static_cast<int>(out.size()), data.data(), size) == nullptr) {
    return {};
  }
  out.resize(out.find('\0'));
  return out;
}

}  // namespace

std::string H264Fmtp(const VideoClip& clip) {
  std::string fmtp = "packetization-mode=1";
  if (clip.sps.size() >= 4) {
    char profile[32];
    std::snprintf(profile, sizeof(profile), ";profile-level-id=%02X%02X%02X", clip.sps[1], clip.sps[2], clip.sps[3]);
    fmtp += profile;
  }
  if (!clip.sps.empty() && !clip.pps.empty()) {
    fmtp += ";sprop-parameter-sets=" + Base64(clip.sps) + "," + Base64(clip.pps);
  }
  return fmtp;
}

std::string BuildSdp(const SdpInput& in) {
  std::string sdp;
  sdp += "v=0\r\n";
  sdp += "o=- " + std::to_string(in.session_version) + " 1 IN IP4 " + in.address + "\r\n";
  sdp += "s=Camera\r\n";
  sdp += "c=IN IP4 0.0.0.0\r\n";
  sdp += "t=0 0\r\n";
  sdp += "a=control:*\r\n";
  if (in.video != nullptr && in.video->codec == VideoCodec::kJpeg) {
    sdp += "m=video 0 RTP/AVP 26\r\n";
    sdp += "a=rtpmap:26 JPEG/90000\r\n";
  } else {
    sdp += "m=video 0 RTP/AVP 96\r\n";
    sdp += "a=rtpmap:96 H264/90000\r\n";
    if (in.video != nullptr) sdp += "a=fmtp:96 " + H264Fmtp(*in.video) + "\r\n";
  }
  if (in.video != nullptr) sdp += "a=framerate:" + std::to_string(in.video->fps) + "\r\n";
  sdp += "a=control:trackID=0\r\n";
  const AudioCodecInfo* audio = GetAudioCodecInfo(in.audio);
  if (audio != nullptr) {
    sdp += "m=audio 0 RTP/AVP " + std::to_string(audio->payload_type) + "\r\n";
    sdp += std::string(audio->rtpmap) + "\r\n";
    if (!in.audio_without_control) sdp += "a=control:trackID=1\r\n";
  }
  return sdp;
}

}  // namespace camsim
