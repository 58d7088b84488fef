// The recorded-file catalogue: finds recordings by their folders and names alone, on the
// drives from the start drive to the end drive, below "<root>/QV_Record/Normal" and
// "<root>/QV_Record/Alarm" (normal recordings first), day folder by day folder.
//
// The search never opens a recording. It runs on any thread; the caller hears of rows in
// batches (one per day folder), of its progress, and may cancel it between files.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "replay/core/file_times.h"
#include "replay/core/search_criteria.h"

namespace replay {

struct CatalogueRow {
  std::string path;  // "<day folder>/<file name>"
  int channel = 0;
  FileType type = FileType::kNormal;  // kNormal or kAlarm
  FileTimes times;
};

struct SearchProgress {
  size_t folders_done = 0;
  size_t folders_total = 0;  // day folders that passed the date range
  size_t files_found = 0;
};

struct SearchHooks {
  std::function<void(std::vector<CatalogueRow>&& rows)> rows;  // may be empty
  std::function<void(const SearchProgress& progress)> progress;
  const std::atomic<bool>* cancel = nullptr;
  FileTimesSource times;  // empty: ReadFileTimes
};

struct SearchSummary {
  size_t files = 0;
  bool cancelled = false;
  std::vector<char> missing_drives;  // drives in the range whose root is gone
};

// "<root>/QV_Record/<Normal|Alarm>".
std::string TypeFolder(const std::string& root, FileType type);

// Runs the search of `criteria` (already checked, CheckCriteria) over `drives`.
SearchSummary RunSearch(const SearchCriteria& criteria, const std::vector<Drive>& drives, const SearchHooks& hooks);

}  // namespace replay
