// Where the recorder's database lives and the one-time setup step that creates it. The
// program itself never creates the database or any table: a missing database is an error at
// start ("Connect database failed").
#pragma once

#include <string>

namespace nvr {

// "<home>/NVRData/NVR.db" for the program folder `home`.
std::string DatabasePath(const std::string& home);

// Creates "<home>/NVRData" (mode 0700) when missing and a new database there (mode 0600: device
// passwords are stored recoverable, since Digest logins need them) with the tables DEVICE,
// LOGUSER, OPERATE_LOG and RECORD_LOG and the user "admin" with `admin_password` (stored as a
// hash). Refuses (false) to touch an existing database and refuses an empty password (use
// GeneratePassword() of password_hash.h). A failure part-way leaves no database behind.
bool InitDatabase(const std::string& home, const std::string& admin_password);

class DbConnection;

// Brings a database made by an earlier version up to the current schema: the DEVICE columns
// STREAM_URL and TRANSPORT are added when missing (existing devices keep working as dialect
// devices over TCP). Runs after every open by the program and the setup commands; false when
// the table cannot be read or changed.
bool UpgradeDatabase(DbConnection& conn);

}  // namespace nvr
