// File-system helpers of disk management and the recording catalogue: listing a folder by a
// wildcard mask, the creation time of a recording, deleting a day folder with everything in
// it, and telling whether a file is free to delete (not being recorded).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nvr {

// True when `name` matches the wildcard `mask` the way the recorder's masks were always
// meant: '*' any run of characters (a leading '.' included), '?' one character, everything
// else literal ('[' too), ASCII case ignored, and a mask ending in ".*" also matching the name
// without any extension ("*.*" matches every name, "log.*" matches "log").
bool MatchesMask(std::string_view name, std::string_view mask);

struct FolderEntry {
  std::string name;
  bool is_folder = false;  // a real folder; a symbolic link never counts as one
};

// The entries of `folder` that match `mask`, sorted by name (byte order), without "." and "..".
// A missing or unreadable folder gives an empty list. At most kMaxFolderEntries are looked at.
inline constexpr size_t kMaxFolderEntries = 1u << 20;
std::vector<FolderEntry> ListMatching(const std::string& folder, std::string_view mask);

// When a recording was started, in nanoseconds since 1970-01-01 UTC: the file's birth time
// where the file system records one (statx), else the start time in a recording's name
// ("..._%Y_%m_%d_%H_%M_%S.h264", local time), else its modification time. nullopt when the
// file cannot be examined.
std::optional<int64_t> FileCreationTimeNs(const std::string& path);
// The start time in a recording's file name, in seconds since the epoch; nullopt when the name
// does not end in six such numeric fields and ".h264".
std::optional<int64_t> StartTimeFromFileName(std::string_view name);

// Deletes `folder` with its files and sub-folders. Files that cannot be deleted stay, and then
// the folders that hold them stay too. Symbolic links are deleted, never followed. Returns true
// when the folder is gone.
bool DeleteFolderTree(const std::string& folder);

// True when nobody holds an exclusive lock on the file right now (the recording writer holds
// one on the file it writes) and it can be opened for reading and writing.
bool CanLockExclusively(const std::string& path);

}  // namespace nvr
