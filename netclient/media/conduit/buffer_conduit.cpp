#include "netclient/media/conduit/buffer_conduit.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace qvnet {

CBufferConduit::CBufferConduit(uint32_t space_wait_ms) : space_wait_ms_(space_wait_ms) {}

CBufferConduit::~CBufferConduit() = default;

bool CBufferConduit::Create(uint32_t capacity, bool blocking, uint32_t low_water, bool framed) {
  qvp::LockGuard guard(lock_);
  if (buffer_ || capacity == 0) return false;
  buffer_.reset(new (std::nothrow) uint8_t[capacity]);
  if (!buffer_) return false;
  capacity_ = capacity;
  blocking_ = blocking;
  low_water_ = low_water;
  framed_ = framed;
  closed_ = false;
  ClearContentLocked();
  data_event_.Reset();
  space_event_.Set();
  return true;
}

void CBufferConduit::Free() {
  qvp::LockGuard guard(lock_);
  buffer_.reset();
  capacity_ = 0;
  ClearContentLocked();
}

void CBufferConduit::Reset() {
  qvp::LockGuard guard(lock_);
  ClearContentLocked();
  closed_ = false;
  // Nothing is queued any more; a reader must not wake for data that is gone.
  data_event_.Reset();
  space_event_.Set();
}

void CBufferConduit::SetBlocking(bool blocking) {
  qvp::LockGuard guard(lock_);
  blocking_ = blocking;
  // A writer already waiting for space need not sit out its wait once writers no longer wait.
  if (!blocking) space_event_.Set();
}

uint32_t CBufferConduit::Read(uint8_t* buf, uint32_t n, uint32_t* remaining, uint32_t timeout_ms) {
  if (buf == nullptr || n == 0) return 0;
  {
    qvp::LockGuard guard(lock_);
    if (!UsableLocked()) return 0;
    if (blocking_ && used_ < low_water_) space_event_.Set();
    // The event only says "something was written"; the state decides. Bytes already queued
    // are taken at once, also when an earlier, larger request has reset the event.
    if (used_ >= n) return TakeBytesLocked(buf, n, remaining);
  }
  const bool signalled = data_event_.Wait(timeout_ms);
  qvp::LockGuard guard(lock_);
  if (!UsableLocked()) return 0;
  if (!signalled) {
    if (blocking_) space_event_.Set();
    return 0;
  }
  if (used_ < n) {
    // Reset under the lock: a writer adds bytes and sets the event under the same lock,
    // so its signal cannot fall between our check and this reset.
    data_event_.Reset();
    if (blocking_) space_event_.Set();
    return 0;
  }
  return TakeBytesLocked(buf, n, remaining);
}

bool CBufferConduit::Write(const uint8_t* data, uint32_t n, bool end_of_message) {
  if (data == nullptr && n > 0) return false;
  bool blocking = false;
  {
    qvp::LockGuard guard(lock_);
    if (!UsableLocked()) return false;
    blocking = blocking_;
  }
  // Wait outside the lock so the reader can drain meanwhile; Close, Reset and turning
  // blocking off set the space event and release this wait at once.
  if (blocking && !space_event_.Wait(space_wait_ms_)) return false;

  qvp::LockGuard guard(lock_);
  if (!UsableLocked()) return false;
  if (n > capacity_ - used_) {
    // All or nothing, so a refused piece never leaves half a message behind. Wake the
    // reader: a full conduit is exactly when it should be draining.
    data_event_.Set();
    return false;
  }
  CopyInLocked(data, n);
  used_ += n;
  if (framed_) {
    pending_length_ += n;
    // An empty message would read back as "nothing" and could pile up without using any
    // buffer space, so only messages with bytes are queued.
    if (end_of_message && pending_length_ > 0) {
      messages_.push_back(pending_length_);
      pending_length_ = 0;
    }
  }
  data_event_.Set();
  return true;
}

uint32_t CBufferConduit::GetUsed() {
  qvp::LockGuard guard(lock_);
  return used_;
}

