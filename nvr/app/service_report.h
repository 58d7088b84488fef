// What the service tells the person or the journal watching its output: one line per event,
// stamped with the local time. Device states read as the device list would show them
// ("Connecting...", "Connected successfully", "Reconnect...", "Unauthorized"), recording files
// as they are opened and closed, and changes of the recording drive.
#pragma once

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "nvr/core/engine/recorder_core.h"
#include "nvr/core/engine/recorder_state.h"
#include "nvr/core/engine/recording_library.h"
#include "nvr/core/store/drives.h"
#include "nvr/core/engine/strings.h"

namespace nvrapp {

class StatusPrinter final : public nvr::CoreObserver {
 public:
  StatusPrinter(nvr::Language language, nvr::DriveMap drives, std::FILE* out);

  // The core whose devices and drive are reported; set before the core starts.
  void Attach(nvr::RecorderCore* core) { core_ = core; }

  void DeviceChanged(int32_t id) override;
  void Notice(int32_t id, const std::string& text) override;
  // A recording file of the client `client` was opened (started) or closed.
  void FileEvent(nvr::ClientHandle client, const std::string& path, bool started);
  // Called once a second: the recording drive and the disks-full flag.
  void CheckDrives();

  void Line(const char* format, ...) __attribute__((format(printf, 2, 3)));

 private:
  std::string DeviceNameOf(nvr::ClientHandle client);

  nvr::Language language_;
  nvr::DriveMap drives_;
  std::FILE* out_;
  nvr::RecorderCore* core_ = nullptr;
  std::map<int32_t, int32_t> last_status_;   // device id -> status text shown last
  std::map<int32_t, uint32_t> last_record_;  // device id -> record text shown last
  char last_drive_ = 0;
  bool last_disks_full_ = false;
};

// The recording library as the core sees it, reporting every file it opens and closes. Core
// thread only, like the library calls themselves.
class ReportingLibrary final : public nvr::RecordingLibrary {
 public:
  ReportingLibrary(std::unique_ptr<nvr::RecordingLibrary> inner, StatusPrinter* printer)
      : inner_(std::move(inner)), printer_(printer) {}

  int Startup() override { return inner_->Startup(); }
  int SetWaitTime(int connect_timeout, int retry_count, int reconnect_interval) override {
    return inner_->SetWaitTime(connect_timeout, retry_count, reconnect_interval);
  }
  nvr::ClientHandle ClientStart(const NvrClientParams& params) override {
    return inner_->ClientStart(params);
  }
  int ClientStop(nvr::ClientHandle h) override;
  int ClientStartRecord(nvr::ClientHandle h, const std::string& path, int seconds) override;
  int ClientStopRecord(nvr::ClientHandle h) override;

 private:
  void Closed(nvr::ClientHandle h);

  std::unique_ptr<nvr::RecordingLibrary> inner_;
  StatusPrinter* printer_;
  std::map<nvr::ClientHandle, std::string> files_;  // the file each client is writing
};

}  // namespace nvrapp
