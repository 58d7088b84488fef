// The recorder's own files: Local.dat and Schedule.dat (the same input read as either), and
// config.ini read for language, exit flag and drives, then rewritten as the recorder does at
// start and at a clean end.
#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/targets/fuzz_support.h"
#include "fuzz/targets/fuzz_targets.h"
#include "nvr/core/store/config_ini.h"
#include "nvr/core/store/ini_file.h"
#include "nvr/core/store/settings_check.h"
#include "nvr/core/store/settings_files.h"

namespace qvfuzz {
namespace {

constexpr const char* kSettingsName = "settings_files";
constexpr const char* kIniName = "ini_file";

// Bytes of a Local.dat of `size` bytes that hold whole fields: 4-byte fields, then the 8-byte
// drive entries from 8 to 1032, then 4-byte fields again.
size_t WholeFieldBytes(size_t size) {
  constexpr size_t kDrivesBegin = offsetof(nvr::SettingsBlock, drives);
  constexpr size_t kDrivesEnd = offsetof(nvr::SettingsBlock, live_log_rows);
  if (size >= sizeof(nvr::SettingsBlock)) return sizeof(nvr::SettingsBlock);
  if (size < kDrivesBegin) return size / 4 * 4;
  if (size < kDrivesEnd) return kDrivesBegin + (size - kDrivesBegin) / 8 * 8;
  return kDrivesEnd + (size - kDrivesEnd) / 4 * 4;
}

// The fields the file holds whole come from it; every other field keeps its default.
void CheckSettings(std::span<const uint8_t> bytes, const std::string& path) {
  const nvr::SettingsBlock block = nvr::ReadSettings(path, nvr::DriveMap{});
  const std::string read = nvr::EncodeSettings(block);
  const std::string defaults = nvr::EncodeSettings(nvr::DefaultSettings('\0'));
  const size_t whole = WholeFieldBytes(bytes.size());
  Check(std::memcmp(read.data(), bytes.data(), whole) == 0, kSettingsName, "a whole field was not taken");
  Check(read.compare(whole, std::string::npos, defaults, whole) == 0, kSettingsName,
        "a missing or cut field lost its default");
}

// Whole records only, never more than the count says; names end inside their 32 bytes and the
// rest of each record is taken as it is.
void CheckSchedules(std::span<const uint8_t> bytes, const std::string& path) {
  const std::vector<nvr::ScheduleRecord> records = nvr::ReadSchedules(path);
  size_t expected = 0;
  if (bytes.size() >= 4) {
    const uint32_t count = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
    const size_t present = std::min((bytes.size() - 4) / nvr::kScheduleRecordSize, nvr::kMaxSchedules);
    expected = std::min<size_t>(count, present);
  }
  Check(records.size() == expected, kSettingsName, "schedule count differs from the whole records present");
  const std::string encoded = nvr::EncodeSchedules(records);
  for (size_t i = 0; i < records.size(); ++i) {
    Check(std::memchr(records[i].name, 0, sizeof records[i].name) != nullptr, kSettingsName,
          "schedule name without its end");
    const size_t at = 4 + i * nvr::kScheduleRecordSize;
    // All but the last name byte, which the reader forces to 0.
    Check(std::memcmp(encoded.data() + at, bytes.data() + at, nvr::kScheduleRecordSize - 1) == 0, kSettingsName,
          "schedule record read differently");
  }
}

// What the recorder goes on with after its checks is in range, and checking it again finds
// nothing more.
void CheckCheckedSettings(const std::string& path) {
  nvr::SettingsBlock block = nvr::ReadSettings(path, nvr::DriveMap{});
  nvr::CheckSettings(&block, 'C');
  Check(block.split_minutes >= 1 && block.split_minutes <= nvr::kMaxSplitMinutes, kSettingsName, "split out of range");
  Check(block.drives[0].letter >= 'A' && block.drives[0].letter <= 'Z', kSettingsName, "no first drive");
  Check(block.hotkey >= 'A' && block.hotkey <= 'Z', kSettingsName, "hotkey out of range");
  Check(nvr::CheckSettings(&block, 'C').empty(), kSettingsName, "a checked block is not clean");
  std::vector<nvr::ScheduleRecord> records = nvr::ReadSchedules(path);
  nvr::CheckSchedules(&records);
  for (const nvr::ScheduleRecord& r : records) Check(r.id > 0, kSettingsName, "a schedule id that is not positive");
  Check(nvr::CheckSchedules(&records).empty(), kSettingsName, "checked schedules are not clean");
}

struct IniView {
  std::optional<uint32_t> locale;
  std::map<char, std::string> drives;
  bool operator==(const IniView&) const = default;
};

IniView ReadView(const std::string& path, const std::string& home) {
  return IniView{nvr::ReadLocaleId(path), nvr::ReadDriveRoots(path, home)};
}

// Writing the exit flag must read back and leave every other setting as it was.
void CheckExitFlag(const std::string& path, const std::string& home, bool clean) {
  const IniView before = ReadView(path, home);
  const int err = nvr::WriteExitFlag(path, clean);
  if (err != 0) return;
  int read_error = 0;
  const std::optional<std::string> flag = nvr::ReadExitFlag(path, &read_error);
  Check(flag.has_value() && *flag == (clean ? "1" : "0"), kIniName, "the exit flag written does not read back");
  Check(nvr::ExitFlagShowsUncleanExit(*flag) == !clean, kIniName, "exit flag misread");
  Check(ReadView(path, home) == before, kIniName, "writing the exit flag changed other settings");
}

}  // namespace

int FuzzSettingsFiles(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  const ScratchFile local("Local.dat", bytes);
  if (local.Written()) CheckSettings(bytes, local.Path());
  const ScratchFile schedule("Schedule.dat", bytes);
  if (schedule.Written()) CheckSchedules(bytes, schedule.Path());
  if (local.Written()) CheckCheckedSettings(local.Path());
  return 0;
}

int FuzzIniFile(const uint8_t* data, size_t size) {
  const ScratchFile ini("config.ini", std::span<const uint8_t>(data, size));
  if (!ini.Written()) return 0;
  const std::string& home = ScratchFolder();
  Check(ini.Path() == nvr::ConfigIniPath(home), kIniName, "config.ini not where the recorder looks");
  int error = 0;
  nvr::ReadExitFlag(ini.Path(), &error);
  for (const auto& [letter, root] : nvr::ReadDriveRoots(ini.Path(), home)) {
    Check(letter >= 'A' && letter <= 'Z' && !root.empty(), kIniName, "drive that is no letter or has no root");
  }
  // As the recorder runs: "0" at its start, "1" at its clean end.
  CheckExitFlag(ini.Path(), home, false);
  CheckExitFlag(ini.Path(), home, true);
  return 0;
}

}  // namespace qvfuzz
