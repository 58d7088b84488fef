#include "nvr/core/engine/device_list.h"

#include <cstdio>
#include <cstring>

namespace nvr {
namespace {

// Copies `text` with its terminator into a fixed field; false when it does not fit.
template <size_t N>
bool CopyField(char (&field)[N], const std::string& text) {
  if (text.size() >= N || text.find('\0') != std::string::npos) return false;
  std::memcpy(field, text.c_str(), text.size() + 1);
  return true;
}

}  // namespace

DeviceEntry* DeviceList::FindById(int32_t id) {
  for (DeviceEntry& e : entries_) {
    if (e.id == id) return &e;
  }
  return nullptr;
}

int DeviceList::RowOf(int32_t id) const {
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].id == id) return static_cast<int>(i);
  }
  return -1;
}

DeviceEntry& DeviceList::Append(const DeviceRecord& record) {
  DeviceEntry entry = EntryFromRecord(record);
  entry.id = next_id_++;
  entries_.push_back(std::move(entry));
  return entries_.back();
}

void DeviceList::RemoveRow(size_t row) {
  if (row < entries_.size()) entries_.erase(entries_.begin() + static_cast<ptrdiff_t>(row));
}

DeviceEntry EntryFromRecord(const DeviceRecord& record) {
  DeviceEntry e;
  e.name = record.name;
  e.host = record.url;
  e.port = record.rtsp_port;
  e.channel = record.channel;
  e.stream_type = record.stream_type;
  e.alarm_state = record.alarm_state;
  e.user = record.username;
  e.password = record.password;
  e.schedule_id = record.schedule_id;
  e.op_state = record.op_state;
  e.stream_url = record.stream_url;
  e.transport = record.transport == 0 ? 0 : 1;
  return e;
}

DeviceRecord RecordFromEntry(const DeviceEntry& entry) {
  DeviceRecord r;
  r.name = entry.name;
  r.url = entry.host;
  r.rtsp_port = entry.port;
  r.channel = entry.channel;
  r.stream_type = entry.stream_type;
  r.alarm_state = entry.alarm_state;
  r.username = entry.user;
  r.password = entry.password;
  r.schedule_id = entry.schedule_id;
  r.op_state = entry.op_state;
  return r;
}

std::optional<NvrClientParams> MakeClientParams(const DeviceEntry& entry,
                                                qvp::WindowHandle window) {
  NvrClientParams p;
  std::memset(&p, 0, sizeof p);
  p.transport = static_cast<int16_t>(entry.transport == 0 ? 0 : 1);
  p.stream_number = static_cast<uint8_t>(entry.channel + (entry.stream_type == 1 ? 4 : 0));
  p.notify_window = window;
  p.notify_message = kClientMessageBase + static_cast<uint32_t>(entry.id);
  if (!entry.stream_url.empty()) {
    // A camera outside the dialect: the library takes the URL as its address.
    if (!CopyField(p.address, entry.stream_url)) return std::nullopt;
  } else {
    if (entry.host.find('\0') != std::string::npos) return std::nullopt;
    const int n = std::snprintf(p.address, sizeof p.address, "%s:%d", entry.host.c_str(),
                                static_cast<int>(entry.port));
    if (n < 0 || static_cast<size_t>(n) >= sizeof p.address) return std::nullopt;
  }
  std::memcpy(p.name, "admin", 6);
  if (!CopyField(p.user, entry.user) || !CopyField(p.password, entry.password)) {
    return std::nullopt;
  }
  return p;
}

}  // namespace nvr