uint32_t CBufferConduit::GetMessageCount() {
  qvp::LockGuard guard(lock_);
  return static_cast<uint32_t>(messages_.size());
}

uint32_t CBufferConduit::ReadMessage(uint8_t* buf, uint32_t max, uint32_t* messages_left,
                                     uint32_t timeout_ms) {
  if (buf == nullptr || max == 0) return 0;
  {
    qvp::LockGuard guard(lock_);
    if (!UsableLocked() || !framed_) return 0;
    if (blocking_ && used_ < low_water_) space_event_.Set();
    if (!messages_.empty()) return TakeMessageLocked(buf, max, messages_left);
  }
  // Never wait under the lock: the writer needs it to deliver the very data we wait for.
  data_event_.Wait(timeout_ms);

  qvp::LockGuard guard(lock_);
  if (!UsableLocked() || !framed_) return 0;
  if (!messages_.empty()) return TakeMessageLocked(buf, max, messages_left);
  // Woken by part of a message or by a refused write: clear the event so the next call
  // waits instead of spinning. Same lock as the writer's Set, so no signal is lost.
  data_event_.Reset();
  // A blocking writer may be waiting with the rest of this very message; without space
  // it never comes while the queued part stays above the low-water mark.
  if (blocking_) space_event_.Set();
  return 0;
}

void CBufferConduit::Close() {
  qvp::LockGuard guard(lock_);
  closed_ = true;
  data_event_.Set();
  space_event_.Set();
}

void CBufferConduit::ClearContentLocked() {
  used_ = 0;
  read_pos_ = 0;
  write_pos_ = 0;
  messages_.clear();
  pending_length_ = 0;
}

void CBufferConduit::CopyInLocked(const uint8_t* data, uint32_t n) {
  if (n == 0) return;
  const uint32_t to_end = capacity_ - write_pos_;
  const uint32_t first = std::min(n, to_end);
  std::memcpy(buffer_.get() + write_pos_, data, first);
  std::memcpy(buffer_.get(), data + first, n - first);
  // Written without `write_pos_ + n`, which could overflow for capacities near 4 GiB.
  write_pos_ = first < to_end ? write_pos_ + first : n - first;
}

void CBufferConduit::CopyOutLocked(uint8_t* buf, uint32_t n) {
  if (n == 0) return;
  const uint32_t to_end = capacity_ - read_pos_;
  const uint32_t first = std::min(n, to_end);
  std::memcpy(buf, buffer_.get() + read_pos_, first);
  std::memcpy(buf + first, buffer_.get(), n - first);
  read_pos_ = first < to_end ? read_pos_ + first : n - first;
}

uint32_t CBufferConduit::TakeBytesLocked(uint8_t* buf, uint32_t n, uint32_t* remaining) {
  CopyOutLocked(buf, n);
  used_ -= n;
  if (framed_) DropFramedBytesLocked(n);
  OfferSpaceAfterReadLocked();
  if (remaining != nullptr) *remaining = used_;
  return n;
}

uint32_t CBufferConduit::TakeMessageLocked(uint8_t* buf, uint32_t max, uint32_t* messages_left) {
  uint32_t& oldest = messages_.front();
  const uint32_t take = std::min(oldest, max);
  CopyOutLocked(buf, take);
  used_ -= take;
  if (take == oldest) {
    messages_.pop_front();
  } else {
    oldest -= take;
  }
  OfferSpaceAfterReadLocked();
  if (messages_left != nullptr) *messages_left = static_cast<uint32_t>(messages_.size());
  return take;
}

void CBufferConduit::DropFramedBytesLocked(uint32_t n) {
  // Bounded by the queue length: every pass removes one message or ends the loop.
  while (n > 0 && !messages_.empty()) {
    uint32_t& oldest = messages_.front();
    if (oldest > n) {
      oldest -= n;
      return;
    }
    n -= oldest;
    messages_.pop_front();
  }
  pending_length_ -= std::min(n, pending_length_);
}

void CBufferConduit::OfferSpaceAfterReadLocked() {
  if (blocking_ && used_ < kSpaceThreshold) space_event_.Set();
}

}  // namespace qvnet
