// What the fuzz entry functions share: a reader that takes set-up bytes and length-prefixed
// chunks off the input, the per-process scratch folder the file-based readers work in, a
// stream client without a connection, and the check that stops a run when an invariant breaks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "netclient/stream/library_context.h"
#include "netclient/stream/stream_client.h"
#include "netclient/wire/stream_flavor.h"

namespace qvfuzz {

// Reads the input front to back; reading past the end yields zeros and empty chunks, so a
// short input is simply a run with default settings.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(data == nullptr ? 0 : size) {}

  bool Empty() const { return pos_ >= size_; }
  size_t Remaining() const { return size_ - pos_; }
  size_t Position() const { return pos_; }

  uint8_t Byte() { return Empty() ? 0 : data_[pos_++]; }
  uint16_t U16() { return static_cast<uint16_t>((Byte() << 8) | Byte()); }

  // A chunk framed as a 16-bit big-endian length and that many bytes (cut at the input's end),
  // the framing the seed corpora use for packets and frames.
  std::span<const uint8_t> Chunk() {
    const size_t want = U16();
    return Take(want);
  }
  std::span<const uint8_t> Take(size_t want) {
    const size_t n = want < Remaining() ? want : Remaining();
    const std::span<const uint8_t> out(data_ + pos_, n);
    pos_ += n;
    return out;
  }
  std::span<const uint8_t> Rest() { return Take(Remaining()); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// The scratch folder of this process (in /dev/shm when there is one, else in the system's
// temporary folder), made on first use and removed when the process ends normally.
const std::string& ScratchFolder();

// A file in the scratch folder holding `bytes`, removed with the object. The name is a leaf
// name; each entry function uses its own so that nested use cannot collide.
class ScratchFile {
 public:
  ScratchFile(const std::string& name, std::span<const uint8_t> bytes);
  // Only a path: the code under test makes the file (recordings).
  explicit ScratchFile(const std::string& name);
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  const std::string& Path() const { return path_; }
  bool Written() const { return written_; }

 private:
  std::string path_;
  bool written_ = false;
};

// Holds the library context ahead of the client base that keeps a reference to it.
struct FuzzContextHolder {
  qvnet::LibraryContext context;
};

// A stream client that is never connected: notifications are only counted.
class FuzzClient : private FuzzContextHolder, public qvnet::StreamClient {
 public:
  explicit FuzzClient(const qvnet::StreamFlavor& flavor) : StreamClient(context, flavor) {}
  void Notify(uint32_t, int32_t) override { ++notifications; }

  size_t notifications = 0;
};

// Text printed with a failed check, naming the input in a replay of many (the regression test
// sets it; libFuzzer saves the input itself).
void SetInputNote(std::string note);

// An invariant of the code under test broke: prints `what` and aborts, so that both libFuzzer
// and the regression test report the input.
[[noreturn]] void Fail(const char* target, const char* what);

inline void Check(bool condition, const char* target, const char* what) {
  if (!condition) Fail(target, what);
}

// libavcodec reports every broken bit stream on stderr; fuzzing feeds it nothing else.
void QuietCodecLogs();

}  // namespace qvfuzz
