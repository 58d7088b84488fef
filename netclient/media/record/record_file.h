// The file the record writer writes to, behind a seam so that tests can inject a full disk,
// short writes and failing truncation. The writer does its own buffering; a RecordFile is
// plain, unbuffered positional output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace qvnet {

class RecordFile {
 public:
  virtual ~RecordFile() = default;

  // Creates the file or truncates an existing one, for writing only.
  virtual bool OpenTruncate(const std::string& path) = 0;
  // Writes `length` bytes at `offset`. Returns how many were written; fewer than `length`
  // means the rest failed (typically a full disk).
  virtual size_t Write(uint64_t offset, const uint8_t* data, size_t length) = 0;
  // Cuts the file to `size` bytes.
  virtual bool Truncate(uint64_t size) = 0;
  virtual bool Close() = 0;
  // Deletes the file at `path` (called after Close).
  virtual bool Remove(const std::string& path) = 0;
};

using RecordFileFactory = std::function<std::unique_ptr<RecordFile>()>;

// A POSIX file that holds an exclusive flock() from open to close, so that disk clean-up
// (which locks with LOCK_NB) never deletes a file being written and a second writer cannot
// open the same file.
std::unique_ptr<RecordFile> MakePosixRecordFile();

}  // namespace qvnet
