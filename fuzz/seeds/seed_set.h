// Where the seed generator puts what it made: <corpus folder>/<target>/<name>, and the
// layout the chunked fuzz inputs share (set-up bytes, then 16-bit big-endian length + bytes).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qvseeds {

using Bytes = std::vector<uint8_t>;

// Seeds are kept small: a fuzzer mutates a small input much faster, and the corpus lives in
// the repository.
inline constexpr size_t kMaxSeedBytes = 8192;

class SeedSet {
 public:
  explicit SeedSet(std::string root) : root_(std::move(root)) {}

  // Writes one seed; one over kMaxSeedBytes is refused with a message (false).
  bool Save(std::string_view target, std::string_view name, std::span<const uint8_t> bytes);
  bool Save(std::string_view target, std::string_view name, std::string_view text) {
    return Save(target, name, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  }
  int Written() const { return written_; }
  int Failed() const { return failed_; }

 private:
  std::string root_;
  int written_ = 0;
  int failed_ = 0;
};

// Builds a chunked input: the set-up bytes, then chunks.
class ChunkedInput {
 public:
  explicit ChunkedInput(std::initializer_list<uint8_t> setup) : bytes_(setup) {}
  // False (and nothing added) when the chunk would take the input over `limit` bytes.
  bool Add(std::span<const uint8_t> chunk, size_t limit = kMaxSeedBytes);
  const Bytes& bytes() const { return bytes_; }
  size_t Chunks() const { return chunks_; }

 private:
  Bytes bytes_;
  size_t chunks_ = 0;
};

inline std::span<const uint8_t> AsBytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

}  // namespace qvseeds
