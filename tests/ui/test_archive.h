// A recording archive on two drives (C and D) in a temporary folder, written with the
// recorder's own file names, with the creation time of each file chosen by the test (a file
// system keeps birth times that a test cannot set).
#pragma once

#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "nvr/core/engine/recording_manager.h"
#include "replay/core/catalogue_search.h"
#include "tests/support/temp_dir.h"

namespace uitest {

inline std::tm Local(int year, int month, int day, int hour = 12, int minute = 0, int second = 0) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  mktime(&t);
  return t;
}

inline std::tm Today(int hour, int minute = 0, int second = 0) {
  const time_t now = time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  return Local(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, hour, minute, second);
}

class TestArchive {
 public:
  TestArchive() : dir_("qv_archive") {
    for (const char* d : {"c", "d"}) std::filesystem::create_directories(dir_.File(d));
  }

  std::string Root(char drive) const { return dir_.File(std::string(1, static_cast<char>(drive - 'A' + 'a'))); }
  std::vector<replay::Drive> Drives() const { return {{'C', Root('C')}, {'D', Root('D')}}; }
  std::string TypeRoot(char drive, replay::FileType type) const { return replay::TypeFolder(Root(drive), type); }

  // A recording as the recorder names it, created at `start` (local time); `channel` 1-based.
  std::string Add(char drive, replay::FileType type, const std::string& name, const std::string& host,
                  const std::tm& start, int channel = 1, uint16_t port = 554) {
    std::tm t = start;
    const std::string path = nvr::RecordFilePath(TypeRoot(drive, type), t, name, host, port, channel - 1);
    return AddPath(path, t);
  }
  // A file of any name in the day folder `day` (no checks: names the recorder never writes).
  std::string AddNamed(char drive, replay::FileType type, const std::string& day, const std::string& file,
                       const std::tm& created) {
    return AddPath(TypeRoot(drive, type) + "/" + day + "/" + file, created);
  }
  void AddFolder(const std::string& path) { std::filesystem::create_directories(path); }

  // Creation times as the test chose them; last-write time one minute later.
  replay::FileTimesSource Times() const {
    return [this](int, const std::string& folder, const std::string& name) -> std::optional<replay::FileTimes> {
      const auto it = created_.find(folder + "/" + name);
      if (it == created_.end()) return std::nullopt;
      struct stat st {};
      if (stat(it->first.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
      return replay::FileTimes{it->second, it->second + 60};
    };
  }

 private:
  std::string AddPath(const std::string& path, std::tm t) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << "not played by the catalogue";
    created_[path] = static_cast<int64_t>(mktime(&t));
    return path;
  }

  qvtest::TempDir dir_;
  std::map<std::string, int64_t> created_;
};

}  // namespace uitest
