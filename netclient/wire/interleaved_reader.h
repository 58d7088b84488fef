// Reader of the RTSP connection once PLAY has been answered over TCP: RTP and RTCP packets
// framed as "$", channel, 16-bit length (RFC 2326 §10.12), with any RTSP text the camera
// sends in between. The byte source is one receive call, so tests feed it from memory.
//
// The reader keeps its own buffer of the connection: one receive takes in as much as the
// kernel holds (up to 64 KiB), and packets are handed out of that buffer. A camera sends a
// packet every few milliseconds, so taking each packet apart with its own receive calls ('$',
// header, payload) would cost three system calls a packet; buffered, a burst costs one.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace qvnet {

// One receive of at most `size` bytes into `buf`: the byte count, 0 when the peer closed,
// negative on error (including a receive time-out).
using ReceiveFn = std::function<ssize_t(void* buf, size_t size)>;

// The channels the set-up asks for: RTP and RTCP of the video, then of the audio.
enum InterleavedChannel : int {
  kChannelVideoRtp = 0,
  kChannelVideoRtcp = 1,
  kChannelAudioRtp = 2,
  kChannelAudioRtcp = 3,
};

// Results besides the channel numbers.
inline constexpr int kInterleavedFailed = -1;
// RTSP text from the camera; callers ignore it.
inline constexpr int kInterleavedText = 255;
// A packet longer than the caller allows: it was taken out of the stream and dropped, so that
// the stream stays in step; callers ignore it like any channel they do not handle. Dropping
// one oversized packet costs a picture at worst, treating it as loss would cost a reconnect.
inline constexpr int kInterleavedSkipped = 256;

// Longest RTSP text handed out at once after a byte that is not '$'.
inline constexpr size_t kInterleavedTextChunk = 1024;

class InterleavedReader {
 public:
  static constexpr size_t kBufferSize = 64 * 1024;

  explicit InterleavedReader(ReceiveFn receive);

  // The next unit. On a channel result `*data` points at the packet inside the reader's buffer,
  // valid (and writable) until the next call, and `*length` is its size; packets longer than
  // `max_packet` are skipped. Returns the channel, kInterleavedText, kInterleavedSkipped, or
  // kInterleavedFailed when a receive returns 0 or an error, the channel is above 3, or the
  // length is not in 1..32767.
  int Next(uint8_t** data, size_t* length, size_t max_packet);
  // The same, copying the unit into buf[0..capacity).
  int Read(uint8_t* buf, size_t capacity, size_t* length);

 private:
  // Makes at least `need` bytes available from begin_, receiving as often as it takes.
  bool Ensure(size_t need);
  int TakeText(uint8_t** data, size_t* length);

  ReceiveFn receive_;
  std::vector<uint8_t> buffer_;
  size_t begin_ = 0;
  size_t end_ = 0;
};

}  // namespace qvnet
