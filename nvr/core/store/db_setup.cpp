#include "nvr/core/store/db_setup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "nvr/core/store/database.h"
#include "nvr/core/store/password_hash.h"

namespace nvr {
namespace {

// Text columns that name things compare without regard to ASCII case, so that "Gate" and
// "gate" are one device for the duplicate tests and one user at login. Log dates and times are
// ISO-8601 text ("YYYY-MM-DD", "HH:MM:SS"), so date || ' ' || time orders as a time stamp.
constexpr const char* kSchema[] = {
    "CREATE TABLE DEVICE ("
    " DEVICE_NAME TEXT COLLATE NOCASE,"
    " DEVICE_URL TEXT COLLATE NOCASE,"
    " RTSP_PORT INTEGER,"
    " CHANNEL INTEGER,"
    " STREAM_TYPE INTEGER,"
    " ALARM_STATE INTEGER,"
    " DEVICE_USERNAME TEXT,"
    " DEVICE_PASSWORD TEXT,"
    " SCHEDULE_ID INTEGER DEFAULT 0,"
    " OP_STATE INTEGER DEFAULT 0,"
    " DEVICE_DEPICT TEXT,"
    " STREAM_URL TEXT,"
    " TRANSPORT INTEGER DEFAULT 1)",
    "CREATE TABLE LOGUSER (USER_NAME TEXT COLLATE NOCASE, PASSWORD TEXT)",
    "CREATE TABLE OPERATE_LOG (LOG_DATE TEXT, LOG_TIME TEXT, LOG_TYPE INTEGER, LOG_OPERATER TEXT)",
    "CREATE TABLE RECORD_LOG (LOG_DATE TEXT, LOG_TIME TEXT, LOG_TYPE INTEGER, LOG_DEVICE TEXT)",
};

bool EnsurePrivateFolder(const std::string& folder) {
  if (mkdir(folder.c_str(), 0700) == 0) return true;
  struct stat st {};
  return errno == EEXIST && stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The empty file, created exclusively so that an existing database is never overwritten.
bool CreateEmptyFile(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const bool ok = fchmod(fd, 0600) == 0;  // whatever the umask left
  close(fd);
  return ok;
}

bool CreateTables(const std::string& path, const std::string& admin_hash) {
  DbConnection conn;
  if (!DbOpen(conn, path) || !DbExecute(conn, "BEGIN")) return false;
  for (const char* sql : kSchema) {
    if (!DbExecute(conn, sql)) return false;
  }
  return DbExecute(conn, "INSERT INTO LOGUSER (USER_NAME, PASSWORD) VALUES (?, ?)",
                   {"admin", admin_hash}) &&
         DbExecute(conn, "COMMIT");
}

// Columns added since the first schema, with the statement that adds each to an older
// database. Rows that existed keep NULL (STREAM_URL: a dialect device) or the default.
struct AddedColumn {
  const char* name;
  const char* sql;
};
constexpr AddedColumn kAddedDeviceColumns[] = {
    {"STREAM_URL", "ALTER TABLE DEVICE ADD COLUMN STREAM_URL TEXT"},
    {"TRANSPORT", "ALTER TABLE DEVICE ADD COLUMN TRANSPORT INTEGER DEFAULT 1"},
};

}  // namespace

bool UpgradeDatabase(DbConnection& conn) {
  DbRecordset columns;
  if (DbOpenRecordset(columns, conn, "PRAGMA table_info(DEVICE)") != 1 || columns.IsEof()) return false;
  std::vector<std::string> names;
  for (; !columns.IsEof(); columns.MoveNext()) names.push_back(columns.Text("name"));
  for (const AddedColumn& column : kAddedDeviceColumns) {
    const bool present = std::any_of(names.begin(), names.end(),
                                     [&](const std::string& n) { return strcasecmp(n.c_str(), column.name) == 0; });
    if (!present && DbExecute(conn, column.sql) != 1) return false;
  }
  return true;
}

std::string DatabasePath(const std::string& home) { return home + "/NVRData/NVR.db"; }

bool InitDatabase(const std::string& home, const std::string& admin_password) {
  if (home.empty() || admin_password.empty()) return false;
  const std::optional<std::string> hash = HashPassword(admin_password);
  if (!hash) return false;
  if (!EnsurePrivateFolder(home + "/NVRData")) return false;
  const std::string path = DatabasePath(home);
  if (!CreateEmptyFile(path)) return false;
  if (CreateTables(path, *hash)) return true;
  unlink(path.c_str());
  unlink((path + "-journal").c_str());
  return false;
}

}  // namespace nvr
