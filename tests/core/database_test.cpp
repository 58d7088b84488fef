#include "nvr/core/store/database.h"

#include <sys/stat.h>

#include "nvr/core/store/db_setup.h"
#include "nvr/core/store/password_hash.h"
#include "tests/core/core_test_support.h"

namespace {

using nvr::DbCompact;
using nvr::DbConnection;
using nvr::DbExecute;
using nvr::DbOpen;
using nvr::DbOpenRecordset;
using nvr::DbRecordset;

class DatabaseTest : public coretest::TempHome {
 protected:
  void SetUp() override {
    TempHome::SetUp();
    db_ = nvr::DatabasePath(home_);
  }
  // Devices d1, d3, d5, ...: every other row of `rows` deleted, so compaction has work.
  void MakeDatabase(int rows) {
    ASSERT_TRUE(nvr::InitDatabase(home_, "secret"));
    DbConnection conn;
    ASSERT_EQ(DbOpen(conn, db_), 1);
    ASSERT_EQ(DbExecute(conn, "BEGIN"), 1);
    for (int i = 0; i < rows; ++i) {
      ASSERT_EQ(DbExecute(conn, "INSERT INTO DEVICE (DEVICE_NAME, DEVICE_DEPICT) VALUES (?, ?)",
                          {"d" + std::to_string(i), std::string(400, 'x')}),
                1);
    }
    ASSERT_EQ(DbExecute(conn, "COMMIT"), 1);
    ASSERT_EQ(DbExecute(conn, "DELETE FROM DEVICE WHERE rowid % 2 = 1"), 1);
  }
  std::vector<std::string> DeviceNames() {
    DbConnection conn;
    DbRecordset rs;
    EXPECT_EQ(DbOpen(conn, db_), 1);
    EXPECT_EQ(DbOpenRecordset(rs, conn, "SELECT * FROM DEVICE ORDER BY rowid"), 1);
    std::vector<std::string> names;
    for (; !rs.IsEof(); rs.MoveNext()) names.push_back(rs.Text("DEVICE_NAME"));
    return names;
  }
  std::string db_;
};

TEST_F(DatabaseTest, FailuresAreResultsNeverCreatedFiles) {
  DbConnection conn;
  EXPECT_EQ(DbOpen(conn, db_), 0) << "missing database";
  EXPECT_FALSE(Exists(db_));
  EXPECT_EQ(DbOpen(conn, ":memory:"), 0) << "a path is always a file";
  ASSERT_EQ(mkdir(Path("NVRData").c_str(), 0700), 0);
  WriteText(db_, std::string(4096, 'Z'));
  EXPECT_EQ(DbOpen(conn, db_), 0) << "not a database";
  EXPECT_EQ(DbExecute(conn, "SELECT 1"), 0) << "closed connection";
  std::remove(db_.c_str());

  ASSERT_TRUE(nvr::InitDatabase(home_, "pw"));
  ASSERT_EQ(DbOpen(conn, db_), 1);
  DbRecordset rs;
  EXPECT_EQ(DbExecute(conn, "SELEC * FROM DEVICE"), 0);
  EXPECT_EQ(DbExecute(conn, "DELETE FROM DEVICE WHERE DEVICE_NAME = ?"), 0) << "value missing";
  EXPECT_EQ(DbExecute(conn, "DELETE FROM DEVICE", {1}), 0) << "value too many";
  EXPECT_EQ(DbExecute(conn, "DELETE FROM DEVICE; DROP TABLE DEVICE"), 0) << "one statement only";
  EXPECT_EQ(DbOpenRecordset(rs, conn, "SELECT * FROM DEVICE"), 1) << "the table is still there";
  EXPECT_EQ(DbOpenRecordset(rs, conn, "SELECT * FROM NOPE"), 0);
  EXPECT_TRUE(rs.IsEof());
}

TEST_F(DatabaseTest, InitCreatesPrivateDatabaseOnceWithHashedAdmin) {
  EXPECT_FALSE(nvr::InitDatabase(home_, "")) << "an empty password is refused";
  ASSERT_TRUE(nvr::InitDatabase(home_, "Pa55word-unique"));
  EXPECT_EQ(Mode(Path("NVRData")), 0700u);
  EXPECT_EQ(Mode(db_), 0600u);
  const std::string before = ReadText(db_);
  EXPECT_EQ(before.find("Pa55word-unique"), std::string::npos) << "never stored in plain text";
  EXPECT_FALSE(nvr::InitDatabase(home_, "other")) << "an existing database is never replaced";
  EXPECT_EQ(ReadText(db_), before);

  DbConnection conn;
  DbRecordset rs;
  ASSERT_EQ(DbOpen(conn, db_), 1);
  ASSERT_EQ(DbOpenRecordset(rs, conn, "SELECT * FROM LOGUSER"), 1);
  ASSERT_EQ(rs.RecordCount(), 1u);
  EXPECT_EQ(rs.Text("USER_NAME"), "admin");
  EXPECT_EQ(rs.Text("PASSWORD").rfind("$argon2id$", 0), 0u);

  const std::string generated = nvr::GeneratePassword();
  EXPECT_EQ(generated.size(), 16u);
  EXPECT_EQ(generated.find_first_of("0O1Il"), std::string::npos) << "no look-alikes";
  EXPECT_NE(generated, nvr::GeneratePassword());
}

TEST_F(DatabaseTest, RecordsetIsAStaticCopyWithLenientFields) {
  ASSERT_TRUE(nvr::InitDatabase(home_, "pw"));
  DbConnection conn;
  ASSERT_EQ(DbOpen(conn, db_), 1);
  ASSERT_EQ(DbExecute(conn, "INSERT INTO DEVICE (DEVICE_NAME, RTSP_PORT, CHANNEL) VALUES (?, ?, ?)",
                      {"cam", 8554, "12abc"}),
            1);
  DbRecordset rs;
  ASSERT_EQ(DbOpenRecordset(rs, conn, "SELECT * FROM DEVICE"), 1);
  ASSERT_EQ(DbExecute(conn, "DELETE FROM DEVICE"), 1);
  ASSERT_FALSE(rs.IsEof()) << "rows fetched at open stay";
  EXPECT_EQ(rs.Text("device_name"), "cam") << "column names ignore case";
  EXPECT_EQ(rs.Text("RTSP_PORT"), "8554");
  EXPECT_EQ(rs.Int("CHANNEL"), 12) << "leading number of a text";
  EXPECT_TRUE(rs.IsNull("DEVICE_DEPICT"));
  rs.MoveNext();
  rs.MoveNext();
  EXPECT_EQ(rs.Text("DEVICE_NAME"), "") << "no current row past the end";
}

TEST_F(DatabaseTest, CompactionRemovesStaleCopyKeepsDataOrderAndMode) {
  MakeDatabase(400);
  WriteText(db_ + ".temp", "left over from an interrupted compaction");
  const auto before = std::filesystem::file_size(db_);
  const std::vector<std::string> names = DeviceNames();
  ASSERT_EQ(names.size(), 200u);

  ASSERT_EQ(DbCompact(db_), 1);
  EXPECT_FALSE(Exists(db_ + ".temp"));
  EXPECT_LT(std::filesystem::file_size(db_), before);
  EXPECT_EQ(Mode(db_), 0600u);
  EXPECT_EQ(DeviceNames(), names);
}

TEST_F(DatabaseTest, FailedCompactionLeavesDatabaseAsItWas) {
  EXPECT_EQ(DbCompact(db_), 0) << "missing database";
  EXPECT_FALSE(Exists(db_));
  MakeDatabase(100);
  const std::string before = ReadText(db_);

  // A stale copy that cannot be deleted: VACUUM INTO has nowhere to write.
  ASSERT_EQ(mkdir((db_ + ".temp").c_str(), 0700), 0);
  WriteText(db_ + ".temp/x", "x");
  EXPECT_EQ(DbCompact(db_), 0);
  EXPECT_EQ(ReadText(db_), before);
  std::filesystem::remove_all(db_ + ".temp");

  {
    DbConnection open_elsewhere;
    ASSERT_EQ(DbOpen(open_elsewhere, db_), 1);
    EXPECT_EQ(DbCompact(db_), 0) << "renaming would strand the open connection's writes";
    EXPECT_EQ(ReadText(db_), before);
    EXPECT_EQ(DbExecute(open_elsewhere, "UPDATE DEVICE SET OP_STATE = 2"), 1);
  }
  ASSERT_EQ(DbCompact(db_), 1);
  DbConnection conn;
  DbRecordset rs;
  ASSERT_EQ(DbOpen(conn, db_), 1);
  ASSERT_EQ(DbOpenRecordset(rs, conn, "SELECT * FROM DEVICE WHERE OP_STATE = 2"), 1);
  EXPECT_EQ(rs.RecordCount(), 50u) << "the write made before compaction survives it";
}

}  // namespace
