#include "nvr/core/store/recorder_db.h"

#include "nvr/core/store/db_setup.h"
#include "nvr/core/store/password_hash.h"
#include "tests/core/core_test_support.h"

namespace {

using nvr::DeviceRecord;
using nvr::LoginResult;

constexpr char kAdminPassword[] = "Adm1n-Pw";

class RecorderDbTest : public coretest::TempHome {
 protected:
  void SetUp() override {
    TempHome::SetUp();
    ASSERT_TRUE(nvr::InitDatabase(home_, kAdminPassword));
    ASSERT_EQ(nvr::DbOpen(conn_, nvr::DatabasePath(home_)), 1);
  }
  static DeviceRecord Device(const std::string& name, const std::string& url, int channel = 0) {
    DeviceRecord d;
    d.name = name;
    d.url = url;
    d.channel = channel;
    d.stream_type = 1;
    d.alarm_state = 1;
    d.username = "user";
    d.password = "pass";
    return d;
  }
  std::vector<DeviceRecord> All() {
    std::vector<DeviceRecord> all;
    EXPECT_TRUE(db_.AllDevices(&all));
    return all;
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const DeviceRecord& d : All()) names.push_back(d.name);
    return names;
  }

  nvr::DbConnection conn_;
  nvr::RecorderDb db_{conn_};
};

// Texts that break statements built by formatting, or that look like paths or SQL.
TEST_F(RecorderDbTest, AwkwardTextsAreStoredAndMatchedIntact) {
  const std::string cases[] = {
      "it's", "O''Brien'", "a/b\\c", "../../etc/passwd", "\"double\" quotes",
      "x'; DROP TABLE DEVICE; --", "%s %d %n", "\xE6\x91\x84\xE5\x83\x8F\xE6\x9C\xBA",
      std::string("nul\0inside", 10), std::string(20000, 'L'),
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const std::string& text = cases[i];
    SCOPED_TRACE(text.substr(0, 40));
    DeviceRecord d = Device(text, text, static_cast<int>(i % 4));
    d.username = d.password = text;
    d.rtsp_port = static_cast<uint16_t>(1000 + i);
    ASSERT_TRUE(db_.InsertDevice(d));

    std::vector<DeviceRecord> found;
    ASSERT_TRUE(db_.DevicesByAddress(text, d.channel, d.rtsp_port, &found));
    EXPECT_EQ(found.size(), 1u);
    ASSERT_TRUE(db_.SetOpState(text, 2));
    ASSERT_TRUE(db_.SetScheduleId(text, 99));
    ASSERT_TRUE(db_.DevicesByName(text, &found));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].name, text);
    EXPECT_EQ(found[0].url, text);
    EXPECT_EQ(found[0].username, text);
    EXPECT_EQ(found[0].password, text);
    EXPECT_EQ(found[0].op_state, 2);
    EXPECT_EQ(found[0].schedule_id, 99);
  }
  ASSERT_EQ(All().size(), std::size(cases)) << "no statement touched another row";
  for (size_t i = 0; i < std::size(cases); ++i) {
    ASSERT_TRUE(db_.DeleteDevice(cases[i], static_cast<int>(i % 4), static_cast<uint16_t>(1000 + i)));
  }
  EXPECT_TRUE(All().empty());
}

TEST_F(RecorderDbTest, DeletingOneOfTwoCamerasBehindOneAddressKeepsTheOther) {
  DeviceRecord a = Device("front", "10.0.0.1");
  DeviceRecord b = Device("back", "10.0.0.1");
  a.rtsp_port = 554;
  b.rtsp_port = 10554;
  ASSERT_TRUE(db_.InsertDevice(a));
  ASSERT_TRUE(db_.InsertDevice(b));
  ASSERT_TRUE(db_.DeleteDevice("10.0.0.1", 0, 554));
  EXPECT_EQ(Names(), (std::vector<std::string>{"back"}));
}

