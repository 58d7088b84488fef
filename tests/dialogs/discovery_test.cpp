// Device discovery: the datagrams byte for byte, replies that are not whole, the search inside
// a private network namespace against the camera simulator's responder, and Add.
#include <arpa/inet.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <atomic>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "nvr/dialogs/model/discovery_dialog.h"
#include "tests/core/engine_fixture.h"
#include "tests/support/net_namespace.h"
#include "tests/support/poll.h"
#include "tools/camsim/discovery.h"

namespace {

using Bytes = std::vector<uint8_t>;

in_addr Address(const char* dotted) {
  in_addr a{};
  inet_pton(AF_INET, dotted, &a);
  return a;
}

Bytes Reply(const std::string& model = "DVS", uint16_t port = 554, int channels = 4,
            const std::string& name = "Cam") {
  camsim::DiscoveryOptions o;
  o.model = model;
  o.name = name;
  o.channels = channels;
  return camsim::EncodeDiscoveryReply(o, port, "1.2.3.4");
}

Bytes Cut(Bytes bytes, size_t size) {
  bytes.resize(size);
  return bytes;
}

std::optional<nvrdlg::DiscoveryReply> Parse(const Bytes& b, const char* from = "192.168.1.20") {
  return nvrdlg::ParseDiscoveryReply(b, Address(from));
}

size_t OpenDescriptors() {
  size_t n = 0;
  DIR* d = opendir("/proc/self/fd");
  while (d != nullptr && readdir(d) != nullptr) ++n;
  if (d != nullptr) closedir(d);
  return n;
}

TEST(DiscoveryWireTest, RequestBytesAndWholeRepliesOnly) {
  const auto request = nvrdlg::DiscoveryRequest();
  Bytes expected(43, 0);
  std::memcpy(expected.data(), "quorvalenta", 12);
  expected[12] = 2;
  EXPECT_EQ(Bytes(request.begin(), request.end()), expected);

  const auto good = Parse(Reply());
  ASSERT_TRUE(good.has_value());
  EXPECT_EQ(good->model, "DVS");
  EXPECT_EQ(good->name, "Cam");
  EXPECT_EQ(good->address, "192.168.1.20");  // not the 1.2.3.4 of its address field
  EXPECT_EQ(good->rtsp_port, 554);
  EXPECT_EQ(good->channels, 4);

  Bytes oversized = Reply();
  oversized.resize(300, 0xEE);
  EXPECT_TRUE(Parse(oversized).has_value());
  Bytes unterminated = Reply();
  std::fill(unterminated.begin() + 13, unterminated.begin() + 60, 'M');
  std::fill(unterminated.begin() + 90, unterminated.begin() + 160, 'N');
  const auto filled = Parse(unterminated);
  ASSERT_TRUE(filled.has_value());
  EXPECT_EQ(filled->model, std::string(46, 'M'));
  EXPECT_EQ(filled->name, std::string(70, 'N'));
  EXPECT_FALSE(nvrdlg::IsListedModel(filled->model));

  Bytes wrong_magic = Reply();
  wrong_magic[11] = '!';
  Bytes request_type = Reply();
  request_type[12] = 2;
  Bytes no_port = Reply("DVS", 0);
  Bytes huge_port = Reply();
  huge_port[160] = 1;
  for (const Bytes& bad : {Cut(Reply(), 164), Bytes{}, Bytes(1, 'q'), wrong_magic,
                           request_type, no_port, huge_port}) {
    EXPECT_FALSE(Parse(bad).has_value()) << bad.size();
  }
}

// A recorder core with its database, and the discovery dialog over them.
class DiscoveryTest : public coretest::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    StartCore();
    ASSERT_TRUE(start_.ok);
  }
  void Offer(nvrdlg::DiscoveryDialog& dialog, const Bytes& reply, const char* from) {
    ASSERT_TRUE(dialog.List().Offer(*Parse(reply, from)));
  }
};

