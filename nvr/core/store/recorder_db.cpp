#include "nvr/core/store/recorder_db.h"

#include <optional>

#include "nvr/core/store/password_hash.h"

namespace nvr {
namespace {

constexpr std::string_view kAllDevices = "SELECT * FROM DEVICE ORDER BY rowid";
constexpr std::string_view kDevicesByName =
    "SELECT * FROM DEVICE WHERE DEVICE_NAME = ? ORDER BY rowid";
// A device's address is its host, channel, port and stream URL (empty or NULL for the dialect).
constexpr std::string_view kDevicesByAddress =
    "SELECT * FROM DEVICE WHERE DEVICE_URL = ? AND CHANNEL = ? AND RTSP_PORT = ?"
    " AND IFNULL(STREAM_URL, '') = ? ORDER BY rowid";
constexpr std::string_view kDevicesByAddressExcept =
    "SELECT * FROM DEVICE WHERE DEVICE_URL = ? AND CHANNEL = ? AND RTSP_PORT = ?"
    " AND IFNULL(STREAM_URL, '') = ? AND DEVICE_NAME <> ? ORDER BY rowid";
constexpr std::string_view kInsertDevice =
    "INSERT INTO DEVICE(DEVICE_NAME, RTSP_PORT, DEVICE_URL, CHANNEL, ALARM_STATE, STREAM_TYPE,"
    " DEVICE_USERNAME, DEVICE_PASSWORD, STREAM_URL, TRANSPORT) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
constexpr std::string_view kAddDiscovered =
    "INSERT INTO DEVICE(DEVICE_NAME, CHANNEL, DEVICE_URL, RTSP_PORT, DEVICE_DEPICT, STREAM_TYPE,"
    " DEVICE_USERNAME, DEVICE_PASSWORD) VALUES(?, ?, ?, ?, NULL, ?, ?, ?)";
constexpr std::string_view kUpdateDevice =
    "UPDATE DEVICE SET DEVICE_NAME = ?, RTSP_PORT = ?, DEVICE_URL = ?, CHANNEL = ?,"
    " ALARM_STATE = ?, STREAM_TYPE = ?, DEVICE_USERNAME = ?, DEVICE_PASSWORD = ?,"
    " SCHEDULE_ID = ?, STREAM_URL = ?, TRANSPORT = ? WHERE DEVICE_NAME = ?";
// The port belongs to the key: two cameras behind one address differ only by it, and deleting
// one of them must not take the other out of the table.
constexpr std::string_view kDeleteDevice =
    "DELETE FROM DEVICE WHERE DEVICE_URL = ? AND CHANNEL = ? AND RTSP_PORT = ?"
    " AND IFNULL(STREAM_URL, '') = ?";
constexpr std::string_view kDeleteAllDevices = "DELETE FROM DEVICE";
constexpr std::string_view kSetManualOpState = "UPDATE DEVICE SET OP_STATE = ? WHERE SCHEDULE_ID = 0";
constexpr std::string_view kSetOpState = "UPDATE DEVICE SET OP_STATE = ? WHERE DEVICE_NAME = ?";
constexpr std::string_view kSetScheduleId = "UPDATE DEVICE SET SCHEDULE_ID = ? WHERE DEVICE_NAME = ?";
constexpr std::string_view kDetachSchedule =
    "UPDATE DEVICE SET SCHEDULE_ID = 0 WHERE SCHEDULE_ID = ?";
// Passwords are hashes with their own salt, so the SQL finds the user and the hash is checked
// here; the comparison of the password itself is exact (case-sensitive).
constexpr std::string_view kUserPasswords = "SELECT PASSWORD FROM LOGUSER WHERE USER_NAME = ?";
constexpr std::string_view kChangePassword = "UPDATE LOGUSER SET PASSWORD = ? WHERE USER_NAME = ?";
constexpr std::string_view kOperationLog =
    "SELECT * FROM OPERATE_LOG WHERE LOG_DATE || ' ' || LOG_TIME >= ?"
    " AND LOG_DATE || ' ' || LOG_TIME <= ? ORDER BY rowid";
constexpr std::string_view kRecordLog =
    "SELECT * FROM RECORD_LOG WHERE LOG_DATE || ' ' || LOG_TIME >= ?"
    " AND LOG_DATE || ' ' || LOG_TIME <= ? ORDER BY rowid";

constexpr std::string_view kAddOperationLog =
    "INSERT INTO OPERATE_LOG(LOG_DATE, LOG_TIME, LOG_TYPE, LOG_OPERATER) VALUES(?, ?, ?, ?)";
constexpr std::string_view kAddRecordLog =
    "INSERT INTO RECORD_LOG(LOG_DATE, LOG_TIME, LOG_TYPE, LOG_DEVICE) VALUES(?, ?, ?, ?)";
// An empty view may carry no pointer, which would bind as NULL; the address tests compare with
// '' for the dialect's devices.
std::string_view NotNull(std::string_view text) { return text.data() == nullptr ? std::string_view("") : text; }

}  // namespace

DeviceRecord DeviceFromRow(const DbRecordset& rs) {
  DeviceRecord d;
  d.name = rs.Text("DEVICE_NAME");
  d.url = rs.Text("DEVICE_URL");
  d.rtsp_port = static_cast<uint16_t>(rs.Int("RTSP_PORT"));
  d.channel = rs.Int("CHANNEL");
  d.stream_type = rs.Int("STREAM_TYPE");
  d.alarm_state = rs.Int("ALARM_STATE");
  d.username = rs.Text("DEVICE_USERNAME");
  d.password = rs.Text("DEVICE_PASSWORD");
  d.schedule_id = rs.Int("SCHEDULE_ID");
  d.op_state = rs.Int("OP_STATE");
  d.depict = rs.Text("DEVICE_DEPICT");
  d.stream_url = rs.Text("STREAM_URL");
  // A row written before the column existed (NULL) is a TCP device, as every device was.
  d.transport = rs.IsNull("TRANSPORT") ? 1 : (rs.Int("TRANSPORT") == 0 ? 0 : 1);
  return d;
}

bool RecorderDb::QueryDevices(std::string_view sql, DbValues values,
                              std::vector<DeviceRecord>* out) {
  out->clear();
  DbRecordset rs;
  if (!DbOpenRecordset(rs, conn_, sql, values)) return false;
  try {
    out->reserve(rs.RecordCount());
    for (; !rs.IsEof(); rs.MoveNext()) out->push_back(DeviceFromRow(rs));
  } catch (...) {
    out->clear();
    return false;
  }
  return true;
}

bool RecorderDb::AllDevices(std::vector<DeviceRecord>* out) {
  return QueryDevices(kAllDevices, {}, out);
}

bool RecorderDb::DevicesByName(std::string_view name, std::vector<DeviceRecord>* out) {
  return QueryDevices(kDevicesByName, {name}, out);
}

bool RecorderDb::DevicesByAddress(std::string_view url, int32_t channel, uint16_t port,
                                  std::vector<DeviceRecord>* out, std::string_view stream_url) {
  return QueryDevices(kDevicesByAddress, {url, channel, port, NotNull(stream_url)}, out);
}

bool RecorderDb::DevicesByAddressExcept(std::string_view url, int32_t channel, uint16_t port,
                                        std::string_view name, std::vector<DeviceRecord>* out,
                                        std::string_view stream_url) {
  return QueryDevices(kDevicesByAddressExcept, {url, channel, port, NotNull(stream_url), name}, out);
}

bool RecorderDb::InsertDevice(const DeviceRecord& d) {
  return DbExecute(conn_, kInsertDevice,
                   {d.name, d.rtsp_port, d.url, d.channel, d.alarm_state, d.stream_type,
                    d.username, d.password, d.stream_url, d.transport}) == 1;
}

bool RecorderDb::AddDiscoveredDevice(std::string_view name, std::string_view url, uint16_t port,
                                     int32_t channel, int32_t stream_type,
                                     std::string_view username, std::string_view password) {
  return DbExecute(conn_, kAddDiscovered,
                   {name, channel, url, port, stream_type, username, password}) == 1;
}

bool RecorderDb::UpdateDevice(std::string_view old_name, const DeviceRecord& d) {
  return DbExecute(conn_, kUpdateDevice,
                   {d.name, d.rtsp_port, d.url, d.channel, d.alarm_state, d.stream_type,
                    d.username, d.password, d.schedule_id, d.stream_url, d.transport, old_name}) == 1;
}

bool RecorderDb::DeleteDevice(std::string_view url, int32_t channel, uint16_t port, std::string_view stream_url) {
  return DbExecute(conn_, kDeleteDevice, {url, channel, port, NotNull(stream_url)}) == 1;
}

bool RecorderDb::DeleteAllDevices() { return DbExecute(conn_, kDeleteAllDevices) == 1; }

bool RecorderDb::SetManualOpState(int32_t op_state) {
  return DbExecute(conn_, kSetManualOpState, {op_state}) == 1;
}

bool RecorderDb::SetOpState(std::string_view name, int32_t op_state) {
  return DbExecute(conn_, kSetOpState, {op_state, name}) == 1;
}

bool RecorderDb::SetScheduleId(std::string_view name, int32_t schedule_id) {
  return DbExecute(conn_, kSetScheduleId, {schedule_id, name}) == 1;
}

bool RecorderDb::DetachSchedule(int32_t schedule_id) {
  return DbExecute(conn_, kDetachSchedule, {schedule_id}) == 1;
}

int RecorderDb::CountMatchingPasswords(std::string_view user, std::string_view password,
                                       bool* ok) {
  DbRecordset rs;
  *ok = DbOpenRecordset(rs, conn_, kUserPasswords, {user}) == 1;
  int matches = 0;
  try {
    for (; *ok && !rs.IsEof(); rs.MoveNext()) {
      if (VerifyPassword(rs.Text("PASSWORD"), password)) ++matches;
    }
  } catch (...) {
    *ok = false;
  }
  return matches;
}

LoginResult RecorderDb::CheckLogin(std::string_view user, std::string_view password) {
  bool ok = false;
  const int matches = CountMatchingPasswords(user, password, &ok);
  if (!ok) return LoginResult::kDbFailed;
  return matches == 1 ? LoginResult::kAccepted : LoginResult::kRejected;
}

LoginResult RecorderDb::CheckOldPassword(std::string_view user, std::string_view password) {
  bool ok = false;
  const int matches = CountMatchingPasswords(user, password, &ok);
  if (!ok) return LoginResult::kDbFailed;
  return matches > 0 ? LoginResult::kAccepted : LoginResult::kRejected;
}

bool RecorderDb::ChangePassword(std::string_view user, std::string_view new_password) {
  try {
    const std::optional<std::string> hash = HashPassword(new_password);
    return hash && DbExecute(conn_, kChangePassword, {*hash, user}) == 1;
  } catch (...) {
    return false;
  }
}

bool RecorderDb::QueryLog(std::string_view sql, std::string_view who_column,
                          std::string_view from, std::string_view to,
                          std::vector<LogRecord>* out) {
  out->clear();
  DbRecordset rs;
  if (!DbOpenRecordset(rs, conn_, sql, {from, to})) return false;
  try {
    out->reserve(rs.RecordCount());
    for (; !rs.IsEof(); rs.MoveNext()) {
      out->push_back({rs.Text("LOG_DATE"), rs.Text("LOG_TIME"), rs.Int("LOG_TYPE"),
                      rs.Text(who_column)});
    }
  } catch (...) {
    out->clear();
    return false;
  }
  return true;
}

bool RecorderDb::OperationLog(std::string_view from, std::string_view to,
                              std::vector<LogRecord>* out) {
  return QueryLog(kOperationLog, "LOG_OPERATER", from, to, out);
}

bool RecorderDb::RecordLog(std::string_view from, std::string_view to,
                           std::vector<LogRecord>* out) {
  return QueryLog(kRecordLog, "LOG_DEVICE", from, to, out);
}

bool RecorderDb::AddOperationLog(const LogRecord& row) {
  return DbExecute(conn_, kAddOperationLog, {row.date, row.time, row.type, row.who}) == 1;
}

bool RecorderDb::AddRecordLog(const LogRecord& row) {
  return DbExecute(conn_, kAddRecordLog, {row.date, row.time, row.type, row.who}) == 1;
}

}  // namespace nvr