// Cameras outside the dialect are addressed by URL: two streams of one server (same host,
// port and channel 0) are two devices, found and deleted apart; the transport is kept.
TEST_F(RecorderDbTest, UrlDevicesAreKeyedByTheirUrl) {
  DeviceRecord a = Device("main", "10.0.0.7");
  a.stream_type = 0;
  a.stream_url = "rtsp://10.0.0.7:554/main";
  DeviceRecord b = a;
  b.name = "sub";
  b.stream_url = "rtsp://10.0.0.7:554/sub";
  b.transport = 0;
  ASSERT_TRUE(db_.InsertDevice(a));
  ASSERT_TRUE(db_.InsertDevice(b));
  ASSERT_TRUE(db_.InsertDevice(Device("dialect", "10.0.0.7")));
  std::vector<DeviceRecord> found;
  ASSERT_TRUE(db_.DevicesByAddress("10.0.0.7", 0, 554, &found, "rtsp://10.0.0.7:554/sub"));
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].name, "sub");
  EXPECT_EQ(found[0].transport, 0);
  ASSERT_TRUE(db_.DevicesByAddress("10.0.0.7", 0, 554, &found));
  ASSERT_EQ(found.size(), 1u) << "the dialect's device has no URL";
  EXPECT_EQ(found[0].name, "dialect");
  ASSERT_TRUE(db_.DeleteDevice("10.0.0.7", 0, 554, "rtsp://10.0.0.7:554/main"));
  EXPECT_EQ(Names(), (std::vector<std::string>{"sub", "dialect"}));
  b.transport = 1;
  b.stream_url = "rtsp://10.0.0.7:554/sub2";
  ASSERT_TRUE(db_.UpdateDevice("sub", b));
  EXPECT_EQ(All()[0].stream_url, "rtsp://10.0.0.7:554/sub2");
  EXPECT_EQ(All()[0].transport, 1);
}

// A database made before the URL and transport columns existed gets them on open; its devices
// stay dialect devices over TCP, and the upgrade can run any number of times.
TEST_F(RecorderDbTest, UpgradeAddsTheNewColumnsAndKeepsOldDevices) {
  ASSERT_EQ(nvr::DbExecute(conn_, "DROP TABLE DEVICE"), 1);
  ASSERT_EQ(nvr::DbExecute(conn_,
                           "CREATE TABLE DEVICE (DEVICE_NAME TEXT COLLATE NOCASE, DEVICE_URL TEXT COLLATE NOCASE,"
                           " RTSP_PORT INTEGER, CHANNEL INTEGER, STREAM_TYPE INTEGER, ALARM_STATE INTEGER,"
                           " DEVICE_USERNAME TEXT, DEVICE_PASSWORD TEXT, SCHEDULE_ID INTEGER DEFAULT 0,"
                           " OP_STATE INTEGER DEFAULT 0, DEVICE_DEPICT TEXT)"),
            1);
  ASSERT_EQ(nvr::DbExecute(conn_, "INSERT INTO DEVICE (DEVICE_NAME, DEVICE_URL, RTSP_PORT, CHANNEL) VALUES ('Old', 'h', 554, 2)"), 1);
  EXPECT_FALSE(db_.InsertDevice(Device("New", "h2"))) << "the statements need the new columns";
  ASSERT_TRUE(nvr::UpgradeDatabase(conn_));
  ASSERT_TRUE(nvr::UpgradeDatabase(conn_));
  ASSERT_TRUE(db_.InsertDevice(Device("New", "h2")));
  const std::vector<DeviceRecord> all = All();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].name, "Old");
  EXPECT_EQ(all[0].channel, 2);
  EXPECT_EQ(all[0].stream_url, "");
  EXPECT_EQ(all[0].transport, 1);
  std::vector<DeviceRecord> found;
  ASSERT_TRUE(db_.DevicesByAddress("h", 2, 554, &found));
  EXPECT_EQ(found.size(), 1u);
  ASSERT_TRUE(db_.DeleteDevice("h", 2, 554));
  EXPECT_EQ(Names(), (std::vector<std::string>{"New"}));
}

