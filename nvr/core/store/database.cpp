#include "nvr/core/store/database.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <ctime>
#include <memory>

namespace nvr {
namespace {

// Another connection's short write transaction is waited for rather than failed.
constexpr int kBusyTimeoutMs = 5000;
// A compaction holds the folder lock for as long as it copies; opening waits this long for it.
constexpr int kFolderLockWaitMs = 30000;
constexpr int kFolderLockPollMs = 20;

struct StmtDeleter {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Stmt = std::unique_ptr<sqlite3_stmt, StmtDeleter>;

struct DbDeleter {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using DbHandle = std::unique_ptr<sqlite3, DbDeleter>;

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

void SleepRealMs(int ms) {
  timespec ts{ms / 1000, (ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// SQLite gives "" and ":memory:" special meanings; a database path is always a file.
std::string FileName(const std::string& path) { return path[0] == ':' ? "./" + path : path; }

int OpenFolder(const std::string& path) {
  return open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// Shared lock for a connection. Only a compaction in progress makes it wait; a file system
// without flock gives no lock, and then compaction (which needs it exclusively) never runs.
bool LockFolderShared(int fd) {
  for (int waited = 0; waited <= kFolderLockWaitMs; waited += kFolderLockPollMs) {
    if (flock(fd, LOCK_SH | LOCK_NB) == 0) return true;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return true;
    SleepRealMs(kFolderLockPollMs);
  }
  return false;
}

bool OnlyBlanks(std::string_view tail) {
  for (const char c : tail) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != ';') return false;
  }
  return true;
}

bool Bind(sqlite3_stmt* stmt, DbValues values) {
  if (sqlite3_bind_parameter_count(stmt) != static_cast<int>(values.size())) return false;
  int index = 1;
  for (const DbValue& v : values) {
    int rc = SQLITE_OK;
    switch (v.kind()) {
      case DbValue::Kind::kNull:
        rc = sqlite3_bind_null(stmt, index);
        break;
      case DbValue::Kind::kInt:
        rc = sqlite3_bind_int64(stmt, index, v.int_value());
        break;
      case DbValue::Kind::kText:
        if (v.text().size() > static_cast<size_t>(INT_MAX)) return false;
        rc = sqlite3_bind_text(stmt, index, v.text().data(), static_cast<int>(v.text().size()),
                               SQLITE_TRANSIENT);
        break;
    }
    if (rc != SQLITE_OK) return false;
    ++index;
  }
  return true;
}

// One statement, fully bound; null on any error (several statements in one text count as one).
Stmt Prepare(sqlite3* db, std::string_view sql, DbValues values) {
  if (db == nullptr || sql.size() > static_cast<size_t>(INT_MAX)) return nullptr;
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &raw, &tail) != SQLITE_OK) {
    return nullptr;
  }
  Stmt stmt(raw);
  if (stmt == nullptr) return nullptr;
  if (tail != nullptr && !OnlyBlanks(sql.substr(static_cast<size_t>(tail - sql.data())))) {
    return nullptr;
  }
  if (!Bind(stmt.get(), values)) return nullptr;
  return stmt;
}

// Steps to the end, ignoring rows; bounded like a recordset.
bool RunToEnd(sqlite3_stmt* stmt) {
  for (size_t rows = 0; rows <= kMaxRecordsetRows; ++rows) {
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE) return true;
    if (rc != SQLITE_ROW) return false;
  }
  return false;
}

bool IsDatabase(sqlite3* db) {
  Stmt stmt = Prepare(db, "SELECT count(*) FROM sqlite_schema", {});
  return stmt != nullptr && RunToEnd(stmt.get());
}

DbHandle OpenReadWrite(const std::string& path) {
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(FileName(path).c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  DbHandle db(raw);
  if (rc != SQLITE_OK) return nullptr;
  sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
  if (!IsDatabase(db.get())) return nullptr;
  return db;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool SyncFile(const std::string& path, mode_t mode) {
  Fd fd(open(path.c_str(), O_RDWR | O_CLOEXEC));
  if (fd.get() < 0) return false;
  return fchmod(fd.get(), mode) == 0 && fsync(fd.get()) == 0;
}

// The compacted copy, durable and with the database's mode, renamed over the database.
bool ReplaceWithCopy(const std::string& path, const std::string& temp, int folder_fd) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (!SyncFile(temp, st.st_mode & 07777)) return false;
  if (rename(temp.c_str(), path.c_str()) != 0) return false;
  fsync(folder_fd);  // the rename itself; the data are already safe in either file
  return true;
}

bool CompactLocked(const std::string& path, const std::string& temp, int folder_fd) {
  {
    DbHandle source = OpenReadWrite(path);
    if (source == nullptr) return false;
    Stmt vacuum = Prepare(source.get(), "VACUUM INTO ?", {temp});
    if (vacuum == nullptr || !RunToEnd(vacuum.get())) return false;
  }
  return ReplaceWithCopy(path, temp, folder_fd);
}

}  // namespace

DbConnection::DbConnection(DbConnection&& other) noexcept
    : db_(other.db_), folder_lock_fd_(other.folder_lock_fd_) {
  other.db_ = nullptr;
  other.folder_lock_fd_ = -1;
}

DbConnection& DbConnection::operator=(DbConnection&& other) noexcept {
  if (this != &other) {
    Close();
    db_ = other.db_;
    folder_lock_fd_ = other.folder_lock_fd_;
    other.db_ = nullptr;
    other.folder_lock_fd_ = -1;
  }
  return *this;
}

void DbConnection::Close() {
  if (db_ != nullptr) sqlite3_close_v2(db_);
  db_ = nullptr;
  if (folder_lock_fd_ >= 0) close(folder_lock_fd_);  // releases the flock
  folder_lock_fd_ = -1;
}

void DbRecordset::Close() {
  open_ = false;
  pos_ = 0;
  columns_.clear();
  rows_.clear();
}

int DbRecordset::ColumnIndex(std::string_view column) const {
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (EqualNoCase(columns_[i], column)) return static_cast<int>(i);
  }
  return -1;
}

const DbRecordset::Field* DbRecordset::CurrentField(std::string_view column) const {
  if (IsEof()) return nullptr;
  const int index = ColumnIndex(column);
  if (index < 0) return nullptr;
  const Field& f = rows_[pos_][static_cast<size_t>(index)];
  return f.is_null ? nullptr : &f;
}

std::string DbRecordset::Text(std::string_view column) const {
  const Field* f = CurrentField(column);
  return f != nullptr ? f->text : std::string();
}

int32_t DbRecordset::Int(std::string_view column) const {
  const Field* f = CurrentField(column);
  if (f == nullptr) return 0;
  if (f->int_value > INT32_MAX) return INT32_MAX;
  if (f->int_value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(f->int_value);
}

bool DbRecordset::IsNull(std::string_view column) const { return CurrentField(column) == nullptr; }

int DbOpen(DbConnection& conn, const std::string& path) {
  try {
    conn.Close();
    if (path.empty()) return 0;
    Fd folder(OpenFolder(path));
    if (folder.get() < 0 || !LockFolderShared(folder.get())) return 0;
    DbHandle db = OpenReadWrite(path);
    if (db == nullptr) return 0;
    conn.db_ = db.release();
    conn.folder_lock_fd_ = folder.Release();
    return 1;
  } catch (...) {
    return 0;
  }
}

int DbExecute(DbConnection& conn, std::string_view sql, DbValues values) {
  try {
    Stmt stmt = Prepare(conn.Handle(), sql, values);
    return stmt != nullptr && RunToEnd(stmt.get()) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

DbTransaction::DbTransaction(DbConnection& conn) : conn_(conn) {
  begun_ = conn_.IsOpen() && DbExecute(conn_, "BEGIN IMMEDIATE") == 1;
}

DbTransaction::~DbTransaction() {
  if (begun_ && !ended_) DbExecute(conn_, "ROLLBACK");
}

bool DbTransaction::Commit() {
  if (!begun_ || ended_) return false;
  ended_ = true;
  if (DbExecute(conn_, "COMMIT") == 1) return true;
  // A failed COMMIT can leave the transaction open: end it so the connection stays usable.
  DbExecute(conn_, "ROLLBACK");
  return false;
}

int DbOpenRecordset(DbRecordset& rs, DbConnection& conn, std::string_view sql, DbValues values) {
  try {
    rs.Close();
    Stmt stmt = Prepare(conn.Handle(), sql, values);
    if (stmt == nullptr) return 0;
    const int columns = sqlite3_column_count(stmt.get());
    for (int i = 0; i < columns; ++i) {
      const char* name = sqlite3_column_name(stmt.get(), i);
      rs.columns_.emplace_back(name != nullptr ? name : "");
    }
    for (;;) {
      const int rc = sqlite3_step(stmt.get());
      if (rc == SQLITE_DONE) break;
      if (rc != SQLITE_ROW || rs.rows_.size() >= kMaxRecordsetRows) {
        rs.Close();
        return 0;
      }
      std::vector<DbRecordset::Field>& row = rs.rows_.emplace_back(static_cast<size_t>(columns));
      for (int i = 0; i < columns; ++i) {
        DbRecordset::Field& f = row[static_cast<size_t>(i)];
        f.is_null = sqlite3_column_type(stmt.get(), i) == SQLITE_NULL;
        if (f.is_null) continue;
        // Integer first: asking for the text of an integer converts it, never the reverse.
        f.int_value = sqlite3_column_int64(stmt.get(), i);
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), i));
        const int bytes = sqlite3_column_bytes(stmt.get(), i);
        if (text != nullptr && bytes > 0) f.text.assign(text, static_cast<size_t>(bytes));
      }
    }
    rs.open_ = true;
    return 1;
  } catch (...) {
    rs.Close();
    return 0;
  }
}

int DbCompact(const std::string& path) {
  try {
    if (path.empty()) return 0;
    const std::string temp = path + ".temp";
    Fd folder(OpenFolder(path));
    if (folder.get() < 0) return 0;
    // Exclusive: no connection of ours may have the file open while it is replaced.
    if (flock(folder.get(), LOCK_EX | LOCK_NB) != 0) return 0;
    unlink(temp.c_str());  // a stale copy of an interrupted compaction; may not exist
    if (CompactLocked(path, temp, folder.get())) return 1;
    unlink(temp.c_str());
    return 0;
  } catch (...) {
    return 0;
  }
}

}  // namespace nvr
