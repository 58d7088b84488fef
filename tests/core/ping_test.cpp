// The ping step over the device rows, the ping thread, and ICMP echo on loopback.
#include <gtest/gtest.h>
#include <arpa/inet.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "nvr/core/engine/ping_thread.h"
#include "platform/icmp.h"
#include "tests/core/engine_fixture.h"

namespace {

using coretest::EngineTest;

class PingStepTest : public EngineTest {
 protected:
  std::vector<int32_t> Images() {
    std::vector<int32_t> images;
    for (const nvr::RowView& row : core_->Rows()) images.push_back(row.image);
    return images;
  }
};

TEST_F(PingStepTest, ChannelsOfOneHostArePingedOnce) {
  for (int ch = 0; ch < 3; ++ch) Store(Device("Cam" + std::to_string(ch), "127.0.0.1", ch));
  Store(Device("Other", "127.0.0.2"));
  StartCore();
  core_->PingStep(false);  // nothing was pending: start at the first row
  EXPECT_EQ(core_->ping_device(), 1);
  core_->PingStep(true);
  EXPECT_EQ(Images(), (std::vector<int32_t>{1, 1, 1, 0}));
  EXPECT_EQ(core_->ping_device(), 4);
  core_->PingStep(false);
  EXPECT_EQ(Images(), (std::vector<int32_t>{1, 1, 1, 2}));
  EXPECT_EQ(core_->ping_device(), 1);  // round again
}

TEST_F(PingStepTest, AtMostFourSiblingsAndConnectedDevicesShowReachable) {
  for (int ch = 0; ch < 6; ++ch) Store(Device("Cam" + std::to_string(ch), "127.0.0.1", ch));
  StartCore();
  core_->Connect(1);
  Connected(1);
  core_->PingStep(false);
  core_->PingStep(false);  // no answer, but row 1 is connected
  EXPECT_EQ(Images(), (std::vector<int32_t>{1, 1, 1, 1, 1, 0}));
  EXPECT_EQ(core_->ping_device(), 6);
  ASSERT_TRUE(core_->DeleteDevice(6).done);  // the pinged row is gone
  core_->PingStep(false);
  EXPECT_EQ(core_->ping_device(), 1);  // cursor 5 wraps to the first row
  ASSERT_TRUE(core_->DeleteAll().done);
  core_->PingStep(true);
  EXPECT_EQ(core_->ping_device(), 0);
}

TEST(PingThread, PingsTheRequestedHostAndReports) {
  std::mutex mutex;
  std::vector<std::string> pinged;
  std::vector<bool> answers;
  nvr::PingThread thread(
      [&](const std::string& host) {
        std::lock_guard<std::mutex> guard(mutex);
        pinged.push_back(host);
        return true;
      },
      [&](bool answered) {
        std::lock_guard<std::mutex> guard(mutex);
        answers.push_back(answered);
      });
  ASSERT_EQ(thread.Begin(), qvp::JThread::kStarted);
  auto wait_answers = [&](size_t n) {
    for (int i = 0; i < 300; ++i) {
      {
        std::lock_guard<std::mutex> guard(mutex);
        if (answers.size() >= n) return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  };
  ASSERT_TRUE(wait_answers(1));  // first round: nothing pending
  thread.Request("127.0.0.5", true);
  ASSERT_TRUE(wait_answers(2));
  thread.Stop();
  thread.Join();
  EXPECT_TRUE(thread.Ended());
  EXPECT_EQ(pinged, std::vector<std::string>{"127.0.0.5"});
  EXPECT_EQ(answers, (std::vector<bool>{false, true}));
}

TEST(Icmp, EchoRequestLayout) {
  const std::vector<uint8_t> packet = qvp::BuildEchoRequest(0x1234, 0, 0xA1B2C3D4u);
  ASSERT_EQ(packet.size(), 44u);
  EXPECT_EQ(packet[0], 8);
  EXPECT_EQ(packet[1], 0);
  EXPECT_EQ(packet[4], 0x12);
  EXPECT_EQ(packet[5], 0x34);
  EXPECT_EQ(packet[43], 0x45);
  EXPECT_EQ(qvp::InternetChecksum(packet.data(), packet.size()), 0);  // checksum included
}

TEST(Icmp, ReplyMatching) {
  in_addr self{}, other{};
  inet_pton(AF_INET, "127.0.0.1", &self);
  inet_pton(AF_INET, "127.0.0.2", &other);
  uint8_t reply[28] = {0x45};  // IPv4 header of 20 bytes, then the ICMP header
  reply[24] = 0x12;
  reply[25] = 0x34;
  EXPECT_TRUE(qvp::IsEchoReplyFor(reply, sizeof reply, 0x1234, self, self));
  EXPECT_FALSE(qvp::IsEchoReplyFor(reply, sizeof reply, 0x1235, self, self));
  EXPECT_FALSE(qvp::IsEchoReplyFor(reply, sizeof reply, 0x1234, other, self));
  EXPECT_FALSE(qvp::IsEchoReplyFor(reply, 27, 0x1234, self, self));
  reply[20] = 8;  // our own request, seen on loopback
  EXPECT_FALSE(qvp::IsEchoReplyFor(reply, sizeof reply, 0x1234, self, self));
  reply[20] = 0;
  reply[0] = 0x4F;  // header length beyond the packet
  EXPECT_FALSE(qvp::IsEchoReplyFor(reply, sizeof reply, 0x1234, self, self));
}

TEST(Icmp, LoopbackAnswers) {
  const qvp::EchoResult result = qvp::IcmpEcho("127.0.0.1");
  if (result == qvp::EchoResult::kUnavailable) GTEST_SKIP() << "no ICMP socket allowed here";
  EXPECT_EQ(result, qvp::EchoResult::kReply);
}

}  // namespace
