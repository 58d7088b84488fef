// MCTP request texts, answer checks and the event handling, all from memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "netclient/stream/event_receiver.h"
#include "netclient/wire/mctp_event_framer.h"
#include "netclient/wire/mctp_message.h"
#include "tests/rtsp/recording_client.h"

namespace qvnet {
namespace {

using Note = qvtest::Note;

TEST(MctpRequests, ExactTexts) {
  MDRegionTable table{};
  for (int i = 0; i < 16; ++i) {
    table.value[i] = static_cast<uint8_t>(i + 1);
    table.rect[i][0] = i;
    table.rect[i][3] = -i;
  }
  const std::string save = MctpMdSave(5, table);
  EXPECT_EQ(save.substr(0, 19 + 17), "CMD:MD MCTP/1.0 CS\n@1@5@0@1@0@0@0@0\n");
  EXPECT_NE(save.find("\n@1@5@15@16@15@0@0@-15\nEND\n"), std::string::npos);
  EXPECT_EQ(CountLines(save), 18);

  struct Case {
    std::string built;
    const char* expected;
  };
  const Case cases[] = {
      {MctpRegistration("123456", 4), "CMD:ALIVE MCTP/1.0 CS\n@123456@4\nEND\n"},
      {std::string(kMctpKeepAlive), "CMD:ALIVE MCTP/1.0 CS\nEND\n"},
      {MctpMdGet(4), "CMD:MD MCTP/1.0 CS\n@2@4@0@0@0@0@0@0\nEND\n"},
      {MctpMdSwitch(1, true), "CMD:MD MCTP/1.0 CS\n@3@1@0@0@0@0@0@0\nEND\n"},
      {MctpMdSwitch(1, false), "CMD:MD MCTP/1.0 CS\n@4@1@0@0@0@0@0@0\nEND\n"},
      {MctpAlarmReset(2), "CMD:ALARM MCTP/1.0 CS\n@1@2\nEND\n"},
      {MctpVideoParamSet(0, 256 + 7, -1, 128, true), "CMD:VCTRL MCTP/1.0 CS\n@3@0@7@255@128@\nEND\n"},
      {MctpVideoParamSet(0, 1, 2, 3, false), "CMD:VCTRL MCTP/1.0 CS\n@2@0@1@2@3@\nEND\n"},
      {MctpVideoParamGet(4), "CMD:VCTRL MCTP/1.0 CS\n@1@4@0@0@0@\nEND\n"},
      {MctpPtz(0, 12, -3), "CMD:PTZ MCTP/1.0\n@0@12@-3\nEND\n"},
      {MctpTalk(4, 6), "CMD:TALK MCTP/1.0 CS\n@4@6@\nEND\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.built, c.expected);
}

TEST(MctpAnswers, LineCounting) {
  EXPECT_EQ(CountLines(""), 0);
  EXPECT_EQ(CountLines("a"), 1);
  EXPECT_EQ(CountLines("a\n"), 1);
  EXPECT_EQ(CountLines("a\nb"), 2);
  EXPECT_EQ(CountLines("\n\n\n"), 3);
  EXPECT_EQ(NthLine("a\nbb\ncc", 2), "bb\n");
  EXPECT_EQ(NthLine("a\nbb\ncc", 3), "cc");
  EXPECT_EQ(NthLine("a\n", 2), "");
}

TEST(MctpAnswers, StatusChecks) {
  using Check = bool (*)(std::string_view);
  struct Case {
    const char* name;
    Check check;
    const char* answer;
    bool accepted;
  };
  const Case cases[] = {
      {"alive ok", RegistrationAccepted, "CMD:ALIVE MCTP/1.0 CS\n@1@0@1\nEND\n", true},
      {"alive any non-zero", RegistrationAccepted, "CMD:ALIVE MCTP/1.0 CS\n@1@0@7\nEND", true},
      {"alive refused", RegistrationAccepted, "CMD:ALIVE MCTP/1.0 CS\n@1@0@0\nEND\n", false},
      {"alive 4 lines", RegistrationAccepted, "CMD:ALIVE MCTP/1.0 CS\n@1@0@1\n@0\nEND\n", false},
      {"alive 2 numbers", RegistrationAccepted, "CMD:ALIVE MCTP/1.0 CS\n@1@1\nEND\n", false},
      {"md ok", MdStatusAccepted, "CMD:MD MCTP/1.0 CS\n@3@0@1@0@0@0@0@0\nEND\n", true},
      {"md status 2", MdStatusAccepted, "CMD:MD MCTP/1.0 CS\n@3@0@2@0@0@0@0@0\nEND\n", false},
      {"md 7 numbers", MdStatusAccepted, "CMD:MD MCTP/1.0 CS\n@3@0@1@0@0@0@0\nEND\n", false},
      {"md garbage", MdStatusAccepted, "CMD:MD MCTP/1.0 CS\n@d@a@b@a@a@a@a@a\nEND\n", false},
      {"alarm ok", AlarmResetAccepted, "CMD:ALARM MCTP/1.0 CS\n@1@2@1\nEND\n", true},
      {"alarm status 0", AlarmResetAccepted, "CMD:ALARM MCTP/1.0 CS\n@1@2@0\nEND\n", false},
      {"alarm 2 lines", AlarmResetAccepted, "CMD:ALARM MCTP/1.0 CS\n@1@2@1\n", false},
      {"vctrl ok", VideoParamSetAccepted, "CMD:VCTRL MCTP/1.0 CS\n@2@0@1@\nEND\n", true},
      {"vctrl overflow", VideoParamSetAccepted, "CMD:VCTRL MCTP/1.0 CS\n@2@0@4294967297@\nEND\n", false},
  };
  for (const Case& c : cases) EXPECT_EQ(c.check(c.answer), c.accepted) << c.name;
}

TEST(MctpAnswers, VideoParamsAndTalk) {
  uint8_t v1 = 0, v2 = 0, v3 = 0;
  ASSERT_TRUE(ReadVideoParams("CMD:VCTRL MCTP/1.0 CS\n@1@0@10@300@-1@\nEND\n", &v1, &v2, &v3));
  EXPECT_EQ(v1, 10);
  EXPECT_EQ(v2, 300 & 255);
  EXPECT_EQ(v3, 255);
  EXPECT_FALSE(ReadVideoParams("CMD:VCTRL MCTP/1.0 CS\n@1@0@10@20@\nEND\n", &v1, &v2, &v3));

  bool talk_back = false;
  EXPECT_TRUE(ReadTalkAnswer("CMD:TALK MCTP/1.0 CS\n@0@1@\n", &talk_back));
  EXPECT_FALSE(talk_back);
  EXPECT_FALSE(ReadTalkAnswer("CMD:VCTRL MCTP/1.0 CS\n@1@1@\n", &talk_back));
}

class EventHandling : public ::testing::Test {
 protected:
  LibraryContext context_;
  qvtest::RecordingClient client_{context_, 554};
};

TEST_F(EventHandling, MotionForRegion3UpdatesOnlyRegion3) {
  client_.motion.regions.rect[0][0] = 111;
  client_.motion.last_report[0] = 5;
  ASSERT_TRUE(HandleEventMessage(client_, "CMD:MD MCTP/1.0 CS\n@0@1@3@10@20@30@40@50\nEND\n", 777));
  EXPECT_EQ(client_.Notes(), (std::vector<Note>{{NOTIFY_MOTION, 8}}));
  EXPECT_EQ(client_.motion.mask, 8u);
  EXPECT_EQ(client_.motion.last_report[3], 777u);
  EXPECT_EQ(client_.motion.regions.rect[3][0], 10);
  EXPECT_EQ(client_.motion.regions.rect[3][3], 40);
  EXPECT_EQ(client_.motion.regions.rect[0][0], 111);
  EXPECT_EQ(client_.motion.last_report[0], 5u);
  EXPECT_EQ(client_.motion.last_report[4], 0u);
}

TEST_F(EventHandling, MotionLinesThatDoNotQualify) {
  // Field 2 = 0, a region out of range and a short line: none qualifies, the mask is 0.
  ASSERT_TRUE(HandleEventMessage(
      client_, "CMD:MD MCTP/1.0 CS\n@0@0@3@1@1@1@1@1\n@0@1@16@1@1@1@1@1\n@0@1@2@1@1\nEND\n", 1));
  EXPECT_EQ(client_.Notes(), (std::vector<Note>{{NOTIFY_MOTION, 0}}));
  EXPECT_EQ(client_.motion.last_report[3], 0u);

  // 19 lines: ignored whole, no notification.
  std::string big = "CMD:MD MCTP/1.0 CS\n";
  for (int i = 0; i < 17; ++i) big += "@0@1@" + std::to_string(i % 16) + "@1@1@1@1@1\n";
  ASSERT_TRUE(HandleEventMessage(client_, big + "END\n", 1));
  EXPECT_EQ(client_.Notes().size(), 1u);
  EXPECT_EQ(client_.motion.last_report[0], 0u);
}

TEST_F(EventHandling, Alarms) {
  EXPECT_TRUE(HandleEventMessage(client_, "CMD:ALARM MCTP/1.0 CS\n@2@5\nEND\n", 1));
  EXPECT_TRUE(HandleEventMessage(client_, "CMD:ALARM MCTP/1.0 CS\n@1@5\nEND\n", 1));
  EXPECT_TRUE(HandleEventMessage(client_, "CMD:ALARM MCTP/1.0 CS\n@2\nEND\n", 1));
  EXPECT_TRUE(HandleEventMessage(client_, "CMD:ALIVE MCTP/1.0 CS\nEND\n", 1));
  EXPECT_EQ(client_.Notes(), (std::vector<Note>{{NOTIFY_ALARM, 5}}));
  // Anything but three lines ends the channel.
  EXPECT_FALSE(HandleEventMessage(client_, "CMD:ALARM MCTP/1.0 CS\n@2@5\n@0\nEND\n", 1));
  EXPECT_FALSE(HandleEventMessage(client_, "CMD:ALARM MCTP/1.0 CS\nEND\n", 1));
}

// --- The event channel's framing -------------------------------------------------------------

// Feeds `text` to the framer in receives of at most `piece` bytes; returns the messages handed
// over, or stops (false) when the handler said so.
struct FramedRun {
  std::vector<std::string> messages;
  bool ended = false;
};
FramedRun Frame(MctpEventFramer& framer, const std::string& text, size_t piece, int stop_after = -1) {
  FramedRun run;
  for (size_t at = 0; at < text.size() && !run.ended;) {
    const std::span<char> space = framer.Space();
    const size_t n = std::min({piece, space.size(), text.size() - at});
    std::copy_n(text.data() + at, n, space.data());
    at += n;
    run.ended = !framer.Commit(n, [&](std::string_view m) {
      run.messages.emplace_back(m);
      return stop_after < 0 || static_cast<int>(run.messages.size()) < stop_after;
    });
  }
  return run;
}

TEST(MctpEventFramerTest, WholeMessagesOutWhateverTheReceives) {
  const std::string alarm = "CMD:ALARM MCTP/1.0 CS\n@2@5\nEND\n";
  const std::string alive = "CMD:ALIVE MCTP/1.0 CS\n@1@1@1\nEND\n";
  const std::string stream = "chatter\n" + alarm + "\r\n" + alive;
  for (const size_t piece : {size_t{1}, size_t{3}, size_t{7}, stream.size()}) {
    MctpEventFramer framer;
    const FramedRun run = Frame(framer, stream, piece);
    EXPECT_FALSE(run.ended) << piece;
    EXPECT_EQ(run.messages, (std::vector<std::string>{alarm, alive})) << piece;
    EXPECT_EQ(framer.Buffered(), 0u) << piece;
  }
}

TEST(MctpEventFramerTest, AFullBufferWithoutAMessageIsDroppedAndTheChannelGoesOn) {
  std::string flood = "CMD:MD MCTP/1.0 CS\n";
  while (flood.size() <= MctpEventFramer::kCapacity + 100) flood += "@0@1@0@0@0@0@0@0\n";
  const std::string motion = "CMD:MD MCTP/1.0 CS\n@0@1@2@0@0@0@0@0\nEND\n";
  MctpEventFramer framer;
  const FramedRun run = Frame(framer, flood + motion, 1000);
  EXPECT_FALSE(run.ended);
  EXPECT_EQ(run.messages, std::vector<std::string>{motion});
}

TEST(MctpEventFramerTest, AHandlerThatEndsTheChannelKeepsWhatFollows) {
  const std::string one = "CMD:ALARM MCTP/1.0 CS\n@2@1\n@1\nEND\n";
  const std::string two = "CMD:ALARM MCTP/1.0 CS\n@2@2\nEND\n";
  MctpEventFramer framer;
  const FramedRun run = Frame(framer, one + two, one.size() + two.size(), 1);
  EXPECT_TRUE(run.ended);
  EXPECT_EQ(run.messages, std::vector<std::string>{one});
  EXPECT_EQ(framer.Buffered(), two.size());
}

}  // namespace
}  // namespace qvnet
