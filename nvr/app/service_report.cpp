#include "nvr/app/service_report.h"

#include <sys/stat.h>

#include <cstdarg>
#include <ctime>

#include "nvr/core/engine/recorder_core.h"
#include "nvr/core/store/text_log.h"

namespace nvrapp {

StatusPrinter::StatusPrinter(nvr::Language language, nvr::DriveMap drives, std::FILE* out)
    : language_(language), drives_(std::move(drives)), out_(out) {}

void StatusPrinter::Line(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string line = nvr::TimestampedLineNow(format, args);
  va_end(args);
  std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
}

void StatusPrinter::DeviceChanged(int32_t id) {
  if (core_ == nullptr) return;
  const std::optional<nvr::DeviceEntry> e = core_->Device(id);
  if (!e) return;
  const int32_t status = nvr::StatusTextId(e->state);
  if (status >= 0 && status != last_status_[id]) {
    last_status_[id] = status;
    Line("%s: %s", e->name.c_str(),
         status == 0 ? "Disconnected" : nvr::LoadString(static_cast<uint32_t>(status), language_));
  }
  // "Recording..." is reported with its file; a recording without connection is news.
  const uint32_t record = nvr::RecordTextId(*e);
  if (record != last_record_[id]) {
    last_record_[id] = record;
    if (record == nvr::kStrRecordFailed) {
      Line("%s: %s", e->name.c_str(), nvr::LoadString(record, language_));
    }
  }
}

void StatusPrinter::Notice(int32_t id, const std::string& text) {
  std::string name;
  if (core_ != nullptr && id != 0) {
    if (const std::optional<nvr::DeviceEntry> e = core_->Device(id)) name = e->name;
  }
  if (name.empty()) {
    Line("%s", text.c_str());
  } else {
    Line("%s: %s", name.c_str(), text.c_str());
  }
}

std::string StatusPrinter::DeviceNameOf(nvr::ClientHandle client) {
  if (core_ == nullptr) return "?";
  for (const nvr::DeviceEntry& e : core_->Devices()) {
    if (e.client == client) return e.name;
  }
  return "?";
}

void StatusPrinter::FileEvent(nvr::ClientHandle client, const std::string& path, bool started) {
  const std::string name = DeviceNameOf(client);
  if (started) {
    Line("%s: recording into %s", name.c_str(), path.c_str());
    return;
  }
  struct stat st {};
  if (stat(path.c_str(), &st) == 0) {
    Line("%s: file closed %s (%lld bytes)", name.c_str(), path.c_str(),
         static_cast<long long>(st.st_size));
  } else {
    Line("%s: file closed %s (nothing was written)", name.c_str(), path.c_str());
  }
}

void StatusPrinter::CheckDrives() {
  if (core_ == nullptr) return;
  const char drive = core_->CurrentDrive();
  if (drive != last_drive_) {
    last_drive_ = drive;
    const std::optional<std::string> root = drives_.Root(drive);
    if (drive == 0 || !root) {
      Line("no recording drive: nothing can be recorded (QV_NVR --drive)");
    } else {
      Line("recording drive %c (%s, reserve %u MB)", drive, root->c_str(), core_->CurrentReserve());
    }
  }
  const bool full = core_->DisksFull();
  if (full != last_disks_full_) {
    last_disks_full_ = full;
    Line(full ? "all drives are full: recording stopped" : "room on the drives again");
  }
}

int ReportingLibrary::ClientStop(nvr::ClientHandle h) {
  const int result = inner_->ClientStop(h);
  Closed(h);  // the recording ends with its client
  return result;
}

int ReportingLibrary::ClientStartRecord(nvr::ClientHandle h, const std::string& path, int seconds) {
  const int result = inner_->ClientStartRecord(h, path, seconds);
  if (result != 0) {
    files_[h] = path;
    printer_->FileEvent(h, path, true);
  }
  return result;
}

int ReportingLibrary::ClientStopRecord(nvr::ClientHandle h) {
  const int result = inner_->ClientStopRecord(h);
  Closed(h);
  return result;
}

void ReportingLibrary::Closed(nvr::ClientHandle h) {
  const auto it = files_.find(h);
  if (it == files_.end()) return;
  const std::string path = std::move(it->second);
  files_.erase(it);
  printer_->FileEvent(h, path, false);
}

}  // namespace nvrapp
