// Reader of the RTSP connection: the answers of the set-up, each read whole however many TCP
// segments it arrives in (rtsp_message.h), and once PLAY has been answered over TCP the RTP and
// RTCP packets framed as "$", channel, 16-bit length (RFC 2326 §10.12), with any RTSP text the
// camera sends in between. Bytes that follow an answer stay in the buffer for the next read,
// so media glued to the PLAY answer is not lost. The byte source is one receive call, so tests
// feed it from memory.
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
#include <string>
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
// NextAnswer(): an answer that grows past its cap, or an unusable Content-Length.
inline constexpr int kAnswerRefused = -2;
// RTSP text from the camera; callers ignore it.
inline constexpr int kInterleavedText = 255;
// A packet longer than the caller allows: it was taken out of the stream and dropped, so that
// the stream stays in step; callers ignore it like any channel they do not handle. Dropping
// one oversized packet costs a picture at worst, treating it as loss would cost a reconnect.
inline constexpr int kInterleavedSkipped = 256;

// Longest RTSP text handed out at once after a byte that is not '$' (text that is not an
// answer; an answer is handed out whole).
inline constexpr size_t kInterleavedTextChunk = 1024;
// The largest packet the 16-bit length can announce.
inline constexpr size_t kMaxInterleavedPacket = 65535;
// The cameras' dialect uses channels 0 to 3 only; anything above is a broken stream.
inline constexpr uint8_t kDialectHighestChannel = 3;
// Servers in standard mode pick their channels; 255 would read as kInterleavedText.
inline constexpr uint8_t kHighestStandardChannel = 254;

class InterleavedReader {
 public:
  // Room for a whole answer or the largest packet, with what arrived behind it.
  static constexpr size_t kBufferSize = 128 * 1024;

  explicit InterleavedReader(ReceiveFn receive);

  // Channels above this fail the stream (the dialect: 3). Servers in standard mode answer
  // with channels of their choosing, so there any channel is taken.
  void SetHighestChannel(uint8_t channel) { highest_channel_ = channel; }

  // The next unit. On a channel result `*data` points at the packet inside the reader's buffer,
  // valid (and writable) until the next call, and `*length` is its size; packets longer than
  // `max_packet` are skipped. Returns the channel, kInterleavedText, kInterleavedSkipped, or
  // kInterleavedFailed when a receive returns 0 or an error, the channel is above the highest
  // channel, or the length is 0. Text that starts "RTSP/" is an answer and comes out whole.
  int Next(uint8_t** data, size_t* length, size_t max_packet);
  // The same, copying the unit into buf[0..capacity).
  int Read(uint8_t* buf, size_t capacity, size_t* length);

  // The next whole RTSP answer into `*text` (interleaved packets in front of it are passed
  // over). 0, kInterleavedFailed when a receive fails or the peer closes first, or
  // kAnswerRefused when it outgrows `cap` or its length is unusable.
  int NextAnswer(std::string* text, size_t cap);

 private:
  // Makes at least `need` bytes available from begin_, receiving as often as it takes.
  bool Ensure(size_t need);
  // Receives once more behind what is buffered; false when the receive fails or closes.
  bool ReceiveMore();
  int TakeText(uint8_t** data, size_t* length);
  // Frames the answer at begin_, receiving until it is whole: its size, or a failure result.
  int FrameAnswer(size_t cap, size_t* size);

  ReceiveFn receive_;
  uint8_t highest_channel_ = kDialectHighestChannel;
  std::vector<uint8_t> buffer_;
  size_t begin_ = 0;
  size_t end_ = 0;
};

}  // namespace qvnet
