#include "replay/core/catalogue_search.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "nvr/core/store/folder_scan.h"
#include "replay/core/record_names.h"

namespace replay {
namespace {

struct DayFolder {
  std::string path;
  FileType type;
};

bool IsFolder(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

WildcardMask MaskFor(const SearchCriteria& criteria) {
  const std::string key = DeviceKey(criteria);
  if (key.empty()) return AllRecordingsMask();
  return criteria.by == SearchBy::kName ? DeviceNameMask(key) : DeviceAddressMask(key);
}

bool Cancelled(const SearchHooks& hooks) { return hooks.cancel != nullptr && hooks.cancel->load(); }

// Day folders of one type on one drive whose date lies in the range, in name order.
void AddDayFolders(const std::string& type_folder, FileType type, const SearchCriteria& criteria,
                   std::vector<DayFolder>* out) {
  const uint32_t from = DateValue(criteria.start.year, criteria.start.month, criteria.start.day);
  const uint32_t to = DateValue(criteria.end.year, criteria.end.month, criteria.end.day);
  for (const nvr::FolderEntry& entry : nvr::ListMatching(type_folder, "*")) {
    if (!entry.is_folder) continue;
    const std::optional<uint32_t> day = DayFolderValue(entry.name);
    if (!day || *day < from || *day > to) continue;
    out->push_back({type_folder + "/" + entry.name, type});
  }
}

// The names in a folder that match `mask`, in name order; at most kMaxFolderEntries looked at.
std::vector<std::string> MatchingNames(int dir_fd, const WildcardMask& mask) {
  std::vector<std::string> names;
  const int fd = dup(dir_fd);
  if (fd < 0) return names;
  DIR* dir = fdopendir(fd);
  if (dir == nullptr) {
    close(fd);
    return names;
  }
  for (size_t seen = 0; seen < nvr::kMaxFolderEntries; ++seen) {
    const dirent* e = readdir(dir);
    if (e == nullptr) break;
    if (e->d_type != DT_REG && e->d_type != DT_UNKNOWN) continue;  // "." and ".." are folders
    if (mask.Matches(e->d_name)) names.emplace_back(e->d_name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<CatalogueRow> ScanDayFolder(const DayFolder& folder, const WildcardMask& mask,
                                        const SearchCriteria& criteria, const SearchHooks& hooks) {
  std::vector<CatalogueRow> rows;
  const int dir_fd = open(folder.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd < 0) return rows;  // deleted or unreadable meanwhile
  for (std::string& name : MatchingNames(dir_fd, mask)) {
    if (Cancelled(hooks)) break;
    const std::optional<int> channel = ChannelOfRecording(name);
    if (!channel || (criteria.channel != 0 && *channel != criteria.channel)) continue;
    const std::optional<FileTimes> times =
        hooks.times ? hooks.times(dir_fd, folder.path, name) : ReadFileTimes(dir_fd, folder.path, name);
    if (!times || !times->created) continue;  // gone since the folder was read
    const std::optional<int> time_of_day = LocalTimeOfDay(*times->created);
    if (!time_of_day || !TimeOfDayPasses(*time_of_day, criteria)) continue;
    rows.push_back({folder.path + "/" + name, *channel, folder.type, *times});
  }
  close(dir_fd);
  return rows;
}

}  // namespace

std::string TypeFolder(const std::string& root, FileType type) {
  return root + (type == FileType::kAlarm ? "/QV_Record/Alarm" : "/QV_Record/Normal");
}

SearchSummary RunSearch(const SearchCriteria& criteria, const std::vector<Drive>& drives, const SearchHooks& hooks) {
  SearchSummary summary;
  if (drives.empty()) return summary;
  const size_t last_drive = std::min(criteria.end_drive, drives.size() - 1);
  std::vector<DayFolder> folders;
  for (const FileType type : {FileType::kNormal, FileType::kAlarm}) {
    if (criteria.type != FileType::kAll && criteria.type != type) continue;
    for (size_t d = criteria.start_drive; d <= last_drive; ++d) {
      if (!IsFolder(drives[d].root)) {
        if (type == FileType::kNormal || criteria.type == FileType::kAlarm) summary.missing_drives.push_back(drives[d].letter);
        continue;
      }
      AddDayFolders(TypeFolder(drives[d].root, type), type, criteria, &folders);
    }
  }
  const WildcardMask mask = MaskFor(criteria);
  SearchProgress progress{0, folders.size(), 0};
  if (hooks.progress) hooks.progress(progress);
  for (const DayFolder& folder : folders) {
    if (Cancelled(hooks)) {
      summary.cancelled = true;
      break;
    }
    std::vector<CatalogueRow> rows = ScanDayFolder(folder, mask, criteria, hooks);
    summary.files += rows.size();
    progress.files_found = summary.files;
    ++progress.folders_done;
    if (!rows.empty() && hooks.rows) hooks.rows(std::move(rows));
    if (hooks.progress) hooks.progress(progress);
  }
  if (Cancelled(hooks)) summary.cancelled = true;
  return summary;
}

}  // namespace replay
