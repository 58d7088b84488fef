// MD5 message digest (RFC 1321), used for HTTP-style Digest authentication (RFC 2069) where
// the cameras still require it. Not for anything that needs collision resistance.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qvp {

class Md5 {
 public:
  using Digest = std::array<uint8_t, 16>;

  Md5();
  void Update(const void* data, size_t size);
  void Update(std::string_view text) { Update(text.data(), text.size()); }
  // Pads, returns the digest and leaves the object ready for a new message.
  Digest Final();

 private:
  void Transform(const uint8_t block[64]);
  void Reset();

  std::array<uint32_t, 4> state_{};
  uint64_t length_bytes_ = 0;
  std::array<uint8_t, 64> block_{};
  size_t block_fill_ = 0;
};

// Lower-case hexadecimal of `size` bytes.
std::string ToHex(const uint8_t* data, size_t size);
// MD5 of `text` as 32 lower-case hexadecimal characters.
std::string Md5Hex(std::string_view text);

}  // namespace qvp
