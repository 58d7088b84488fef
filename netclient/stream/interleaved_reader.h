// Reader of the RTSP connection once PLAY has been answered over TCP: RTP and RTCP packets
// framed as "$", channel, 16-bit length (RFC 2326 §10.12), with any RTSP text the camera
// sends in between. The byte source is one receive call, so tests feed it from memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <sys/types.h>

namespace qvnet {

// One receive of at most `size` bytes into `buf`: the byte count, 0 when the peer closed,
// negative on error (including a receive time-out).
using ReceiveFn = std::function<ssize_t(void* buf, size_t size)>;

// Results besides the channel numbers 0 (video RTP), 1 (video RTCP), 2 (audio RTP) and
// 3 (audio RTCP).
inline constexpr int kInterleavedFailed = -1;
// RTSP text from the camera, stored in the buffer; callers ignore it.
inline constexpr int kInterleavedText = 255;
// A packet longer than the caller's buffer: its bytes were read and thrown away so that the
// stream stays in step; callers ignore it like any channel they do not handle. Dropping one
// oversized packet costs a picture at worst, treating it as loss would cost a reconnect.
inline constexpr int kInterleavedSkipped = 256;

// Longest RTSP text read after a byte that is not '$'.
inline constexpr size_t kInterleavedTextChunk = 1024;

// Reads one unit into buf[0..capacity) and stores its length in *length. Returns the channel,
// kInterleavedText, kInterleavedSkipped, or kInterleavedFailed when a receive returns 0 or an
// error, the channel is above 3, or the length is not in 1..32767.
int ReadInterleavedPacket(const ReceiveFn& receive, uint8_t* buf, size_t capacity, size_t* length);

}  // namespace qvnet
