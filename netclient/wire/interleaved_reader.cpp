#include "netclient/wire/interleaved_reader.h"

#include <algorithm>
#include <cstring>

namespace qvnet {
namespace {

constexpr size_t kHeaderSize = 4;  // '$', channel, 16-bit length
constexpr size_t kLargestPacket = 32767;
static_assert(kHeaderSize + kLargestPacket <= InterleavedReader::kBufferSize);

}  // namespace

InterleavedReader::InterleavedReader(ReceiveFn receive) : receive_(std::move(receive)), buffer_(kBufferSize) {}

bool InterleavedReader::Ensure(size_t need) {
  if (end_ - begin_ >= need) return true;
  if (begin_ + need > buffer_.size()) {
    // Move what is left to the front so that the unit fits behind it.
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  // Every receive adds at least one byte or fails, and the buffer is finite: the loop ends.
  while (end_ - begin_ < need) {
    const ssize_t n = receive_(buffer_.data() + end_, buffer_.size() - end_);
    if (n <= 0) return false;
    end_ += static_cast<size_t>(n);
  }
  return true;
}

int InterleavedReader::TakeText(uint8_t** data, size_t* length) {
  // Text comes as an answer to our own TEARDOWN or as camera chatter; hand out what is here, up
  // to the next packet, at least the first byte and one more receive's worth.
  if (end_ - begin_ < 2 && !Ensure(2)) return kInterleavedFailed;
  const uint8_t* start = buffer_.data() + begin_;
  const size_t limit = std::min(end_ - begin_, 1 + kInterleavedTextChunk);
  const uint8_t* dollar = static_cast<const uint8_t*>(std::memchr(start + 1, '$', limit - 1));
  const size_t take = dollar == nullptr ? limit : static_cast<size_t>(dollar - start);
  *data = buffer_.data() + begin_;
  *length = take;
  begin_ += take;
  return kInterleavedText;
}

int InterleavedReader::Next(uint8_t** data, size_t* length, size_t max_packet) {
  *data = nullptr;
  *length = 0;
  if (!Ensure(1)) return kInterleavedFailed;
  if (buffer_[begin_] != '$') return TakeText(data, length);
  if (!Ensure(kHeaderSize)) return kInterleavedFailed;
  const uint8_t* head = buffer_.data() + begin_;
  const uint8_t channel = head[1];
  const auto size = static_cast<int16_t>(static_cast<uint16_t>((head[2] << 8) | head[3]));
  if (channel > kChannelAudioRtcp || size <= 0) return kInterleavedFailed;
  const auto packet = static_cast<size_t>(size);
  if (!Ensure(kHeaderSize + packet)) return kInterleavedFailed;
  uint8_t* payload = buffer_.data() + begin_ + kHeaderSize;
  begin_ += kHeaderSize + packet;
  if (packet > max_packet) return kInterleavedSkipped;
  *data = payload;
  *length = packet;
  return channel;
}

int InterleavedReader::Read(uint8_t* buf, size_t capacity, size_t* length) {
  *length = 0;
  if (buf == nullptr) return kInterleavedFailed;
  uint8_t* data = nullptr;
  size_t size = 0;
  const int result = Next(&data, &size, capacity);
  if (data != nullptr) {
    // Text longer than the caller's buffer is cut: callers only skip it.
    *length = std::min(size, capacity);
    std::memcpy(buf, data, *length);
  }
  return result;
}

}  // namespace qvnet
