// The RTSP client's byte-level pieces without sockets: MD5 and the Digest response, the exact
// request texts, the substring rules for answers and the numeric line reader.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <string>

#include "netclient/wire/rtsp_answer.h"
#include "netclient/wire/rtsp_digest.h"
#include "netclient/wire/rtsp_requests.h"
#include "netclient/wire/scan_ints.h"
#include "platform/md5.h"

namespace qvnet {
namespace {

TEST(Md5, Rfc1321TestSuite) {
  struct Case {
    const char* input;
    const char* digest;
  };
  const Case cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const Case& c : cases) EXPECT_EQ(qvp::Md5Hex(c.input), c.digest) << '"' << c.input << '"';
}

TEST(Md5, PiecewiseUpdateAcrossBlockBoundaries) {
  const std::string text(200, 'q');
  qvp::Md5 md5;
  for (size_t i = 0; i < text.size(); i += 7) md5.Update(std::string_view(text).substr(i, 7));
  const qvp::Md5::Digest digest = md5.Final();
  EXPECT_EQ(qvp::ToHex(digest.data(), digest.size()), qvp::Md5Hex(text));
}

TEST(Digest, Rfc2069Example) {
  // RFC 2069 §2.4 (the response printed there is a known erratum; this is the computed one).
  EXPECT_EQ(DigestResponse("Mufasa", "testrealm@host.com", "CircleOfLife", "GET", "/dir/index.html",
                           "dcd98b7102dd2f0e8b11d0f600bfb0c093"),
            "1949323746fe6a43ef61f9606e7febea");
}

TEST(RtspRequests, UriFromAddress) {
  ClientAddress plain{"cam", "cam", 554, false};
  EXPECT_EQ(BuildRtspUri(plain, 4), "rtsp://cam:554/4");
  ClientAddress url{"10.0.0.9:8554/live/ch1", "10.0.0.9", 8554, true};
  EXPECT_EQ(BuildRtspUri(url, 4), "rtsp://10.0.0.9:8554/live/ch1");
}

TEST(RtspAnswer, DigestChallenge) {
  std::string realm, nonce;
  ASSERT_TRUE(ParseDigestChallenge(
      "RTSP/1.0 401 Unauthorized\r\nWWW-Authenticate: Digest realm=\"cam\", nonce=\"abc123\"\r\n\r\n", &realm, &nonce));
  EXPECT_EQ(realm, "cam");
  EXPECT_EQ(nonce, "abc123");

  const std::string long_value(80, 'x');
  ASSERT_TRUE(ParseDigestChallenge("WWW-Authenticate: Digest realm=\"" + long_value + "\", nonce=\"" + long_value +
                                       "\"\r\n",
                                   &realm, &nonce));
  EXPECT_EQ(realm, long_value.substr(0, 64));
  EXPECT_EQ(nonce, long_value.substr(0, 64));

  const char* incomplete[] = {
      "WWW-Authenticate: Digest realm=\"cam\"\r\n",           // no nonce
      "WWW-Authenticate: Digest nonce=\"n\"\r\n",             // no realm
      "WWW-Authenticate: Digest realm=\"cam\", nonce=\"n",    // nonce never closed
      "WWW-Authenticate:Digest realm=\"cam\", nonce=\"n\"",   // "Digest" before the search start
      "Digest realm=\"cam\", nonce=\"n\"\r\n",                // no header
      "WWW-Authenticate: Basic realm=\"cam\", nonce=\"n\"",   // not Digest
  };
  for (const char* text : incomplete) EXPECT_FALSE(ParseDigestChallenge(text, &realm, &nonce)) << text;
}

TEST(RtspAnswer, TrackIds) {
  char video = 0, audio = 0;
  ASSERT_TRUE(ParseTrackIds("a=control:trackID=0\r\nm=audio\r\na=control:trackID=1\r\n", &video, &audio));
  EXPECT_EQ(video, '0');
  EXPECT_EQ(audio, '1');
  EXPECT_FALSE(ParseTrackIds("a=control:trackID=0\r\n", &video, &audio));
  EXPECT_FALSE(ParseTrackIds("a=control:*\r\n", &video, &audio));
  EXPECT_FALSE(ParseTrackIds("trackID=0 trackID=", &video, &audio));  // nothing after the second
}

TEST(RtspAnswer, ServerVideoParams) {
  struct Case {
    const char* name;
    std::string text;
    bool taken;
    VideoParams expected;
  };
  const std::string m = "RTSP/1.0 200 OK\r\nServer: QuorValenta Rtsp Server ";
  const Case cases[] = {
      {"plain", m + "704*576*25*2048\r\n", true, {704, 576, 25, 2048 * 1024}},
      {"blanks before numbers", m + " 352* 288*15*512\r\n", true, {352, 288, 15, 512 * 1024}},
      {"no line end needed", m + "1*2*3*4", true, {1, 2, 3, 4096}},
      {"three numbers", m + "704*576*25\r\n", false, {}},
      {"other text", m + "v1.0\r\n", false, {}},
      {"no marker", "RTSP/1.0 200 OK\r\nServer: Other 704*576*25*2048\r\n", false, {}},
      {"marker without the line start", "Server: QuorValenta Rtsp Server 704*576*25*2048\r\n", false, {}},
      {"overflowing width", m + "99999999999*576*25*2048\r\n", false, {}},
      {"zero height", m + "704*0*25*2048\r\n", false, {}},
      {"negative width", m + "-704*576*25*2048\r\n", false, {}},
      {"zero frame rate", m + "704*576*0*2048\r\n", false, {}},
      {"bit rate overflowing * 1024", m + "704*576*25*2097152\r\n", false, {}},
      {"negative bit rate", m + "704*576*25*-1\r\n", false, {}},
  };
  for (const Case& c : cases) {
    const std::optional<VideoParams> p = ParseServerVideoParams(c.text);
    ASSERT_EQ(p.has_value(), c.taken) << c.name;
    if (!p) continue;
    EXPECT_EQ(p->width, c.expected.width) << c.name;
    EXPECT_EQ(p->height, c.expected.height) << c.name;
    EXPECT_EQ(p->frame_rate, c.expected.frame_rate) << c.name;
    EXPECT_EQ(p->bit_rate, c.expected.bit_rate) << c.name;
  }
}

TEST(RtspAnswer, CodecsFirstMatchWins) {
  struct Case {
    std::string sdp;
    uint8_t video;
    std::optional<uint8_t> audio;
  };
  const Case cases[] = {
      {"a=rtpmap:96 H264/90000\r\na=rtpmap:97 G726-32/8000\r\n", 96, 6},
      {"a=rtpmap:97 G726-24/8000\r\n", 96, 5},
      {"a=rtpmap:97 G726-16/8000\r\n", 96, 4},
      {"a=rtpmap:97 G726-40/8000\r\n", 96, 7},
      {"a=rtpmap:0 PCMU/8000\r\n", 96, 2},
      {"a=rtpmap:26 JPEG/90000\r\na=rtpmap:8 PCMA/8000\r\n", 26, 1},
      {"a=rtpmap:8 PCMA/8000\r\na=rtpmap:97 G726-40/8000\r\n", 96, 7},  // table order, not SDP order
      {"a=rtpmap:96 H264/90000\r\na=rtpmap:97 AAC/8000\r\n", 96, std::nullopt},
  };
  for (const Case& c : cases) {
    const CodecChoice choice = PickCodecs(c.sdp);
    EXPECT_EQ(choice.video_payload_type, c.video) << c.sdp;
    EXPECT_EQ(choice.audio_codec, c.audio) << c.sdp;
  }
}

TEST(RtspAnswer, SessionId) {
  EXPECT_EQ(ParseSessionId("RTSP/1.0 200 OK\r\nSession: 12345678;timeout=60\r\n"), "12345678");
  EXPECT_EQ(ParseSessionId("Session: 42\r\n"), "42");
  EXPECT_EQ(ParseSessionId("Session:42\r\n"), "2");  // the value is taken 9 characters on
  EXPECT_EQ(ParseSessionId("Session: abc\r\n"), "");
  EXPECT_EQ(ParseSessionId("RTSP/1.0 200 OK\r\n"), "");
  EXPECT_EQ(ParseSessionId("Session:"), "");
  const std::string forty(40, '7');
  EXPECT_EQ(ParseSessionId("Session: " + forty + "\r\n"), forty.substr(0, 31));
}

TEST(ScanInts, BehavesLikeSscanfForDecimalFormats) {
  struct Case {
    const char* text;
    const char* format;
    int count;
    std::array<int32_t, 3> values;
  };
  const Case cases[] = {
      {"@1@2@3\n", "@%d@%d@%d\n", 3, {1, 2, 3}},
      {"@1@2@3", "@%d@%d@%d\n", 3, {1, 2, 3}},         // trailing white space matches none
      {"@ 1@\t-2@+3\n", "@%d@%d@%d\n", 3, {1, -2, 3}},  // blanks and signs before numbers
      {"@1@x@3\n", "@%d@%d@%d\n", 1, {1, 0, 0}},
      {"@1 @2@3\n", "@%d@%d@%d\n", 1, {1, 0, 0}},       // no blank allowed before a literal
      {"1@2@3\n", "@%d@%d@%d\n", 0, {0, 0, 0}},
      {"", "@%d\n", 0, {0, 0, 0}},
      {"@-@1", "@%d@%d", 0, {0, 0, 0}},
      {"@2147483647@-2147483648@2147483648", "@%d@%d@%d", 2, {INT32_MAX, INT32_MIN, 0}},
      {"@12abc", "@%d@%d", 1, {12, 0, 0}},
  };
  for (const Case& c : cases) {
    std::array<int32_t, 3> out{};
    EXPECT_EQ(ScanInts(c.text, c.format, out.data(), out.size()), c.count) << c.text;
    EXPECT_EQ(out, c.values) << c.text;
  }
}

}  // namespace
}  // namespace qvnet
