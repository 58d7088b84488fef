#include "nvr/dialogs/model/entry_checks.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace nvrdlg {
namespace {

std::string Text(uint32_t id, nvr::Language language) { return nvr::LoadString(id, language); }

std::string IllegalCharacter(char c, nvr::Language language) {
  char buf[128];
  std::snprintf(buf, sizeof buf, nvr::LoadString(nvr::kStrIllegalCharacter, language), c);
  return buf;
}

size_t Utf8Characters(const std::string& text) {
  size_t n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80 ? 1 : 0;
  return n;
}

// The first quote in `text`, or 0.
char FirstQuote(const std::string& text) {
  const size_t at = text.find_first_of("\"'");
  return at == std::string::npos ? '\0' : text[at];
}

bool HasControlCharacter(const std::string& text) {
  for (const unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

bool SameIgnoringAsciiCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

bool AllDigits(const std::string& text) {
  if (text.empty() || text.size() > 4) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

std::string TrimBlanks(const std::string& text) {
  const size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return std::string();
  const size_t end = text.find_last_not_of(" \t");
  return text.substr(begin, end - begin + 1);
}

Refusal CheckDeviceFields(nvr::DeviceRecord* device, nvr::Language language) {
  device->name = TrimBlanks(device->name);
  if (device->name.empty()) return Text(nvr::kStrDeviceNameEmpty, language);
  const size_t illegal = device->name.find_first_of(kIllegalNameCharacters);
  if (illegal != std::string::npos) return IllegalCharacter(device->name[illegal], language);
  device->url = TrimBlanks(device->url);
  if (device->url.empty()) return Text(nvr::kStrHostEmpty, language);
  for (const std::string* field : {&device->url, &device->username, &device->password}) {
    const char quote = FirstQuote(*field);
    if (quote != '\0') return IllegalCharacter(quote, language);
  }
  for (const std::string* field : {&device->name, &device->url, &device->username, &device->password}) {
    if (HasControlCharacter(*field)) return "control characters (tab, line break) are not allowed";
  }
  if (Utf8Characters(device->name) > kMaxDeviceNameChars) {
    return "device name too long (at most 63 characters)";
  }
  if (device->url.size() > kMaxHostBytes) {
    return "host address too long (at most " + std::to_string(kMaxHostBytes) + " bytes)";
  }
  if (device->username.size() > kMaxCredentialBytes) return "user name too long (at most 31 bytes)";
  if (device->password.size() > kMaxCredentialBytes) return "password too long (at most 31 bytes)";
  if (device->rtsp_port == 0) return "RTSP port must be 1 to 65535";
  if (device->channel < 0 || device->channel >= kMaxDeviceChannels) return "channel must be 1 to 256";
  if (device->stream_type != 0 && device->stream_type != 1) return "stream must be 0 or 1";
  return std::nullopt;
}

Refusal CheckDeviceDuplicates(nvr::RecorderDb& db, const nvr::DeviceRecord& device,
                              nvr::Language language) {
  std::vector<nvr::DeviceRecord> rows;
  if (!db.DevicesByName(device.name, &rows)) return Text(nvr::kStrReadDbFailedShort, language);
  if (!rows.empty()) return Text(nvr::kStrNameExists, language);
  if (!db.DevicesByAddress(device.url, device.channel, device.rtsp_port, &rows, device.stream_url)) {
    return Text(nvr::kStrReadDbFailedShort, language);
  }
  if (!rows.empty()) return Text(nvr::kStrDeviceDuplicate, language);
  return std::nullopt;
}

Refusal CheckModifiedDeviceDuplicates(nvr::RecorderDb& db, const nvr::DeviceRecord& device,
                                      const std::string& old_name, nvr::Language language) {
  std::vector<nvr::DeviceRecord> rows;
  if (device.name != old_name) {
    if (!db.DevicesByName(device.name, &rows)) return Text(nvr::kStrReadDbFailedShort, language);
    for (const nvr::DeviceRecord& row : rows) {
      if (!SameIgnoringAsciiCase(row.name, old_name)) return Text(nvr::kStrNameExists, language);
    }
  }
  if (!db.DevicesByAddressExcept(device.url, device.channel, device.rtsp_port, old_name, &rows)) {
    return Text(nvr::kStrReadDbFailedShort, language);
  }
  if (!rows.empty()) return Text(nvr::kStrDeviceDuplicate, language);
  return std::nullopt;
}

std::optional<int32_t> ParseDayCode(const std::string& text) {
  static constexpr const char* kNames[] = {"close", "sun", "mon",      "tue",     "wed",     "thu",
                                           "fri",   "sat", "weekdays", "weekend", "everyday"};
  for (int32_t code = 0; code <= 10; ++code) {
    if (text == kNames[code] || text == std::to_string(code)) return code;
  }
  return std::nullopt;
}

std::optional<int32_t> ParseClock(const std::string& text) {
  int hour = 0;
  int minute = 0;
  const size_t colon = text.find(':');
  if (colon != std::string::npos) {
    const std::string h = text.substr(0, colon);
    const std::string m = text.substr(colon + 1);
    if (h.size() > 2 || m.size() != 2 || !AllDigits(h) || !AllDigits(m)) return std::nullopt;
    hour = std::stoi(h);
    minute = std::stoi(m);
  } else {
    if (!AllDigits(text)) return std::nullopt;
    const int value = std::stoi(text);
    hour = value / 100;
    minute = value % 100;
  }
  if (hour > 23 || minute > 59) return std::nullopt;
  return hour * 100 + minute;
}

std::string ScheduleRecordName(const nvr::ScheduleRecord& record) {
  return std::string(record.name, strnlen(record.name, sizeof record.name));
}

Refusal CheckScheduleFields(std::string* name, const std::string& picked_name,
                            const std::vector<SlotInput>& slots,
                            const std::vector<nvr::ScheduleRecord>& existing,
                            nvr::Language language) {
  *name = TrimBlanks(*name);
  if (name->empty()) return Text(nvr::kStrScheduleNameEmpty, language);
  if (*name != picked_name) {
    for (const nvr::ScheduleRecord& s : existing) {
      if (ScheduleRecordName(s) == *name) return Text(nvr::kStrNameExists, language);
    }
  }
  for (const SlotInput& slot : slots) {
    if (slot.day_code == 0) continue;
    // Equal hours compare by minute, so hour * 100 + minute orders the same way.
    if (slot.end < slot.start) return Text(nvr::kStrTimeSettingError, language);
  }
  if (name->size() > kMaxScheduleNameBytes) return "schedule name too long (at most 31 bytes)";
  if (slots.empty() || slots.size() > kMaxSlots) return "a schedule has 1 to 7 slots";
  return std::nullopt;
}

Refusal CheckNewSchedule(std::string* name, const std::vector<SlotInput>& slots,
                         const std::vector<nvr::ScheduleRecord>& existing, nvr::Language language) {
  *name = TrimBlanks(*name);
  for (const nvr::ScheduleRecord& s : existing) {
    if (ScheduleRecordName(s) == *name) return Text(nvr::kStrScheduleNameDuplicate, language);
  }
  return CheckScheduleFields(name, std::string(), slots, existing, language);
}

nvr::ScheduleRecord MakeSchedule(int32_t id, const std::string& name,
                                 const std::vector<SlotInput>& slots) {
  nvr::ScheduleRecord record{};
  record.id = id;
  for (size_t k = 0; k < slots.size() && k < kMaxSlots; ++k) {
    record.day_code[k] = slots[k].day_code;
    record.start[k] = slots[k].start;
    record.end[k] = slots[k].end;
  }
  std::memcpy(record.name, name.data(), std::min(name.size(), sizeof record.name - 1));
  return record;
}

int32_t NewScheduleId(uint32_t tick, const std::vector<nvr::ScheduleRecord>& existing) {
  auto used = [&](int32_t id) {
    for (const nvr::ScheduleRecord& s : existing) {
      if (s.id == id) return true;
    }
    return false;
  };
  // Identifier 0 means "no schedule" and negative ones would look like damage: stay in 1..2^31-1.
  int32_t id = static_cast<int32_t>(tick & 0x7FFFFFFFu);
  for (size_t tries = 0; tries <= existing.size(); ++tries) {
    if (id != 0 && !used(id)) return id;
    id = id == INT32_MAX ? 1 : id + 1;
  }
  return id;
}

const char* DayCodeName(int32_t day_code) {
  static constexpr const char* kNames[] = {"CLOSE",  "SUN.",  "MON.", "TUES.",
                                           "WED.",   "THURS.", "FRI.", "SAT.",
                                           "MON. TO FRI.", "SAT. TO SUN."};
  if (day_code >= 0 && day_code <= 9) return kNames[day_code];
  return "EVERY DAY";
}

}  // namespace nvrdlg
