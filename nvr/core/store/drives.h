// Recording drives. The recorder thinks in drive letters (its settings store a letter and a
// reserve per drive); each letter stands for a storage root directory configured in
// config.ini [DRIVES] (config_ini.h), by default C at "<program folder>/storage". A drive is
// "fixed" (usable) when its root exists as a directory; free space comes from statvfs(3).
//
// A root is never created by the recorder, only the folders below it: a root that does not
// exist is an absent drive (a disk that is not mounted, a share that went away), and recording
// into a folder made in its place would fill whatever disk holds that path. Point a drive at a
// folder inside the mounted file system (/mnt/disk2/nvr, not the mount point /mnt/disk2), so
// that an unmounted disk leaves no such folder behind.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace nvr {

class DriveMap {
 public:
  DriveMap() = default;
  // Letters are taken in either case and kept upper-case; others are dropped.
  explicit DriveMap(const std::map<char, std::string>& roots);
  // The drives of "<home>/config.ini".
  static DriveMap FromConfig(const std::string& home);

  // The root of a letter (either case); nullopt when the letter is not configured.
  std::optional<std::string> Root(char letter) const;
  // Megabytes available to the recorder on the drive (f_bavail * f_frsize >> 20); nullopt when
  // the letter is unknown or its root is missing or cannot be queried.
  std::optional<uint64_t> FreeMegabytes(char letter) const;
  // The letter is configured and its root exists as a folder.
  bool Present(char letter) const;
  // Configured letters whose root exists, in letter order.
  std::vector<char> FixedDrives() const;
  // "<root>/QV_Record/Normal", where the day folders of normal recordings live.
  std::optional<std::string> RecordRoot(char letter) const;

  const std::map<char, std::string>& roots() const { return roots_; }

 private:
  std::map<char, std::string> roots_;
};

}  // namespace nvr