TEST_F(RecorderDbTest, TableOrderAndDefaults) {
  for (const char* name : {"c", "a", "b"}) ASSERT_TRUE(db_.InsertDevice(Device(name, name)));
  ASSERT_TRUE(db_.DeleteDevice("a", 0, 554));
  ASSERT_TRUE(db_.AddDiscoveredDevice("device 1A2B", "10.0.0.2", 8554, 3, 0, "admin", ""));
  ASSERT_TRUE(db_.UpdateDevice("c", Device("zz", "c")));
  EXPECT_EQ(Names(), (std::vector<std::string>{"zz", "b", "device 1A2B"}));

  const std::vector<DeviceRecord> all = All();
  EXPECT_EQ(all[1].schedule_id, 0) << "inserts leave the table defaults";
  EXPECT_EQ(all[1].op_state, 0);
  EXPECT_EQ(all[2].rtsp_port, 8554);
  EXPECT_EQ(all[2].channel, 3);
  EXPECT_EQ(all[2].username, "admin");
  nvr::DbRecordset rs;
  ASSERT_EQ(nvr::DbOpenRecordset(rs, conn_, "SELECT * FROM DEVICE WHERE DEVICE_DEPICT IS NULL"), 1);
  EXPECT_EQ(rs.RecordCount(), 3u);
  ASSERT_TRUE(db_.DeleteAllDevices());
  EXPECT_TRUE(All().empty());
}

TEST_F(RecorderDbTest, DuplicateTestsUpdateAndManualState) {
  ASSERT_TRUE(db_.InsertDevice(Device("Gate", "10.0.0.1", 0)));
  ASSERT_TRUE(db_.InsertDevice(Device("Yard", "10.0.0.1", 1)));
  ASSERT_TRUE(db_.InsertDevice(Device("Door", "10.0.0.2", 0)));
  std::vector<DeviceRecord> found;
  ASSERT_TRUE(db_.DevicesByName("GATE", &found));
  EXPECT_EQ(found.size(), 1u) << "names compare without case";
  ASSERT_TRUE(db_.DevicesByAddress("10.0.0.1", 1, 555, &found));
  EXPECT_TRUE(found.empty()) << "the port is part of the address";
  ASSERT_TRUE(db_.DevicesByAddressExcept("10.0.0.1", 1, 554, "Yard", &found));
  EXPECT_TRUE(found.empty()) << "the device being modified is no duplicate of itself";
  ASSERT_TRUE(db_.DevicesByAddressExcept("10.0.0.1", 1, 554, "Gate", &found));
  EXPECT_EQ(found.size(), 1u);

  ASSERT_TRUE(db_.SetOpState("Door", 2));
  DeviceRecord changed = Device("Front", "10.0.0.9", 3);
  changed.schedule_id = 7;
  ASSERT_TRUE(db_.UpdateDevice("Door", changed));
  ASSERT_TRUE(db_.SetManualOpState(1));
  std::vector<DeviceRecord> all = All();
  EXPECT_EQ(all[2].name, "Front");
  EXPECT_EQ(all[2].url, "10.0.0.9");
  EXPECT_EQ(all[2].schedule_id, 7);
  EXPECT_EQ(all[2].op_state, 2) << "neither the update nor the manual state touch it";
  EXPECT_EQ(all[0].op_state + all[1].op_state, 2);
  ASSERT_TRUE(db_.DetachSchedule(7));
  EXPECT_EQ(All()[2].schedule_id, 0);
}