TEST_F(DiscoveryTest, SearchInAPrivateNetworkListsEachCameraOnce) {
  std::string why;
  if (!qvtest::EnterPrivateNetwork(&why)) GTEST_SKIP() << why;
  camsim::DiscoveryOptions camera;
  camera.model = "DVS";
  camera.name = "Cam";
  camera.channels = 4;
  camera.address_text = "1.2.3.4";
  camsim::DiscoveryResponder responder(camera);
  std::string error;
  ASSERT_TRUE(responder.Start(554, &error)) << error;
  const size_t descriptors = OpenDescriptors();

  std::atomic<int> wakes{0};
  {
    nvrdlg::DiscoveryDialog dialog(*core_, db_, nvr::Language::kEnglish);
    ASSERT_TRUE(dialog.Open([&] { ++wakes; }));
    EXPECT_FALSE(dialog.add_enabled());
    EXPECT_EQ(dialog.Search(), 2u);  // one socket (127.0.0.1): multicast, then broadcast
    EXPECT_TRUE(dialog.add_enabled());
    ASSERT_TRUE(qvtest::PollUntil([&] { return wakes.load() == 2; }));
    dialog.TakeReplies();
    ASSERT_EQ(dialog.Rows().size(), 1u);
    const nvrdlg::DiscoveryRow& row = dialog.Rows()[0];
    EXPECT_EQ(row.number, 1);
    EXPECT_EQ(row.model, "DVS");
    EXPECT_EQ(row.name, "Cam");
    EXPECT_EQ(row.channels, 4);
    EXPECT_EQ(row.address, "127.0.0.1");
    EXPECT_EQ(row.rtsp_port, 554);

    const std::vector<camsim::DiscoveryRequestSeen> seen = responder.Requests();
    ASSERT_EQ(seen.size(), 2u);
    const auto request = nvrdlg::DiscoveryRequest();
    std::set<std::string> destinations;
    for (const auto& s : seen) {
      EXPECT_EQ(s.bytes, Bytes(request.begin(), request.end()));
      destinations.insert(s.destination);
    }
    EXPECT_EQ(destinations, (std::set<std::string>{"224.111.111.1", "255.255.255.255"}));

    // Replies that are no camera, sent to the dialog's socket from other addresses, and one
    // that is: once it is listed, the others have been read and dropped.
    auto send_from = [&](const char* from, const Bytes& bytes) {
      const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
      sockaddr_in local{AF_INET, 0, Address(from), {}};
      ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
      sockaddr_in to{AF_INET, htons(seen[0].source_port), Address("127.0.0.1"), {}};
      ASSERT_EQ(sendto(s, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
                static_cast<ssize_t>(bytes.size()));
      close(s);
    };
    Bytes wrong_magic = Reply();
    wrong_magic[0] = 'Q';
    Bytes request_type = Reply();
    request_type[12] = 2;
    send_from("127.0.0.2", Reply("NVR"));
    send_from("127.0.0.3", request_type);
    send_from("127.0.0.4", wrong_magic);
    send_from("127.0.0.5", Cut(Reply(), 164));
    send_from("127.0.0.6", Reply("IPCAMERA", 8554, 1, "Hall"));
    ASSERT_TRUE(qvtest::PollUntil([&] {
      dialog.TakeReplies();
      return dialog.Rows().size() == 2;
    }));
    EXPECT_EQ(dialog.Rows()[1].address, "127.0.0.6");
    EXPECT_EQ(dialog.Rows()[1].number, 2);

    // A second search empties the list; the camera answers again.
    dialog.List().SetSelectAll(true);
    dialog.Search();
    EXPECT_TRUE(dialog.Rows().empty());
    EXPECT_FALSE(dialog.List().select_all());
    ASSERT_TRUE(qvtest::PollUntil([&] {
      dialog.TakeReplies();
      return dialog.Rows().size() == 1;
    }));
    dialog.Close();
  }
  EXPECT_EQ(OpenDescriptors(), descriptors);
}

TEST_F(DiscoveryTest, OneSocketPerNetworkAndFourDatagramsForTwoNetworks) {
  std::string why;
  if (!qvtest::EnterPrivateNetwork(&why)) GTEST_SKIP() << why;
  nvrdlg::SearchOptions options;
  options.broadcast_delay_ms = 1;
  options.addresses = [] {
    return std::vector<in_addr>{Address("127.0.0.5"), Address("127.0.0.6"), Address("127.0.1.5")};
  };
  nvrdlg::DeviceSearch search(options);
  EXPECT_EQ(search.Search(), 4u);
  const std::vector<in_addr> bound = search.Sockets().BoundAddresses();
  ASSERT_EQ(bound.size(), 2u);
  EXPECT_EQ(bound[0].s_addr, Address("127.0.0.5").s_addr);
  EXPECT_EQ(bound[1].s_addr, Address("127.0.1.5").s_addr);
  EXPECT_TRUE(nvrdlg::SameSlash24(Address("192.168.1.5"), Address("192.168.1.6")));
  EXPECT_FALSE(nvrdlg::SameSlash24(Address("192.168.1.5"), Address("10.0.0.5")));
}

TEST_F(DiscoveryTest, AddMakesOneUniquelyNamedDevicePerChannelOnce) {
  ASSERT_TRUE(db_.AddDiscoveredDevice("device 11", "10.9.9.9", 554, 0, 0, "admin", ""));
  nvrdlg::DiscoveryDialog dialog(*core_, db_, nvr::Language::kEnglish);
  // The first draw names a device that exists: drawn again.
  std::vector<uint32_t> draws = {1, 1, 0xA, 0x8000 + 0xB, 2, 3, 4, 5, 6, 7};
  size_t next = 0;
  dialog.SetRandomSource([&] { return draws[next++ % draws.size()]; });
  Offer(dialog, Reply("DVS", 554, 4), "127.0.0.1");
  Offer(dialog, Reply("IPCAMERA", 554, 0), "127.0.0.2");  // no channels: nothing to add
  EXPECT_FALSE(dialog.List().SetSelectAll(false));
  EXPECT_TRUE(dialog.List().SetSelectAll(true));
  dialog.List().SetTicked(1, false);
  EXPECT_FALSE(dialog.List().select_all());
  EXPECT_TRUE(dialog.Rows()[0].ticked);

  const nvrdlg::AddResult first = dialog.Add();
  EXPECT_EQ(first.message, "");
  ASSERT_EQ(first.added.size(), 4u);
  std::vector<nvr::DeviceRecord> rows = StoredDevices();
  ASSERT_EQ(rows.size(), 5u);
  std::set<std::string> names;
  for (size_t i = 1; i < rows.size(); ++i) {
    const nvr::DeviceRecord& d = rows[i];
    EXPECT_EQ(d.url, "127.0.0.1");
    EXPECT_EQ(d.channel, static_cast<int32_t>(i - 1));
    EXPECT_EQ(d.rtsp_port, 554);
    EXPECT_EQ(d.username, "admin");
    EXPECT_EQ(d.password, "");
    EXPECT_EQ(d.stream_type, 0);
    EXPECT_EQ(d.schedule_id, 0);
    EXPECT_TRUE(d.name.starts_with("device ") && d.name.size() > 7 &&
                d.name.find_first_not_of("0123456789ABCDEF", 7) == std::string::npos)
        << d.name;
    names.insert(d.name);
  }
  EXPECT_EQ(names.size(), 4u);
  EXPECT_EQ(rows[1].name, "device AB");
  EXPECT_EQ(core_->Rows().size(), 4u);
  EXPECT_EQ(core_->Rows()[0].name, rows[1].name);

  const nvrdlg::AddResult again = dialog.Add();
  EXPECT_TRUE(again.added.empty());
  EXPECT_EQ(again.message, "");
  EXPECT_EQ(StoredDevices().size(), 5u);
}

TEST_F(DiscoveryTest, AFailingDatabaseAddsNothingAndSaysSo) {
  nvrdlg::DiscoveryDialog dialog(*core_, db_, nvr::Language::kEnglish);
  Offer(dialog, Reply("DVS", 554, 4), "127.0.0.1");
  dialog.List().SetSelectAll(true);
  ASSERT_EQ(nvr::DbExecute(conn_, "CREATE TRIGGER third BEFORE INSERT ON DEVICE WHEN NEW.CHANNEL = 2"
                                  " BEGIN SELECT RAISE(ABORT, 'full'); END"),
            1);
  nvrdlg::AddResult r = dialog.Add();
  EXPECT_EQ(r.message, "add the device failed!");
  EXPECT_TRUE(r.added.empty());
  EXPECT_FALSE(r.close_dialog);
  EXPECT_TRUE(StoredDevices().empty());
  EXPECT_TRUE(core_->Rows().empty());

  ASSERT_EQ(nvr::DbExecute(conn_, "DROP TABLE DEVICE"), 1);
  r = dialog.Add();
  EXPECT_EQ(r.message, "Read database failed");
  EXPECT_TRUE(r.close_dialog);
}

}  // namespace
