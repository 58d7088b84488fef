// One configured device as the recorder holds it in memory while it runs: its identity (from
// the database) and the state of its recording client. Rows of the device list and entries of
// the device array correspond one to one, in list order.
#pragma once

#include <cstdint>
#include <string>

#include "nvr/core/engine/recording_library.h"

namespace nvr {

// Display state of a device (the "Device Status" column).
enum DeviceState : int32_t {
  kStateNone = 0,
  kStateConnecting = 1,
  kStateConnected = 3,
  kStateReconnecting = 4,
  kStateUnauthorized = 5,
};

// Row image of the device list: what the ping last found.
enum RowImage : int32_t {
  kImageNotPinged = 0,
  kImageReachable = 1,  // host answered or device connected
  kImageUnreachable = 2,
};

struct DeviceEntry {
  int32_t id = 0;             // running identifier from 1, unique within the run
  ClientHandle client = 0;    // recording client; 0 = none
  bool connected = false;     // the library reported connected
  int32_t state = kStateNone;
  bool recording = false;
  uint32_t record_start = 0;  // tick count when the current file was started
  bool record_on_connect = false;
  // A manual device told to record: a recording that ends without being told to (a split or a
  // restart whose new file could not start, a full disk) is started again.
  bool record_wanted = false;
  // Back-off of recording starts that failed: no new attempt before `record_retry_at`, and the
  // wait doubles with each failure (0: no failure since the last start).
  uint32_t record_retry_at = 0;
  uint32_t record_retry_ms = 0;
  int32_t op_state = 0;       // OP_STATE as loaded: 0 disconnected, 1 connected, 2 recording
  int32_t channel = 0;        // 0-based
  int32_t alarm_state = 0;
  int32_t stream_type = 0;    // 0 primary, 1 secondary
  std::string name;
  std::string host;
  std::string user;
  std::string password;
  uint16_t port = 554;
  // An rtsp:// URL for a camera outside the dialect ("" for the dialect's host, port and
  // channel); host and port are then the URL's.
  std::string stream_url;
  int32_t transport = 1;      // 1 RTP interleaved in TCP, 0 RTP over UDP
  int32_t schedule_id = 0;    // 0 = operated by hand
  int32_t row_image = kImageNotPinged;
  // The camera's last motion mask and alarm value while connected (what the log tables note).
  int32_t motion_mask = 0;
  int32_t alarm_value = 0;

  bool IsManual() const { return schedule_id == 0; }

  // After any stop of the client: the client state goes, the identity stays.
  void Clear() {
    client = 0;
    connected = false;
    state = kStateNone;
    recording = false;
    record_start = 0;
    record_on_connect = false;
    record_wanted = false;
    record_retry_at = 0;
    record_retry_ms = 0;
    op_state = 0;
    motion_mask = 0;
    alarm_value = 0;
  }
};

}  // namespace nvr
