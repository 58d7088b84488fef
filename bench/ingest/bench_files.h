// Files and memory figures of the ingest benchmark: the temporary folder every run writes into,
// the bytes recorded in a folder, and the resident memory of the calling process.
#pragma once

#include <cstdint>
#include <string>

namespace qvbench {

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it when destroyed.
class TempFolder {
 public:
  TempFolder() = default;
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  bool Create(const std::string& prefix);
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Makes `path` (one level) or empties it when it exists; false on failure.
bool MakeEmptyFolder(const std::string& path);
// Removes `path` and everything below it; errors are ignored.
void RemoveTree(const std::string& path);

// Sum of the sizes of the regular files directly in `folder`.
uint64_t FolderBytes(const std::string& folder);
// Size of one file, 0 when it does not exist.
uint64_t FileBytes(const std::string& path);

// VmRSS of this process in KiB from /proc/self/status; -1 when it cannot be read.
long ResidentKiB();

// The folder of the running executable, without the trailing '/'.
std::string ExecutableFolder();

// The first line of a text file, at most `max_chars` long; empty when there is none.
std::string FirstLine(const std::string& path, size_t max_chars);

}  // namespace qvbench
