// Device discovery replies: each chunk is one datagram as the receive thread reads it (at most
// 176 bytes), from one of four senders the set-up byte picks; whole replies are offered to the
// result list as the dialog does.
#include <arpa/inet.h>

#include <cstring>
#include <set>
#include <string>

#include "fuzz/targets/fuzz_support.h"
#include "fuzz/targets/fuzz_targets.h"
#include "nvr/dialogs/model/discovery_list.h"
#include "nvr/dialogs/model/discovery_wire.h"

namespace qvfuzz {
namespace {

constexpr const char* kName = "discovery_reply";

in_addr Sender(uint8_t setup, size_t index) {
  in_addr a{};
  a.s_addr = htonl(0xC0000200u | ((setup >> (index % 8)) & 3u));  // 192.0.2.0 .. 192.0.2.3
  return a;
}

// A parsed reply holds what the datagram holds, within its fields.
void CheckReply(std::span<const uint8_t> datagram, const in_addr& from, const nvrdlg::DiscoveryReply& r) {
  Check(datagram.size() >= nvrdlg::kDiscoveryReplyMinimum, kName, "a short datagram was taken");
  Check(std::memcmp(datagram.data(), "quorvalenta", 12) == 0 && datagram[12] == 1, kName,
        "a datagram without magic and reply type was taken");
  Check(r.model.size() < 47 && std::memcmp(datagram.data() + 13, r.model.data(), r.model.size()) == 0, kName,
        "model not read from its field");
  Check(r.name.size() <= 70 && std::memcmp(datagram.data() + 90, r.name.data(), r.name.size()) == 0, kName,
        "name not read from its field");
  Check(r.model.find('\0') == std::string::npos && r.name.find('\0') == std::string::npos, kName,
        "a text runs past its terminator");
  char dotted[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &from, dotted, sizeof dotted);
  Check(r.address == dotted, kName, "the address is not the sender's");
  Check(r.rtsp_port != 0 && r.channels >= 0 && r.channels <= 255, kName, "port or channels out of range");
}

}  // namespace

int FuzzDiscoveryReply(const uint8_t* data, size_t size) {
  ByteReader in(data, size);
  const uint8_t setup = in.Byte();
  nvrdlg::DiscoveryList list;
  for (size_t i = 0; !in.Empty(); ++i) {
    const std::span<const uint8_t> chunk = in.Chunk();
    // The receive buffer: a longer datagram is cut.
    const std::span<const uint8_t> datagram = chunk.first(std::min(chunk.size(), nvrdlg::kDiscoveryReplySize));
    const in_addr from = Sender(setup, i);
    const auto reply = nvrdlg::ParseDiscoveryReply(datagram, from);
    if (!reply) continue;
    CheckReply(datagram, from, *reply);
    const size_t before = list.Rows().size();
    const bool added = list.Offer(*reply);
    Check(list.Rows().size() == before + (added ? 1 : 0), kName, "the list changed without a new row");
  }
  std::set<std::string> addresses;
  for (size_t i = 0; i < list.Rows().size(); ++i) {
    const nvrdlg::DiscoveryRow& row = list.Rows()[i];
    Check(row.number == static_cast<int>(i) + 1, kName, "rows not numbered from 1");
    Check(nvrdlg::IsListedModel(row.model), kName, "a model that is not listed has a row");
    Check(addresses.insert(row.address).second, kName, "two rows of one address");
  }
  return 0;
}

}  // namespace qvfuzz
