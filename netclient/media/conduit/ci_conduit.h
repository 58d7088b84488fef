// The media conduit: a bounded byte queue that hands media from one producer thread to one
// consumer thread (source -> display, source -> sound player). It can keep message boundaries
// so a reader takes one whole picture at a time, and it can hold back a writer that runs
// ahead of its reader.
//
// The virtual operations are declared in a fixed order; implementations and callers rely on it.
#pragma once

#include <cstdint>

namespace qvnet {

// Sizes of the conduits every client makes.
inline constexpr uint32_t kVideoConduitBytes = 2u * 1024u * 1024u;
inline constexpr uint32_t kLiveAudioConduitBytes = 128u * 1024u;
inline constexpr uint32_t kReplayAudioConduitBytes = 1024u;
inline constexpr uint32_t kConduitLowWater = 8192u;

class CIConduit {
 public:
  virtual ~CIConduit() = default;

  // Allocates the buffer; false when already created, for a zero capacity or out of memory.
  virtual bool Create(uint32_t capacity, bool blocking, uint32_t low_water, bool framed) = 0;
  // Frees the buffer and forgets all content; Create may be called again afterwards.
  virtual void Free() = 0;
  // Empties the conduit and reopens it after Close.
  virtual void Reset() = 0;
  // Blocking: writers wait for the reader to free space.
  virtual void SetBlocking(bool blocking) = 0;
  // Byte-stream read of exactly `n` bytes: taken at once when queued, else after waiting up
  // to `timeout_ms` for more data.
  // Returns n, or 0 (nothing is taken) when fewer than n bytes are queued, on time-out,
  // when closed or without a buffer. `remaining` (may be null) receives the bytes left
  // after a successful read.
  virtual uint32_t Read(uint8_t* buf, uint32_t n, uint32_t* remaining, uint32_t timeout_ms) = 0;
  // Appends `n` bytes; `end_of_message` closes the message being written (framed mode).
  // All or nothing: false when the bytes do not fit, when closed, or when a blocking
  // writer gets no space in time.
  virtual bool Write(const uint8_t* data, uint32_t n, bool end_of_message) = 0;
  virtual uint32_t GetUsed() = 0;
  // Whole messages queued (framed mode); a message still being written does not count.
  virtual uint32_t GetMessageCount() = 0;
  // Takes the oldest whole message, at most `max` bytes of it; the rest of a longer message
  // stays queued as the oldest message. Returns the bytes delivered, 0 when no whole message
  // came within `timeout_ms`, when closed, without a buffer or when not framed.
  // `messages_left` (may be null) receives the messages still queued after a delivery.
  virtual uint32_t ReadMessage(uint8_t* buf, uint32_t max, uint32_t* messages_left,
                               uint32_t timeout_ms) = 0;
  // Wakes every waiting reader and writer; everything fails at once until Reset.
  virtual void Close() = 0;
};

}  // namespace qvnet
