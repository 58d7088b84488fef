#include "nvr/core/store/settings_check.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

#include "nvr/core/store/atomic_file.h"

namespace nvr {
namespace {

// A file of this many bytes is whole: the older layouts end before the watchdog or the hotkey.
constexpr size_t kSettingsSizes[] = {1044, 1048, sizeof(SettingsBlock)};

std::string Text(const char* what, long long value) {
  return std::string(what) + " " + std::to_string(value);
}

// `field` := `fallback` when it is not one of `allowed`; a problem line when it changed.
void CheckChoice(const char* name, int32_t* field, std::initializer_list<int32_t> allowed,
                 int32_t fallback, std::vector<std::string>* problems) {
  if (std::find(allowed.begin(), allowed.end(), *field) != allowed.end()) return;
  problems->push_back("Local.dat: " + Text(name, *field) + " is out of range, " +
                      std::to_string(fallback) + " is used");
  *field = fallback;
}

void CheckRange(const char* name, int32_t* field, int32_t low, int32_t high, int32_t fallback,
                std::vector<std::string>* problems) {
  if (*field >= low && *field <= high) return;
  problems->push_back("Local.dat: " + Text(name, *field) + " is out of range, " +
                      std::to_string(fallback) + " is used");
  *field = fallback;
}

bool IsDriveLetter(uint8_t c) { return c >= 'A' && c <= 'Z'; }

void CheckDrives(SettingsBlock* block, char default_drive, std::vector<std::string>* problems) {
  std::vector<DriveEntry> kept;
  bool ended = false;
  for (size_t i = 0; i < kMaxDriveEntries; ++i) {
    DriveEntry entry = block->drives[i];
    const std::string where = "Local.dat: drive entry " + std::to_string(i);
    if (entry.letter == 0) {
      ended = true;
      if (entry.reserve_mb != 0) problems->push_back(where + ": an empty entry holds a reserve");
      continue;
    }
    if (!IsDriveLetter(entry.letter)) {
      problems->push_back(where + ": " + Text("letter code", entry.letter) + " is no drive, dropped");
      continue;
    }
    if (ended) {
      problems->push_back(where + ": drive " + static_cast<char>(entry.letter) +
                          " after the end of the table, dropped");
      continue;
    }
    const auto same = [&entry](const DriveEntry& k) { return k.letter == entry.letter; };
    if (std::any_of(kept.begin(), kept.end(), same)) {
      problems->push_back(where + ": drive " + static_cast<char>(entry.letter) + " listed twice, dropped");
      continue;
    }
    if (entry.reserve_mb > kMaxReserveMb) {
      problems->push_back(where + ": " + Text("reserve", entry.reserve_mb) + " MB is out of range, " +
                          std::to_string(kDefaultReserveMb) + " is used");
      entry.reserve_mb = kDefaultReserveMb;
    }
    entry.pad[0] = entry.pad[1] = entry.pad[2] = 0;
    kept.push_back(entry);
  }
  if (kept.empty() && default_drive != 0) {
    problems->push_back(std::string("Local.dat: no recording drive, drive ") + default_drive +
                        " is used");
    kept.push_back(DriveEntry{static_cast<uint8_t>(default_drive), {0, 0, 0}, kDefaultReserveMb});
  }
  std::fill(std::begin(block->drives), std::end(block->drives), DriveEntry{});
  std::copy(kept.begin(), kept.end(), block->drives);
}

bool IsClockTime(int32_t t) { return t >= 0 && t <= 2359 && t % 100 <= 59; }

// Empty when the record is sound, else what is wrong with it.
std::string ScheduleFault(const ScheduleRecord& r, const std::set<int32_t>& ids) {
  if (r.id <= 0) return Text("identifier", r.id) + " is not positive";
  if (ids.count(r.id) != 0) return Text("identifier", r.id) + " is taken twice";
  for (size_t k = 0; k < 7; ++k) {
    const std::string slot = "slot " + std::to_string(k + 1) + ": ";
    if (r.day_code[k] < 0 || r.day_code[k] > 10) return slot + Text("day code", r.day_code[k]);
    if (!IsClockTime(r.start[k])) return slot + Text("start time", r.start[k]);
    if (!IsClockTime(r.end[k])) return slot + Text("end time", r.end[k]);
  }
  return std::string();
}

// Keeps the damaged bytes as "<path>.bad" and writes the checked contents in their place.
void Repair(const std::string& path, const std::string& damaged, const std::string& checked,
            std::vector<std::string>* problems) {
  const std::string bad = path + ".bad";
  if (const int error = WriteFileAtomically(bad, damaged, 0644); error != 0) {
    problems->push_back("cannot keep the damaged file as " + bad + ": " + std::strerror(error));
    return;
  }
  if (const int error = WriteFileAtomically(path, checked, 0644); error != 0) {
    problems->push_back("cannot rewrite " + path + ": " + std::strerror(error));
    return;
  }
  problems->push_back("the damaged file is kept as " + bad);
}

uint32_t GetU32(const std::string& in, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(in[at + static_cast<size_t>(i)]);
  return v;
}

}  // namespace

std::vector<std::string> CheckSettings(SettingsBlock* block, char default_drive) {
  std::vector<std::string> problems;
  CheckRange("split length", &block->split_minutes, 1, kMaxSplitMinutes, kDefaultSplitMinutes,
             &problems);
  CheckChoice("disk-full policy", &block->disk_full_policy, {0, 1}, kDefaultDiskFullPolicy, &problems);
  CheckDrives(block, default_drive, &problems);
  CheckChoice("live-log rows", &block->live_log_rows, {0, 500, 1000}, 0, &problems);
  CheckChoice("autorun", &block->autorun, {0, 1}, 0, &problems);
  CheckChoice("connect-all", &block->connect_all, {0, 1}, 0, &problems);
  CheckChoice("watchdog", &block->watchdog, {0, 1}, 0, &problems);
  CheckRange("hotkey", &block->hotkey, 'A', 'Z', kDefaultHotkey, &problems);
  return problems;
}

std::vector<std::string> CheckSchedules(std::vector<ScheduleRecord>* schedules) {
  std::vector<std::string> problems;
  std::vector<ScheduleRecord> kept;
  std::set<int32_t> ids;
  for (size_t i = 0; i < schedules->size(); ++i) {
    const ScheduleRecord& r = (*schedules)[i];
    const std::string fault = ScheduleFault(r, ids);
    if (!fault.empty()) {
      problems.push_back("Schedule.dat: record " + std::to_string(i + 1) + " (\"" + r.name +
                         "\") dropped: " + fault);
      continue;
    }
    ids.insert(r.id);
    kept.push_back(r);
  }
  *schedules = std::move(kept);
  return problems;
}

SettingsBlock LoadSettingsFile(const std::string& home, const DriveMap& drives,
                               std::vector<std::string>* problems) {
  std::vector<std::string> local;
  const std::string path = LocalDatPath(home);
  const char default_drive = DefaultDriveLetter(drives);
  std::string raw;
  const int error = ReadWholeFile(path, sizeof(SettingsBlock) + 1, &raw);
  SettingsBlock block = ReadSettings(path, drives);
  if (error == ENOENT) return block;  // no settings saved yet: the defaults
  if (error != 0 && error != EFBIG) {
    local.push_back("Local.dat cannot be read (" + std::string(std::strerror(error)) +
                    "): the defaults are used");
  } else {
    if (std::find(std::begin(kSettingsSizes), std::end(kSettingsSizes), raw.size()) ==
        std::end(kSettingsSizes)) {
      local.push_back("Local.dat holds " + std::to_string(raw.size()) + (error == EFBIG ? "+" : "") +
                      " bytes, not " + std::to_string(sizeof(SettingsBlock)));
    }
    std::vector<std::string> fields = CheckSettings(&block, default_drive);
    local.insert(local.end(), fields.begin(), fields.end());
    if (!local.empty()) Repair(path, raw, EncodeSettings(block), &local);
  }
  if (problems != nullptr) problems->insert(problems->end(), local.begin(), local.end());
  return block;
}

std::vector<ScheduleRecord> LoadScheduleFile(const std::string& home,
                                             std::vector<std::string>* problems) {
  std::vector<std::string> local;
  const std::string path = ScheduleDatPath(home);
  std::string raw;
  const int error = ReadWholeFile(path, 4 + kMaxSchedules * kScheduleRecordSize + 1, &raw);
  std::vector<ScheduleRecord> schedules = ReadSchedules(path);
  if (error == ENOENT) return schedules;
  if (error != 0 && error != EFBIG) {
    local.push_back("Schedule.dat cannot be read (" + std::string(std::strerror(error)) +
                    "): no schedules");
  } else {
    if (raw.size() < 4 || (raw.size() - 4) % kScheduleRecordSize != 0 ||
        GetU32(raw, 0) != (raw.size() - 4) / kScheduleRecordSize) {
      local.push_back("Schedule.dat holds " + std::to_string(raw.size()) + " bytes" +
                      (raw.size() >= 4 ? " for a count of " + std::to_string(GetU32(raw, 0)) : "") +
                      ": whole records are kept");
    }
    // A name must end inside its 32 bytes; the reader cuts it, which hides the damage.
    for (size_t i = schedules.size(); i-- > 0;) {
      const char* name = raw.data() + 4 + i * kScheduleRecordSize + offsetof(ScheduleRecord, name);
      if (std::memchr(name, 0, sizeof(ScheduleRecord::name)) != nullptr) continue;
      local.push_back("Schedule.dat: record " + std::to_string(i + 1) + " dropped: its name has no end");
      schedules.erase(schedules.begin() + static_cast<std::ptrdiff_t>(i));
    }
    std::vector<std::string> records = CheckSchedules(&schedules);
    local.insert(local.end(), records.begin(), records.end());
    if (!local.empty()) Repair(path, raw, EncodeSchedules(schedules), &local);
  }
  if (problems != nullptr) problems->insert(problems->end(), local.begin(), local.end());
  return schedules;
}

}  // namespace nvr
