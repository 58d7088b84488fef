// Pieces of the simulator whose mistakes the end-to-end tests would not pin down.
#include <gtest/gtest.h>

#include "tools/camsim/annexb.h"
#include "tools/camsim/digest.h"
#include "tools/camsim/mctp.h"
#include "tools/camsim/simulator.h"
#include "tools/camsim/talk.h"
#include "tools/camsim/rtp_packetizer.h"

namespace {

using camsim::Bytes;

TEST(CamsimAnnexB, SplitsAtStartCodesAndGroupsPictures) {
  const Bytes stream = {
      0, 0, 0, 1, 0x67, 0x42, 0x00,        // SPS, its 4-byte start code
      0, 0, 1, 0x68, 0xCE,                 // PPS
      0, 0, 1, 0x65, 0x88, 0x80, 0, 0,     // IDR, first_mb 0, two trailing zero bytes
      0, 0, 1, 0x65, 0x00, 0x11,           // second slice of the same IDR picture (first_mb > 0)
      0, 0, 1, 0x41, 0x9A,                 // next picture (P slice, first_mb 0)
      0, 0, 1, 0x06, 0x05, 0x80,           // SEI after a slice: next picture
      0, 0, 1, 0x41, 0x9B};
  const std::vector<Bytes> nals = camsim::SplitAnnexB(stream.data(), stream.size());
  ASSERT_EQ(nals.size(), 7u);
  EXPECT_EQ(nals[2], (Bytes{0x65, 0x88, 0x80})) << "trailing zeros belong to the next start code";
  const std::vector<camsim::AccessUnit> units = camsim::GroupAccessUnits(nals);
  ASSERT_EQ(units.size(), 3u);
  EXPECT_EQ(units[0].nals.size(), 4u);
  EXPECT_TRUE(units[0].key);
  EXPECT_EQ(units[1].nals.size(), 1u);
  EXPECT_FALSE(units[1].key);
  EXPECT_EQ(units[2].nals.size(), 2u);
}

TEST(CamsimPacketizer, H264FitsTheMtuAndMarksTheLastPacket) {
  constexpr size_t kMtu = 200;
  constexpr size_t kRoom = kMtu - 12;
  struct Case {
    const char* name;
    size_t nal_size;
    size_t packets;
  };
  const Case cases[] = {
      {"exactly fits", kRoom, 1},
      {"one byte over: FU-A", kRoom + 1, 2},
      {"fills two fragments", 1 + 2 * (kRoom - 2), 2},
      {"one more byte: three", 2 + 2 * (kRoom - 2), 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    camsim::AccessUnit unit;
    Bytes nal(c.nal_size, 0xAB);
    nal[0] = 0x65;
    unit.nals = {Bytes{0x67, 1, 2}, nal};
    camsim::RtpTrack track{96, 65535, 7};
    std::vector<Bytes> packets;
    camsim::PacketizeH264(unit, 1234, kMtu, false, &track, &packets);
    ASSERT_EQ(packets.size(), 1 + c.packets);
    Bytes rebuilt;
    for (size_t i = 1; i < packets.size(); ++i) {
      const Bytes& p = packets[i];
      EXPECT_LE(p.size(), kMtu);
      EXPECT_EQ((p[1] & 0x80) != 0, i + 1 == packets.size()) << "marker only on the last packet";
      if (c.packets == 1) {
        rebuilt.assign(p.begin() + 12, p.end());
        continue;
      }
      EXPECT_EQ(p[12], 0x7C) << "FU indicator keeps NRI 3, type 28";
      EXPECT_EQ(p[13] & 0xC0, (i == 1 ? 0x80 : 0) | (i + 1 == packets.size() ? 0x40 : 0));
      if (i == 1) rebuilt.push_back(static_cast<uint8_t>((p[12] & 0xE0) | (p[13] & 31)));
      rebuilt.insert(rebuilt.end(), p.begin() + 14, p.end());
    }
    EXPECT_EQ(rebuilt, nal);
    EXPECT_EQ(packets[0][2] << 8 | packets[0][3], 65535) << "sequence numbers wrap";
    EXPECT_EQ(packets[1][2] << 8 | packets[1][3], 0);
  }
}

TEST(CamsimPacketizer, StapACarriesTheParameterSetsOnRequest) {
  camsim::AccessUnit unit;
  unit.nals = {Bytes{0x67, 1, 2, 3}, Bytes{0x68, 4}, Bytes{0x65, 9, 9}};
  camsim::RtpTrack track;
  std::vector<Bytes> packets;
  camsim::PacketizeH264(unit, 0, 1400, true, &track, &packets);
  ASSERT_EQ(packets.size(), 2u);
  const Bytes expected = {0x78, 0, 4, 0x67, 1, 2, 3, 0, 2, 0x68, 4};
  EXPECT_EQ(Bytes(packets[0].begin() + 12, packets[0].end()), expected);
}

}  // namespace

namespace {

TEST(CamsimDigest, VerifiesBothResponseForms) {
  // RFC 2617 §3.5 example (qop=auth); the same credentials without qop give the RFC 2069 form.
  auto c = camsim::ParseDigestAuthorization(
      "Digest username=\"Mufasa\", realm=\"testrealm@host.com\", nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\", "
      "uri=\"/dir/index.html\", qop=auth, nc=00000001, cnonce=\"0a4f113b\", "
      "response=\"6629fae49393a05397450978507c4ef1\", opaque=\"5ccc069c403ebaf9f0171e9517f40e41\"");
  ASSERT_TRUE(c);
  EXPECT_EQ(c->uri, "/dir/index.html");
  EXPECT_EQ(camsim::ExpectedDigestResponse(*c, "GET", "Circle Of Life"), c->response);
  c->qop.clear();
  const std::string ha1 = camsim::Md5Hex("Mufasa:testrealm@host.com:Circle Of Life");
  const std::string ha2 = camsim::Md5Hex("GET:/dir/index.html");
  EXPECT_EQ(camsim::ExpectedDigestResponse(*c, "GET", "Circle Of Life"),
            camsim::Md5Hex(ha1 + ":dcd98b7102dd2f0e8b11d0f600bfb0c093:" + ha2));
  EXPECT_FALSE(camsim::ParseDigestAuthorization("Basic QWxhZGRpbjpvcGVu"));
  EXPECT_FALSE(camsim::ParseDigestAuthorization("Digest username=\"unterminated"));
}

TEST(CamsimTalk, FramesSplitAnywhereAreReassembled) {
  std::string stream;
  auto add = [&](uint32_t length, uint32_t tick, const std::string& voice) {
    for (int i = 0; i < 4; ++i) stream += static_cast<char>(length >> (8 * i));
    for (int i = 0; i < 4; ++i) stream += static_cast<char>(tick >> (8 * i));
    stream += voice;
  };
  add(8, 7, std::string("\x00\x01\x02\x00" "abcd", 8));
  add(6, 8, std::string("\x00\x01\x02\x00" "ab", 6));  // says two words, carries one
  std::vector<std::pair<uint32_t, bool>> got;
  camsim::TalkFrameReader reader([&](uint32_t, uint32_t tick, const uint8_t*, bool valid) {
    got.emplace_back(tick, valid);
  });
  for (char byte : stream) ASSERT_TRUE(reader.Feed(reinterpret_cast<const uint8_t*>(&byte), 1));
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], std::make_pair(7u, true));
  EXPECT_EQ(got[1], std::make_pair(8u, false));
  const uint8_t too_long[8] = {0x00, 0x04, 0, 0, 0, 0, 0, 0};  // 1024 bytes: beyond any voice frame
  EXPECT_FALSE(reader.Feed(too_long, sizeof(too_long)));
}

