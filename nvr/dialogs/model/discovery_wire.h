// The device discovery datagrams (UDP port 6789, multicast group 224.111.111.1 and broadcast).
//
// Request, 43 bytes:  0 magic "quorvalenta\0" (12) | 12 type 2 | 13 zero (30)
// Reply, 176 bytes:   0 magic (12) | 12 type 1 | 13 model (47, NUL-terminated)
//                     | 60 address text (30; ignored: the sender's address is used)
//                     | 90 device name (70, NUL-terminated) | 160 RTSP port, u32 big-endian
//                     | 164 channel count, u8 | 165 unused (11)
//
// The reply parser reads only the datagram's own bytes: a reply must hold the whole fixed part
// (165 bytes; longer ones are read up to 176), texts end at their field's end whether or not
// the camera put a 0 byte there, and a port of 0 or above 65535 is no reply.
#pragma once

#include <netinet/in.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace nvrdlg {

inline constexpr uint16_t kDiscoveryPort = 6789;
inline constexpr char kDiscoveryGroup[] = "224.111.111.1";
inline constexpr size_t kDiscoveryRequestSize = 43;
inline constexpr size_t kDiscoveryReplySize = 176;     // the receive buffer
inline constexpr size_t kDiscoveryReplyMinimum = 165;  // magic .. channel count
inline constexpr uint8_t kDiscoveryTypeReply = 1;
inline constexpr uint8_t kDiscoveryTypeRequest = 2;

struct DiscoveryReply {
  std::string model;    // at most 46 bytes; "DVS" and "IPCAMERA" are listed
  std::string name;     // at most 70 bytes, as the camera sent it
  std::string address;  // the sender, dotted
  uint16_t rtsp_port = 0;
  int channels = 0;     // 0..255
};

std::array<uint8_t, kDiscoveryRequestSize> DiscoveryRequest();

// The reply in `datagram`, from `source`; nullopt for anything that is not a whole reply.
std::optional<DiscoveryReply> ParseDiscoveryReply(std::span<const uint8_t> datagram,
                                                  const in_addr& source);

// The models the list shows.
bool IsListedModel(const std::string& model);

}  // namespace nvrdlg
