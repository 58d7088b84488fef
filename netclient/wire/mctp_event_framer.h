// The framing of the MCTP event channel: bytes as they come from the socket in, whole messages
// ("CMD" through "END\n") out. The bytes go into one 4096-byte buffer; every complete message
// is handed over and removed, text before a "CMD" is passed over, and a full buffer that holds
// no complete message cannot complete one any more: it is dropped whole so that one malformed
// report does not silence the channel.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <span>
#include <string_view>

namespace qvnet {

class MctpEventFramer {
 public:
  static constexpr size_t kCapacity = 4096;

  // Takes one message; false ends the channel (the bytes after it are kept, nothing more is
  // handed over).
  using Handler = std::function<bool(std::string_view message)>;

  // Where the next receive goes: the free end of the buffer, never empty.
  std::span<char> Space() { return {buffer_.data() + fill_, buffer_.size() - fill_}; }

  // `received` bytes were written into Space(): hands every complete message to `handle` in
  // order. False when `handle` ended the channel. Then drops a buffer that is full.
  bool Commit(size_t received, const Handler& handle);

  // Forgets everything buffered (a new registration).
  void Clear() { fill_ = 0; }
  size_t Buffered() const { return fill_; }

 private:
  bool Extract(const Handler& handle);

  std::array<char, kCapacity> buffer_{};
  size_t fill_ = 0;
};

}  // namespace qvnet
