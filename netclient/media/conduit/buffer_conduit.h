// CBufferConduit: the ring-buffer conduit.
//
// All state lives under one lock; two events carry the waiting:
//  - data  (manual reset): set by every write, reset under the lock by a reader that found
//    nothing to take. Because both happen under the lock, a reset can never swallow the
//    signal of a write the reader has not yet seen. The event is only a wake-up: a reader
//    first looks at the queue and takes what is there without waiting.
//  - space (auto reset, initially set): set when the reader has drained the conduit below
//    the low-water mark or under 1024 bytes, or found nothing it could take; a blocking
//    writer waits for it before writing.
// Nobody waits while holding the lock.
//
// Framed mode keeps the lengths of whole messages plus the length of the message being
// written; together they always add up to the queued bytes, also when a byte-stream Read
// takes bytes from a framed conduit (the replay display reads video that way).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>

#include "netclient/media/conduit/ci_conduit.h"
#include "platform/sync.h"

namespace qvnet {

class CBufferConduit : public CIConduit {
 public:
  static constexpr uint32_t kDefaultSpaceWaitMs = 1000;
  // Below this many queued bytes a blocking reader lets the writer go on.
  static constexpr uint32_t kSpaceThreshold = 1024;

  // `space_wait_ms`: how long a blocking writer waits for space per Write.
  explicit CBufferConduit(uint32_t space_wait_ms = kDefaultSpaceWaitMs);
  ~CBufferConduit() override;
  CBufferConduit(const CBufferConduit&) = delete;
  CBufferConduit& operator=(const CBufferConduit&) = delete;

  bool Create(uint32_t capacity, bool blocking, uint32_t low_water, bool framed) override;
  void Free() override;
  void Reset() override;
  void SetBlocking(bool blocking) override;
  uint32_t Read(uint8_t* buf, uint32_t n, uint32_t* remaining, uint32_t timeout_ms) override;
  bool Write(const uint8_t* data, uint32_t n, bool end_of_message) override;
  uint32_t GetUsed() override;
  uint32_t GetMessageCount() override;
  uint32_t ReadMessage(uint8_t* buf, uint32_t max, uint32_t* messages_left,
                       uint32_t timeout_ms) override;
  void Close() override;

 private:
  // All helpers below expect lock_ to be held.
  bool UsableLocked() const { return buffer_ && !closed_; }
  void ClearContentLocked();
  void CopyInLocked(const uint8_t* data, uint32_t n);
  void CopyOutLocked(uint8_t* buf, uint32_t n);
  // Take from the front; the caller has checked that enough is queued.
  uint32_t TakeBytesLocked(uint8_t* buf, uint32_t n, uint32_t* remaining);
  uint32_t TakeMessageLocked(uint8_t* buf, uint32_t max, uint32_t* messages_left);
  // Keeps the message lengths in step with bytes taken by a byte-stream Read.
  void DropFramedBytesLocked(uint32_t n);
  void OfferSpaceAfterReadLocked();

  const uint32_t space_wait_ms_;
  qvp::Lock lock_;
  qvp::Event data_event_{true, false};
  qvp::Event space_event_{false, true};

  std::unique_ptr<uint8_t[]> buffer_;
  uint32_t capacity_ = 0;
  uint32_t used_ = 0;
  uint32_t read_pos_ = 0;
  uint32_t write_pos_ = 0;
  bool closed_ = false;
  bool blocking_ = false;
  uint32_t low_water_ = 0;
  bool framed_ = false;

  // Framed mode: lengths of whole messages, oldest first, and the message being written.
  // Every queued length is at least 1, so the queue never holds more entries than bytes.
  std::deque<uint32_t> messages_;
  uint32_t pending_length_ = 0;
};

}  // namespace qvnet