TEST_F(RecorderDbTest, LoginChecksTheHash) {
  EXPECT_EQ(db_.CheckLogin("admin", kAdminPassword), LoginResult::kAccepted);
  EXPECT_EQ(db_.CheckLogin("ADMIN", kAdminPassword), LoginResult::kAccepted);
  EXPECT_EQ(db_.CheckLogin("admin", "adm1n-pw"), LoginResult::kRejected) << "passwords keep case";
  EXPECT_EQ(db_.CheckLogin("nobody", kAdminPassword), LoginResult::kRejected);
  EXPECT_EQ(db_.CheckLogin("admin' OR '1'='1", "x"), LoginResult::kRejected);
  EXPECT_EQ(db_.CheckOldPassword("admin", "wrong"), LoginResult::kRejected);

  ASSERT_TRUE(db_.ChangePassword("admin", "n3w 'pass'"));
  EXPECT_EQ(db_.CheckLogin("admin", kAdminPassword), LoginResult::kRejected);
  EXPECT_EQ(db_.CheckLogin("admin", "n3w 'pass'"), LoginResult::kAccepted);
  conn_.Close();
  EXPECT_EQ(ReadText(nvr::DatabasePath(home_)).find("n3w 'pass'"), std::string::npos);
  EXPECT_EQ(db_.CheckLogin("admin", "n3w 'pass'"), LoginResult::kDbFailed);
}

TEST_F(RecorderDbTest, LoginNeedsExactlyOneMatchingUser) {
  const std::optional<std::string> hash = nvr::HashPassword(kAdminPassword);
  ASSERT_TRUE(hash);
  ASSERT_EQ(nvr::DbExecute(conn_, "INSERT INTO LOGUSER (USER_NAME, PASSWORD) VALUES (?, ?)",
                           {"Admin", *hash}),
            1);
  EXPECT_EQ(db_.CheckLogin("admin", kAdminPassword), LoginResult::kRejected);
  EXPECT_EQ(db_.CheckOldPassword("admin", kAdminPassword), LoginResult::kAccepted);
}

TEST_F(RecorderDbTest, LogRangesAreInclusiveTextTimeStamps) {
  const char* const rows[][4] = {{"OPERATE_LOG", "2024-05-01", "23:59:59", "admin"},
                                 {"OPERATE_LOG", "2024-05-02", "00:00:00", "it's me"},
                                 {"OPERATE_LOG", "2024-04-30", "12:00:00", "early"},
                                 {"RECORD_LOG", "2024-05-01", "08:00:00", "Gate"}};
  for (const auto& r : rows) {
    const std::string who = std::string(r[0]) == "RECORD_LOG" ? "LOG_DEVICE" : "LOG_OPERATER";
    ASSERT_EQ(nvr::DbExecute(conn_, std::string("INSERT INTO ") + r[0] +
                                        " (LOG_DATE, LOG_TIME, LOG_TYPE, " + who + ") VALUES (?, ?, 11, ?)",
                             {r[1], r[2], r[3]}),
              1);
  }
  struct Case {
    const char* from;
    const char* to;
    size_t rows;
  };
  const Case cases[] = {
      {"2024-05-01 00:00:00", "2024-05-01 23:59:59", 1},
      {"2024-05-01 00:00:00", "2024-05-01 23:59:58", 0},
      {"2024-05-01 23:59:59", "2024-05-02 00:00:00", 2},
      {"2024-01-01 00:00:00", "2024-12-31 23:59:59", 3},
  };
  std::vector<nvr::LogRecord> found;
  for (const Case& c : cases) {
    ASSERT_TRUE(db_.OperationLog(c.from, c.to, &found));
    EXPECT_EQ(found.size(), c.rows) << c.from << " .. " << c.to;
  }
  ASSERT_TRUE(db_.OperationLog("2024-05-02 00:00:00", "2024-05-02 00:00:00", &found));
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].date + " " + found[0].time, "2024-05-02 00:00:00");
  EXPECT_EQ(found[0].type, 11);
  EXPECT_EQ(found[0].who, "it's me");
  ASSERT_TRUE(db_.RecordLog("2024-05-01 00:00:00", "2024-05-01 23:59:59", &found));
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].who, "Gate");
}

}  // namespace
