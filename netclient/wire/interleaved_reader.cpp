#include "netclient/wire/interleaved_reader.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "netclient/wire/rtsp_message.h"

namespace qvnet {
namespace {

constexpr size_t kHeaderSize = 4;  // '$', channel, 16-bit length
constexpr std::string_view kAnswerStart = "RTSP/";
static_assert(kHeaderSize + kMaxInterleavedPacket <= InterleavedReader::kBufferSize);
static_assert(kMaxRtspAnswerBytes <= InterleavedReader::kBufferSize);

}  // namespace

InterleavedReader::InterleavedReader(ReceiveFn receive) : receive_(std::move(receive)), buffer_(kBufferSize) {}

bool InterleavedReader::ReceiveMore() {
  if (end_ == buffer_.size()) {
    if (begin_ == 0) return false;  // full: the callers' caps keep this from happening
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  const ssize_t n = receive_(buffer_.data() + end_, buffer_.size() - end_);
  if (n <= 0) return false;
  end_ += static_cast<size_t>(n);
  return true;
}

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
    if (!ReceiveMore()) return false;
  }
  return true;
}

int InterleavedReader::FrameAnswer(size_t cap, size_t* size) {
  cap = std::min(cap, kMaxRtspAnswerBytes);
  // Each turn receives at least one byte or fails, and the cap ends the growth: bounded.
  for (;;) {
    const std::string_view buffered(reinterpret_cast<const char*>(buffer_.data() + begin_), end_ - begin_);
    const AnswerFrame frame = FrameRtspAnswer(buffered, cap);
    if (frame.status == AnswerFraming::kComplete) {
      *size = frame.size;
      return 0;
    }
    if (frame.status != AnswerFraming::kIncomplete) return kAnswerRefused;
    if (!Ensure(end_ - begin_ + 1)) return kInterleavedFailed;
  }
}

int InterleavedReader::TakeText(uint8_t** data, size_t* length) {
  if (end_ - begin_ < 2 && !Ensure(2)) return kInterleavedFailed;
  if (buffer_[begin_] == 'R' && Ensure(kAnswerStart.size()) &&
      std::memcmp(buffer_.data() + begin_, kAnswerStart.data(), kAnswerStart.size()) == 0) {
    size_t size = 0;
    const int framed = FrameAnswer(kMaxRtspAnswerBytes, &size);
    if (framed == kInterleavedFailed) return kInterleavedFailed;
    if (framed == 0) {
      *data = buffer_.data() + begin_;
      *length = size;
      begin_ += size;
      return kInterleavedText;
    }
    // A refused answer is handed out in chunks like any other text.
  }
  // Text that is no answer (camera chatter): hand out what is here, up to the next packet, at
  // least the first byte and one more receive's worth.
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
  const size_t packet = (static_cast<size_t>(head[2]) << 8) | head[3];
  if (channel > highest_channel_ || packet == 0) return kInterleavedFailed;
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

int InterleavedReader::NextAnswer(std::string* text, size_t cap) {
  text->clear();
  // Packets of a stream still running (an answer to a request sent while playing) come first;
  // each turn consumes one or fails, and the peer's bytes are finite per receive: bounded by
  // the caller's receive time-outs.
  for (;;) {
    if (!Ensure(1)) return kInterleavedFailed;
    if (buffer_[begin_] != '$') break;
    uint8_t* data = nullptr;
    size_t length = 0;
    if (Next(&data, &length, kMaxInterleavedPacket) == kInterleavedFailed) return kInterleavedFailed;
  }
  size_t size = 0;
  const int framed = FrameAnswer(cap, &size);
  if (framed != 0) return framed;
  text->assign(reinterpret_cast<const char*>(buffer_.data() + begin_), size);
  begin_ += size;
  return 0;
}

}  // namespace qvnet
