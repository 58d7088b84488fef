// Adding the devices that discovery found: one DEVICE row per channel of each camera ticked,
// named "device %X%X" after two random numbers (upper-case hexadecimal), user "admin", an empty
// password, the primary stream, no schedule and no description; a channel already in the table
// (same address, channel and port) is skipped, so adding the same camera again adds nothing.
//
// Beyond that plain rule: a random name that some device already has is drawn
// again (two devices of one name would be changed together by every later update); the rows of
// one Add are stored in one transaction, so a database that fails midway leaves the table as it
// was and the failure is reported (114 reading, 144 writing); the core hears of the new devices
// only once they are stored.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "nvr/core/engine/recorder_core.h"
#include "nvr/core/engine/strings.h"
#include "nvr/core/store/recorder_db.h"

namespace nvrdlg {

struct FoundDevice {
  std::string address;
  uint16_t rtsp_port = 0;
  int channels = 0;
};

struct AddResult {
  std::vector<int32_t> added;  // ids of the new devices in the core, in order
  std::string message;         // a failure's box ("" when none)
  bool close_dialog = false;   // the device table could not be read: the dialog closes
};

// Random numbers for the names; "%X" of each modulo 0x8000 (15 bits, as rand() gives).
using RandomSource = std::function<uint32_t()>;

inline constexpr int kNameAttempts = 64;

AddResult AddFoundDevices(nvr::RecorderCore& core, nvr::RecorderDb& db,
                          const std::vector<FoundDevice>& found, const RandomSource& random,
                          nvr::Language language);

}  // namespace nvrdlg
