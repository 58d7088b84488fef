// The replay catalogue's search over a large archive against find(1) over the same tree, in the
// same run with the page cache warm for both.
//
// Usage: bench_catalogue [--files N] [--days D] [--dir FOLDER]
//                        (default 100000 files, 365 days, in the temporary folder)
//
// The archive has two drive roots (C and D), each with D day folders below QV_Record/Normal,
// and N empty recording files spread evenly over roots and days, named as the recorder names
// them (16 cameras, 4 channels) with their last-write time set to their start. The search
// looks for every file of the year on both drives; find lists the same files with
// `find C D -name '*.h264' -newermt <the day before the first>`. Each figure is the best of
// five runs taken in turns; the archive is removed afterwards.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "nvr/core/engine/recording_manager.h"
#include "replay/core/catalogue_search.h"

namespace {

constexpr int kRuns = 5;
constexpr int kCameras = 16;
constexpr int kFirstYear = 2024;

using SteadyClock = std::chrono::steady_clock;

struct Options {
  long files = 100000;
  int days = 365;
  std::string dir = std::filesystem::temp_directory_path().string();
};

bool Parse(int argc, char** argv, Options* o) {
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--files") == 0) {
      o->files = std::atol(argv[i + 1]);
    } else if (std::strcmp(argv[i], "--days") == 0) {
      o->days = std::atoi(argv[i + 1]);
    } else if (std::strcmp(argv[i], "--dir") == 0) {
      o->dir = argv[i + 1];
    } else {
      return false;
    }
  }
  return argc % 2 == 1 && o->files > 0 && o->days > 0 && o->days <= 3660;
}

std::tm DayStart(int day_index) {
  std::tm t{};
  t.tm_year = kFirstYear - 1900;
  t.tm_mon = 0;
  t.tm_mday = 1 + day_index;
  t.tm_isdst = -1;
  mktime(&t);  // normalises the day into its month
  return t;
}

// One empty recording started at `start`, its last-write time set to that start.
bool MakeFile(const std::string& record_root, std::tm start, int camera) {
  const std::string path = nvr::RecordFilePath(record_root, start, "Cam" + std::to_string(camera),
                                               "192.168.1." + std::to_string(10 + camera), 554, camera % 4);
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const timespec times[2] = {{mktime(&start), 0}, {mktime(&start), 0}};
  const bool ok = futimens(fd, times) == 0;
  close(fd);
  return ok;
}

bool MakeArchive(const Options& o, const std::vector<replay::Drive>& drives) {
  const long per_folder = (o.files + 2L * o.days - 1) / (2L * o.days);
  long made = 0;
  for (int day = 0; day < o.days; ++day) {
    for (const replay::Drive& drive : drives) {
      const std::string root = drive.root + "/QV_Record/Normal";
      std::tm start = DayStart(day);
      std::filesystem::create_directories(nvr::DayFolder(root, start));
      for (long i = 0; i < per_folder && made < o.files; ++i, ++made) {
        std::tm t = start;
        t.tm_sec = static_cast<int>(i * 86000 / per_folder);  // spread over the day
        mktime(&t);
        if (!MakeFile(root, t, static_cast<int>(i % kCameras))) return false;
      }
    }
  }
  return made == o.files;
}

size_t RunCatalogue(const Options& o, const std::vector<replay::Drive>& drives) {
  replay::SearchCriteria c;
  const std::tm last = DayStart(o.days - 1);
  c.start = {kFirstYear, 1, 1, 0, 0, 0};
  c.end = {last.tm_year + 1900, last.tm_mon + 1, last.tm_mday, 23, 59, 59};
  c.start_drive = 0;
  c.end_drive = drives.size() - 1;
  size_t rows = 0;
  replay::SearchHooks hooks;
  hooks.rows = [&](std::vector<replay::CatalogueRow>&& batch) { rows += batch.size(); };
  replay::RunSearch(c, drives, hooks);
  return rows;
}

// find's lines counted through a pipe, as a caller of find would read them.
size_t RunFind(const std::vector<replay::Drive>& drives) {
  const std::tm before = DayStart(-1);
  char newer[32];
  std::strftime(newer, sizeof newer, "%Y-%m-%d", &before);
  std::string command = "find";
  for (const replay::Drive& d : drives) command += " '" + d.root + "'";
  command += " -name '*.h264' -newermt " + std::string(newer);
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return 0;
  size_t lines = 0;
  char buffer[1 << 16];
  size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) lines += static_cast<size_t>(std::count(buffer, buffer + n, '\n'));
  pclose(pipe);
  return lines;
}

template <typename F>
double Seconds(F&& run, size_t* result) {
  const auto start = SteadyClock::now();
  *result = run();
  return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!Parse(argc, argv, &o)) {
    std::fputs("usage: bench_catalogue [--files N] [--days D] [--dir FOLDER]\n", stderr);
    return 2;
  }
  char pattern[4096];
  std::snprintf(pattern, sizeof pattern, "%s/qv_bench_catalogue_XXXXXX", o.dir.c_str());
  if (mkdtemp(pattern) == nullptr) {
    std::perror("bench_catalogue: mkdtemp");
    return 1;
  }
  const std::string base = pattern;
  const std::vector<replay::Drive> drives = {{'C', base + "/c"}, {'D', base + "/d"}};
  std::printf("archive: %ld files in %d day folders on each of 2 drives under %s\n", o.files, o.days, base.c_str());
  const auto made_at = SteadyClock::now();
  if (!MakeArchive(o, drives)) {
    std::fprintf(stderr, "bench_catalogue: could not write the archive\n");
    std::filesystem::remove_all(base);
    return 1;
  }
  std::printf("written in %.1f s\n", std::chrono::duration<double>(SteadyClock::now() - made_at).count());

  size_t ours = 0;
  size_t theirs = 0;
  RunCatalogue(o, drives);  // warm the page cache for both
  RunFind(drives);
  double best_ours = 1e9;
  double best_find = 1e9;
  for (int run = 0; run < kRuns; ++run) {
    best_ours = std::min(best_ours, Seconds([&] { return RunCatalogue(o, drives); }, &ours));
    best_find = std::min(best_find, Seconds([&] { return RunFind(drives); }, &theirs));
  }
  std::printf("catalogue search: %zu files in %.3f s\n", ours, best_ours);
  std::printf("find -newermt:    %zu files in %.3f s\n", theirs, best_find);
  std::printf("ratio catalogue / find: %.2f (target at most 1.0)\n", best_ours / best_find);
  std::filesystem::remove_all(base);
  return ours == static_cast<size_t>(o.files) && theirs == static_cast<size_t>(o.files) ? 0 : 1;
}
