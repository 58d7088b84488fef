#include "nvr/core/store/settings_files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "nvr/core/store/atomic_file.h"

namespace nvr {
namespace {

constexpr size_t kSettingsFileSize = sizeof(SettingsBlock);

void PutU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void PutI32(std::string& out, int32_t v) { PutU32(out, static_cast<uint32_t>(v)); }

uint32_t GetU32(const std::string& in, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(in[at + static_cast<size_t>(i)]);
  return v;
}

// Reads the 32-bit field at `at` into `field` when the file holds all four bytes of it.
void TakeI32(const std::string& in, size_t at, int32_t* field) {
  if (at + 4 <= in.size()) *field = static_cast<int32_t>(GetU32(in, at));
}

void TakeDrive(const std::string& in, size_t at, DriveEntry* entry) {
  if (at + sizeof(DriveEntry) > in.size()) return;
  entry->letter = static_cast<uint8_t>(in[at]);
  for (size_t i = 0; i < 3; ++i) entry->pad[i] = static_cast<uint8_t>(in[at + 1 + i]);
  entry->reserve_mb = GetU32(in, at + 4);
}

SettingsBlock DecodeSettings(const std::string& in, SettingsBlock block) {
  TakeI32(in, offsetof(SettingsBlock, split_minutes), &block.split_minutes);
  TakeI32(in, offsetof(SettingsBlock, disk_full_policy), &block.disk_full_policy);
  for (size_t i = 0; i < kMaxDriveEntries; ++i) {
    TakeDrive(in, offsetof(SettingsBlock, drives) + i * sizeof(DriveEntry), &block.drives[i]);
  }
  TakeI32(in, offsetof(SettingsBlock, live_log_rows), &block.live_log_rows);
  TakeI32(in, offsetof(SettingsBlock, autorun), &block.autorun);
  TakeI32(in, offsetof(SettingsBlock, connect_all), &block.connect_all);
  TakeI32(in, offsetof(SettingsBlock, watchdog), &block.watchdog);
  TakeI32(in, offsetof(SettingsBlock, hotkey), &block.hotkey);
  return block;
}

ScheduleRecord DecodeSchedule(const std::string& in, size_t at) {
  ScheduleRecord r{};
  r.id = static_cast<int32_t>(GetU32(in, at));
  for (size_t k = 0; k < 7; ++k) {
    r.day_code[k] = static_cast<int32_t>(GetU32(in, at + 4 + 12 * k));
    r.start[k] = static_cast<int32_t>(GetU32(in, at + 8 + 12 * k));
    r.end[k] = static_cast<int32_t>(GetU32(in, at + 12 + 12 * k));
  }
  std::memcpy(r.name, in.data() + at + 88, sizeof r.name);
  r.name[sizeof r.name - 1] = '\0';
  return r;
}

}  // namespace

std::string LocalDatPath(const std::string& home) { return home + "/NVRData/Local.dat"; }
std::string ScheduleDatPath(const std::string& home) { return home + "/NVRData/Schedule.dat"; }

char DefaultDriveLetter(const DriveMap& drives) {
  const std::vector<char> fixed = drives.FixedDrives();
  if (fixed.size() >= 2) return fixed[1];
  return fixed.empty() ? '\0' : fixed[0];
}

SettingsBlock DefaultSettings(char drive_letter) {
  SettingsBlock block{};
  block.drives[0].letter = static_cast<uint8_t>(drive_letter);
  block.drives[0].reserve_mb = kDefaultReserveMb;
  block.split_minutes = kDefaultSplitMinutes;
  block.disk_full_policy = kDefaultDiskFullPolicy;
  block.hotkey = kDefaultHotkey;
  return block;
}

SettingsBlock ReadSettings(const std::string& path, const DriveMap& drives) {
  const SettingsBlock defaults = DefaultSettings(DefaultDriveLetter(drives));
  std::string data;
  const int err = ReadWholeFile(path, kSettingsFileSize, &data);
  if (err != 0 && err != EFBIG) return defaults;
  return DecodeSettings(data, defaults);
}

std::string EncodeSettings(const SettingsBlock& block) {
  std::string out;
  out.reserve(kSettingsFileSize);
  PutI32(out, block.split_minutes);
  PutI32(out, block.disk_full_policy);
  for (const DriveEntry& d : block.drives) {
    out += static_cast<char>(d.letter);
    for (const uint8_t p : d.pad) out += static_cast<char>(p);
    PutU32(out, d.reserve_mb);
  }
  PutI32(out, block.live_log_rows);
  PutI32(out, block.autorun);
  PutI32(out, block.connect_all);
  PutI32(out, block.watchdog);
  PutI32(out, block.hotkey);
  return out;
}

bool WriteSettings(const std::string& path, const SettingsBlock& block) {
  return WriteFileAtomically(path, EncodeSettings(block), 0644) == 0;
}

std::vector<ScheduleRecord> ReadSchedules(const std::string& path) {
  std::vector<ScheduleRecord> out;
  std::string data;
  const int err = ReadWholeFile(path, 4 + kMaxSchedules * kScheduleRecordSize, &data);
  if ((err != 0 && err != EFBIG) || data.size() < 4) return out;
  const size_t present = (data.size() - 4) / kScheduleRecordSize;
  const size_t count = std::min<size_t>(GetU32(data, 0), present);
  out.reserve(count);
  for (size_t i = 0; i < count; ++i) out.push_back(DecodeSchedule(data, 4 + i * kScheduleRecordSize));
  return out;
}

std::string EncodeSchedules(const std::vector<ScheduleRecord>& schedules) {
  std::string out;
  out.reserve(4 + schedules.size() * kScheduleRecordSize);
  PutU32(out, static_cast<uint32_t>(schedules.size()));
  for (const ScheduleRecord& r : schedules) {
    PutI32(out, r.id);
    for (size_t k = 0; k < 7; ++k) {
      PutI32(out, r.day_code[k]);
      PutI32(out, r.start[k]);
      PutI32(out, r.end[k]);
    }
    out.append(r.name, sizeof r.name);
  }
  return out;
}

bool WriteSchedules(const std::string& path, const std::vector<ScheduleRecord>& schedules) {
  return WriteFileAtomically(path, EncodeSchedules(schedules), 0644) == 0;
}

}  // namespace nvr
