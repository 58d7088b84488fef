#include "nvr/dialogs/model/discovery_add.h"

#include <cstdio>
#include <optional>

#include "nvr/core/engine/activity_log.h"
#include "nvr/dialogs/model/dialog_texts.h"

namespace nvrdlg {
namespace {

constexpr uint32_t kRandomRange = 0x8000;

enum class Step { kStored, kReadFailed, kWriteFailed };

// A name no device has yet; nullopt when the table cannot be read or no draw was free.
std::optional<std::string> UnusedName(nvr::RecorderDb& db, const RandomSource& random, bool* read_failed) {
  std::vector<nvr::DeviceRecord> rows;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const uint32_t first = random() % kRandomRange;  // drawn in order: arguments are not
    const uint32_t second = random() % kRandomRange;
    char name[32];
    std::snprintf(name, sizeof name, "device %X%X", first, second);
    if (!db.DevicesByName(name, &rows)) {
      *read_failed = true;
      return std::nullopt;
    }
    if (rows.empty()) return std::string(name);
  }
  return std::nullopt;
}

// Stores the channels of `device` that the table does not hold yet, appending them to `stored`.
Step StoreChannels(nvr::RecorderDb& db, const FoundDevice& device, const RandomSource& random,
                   std::vector<nvr::DeviceRecord>* stored) {
  std::vector<nvr::DeviceRecord> rows;
  for (int channel = 0; channel < device.channels; ++channel) {
    if (!db.DevicesByAddress(device.address, channel, device.rtsp_port, &rows)) return Step::kReadFailed;
    if (!rows.empty()) continue;
    bool read_failed = false;
    const std::optional<std::string> name = UnusedName(db, random, &read_failed);
    if (!name) return read_failed ? Step::kReadFailed : Step::kWriteFailed;
    nvr::DeviceRecord d;
    d.name = *name;
    d.url = device.address;
    d.rtsp_port = device.rtsp_port;
    d.channel = channel;
    d.username = "admin";
    if (!db.AddDiscoveredDevice(d.name, d.url, d.rtsp_port, d.channel, d.stream_type, d.username, d.password)) {
      return Step::kWriteFailed;
    }
    stored->push_back(std::move(d));
  }
  return Step::kStored;
}

}  // namespace

AddResult AddFoundDevices(nvr::RecorderCore& core, nvr::RecorderDb& db,
                          const std::vector<FoundDevice>& found, const RandomSource& random,
                          nvr::Language language) {
  AddResult result;
  std::vector<nvr::DeviceRecord> rows;
  if (!db.AllDevices(&rows)) {
    result.message = Text(nvr::kStrReadDbFailedShort, language);
    result.close_dialog = true;
    return result;
  }
  std::vector<nvr::DeviceRecord> stored;
  {
    nvr::DbTransaction transaction(db.Connection());
    Step step = transaction.Begun() ? Step::kStored : Step::kWriteFailed;
    for (size_t i = 0; i < found.size() && step == Step::kStored; ++i) {
      step = StoreChannels(db, found[i], random, &stored);
    }
    if (step == Step::kStored && !transaction.Commit()) step = Step::kWriteFailed;
    if (step != Step::kStored) {
      result.message = Text(step == Step::kReadFailed ? nvr::kStrReadDbFailedShort : nvr::kStrDeviceAddFailed,
                            language);
      return result;
    }
  }
  for (const nvr::DeviceRecord& d : stored) {
    result.added.push_back(core.AddDevice(d));
    core.LogOperation(nvr::kOpAddDevice);
  }
  return result;
}

}  // namespace nvrdlg
