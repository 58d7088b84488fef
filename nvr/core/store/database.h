// The recorder's database access: one SQLite 3 connection and four thin functions over it.
//
// Every function returns 1 on success and 0 on failure; none throws or lets an SQLite error
// escape, so callers only look at the result (a failed statement is a database error, never
// a crash). Values always travel as bound parameters (`?` in the SQL text), so quotes,
// slashes and long texts in names are stored and compared as they are.
//
// Table order: SQLite gives no row order without ORDER BY, so statements that list rows "in
// table order" say ORDER BY rowid (see recorder_db.h).
//
// Compaction and other users of the file: on Linux a rename over an open database file
// succeeds, and a connection that still has the old file open would go on reading and writing
// the replaced, unlinked copy, so its later changes would be lost. To keep the data safe every
// connection opened by DbOpen holds a shared flock(2) on the database's folder for its life,
// and DbCompact replaces the file only while it holds that lock exclusively: while any other
// connection of ours (this process or another) has a database in that folder open, compaction
// is abandoned and the database stays as it is. Programs outside ours that keep the file open
// are not seen; do not keep the recorder's database open in other tools while it starts.
// The lock is on the folder, not the file, because SQLite's own POSIX locks on the file are
// dropped when any descriptor of it in the process is closed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

struct sqlite3;

namespace nvr {

// One value bound to the next `?` of a statement.
class DbValue {
 public:
  enum class Kind { kNull, kInt, kText };

  // Implicit on purpose: a call lists its values like the SQL it fills, {name, 554, nullptr}.
  DbValue(std::nullptr_t) {}
  template <typename T>
    requires std::is_integral_v<T>
  DbValue(T v) : kind_(Kind::kInt), int_(static_cast<int64_t>(v)) {}
  DbValue(std::string_view v) : kind_(Kind::kText), text_(v) {}
  DbValue(const char* v) : kind_(v != nullptr ? Kind::kText : Kind::kNull), text_(v != nullptr ? v : "") {}
  DbValue(const std::string& v) : kind_(Kind::kText), text_(v) {}

  Kind kind() const { return kind_; }
  int64_t int_value() const { return int_; }
  std::string_view text() const { return text_; }

 private:
  Kind kind_ = Kind::kNull;
  int64_t int_ = 0;
  std::string_view text_;  // the caller's text; bound (copied) before the call returns
};

using DbValues = std::initializer_list<DbValue>;

// The one connection of the program. Move-only; closing releases the folder lock too.
class DbConnection {
 public:
  DbConnection() = default;
  ~DbConnection() { Close(); }
  DbConnection(DbConnection&& other) noexcept;
  DbConnection& operator=(DbConnection&& other) noexcept;
  DbConnection(const DbConnection&) = delete;
  DbConnection& operator=(const DbConnection&) = delete;

  bool IsOpen() const { return db_ != nullptr; }
  void Close();
  sqlite3* Handle() const { return db_; }

 private:
  friend int DbOpen(DbConnection& conn, const std::string& path);
  sqlite3* db_ = nullptr;
  int folder_lock_fd_ = -1;
};

// The rows of one query, fetched whole when it is opened (a static cursor): later changes to
// the tables do not show, and no statement stays open on the connection.
class DbRecordset {
 public:
  bool IsOpen() const { return open_; }
  // True when there is no current row (empty result, walked past the last row, or closed).
  bool IsEof() const { return !open_ || pos_ >= rows_.size(); }
  void MoveNext() {
    if (!IsEof()) ++pos_;
  }
  size_t RecordCount() const { return rows_.size(); }
  void Close();

  // Fields of the current row by column name (case-insensitive). A NULL field, an unknown
  // column or no current row gives "" and 0. Integers read as text give their decimal form;
  // text read as an integer gives its leading number (SQLite's conversion), clamped to 32 bits.
  std::string Text(std::string_view column) const;
  int32_t Int(std::string_view column) const;
  bool IsNull(std::string_view column) const;
  bool HasColumn(std::string_view column) const { return ColumnIndex(column) >= 0; }

 private:
  friend int DbOpenRecordset(DbRecordset& rs, DbConnection& conn, std::string_view sql,
                             DbValues values);
  struct Field {
    bool is_null = true;
    int64_t int_value = 0;
    std::string text;
  };
  const Field* CurrentField(std::string_view column) const;
  int ColumnIndex(std::string_view column) const;

  bool open_ = false;
  size_t pos_ = 0;
  std::vector<std::string> columns_;
  std::vector<std::vector<Field>> rows_;
};

// A query with more rows than this fails rather than exhausting memory.
inline constexpr size_t kMaxRecordsetRows = 1u << 20;

// Opens an existing database for reading and writing. A missing file fails: it is never
// created here (the setup step creates it, db_setup.h). A file that is not a database fails
// too. An open connection is closed first.
int DbOpen(DbConnection& conn, const std::string& path);

// Runs one statement with its bound values. 1 whatever number of rows it touched.
int DbExecute(DbConnection& conn, std::string_view sql, DbValues values = {});

// Runs one query and fetches its rows into `rs` (closing what it held before).
int DbOpenRecordset(DbRecordset& rs, DbConnection& conn, std::string_view sql,
                    DbValues values = {});

// A transaction on the connection, rolled back when it ends without Commit(): several
// statements that belong together (a device and its schedule, the channels of one camera) are
// stored all or not at all.
class DbTransaction {
 public:
  explicit DbTransaction(DbConnection& conn);
  ~DbTransaction();
  DbTransaction(const DbTransaction&) = delete;
  DbTransaction& operator=(const DbTransaction&) = delete;

  // False when the transaction could not begin (nothing may then be run in it).
  bool Begun() const { return begun_; }
  // True when every statement since the start is stored.
  bool Commit();

 private:
  DbConnection& conn_;
  bool begun_ = false;
  bool ended_ = false;
};

// Compacts the database at `path`: deletes a stale "<path>.temp", writes a compacted copy there
// with VACUUM INTO on a separate connection, makes it durable, gives it the database's file mode
// and renames it over the database. Any failure abandons the compaction silently (result 0),
// leaves the database as it was and removes the partial copy. See the file comment for a
// database that is open elsewhere.
int DbCompact(const std::string& path);

}  // namespace nvr