TEST(CamsimMctpText, ParsesNumbersAndAnswersCommands) {
  struct Case {
    const char* line;
    bool ok;
    size_t count;
  };
  const Case cases[] = {
      {"@1@2@3", true, 3},          {"@1@0@2@3@4@", true, 5},       {"@-1@2147483647", true, 2},
      {"@2147483648@0", false, 0},  {"@1@@2", false, 0},            {"@1@x", false, 0},
      {"1@2", false, 0},            {"@", false, 0},                {"@ 1@2", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const auto numbers = camsim::ParseMctpNumbers(c.line);
    ASSERT_EQ(numbers.has_value(), c.ok);
    if (c.ok) {
      EXPECT_EQ(numbers->size(), c.count);
    }
  }

  camsim::CameraState state = camsim::DefaultCameraState(704, 576);
  auto answer = [&](const std::string& text, camsim::McptFault fault = camsim::McptFault::kNone) {
    const auto message = camsim::ParseMctpMessage(text);
    EXPECT_TRUE(message) << text;
    return message ? camsim::AnswerMctpCommand(*message, &state, fault).value_or("<none>") : "";
  };
  EXPECT_EQ(answer("CMD:VCTRL MCTP/1.0 CS\n@3@0@300@20@30@\nEND\n"), "CMD:VCTRL MCTP/1.0 CS\n@3@0@1@\nEND\n");
  EXPECT_EQ(answer("CMD:VCTRL MCTP/1.0 CS\n@1@0@0@0@0@\nEND\n"), "CMD:VCTRL MCTP/1.0 CS\n@1@0@44@20@30@\nEND\n")
      << "values are kept as bytes";
  EXPECT_EQ(answer("CMD:ALARM MCTP/1.0 CS\n@1@3\nEND\n"), "CMD:ALARM MCTP/1.0 CS\n@1@3@1\nEND\n");
  EXPECT_EQ(answer("CMD:PTZ MCTP/1.0\n@0@21@5\nEND\n"), "CMD:PTZ MCTP/1.0\n@0@21@1\nEND\n");
  EXPECT_EQ(answer("CMD:MD MCTP/1.0 CS\n@3@1@0@0@0@0@0@0\nEND\n"), "CMD:MD MCTP/1.0 CS\n@3@1@1@0@0@0@0@0\nEND\n");
  EXPECT_TRUE(state.md_enabled);
  EXPECT_EQ(answer("CMD:ALARM MCTP/1.0 CS\n@1@3\nEND\n", camsim::McptFault::kGarbageNumbers),
            "CMD:ALARM MCTP/1.0 CS\n@b@d@b\nEND\n");
  EXPECT_EQ(answer("CMD:FOO MCTP/1.0 CS\nEND\n"), "<none>");
  EXPECT_FALSE(camsim::ParseMctpMessage("CMD:MD HTTP/1.1\nEND\n"));
  EXPECT_EQ(camsim::MotionEvent(0, 2, state, camsim::McptFault::kNone),
            "CMD:MD MCTP/1.0 CS\n@2@0@0@0@0@0@0@0\nEND\n")
      << "no region in motion still makes a three-line message";
}

TEST(CamsimCommands, LinesAreCheckedBeforeTheyAct) {
  camsim::Simulator simulator;
  camsim::CameraOptions options;
  options.width = 176;
  options.height = 144;
  options.fps = 10;
  options.clip_seconds = 1;
  options.audio = camsim::AudioCodec::kNone;
  std::string error;
  ASSERT_TRUE(simulator.Start(options, 2, &error)) << error;
  const std::string second_port = std::to_string(simulator.At(1).Port());
  struct Case {
    std::string line;
    std::string reply;
  };
  const Case cases[] = {
      {"motion 0 0x8", "ok 0"},          {"motion 1 65536", "error: bad command or argument (try help)"},
      {"alarm * 5", "ok 0"},             {"pause " + second_port + " 1.5", "ok"},
      {"pause 0 -1", "error: bad command or argument (try help)"},
      {"drop 2", "error: unknown camera (try help)"},
      {"refuse-auth 1 403", "ok"},       {"slow 0 250", "ok"},
      {"talk-back 0 maybe", "error: bad command or argument (try help)"},
      {"reboot 0", "error: unknown command (try help)"},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    bool quit = false;
    EXPECT_EQ(simulator.Execute(c.line, &quit), c.reply);
    EXPECT_FALSE(quit);
  }
  EXPECT_EQ(simulator.At(1).Options().refuse_auth, camsim::RefuseAuth::k403);
  EXPECT_EQ(simulator.At(0).Options().slow_ms, 250u);
  bool quit = false;
  EXPECT_EQ(simulator.Execute("quit", &quit), "ok");
  EXPECT_TRUE(quit);
}

}  // namespace
