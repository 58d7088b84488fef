// Session descriptions as real servers write them, the tracks chosen from them, the parameter
// sets they carry and base64.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "netclient/media/codec/voiceengine.h"
#include "netclient/media/record/record_format.h"
#include "netclient/wire/base64.h"
#include "netclient/wire/h264_sps.h"
#include "netclient/wire/sdp.h"

namespace qvnet {
namespace {

std::vector<uint8_t> Hex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

// The shape of the description GStreamer's RTSP server sends for H.264 and PCMU.
const char kGstreamerLike[] =
    "v=0\r\no=- 1188340656180883 1 IN IP4 127.0.0.1\r\ns=Session streamed with GStreamer\r\n"
    "t=0 0\r\na=tool:GStreamer\r\na=type:broadcast\r\na=range:npt=now-\r\n"
    "m=video 0 RTP/AVP 96\r\nc=IN IP4 0.0.0.0\r\nb=AS:2000\r\na=rtpmap:96 H264/90000\r\n"
    "a=framerate:25\r\n"
    "a=fmtp:96 packetization-mode=1;sprop-parameter-sets=Z0LAHtkAsBJsBEAAAAMAQAAADIPFi5I=,aM48gA==;"
    "profile-level-id=42c01e\r\na=control:stream=0\r\n"
    "m=audio 0 RTP/AVP 0\r\nc=IN IP4 0.0.0.0\r\na=rtpmap:0 PCMU/8000\r\na=control:stream=1\r\n";

TEST(Sdp, MediaSectionsAndTheirAttributes) {
  const std::optional<SessionDescription> sdp = ParseSdp(kGstreamerLike);
  ASSERT_TRUE(sdp);
  EXPECT_TRUE(sdp->control.empty());
  ASSERT_EQ(sdp->media.size(), 2u);
  const SdpMedia& video = sdp->media[0];
  EXPECT_EQ(video.type, "video");
  EXPECT_EQ(video.formats, std::vector<int>{96});
  EXPECT_EQ(video.control, "stream=0");
  ASSERT_NE(video.RtpMapOf(96), nullptr);
  EXPECT_EQ(video.RtpMapOf(96)->encoding, "H264");
  EXPECT_EQ(video.RtpMapOf(96)->clock_rate, 90000);
  EXPECT_EQ(video.frame_rate, 25.0);
  EXPECT_EQ(FmtpParameter(video.FmtpOf(96), "profile-level-id"), "42c01e");
  EXPECT_EQ(FmtpParameter(video.FmtpOf(96), "PACKETIZATION-MODE"), "1");
  EXPECT_EQ(FmtpParameter(video.FmtpOf(96), "missing"), "");
  EXPECT_EQ(sdp->media[1].control, "stream=1");
  EXPECT_FALSE(ParseSdp("m=video 0 RTP/AVP 96\r\n"));  // no v= line
  EXPECT_FALSE(ParseSdp("v=0\r\nm=video\r\n"));        // malformed media line
}

TEST(Sdp, TracksChosenFromAnyServersDescription) {
  const std::string head = "v=0\r\no=- 1 1 IN IP4 h\r\ns=x\r\nt=0 0\r\n";
  struct Case {
    const char* name;
    std::string body;
    bool video;
    size_t video_media;
    int video_pt;
    uint8_t video_codec;
    bool audio;
    size_t audio_media;
    int audio_pt;
    uint8_t audio_codec;
  };
  const Case cases[] = {
      {"video then PCMU", kGstreamerLike, true, 0, 96, kPayloadTypeH264, true, 1, 0, qvcodec::kVoiceUlaw},
      {"audio listed first",
       head + "m=audio 0 RTP/AVP 8\r\na=control:trackID=1\r\nm=video 0 RTP/AVP 97\r\na=rtpmap:97 H264/90000\r\n",
       true, 1, 97, kPayloadTypeH264, true, 0, 8, qvcodec::kVoiceAlaw},
      {"one track", head + "m=video 0 RTP/AVP 96\r\na=rtpmap:96 H264/90000\r\n", true, 0, 96, kPayloadTypeH264,
       false, 0, 0, 0},
      {"G726-32 on type 96",
       head + "m=video 0 RTP/AVP 26\r\nm=audio 0 RTP/AVP 96\r\na=rtpmap:96 G726-32/8000\r\n", true, 0, 26,
       kPayloadTypeJpeg, true, 1, 96, qvcodec::kVoiceG726_32},
      {"unknown formats passed over",
       head + "m=video 0 RTP/AVP 98 96\r\na=rtpmap:98 H265/90000\r\na=rtpmap:96 H264/90000\r\n"
              "m=audio 0 RTP/AVP 97 0\r\na=rtpmap:97 MPEG4-GENERIC/16000/2\r\n",
       true, 0, 96, kPayloadTypeH264, true, 1, 0, qvcodec::kVoiceUlaw},
      {"stereo and other rates refused",
       head + "m=video 0 RTP/AVP 96\r\na=rtpmap:96 H264/90000\r\nm=audio 0 RTP/AVP 97 98\r\n"
              "a=rtpmap:97 PCMA/8000/2\r\na=rtpmap:98 PCMU/16000\r\n",
       true, 0, 96, kPayloadTypeH264, false, 0, 0, 0},
      {"second video section ignored",
       head + "m=video 0 RTP/AVP 26\r\nm=video 0 RTP/AVP 96\r\na=rtpmap:96 H264/90000\r\n", true, 0, 26,
       kPayloadTypeJpeg, false, 0, 0, 0},
      {"only H.265", head + "m=video 0 RTP/AVP 96\r\na=rtpmap:96 H265/90000\r\n", false, 0, 0, 0, false, 0, 0, 0},
      {"application section only", head + "m=application 0 RTP/AVP 107\r\n", false, 0, 0, 0, false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    const std::optional<SessionDescription> sdp = ParseSdp(c.body);
    ASSERT_TRUE(sdp) << c.name;
    const ChosenTracks t = ChooseTracks(*sdp);
    ASSERT_EQ(t.video.has_value(), c.video) << c.name;
    ASSERT_EQ(t.audio.has_value(), c.audio) << c.name;
    if (c.video) {
      EXPECT_EQ(t.video->media, c.video_media) << c.name;
      EXPECT_EQ(t.video->payload_type, c.video_pt) << c.name;
      EXPECT_EQ(t.video->codec, c.video_codec) << c.name;
    }
    if (c.audio) {
      EXPECT_EQ(t.audio->media, c.audio_media) << c.name;
      EXPECT_EQ(t.audio->payload_type, c.audio_pt) << c.name;
      EXPECT_EQ(t.audio->codec, c.audio_codec) << c.name;
    }
  }
}

TEST(Sdp, PictureFactsAndBoundedInput) {
  const std::optional<SessionDescription> sdp =
      ParseSdp("v=0\nm=video 0 RTP/AVP 96\na=x-dimensions:704,576\na=framerate:29.97\n"
               "m=video 0 RTP/AVP 26\na=framesize:26 640-480\n");
  ASSERT_TRUE(sdp);
  ASSERT_EQ(sdp->media.size(), 2u);
  EXPECT_EQ(sdp->media[0].dimensions, std::make_pair(704, 576));
  EXPECT_NEAR(*sdp->media[0].frame_rate, 29.97, 1e-9);
  EXPECT_EQ(sdp->media[1].dimensions, std::make_pair(640, 480));
  // Sections beyond the cap are not kept.
  const std::optional<SessionDescription> many = ParseSdp([] {
    std::string text = "v=0\r\n";
    for (int i = 0; i < 100; ++i) text += "m=audio 0 RTP/AVP 0\r\n";
    return text;
  }());
  ASSERT_TRUE(many);
  EXPECT_EQ(many->media.size(), kMaxSdpMedia);
}

// Parameter sets written by libx264 (ffmpeg -f lavfi -i testsrc=size=WxH:rate=R -c:v libx264
// -profile:v P -bsf:v h264_mp4toannexb), one per profile; 1920x1080 is coded as 1088 lines
// and cropped.
TEST(H264Sps, PictureSizeAndFrameRate) {
  struct Case {
    const char* name;
    const char* hex;
    int32_t width;
    int32_t height;
    double rate;
  };
  const Case cases[] = {
      {"baseline 704x576@25", "6742c01ed900b0126c0440000003004000000c83c58b92", 704, 576, 25},
      {"high 1280x720@30", "6764001facd9405005bb0110000003001000000303c0f1831960", 1280, 720, 30},
      {"main 1920x1080@25", "674d4028eca03c0113f2e022000003000200000300641e30632c", 1920, 1080, 25},
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> sps = Hex(c.hex);
    const std::optional<SpsInfo> info = ParseH264Sps(sps.data(), sps.size());
    ASSERT_TRUE(info) << c.name;
    EXPECT_EQ(info->width, c.width) << c.name;
    EXPECT_EQ(info->height, c.height) << c.name;
    ASSERT_TRUE(info->frame_rate) << c.name;
    EXPECT_NEAR(*info->frame_rate, c.rate, 1e-6) << c.name;
  }
  // Cut before its picture size, the set is refused rather than read past its end; cut in its
  // timing information, it has no frame rate.
  const std::vector<uint8_t> sps = Hex(cases[1].hex);
  for (size_t n = 0; n < 9; ++n) EXPECT_FALSE(ParseH264Sps(sps.data(), n)) << n;
  const std::optional<SpsInfo> cut = ParseH264Sps(sps.data(), 14);
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->width, 1280);
  EXPECT_FALSE(cut->frame_rate);
  const std::vector<uint8_t> pps = Hex("68ce3c80");
  EXPECT_FALSE(ParseH264Sps(pps.data(), pps.size()));
}

TEST(Base64, RoundTripAndBadInput) {
  for (const std::string text : {"", "a", "ab", "abc", "abcd", "Aladdin:open sesame"}) {
    const std::string encoded = Base64Encode(text);
    const std::optional<std::vector<uint8_t>> decoded = Base64Decode(encoded);
    ASSERT_TRUE(decoded) << text;
    EXPECT_EQ(std::string(decoded->begin(), decoded->end()), text);
  }
  EXPECT_EQ(Base64Encode(std::string("ab")), "YWI=");
  EXPECT_TRUE(Base64Decode("YWI"));  // padding optional
  EXPECT_FALSE(Base64Decode("YW*="));
  EXPECT_FALSE(Base64Decode("Y"));
  EXPECT_FALSE(Base64Decode("YW=I"));
}

}  // namespace
}  // namespace qvnet
