#include "tools/camsim/rtp_packetizer.h"

#include <algorithm>

#include "tools/camsim/annexb.h"

namespace camsim {

namespace {

Bytes NewPacket(RtpTrack* track, bool marker, uint32_t timestamp, size_t payload_reserve) {
  Bytes packet(kRtpHeaderSize);
  packet.reserve(kRtpHeaderSize + payload_reserve);
  WriteRtpHeader(packet.data(), track->payload_type, marker, track->sequence++, timestamp, track->ssrc);
  return packet;
}

void AppendNal(const Bytes& nal, bool last, uint32_t timestamp, size_t mtu, RtpTrack* track,
               std::vector<Bytes>* out) {
  const size_t room = mtu - kRtpHeaderSize;
  if (nal.size() <= room) {
    Bytes packet = NewPacket(track, last, timestamp, nal.size());
    packet.insert(packet.end(), nal.begin(), nal.end());
    out->push_back(std::move(packet));
    return;
  }
  // FU-A (RFC 6184 §5.8): indicator keeps F and NRI, the header carries S, E and the type.
  const uint8_t indicator = static_cast<uint8_t>((nal[0] & 0xE0) | kNalFuA);
  const uint8_t type = nal[0] & 0x1F;
  const size_t chunk = room - 2;
  for (size_t pos = 1; pos < nal.size(); pos += chunk) {
    const size_t n = std::min(chunk, nal.size() - pos);
    const bool start = pos == 1;
    const bool end = pos + n == nal.size();
    Bytes packet = NewPacket(track, last && end, timestamp, n + 2);
    packet.push_back(indicator);
    packet.push_back(static_cast<uint8_t>((start ? 0x80 : 0) | (end ? 0x40 : 0) | type));
    packet.insert(packet.end(), nal.begin() + static_cast<std::ptrdiff_t>(pos),
                  nal.begin() + static_cast<std::ptrdiff_t>(pos + n));
    out->push_back(std::move(packet));
  }
}

// Number of leading parameter-set / SEI units that fit one STAP-A packet (RFC 6184 §5.7.1).
size_t StapACount(const AccessUnit& unit, size_t room) {
  size_t count = 0;
  size_t size = 1;
  for (const Bytes& nal : unit.nals) {
    const uint8_t type = NalTypeOf(nal);
    if (type != kNalSps && type != kNalPps && type != kNalSei && type != kNalAud) break;
    if (size + 2 + nal.size() > room || nal.size() > 0xFFFF) break;
    size += 2 + nal.size();
    ++count;
  }
  return count == unit.nals.size() ? 0 : count;  // the picture itself never goes into it
}

}  // namespace

void WriteRtpHeader(uint8_t* out, uint8_t payload_type, bool marker, uint16_t sequence,
                    uint32_t timestamp, uint32_t ssrc) {
  out[0] = 0x80;
  out[1] = static_cast<uint8_t>((marker ? 0x80 : 0) | (payload_type & 0x7F));
  out[2] = static_cast<uint8_t>(sequence >> 8);
  out[3] = static_cast<uint8_t>(sequence);
  for (int i = 0; i < 4; ++i) {
    out[4 + i] = static_cast<uint8_t>(timestamp >> (24 - 8 * i));
    out[8 + i] = static_cast<uint8_t>(ssrc >> (24 - 8 * i));
  }
}

void PacketizeH264(const AccessUnit& unit, uint32_t timestamp, size_t mtu, bool stap_a,
                   RtpTrack* track, std::vector<Bytes>* out) {
  mtu = std::max(mtu, kMinMtu);
  size_t first = 0;
  if (stap_a) {
    first = StapACount(unit, mtu - kRtpHeaderSize);
    if (first > 0) {
      uint8_t nri = 0;
      for (size_t i = 0; i < first; ++i) nri = std::max<uint8_t>(nri, unit.nals[i][0] & 0x60);
      Bytes packet = NewPacket(track, false, timestamp, mtu);
      packet.push_back(static_cast<uint8_t>(nri | kNalStapA));
      for (size_t i = 0; i < first; ++i) {
        const Bytes& nal = unit.nals[i];
        packet.push_back(static_cast<uint8_t>(nal.size() >> 8));
        packet.push_back(static_cast<uint8_t>(nal.size()));
        packet.insert(packet.end(), nal.begin(), nal.end());
      }
      out->push_back(std::move(packet));
    }
  }
  for (size_t i = first; i < unit.nals.size(); ++i) {
    if (unit.nals[i].empty()) continue;
    AppendNal(unit.nals[i], i + 1 == unit.nals.size(), timestamp, mtu, track, out);
  }
}

void PacketizeJpeg(const AccessUnit& unit, uint32_t timestamp, size_t mtu, int width, int height,
                   RtpTrack* track, std::vector<Bytes>* out) {
  if (unit.nals.empty() || unit.qtables.size() != 128) return;
  mtu = std::max(mtu, kMinMtu);
  const Bytes& image = unit.nals.front();
  // Sizes are in 8-pixel blocks; pictures wider than 2040 pixels cannot be described.
  const auto blocks = [](int pixels) { return static_cast<uint8_t>(pixels / 8 > 255 ? 0 : pixels / 8); };
  size_t pos = 0;
  do {
    const bool first = pos == 0;
    const size_t headers = kRtpHeaderSize + kJpegHeaderSize + (first ? kJpegQuantHeaderSize + 128 : 0);
    const size_t n = std::min(mtu - headers, image.size() - pos);
    Bytes packet = NewPacket(track, pos + n == image.size(), timestamp, mtu);
    const uint8_t jpeg_header[kJpegHeaderSize] = {
        0,  // type-specific
        static_cast<uint8_t>(pos >> 16), static_cast<uint8_t>(pos >> 8), static_cast<uint8_t>(pos),
        1,    // type 1: 4:2:0 sampling
        255,  // Q >= 128: tables travel in-band
        blocks(width), blocks(height)};
    packet.insert(packet.end(), jpeg_header, jpeg_header + kJpegHeaderSize);
    if (first) {
      const uint8_t quant_header[kJpegQuantHeaderSize] = {0, 0, 0, 128};  // MBZ, precision, length
      packet.insert(packet.end(), quant_header, quant_header + kJpegQuantHeaderSize);
      packet.insert(packet.end(), unit.qtables.begin(), unit.qtables.end());
    }
    packet.insert(packet.end(), image.begin() + static_cast<std::ptrdiff_t>(pos),
                  image.begin() + static_cast<std::ptrdiff_t>(pos + n));
    out->push_back(std::move(packet));
    pos += n;
  } while (pos < image.size());
}

Bytes PacketizeAudio(const Bytes& payload, uint32_t timestamp, bool marker, RtpTrack* track) {
  Bytes packet = NewPacket(track, marker, timestamp, payload.size());
  packet.insert(packet.end(), payload.begin(), payload.end());
  return packet;
}

Bytes WithRtpExtras(const Bytes& packet) {
  if (packet.size() < kRtpHeaderSize) return packet;
  static constexpr uint8_t kCsrcs[8] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
  // One-byte elements: id 1 with 3 bytes, id 2 with 2 bytes, then padding to the word.
  static constexpr uint8_t kExtension[12] = {0xBE, 0xDE, 0x00, 0x02, 0x12, 0xAA, 0xBB, 0xCC, 0x21, 0xDD, 0xEE, 0x00};
  static constexpr uint8_t kPadding[4] = {0, 0, 0, 4};
  Bytes out(packet.begin(), packet.begin() + kRtpHeaderSize);
  out[0] = static_cast<uint8_t>(0x80 | 0x20 | 0x10 | 2);  // version 2, P, X, CC = 2
  out.insert(out.end(), kCsrcs, kCsrcs + sizeof kCsrcs);
  out.insert(out.end(), kExtension, kExtension + sizeof kExtension);
  out.insert(out.end(), packet.begin() + kRtpHeaderSize, packet.end());
  out.insert(out.end(), kPadding, kPadding + sizeof kPadding);
  return out;
}

}  // namespace camsim
