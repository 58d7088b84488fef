// Every statement the recorder runs on its database, one named function each, over the one
// connection of the program (database.h). Text values are bound, never formatted into the SQL.
// Names and host addresses compare without regard to ASCII case (the columns are declared
// COLLATE NOCASE by the setup step, db_setup.h).
//
// All functions return false on a database error and never throw; "not found" is an empty
// result, not an error.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "nvr/core/store/database.h"

namespace nvr {

// One row of table DEVICE.
struct DeviceRecord {
  std::string name;         // DEVICE_NAME: unique, the key of single-device updates
  std::string url;          // DEVICE_URL: host without port
  uint16_t rtsp_port = 554; // RTSP_PORT
  int32_t channel = 0;      // CHANNEL, 0-based
  int32_t stream_type = 0;  // STREAM_TYPE: 0 primary, 1 secondary
  int32_t alarm_state = 0;  // ALARM_STATE
  std::string username;     // DEVICE_USERNAME
  std::string password;     // DEVICE_PASSWORD, plain: the Digest login needs it
  int32_t schedule_id = 0;  // SCHEDULE_ID: 0 = operated by hand
  int32_t op_state = 0;     // OP_STATE: 0 disconnected, 1 connected, 2 recording
  std::string depict;       // DEVICE_DEPICT; NULL reads as ""
  // STREAM_URL: an rtsp:// URL for a camera outside the dialect (the standard mode), "" for
  // the dialect's host, port and channel. `url` and `rtsp_port` then hold the URL's host and
  // port (file names and ping use them) and `channel` is 0.
  std::string stream_url;
  int32_t transport = 1;    // TRANSPORT: 1 RTP interleaved in TCP, 0 RTP over UDP
};

// One row of OPERATE_LOG (who = LOG_OPERATER) or RECORD_LOG (who = LOG_DEVICE).
struct LogRecord {
  std::string date;  // "YYYY-MM-DD"
  std::string time;  // "HH:MM:SS"
  int32_t type = 0;
  std::string who;
};

enum class LoginResult {
  kAccepted,
  kRejected,  // no matching user and password (or, at login, more than one)
  kDbFailed,  // the query could not be run
};

class RecorderDb {
 public:
  explicit RecorderDb(DbConnection& conn) : conn_(conn) {}
  // The connection, for statements that belong together (DbTransaction).
  DbConnection& Connection() { return conn_; }

  // All devices in table order (the order they were added).
  bool AllDevices(std::vector<DeviceRecord>* out);
  // Devices with this name (the duplicate-name test).
  bool DevicesByName(std::string_view name, std::vector<DeviceRecord>* out);
  // Devices at this host, channel, port and stream URL (the duplicate-address and
  // already-added tests): two URL devices on one server differ by their URLs only.
  bool DevicesByAddress(std::string_view url, int32_t channel, uint16_t port,
                        std::vector<DeviceRecord>* out, std::string_view stream_url = {});
  // As above, leaving out the device of this name (the duplicate-address test on modify).
  bool DevicesByAddressExcept(std::string_view url, int32_t channel, uint16_t port,
                              std::string_view name, std::vector<DeviceRecord>* out,
                              std::string_view stream_url = {});

  // Adds a device from the dialog; SCHEDULE_ID and OP_STATE take the table's defaults (0) and
  // DEVICE_DEPICT stays NULL.
  bool InsertDevice(const DeviceRecord& device);
  // Adds a device found by discovery: DEVICE_DEPICT NULL, SCHEDULE_ID and OP_STATE 0.
  bool AddDiscoveredDevice(std::string_view name, std::string_view url, uint16_t port,
                           int32_t channel, int32_t stream_type, std::string_view username,
                           std::string_view password);
  // Rewrites name, port, host, channel, alarm state, stream type, user, password, schedule,
  // stream URL and transport of the device called `old_name` (OP_STATE and DEVICE_DEPICT stay).
  bool UpdateDevice(std::string_view old_name, const DeviceRecord& device);
  // Deletes the device at this host, channel, port and stream URL.
  bool DeleteDevice(std::string_view url, int32_t channel, uint16_t port, std::string_view stream_url = {});
  bool DeleteAllDevices();

  // OP_STATE of every device without schedule.
  bool SetManualOpState(int32_t op_state);
  bool SetOpState(std::string_view name, int32_t op_state);
  bool SetScheduleId(std::string_view name, int32_t schedule_id);
  // Devices of a deleted schedule go back to manual operation (SCHEDULE_ID 0).
  bool DetachSchedule(int32_t schedule_id);

  // Login and unlock: accepted when exactly one user of this name has this password.
  LoginResult CheckLogin(std::string_view user, std::string_view password);
  // The current-password test before a change: accepted when any user of this name has it.
  LoginResult CheckOldPassword(std::string_view user, std::string_view password);
  // Stores a fresh hash of `new_password` for the user(s) of this name.
  bool ChangePassword(std::string_view user, std::string_view new_password);

  // Log rows with `from` <= date + " " + time <= `to`, both "YYYY-MM-DD HH:MM:SS" (inclusive).
  bool OperationLog(std::string_view from, std::string_view to, std::vector<LogRecord>* out);
  bool RecordLog(std::string_view from, std::string_view to, std::vector<LogRecord>* out);
  // One row more in OPERATE_LOG (`row.who` = LOG_OPERATER) or RECORD_LOG (LOG_DEVICE).
  bool AddOperationLog(const LogRecord& row);
  bool AddRecordLog(const LogRecord& row);

 private:
  bool QueryDevices(std::string_view sql, DbValues values, std::vector<DeviceRecord>* out);
  bool QueryLog(std::string_view sql, std::string_view who_column, std::string_view from,
                std::string_view to, std::vector<LogRecord>* out);
  int CountMatchingPasswords(std::string_view user, std::string_view password, bool* ok);

  DbConnection& conn_;
};

// The device of the recordset's current row.
DeviceRecord DeviceFromRow(const DbRecordset& rs);

}  // namespace nvr
