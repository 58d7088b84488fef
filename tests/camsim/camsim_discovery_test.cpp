// The simulator's discovery responder, inside a private network namespace: what it answers,
// to what, and its command line.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/net_namespace.h"
#include "tests/support/poll.h"
#include "tools/camsim/cli.h"
#include "tools/camsim/discovery.h"

namespace {

constexpr uint16_t kPort = 6789;

std::vector<uint8_t> Request(uint8_t type = 2) {
  std::vector<uint8_t> r(43, 0);
  std::memcpy(r.data(), "quorvalenta", 12);
  r[12] = type;
  return r;
}

// A UDP socket on 127.0.0.1 that can send multicast out of the loopback interface.
class Asker {
 public:
  Asker() : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    in_addr lo{};
    lo.s_addr = htonl(INADDR_LOOPBACK);
    ok_ = fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
          setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_IF, &lo, sizeof lo) == 0;
  }
  ~Asker() { close(fd_); }
  bool ok() const { return ok_; }
  bool SendTo(const char* address, const std::vector<uint8_t>& bytes) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kPort);
    inet_pton(AF_INET, address, &to.sin_addr);
    return sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) ==
           static_cast<ssize_t>(bytes.size());
  }
  // One datagram within two seconds; empty when none came.
  std::vector<uint8_t> Receive() {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 2000) != 1) return {};
    std::vector<uint8_t> buf(1024);
    const ssize_t n = recv(fd_, buf.data(), buf.size(), 0);
    buf.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return buf;
  }

 private:
  int fd_;
  bool ok_ = false;
};

TEST(CamsimDiscoveryTest, AnswersEachRequestByMulticastAndDirectlyAsACamera) {
  std::string why;
  if (!qvtest::EnterPrivateNetwork(&why)) GTEST_SKIP() << why;
  camsim::DiscoveryOptions options;
  options.model = "DVS";
  options.name = "Yard camera";
  options.channels = 2;
  camsim::DiscoveryResponder responder(options);
  std::string error;
  ASSERT_TRUE(responder.Start(8554, &error)) << error;
  EXPECT_EQ(responder.JoinedOn(), std::vector<std::string>{"127.0.0.1"});
  Asker asker;
  ASSERT_TRUE(asker.ok());

  ASSERT_TRUE(asker.SendTo("224.111.111.1", Request()));
  const std::vector<uint8_t> reply = asker.Receive();
  ASSERT_EQ(reply.size(), 176u);
  EXPECT_EQ(std::memcmp(reply.data(), "quorvalenta", 12), 0);
  EXPECT_EQ(reply[12], 1);
  EXPECT_STREQ(reinterpret_cast<const char*>(&reply[13]), "DVS");
  EXPECT_STREQ(reinterpret_cast<const char*>(&reply[60]), "127.0.0.1");  // the address it was asked on
  EXPECT_STREQ(reinterpret_cast<const char*>(&reply[90]), "Yard camera");
  EXPECT_EQ((reply[160] << 24) | (reply[161] << 16) | (reply[162] << 8) | reply[163], 8554);
  EXPECT_EQ(reply[164], 2);

  // A reply, a short datagram and a request of the right bytes to the address itself.
  const std::vector<uint8_t> request = Request();
  ASSERT_TRUE(asker.SendTo("127.0.0.1", Request(1)));
  ASSERT_TRUE(asker.SendTo("127.0.0.1", std::vector<uint8_t>(request.begin(), request.begin() + 12)));
  ASSERT_TRUE(asker.SendTo("127.0.0.1", Request()));
  ASSERT_EQ(asker.Receive().size(), 176u);
  ASSERT_TRUE(qvtest::PollUntil([&] { return responder.Requests().size() == 4; }));
  const std::vector<camsim::DiscoveryRequestSeen> seen = responder.Requests();
  EXPECT_EQ(seen[0].destination, "224.111.111.1");
  EXPECT_EQ(seen[0].source, "127.0.0.1");
  EXPECT_TRUE(seen[0].answered);
  EXPECT_FALSE(seen[1].answered);
  EXPECT_FALSE(seen[2].answered);
  EXPECT_TRUE(seen[3].answered);
  EXPECT_EQ(seen[3].destination, "127.0.0.1");
}

TEST(CamsimDiscoveryTest, CommandLineOptions) {
  camsim::CommandLine c;
  std::string error;
  ASSERT_EQ(camsim::ParseCommandLine({"--discovery", "--discovery-channels", "4", "--discovery-model", "DVS",
                                      "--discovery-name", "Gate"},
                                     &c, &error),
            camsim::ParseResult::kRun)
      << error;
  EXPECT_TRUE(c.discovery);
  EXPECT_EQ(c.discovery_options.channels, 4);
  EXPECT_EQ(c.discovery_options.model, "DVS");
  EXPECT_EQ(c.discovery_options.name, "Gate");
  EXPECT_EQ(camsim::ParseCommandLine({"--discovery-channels", "256"}, &c, &error), camsim::ParseResult::kError);
  EXPECT_EQ(camsim::ParseCommandLine({"--discovery-name", std::string(70, 'n')}, &c, &error),
            camsim::ParseResult::kError);
}

}  // namespace
