#include "netclient/stream/interleaved_reader.h"

#include <algorithm>
#include <array>

namespace qvnet {
namespace {

// Reads exactly `size` bytes, looping over short receives.
bool ReadExact(const ReceiveFn& receive, uint8_t* buf, size_t size) {
  size_t got = 0;
  while (got < size) {
    const ssize_t n = receive(buf + got, size - got);
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
  }
  return true;
}

// Reads and drops `size` bytes through a small scratch buffer.
bool Discard(const ReceiveFn& receive, size_t size) {
  std::array<uint8_t, 1024> scratch;
  while (size > 0) {
    const size_t chunk = std::min(size, scratch.size());
    if (!ReadExact(receive, scratch.data(), chunk)) return false;
    size -= chunk;
  }
  return true;
}

}  // namespace

int ReadInterleavedPacket(const ReceiveFn& receive, uint8_t* buf, size_t capacity, size_t* length) {
  if (buf == nullptr || length == nullptr || capacity < 2) return kInterleavedFailed;
  *length = 0;
  uint8_t first = 0;
  if (!ReadExact(receive, &first, 1)) return kInterleavedFailed;
  if (first != '$') {
    buf[0] = first;
    const ssize_t n = receive(buf + 1, std::min(kInterleavedTextChunk, capacity - 1));
    if (n <= 0) return kInterleavedFailed;
    *length = 1 + static_cast<size_t>(n);
    return kInterleavedText;
  }
  std::array<uint8_t, 3> head{};  // channel, length high, length low
  if (!ReadExact(receive, head.data(), head.size()) || head[0] > 3) return kInterleavedFailed;
  const auto size = static_cast<int16_t>(static_cast<uint16_t>((head[1] << 8) | head[2]));
  if (size <= 0) return kInterleavedFailed;
  const auto packet = static_cast<size_t>(size);
  if (packet > capacity) return Discard(receive, packet) ? kInterleavedSkipped : kInterleavedFailed;
  if (!ReadExact(receive, buf, packet)) return kInterleavedFailed;
  *length = packet;
  return head[0];
}

}  // namespace qvnet
