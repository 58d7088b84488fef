#include "nvr/core/store/text_log.h"

#include <sys/stat.h>

#include "nvr/core/store/log_messages.h"
#include "tests/core/core_test_support.h"

namespace {

using nvr::WriteLog;

class TextLogTest : public coretest::TempHome {
 protected:
  void SetUp() override {
    TempHome::SetUp();
    now_ = Local(2024, 3, 7, 18, 5, 9);
    nvr::SetLogTimeSource([this] { return now_; });
  }
  void TearDown() override {
    nvr::SetLogTimeSource(nullptr);
    TempHome::TearDown();
  }
  static std::tm Local(int y, int mo, int d, int h, int mi, int s) {
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    return t;
  }
  std::tm now_{};
};

TEST_F(TextLogTest, NoLogFolderNoLog) {
  WriteLog(nvr::kLogAllDrivesFull);
  EXPECT_FALSE(Exists(Path("log"))) << "the folder is never created";
}

TEST_F(TextLogTest, OneStampedLinePerCallInTheDaysFile) {
  ASSERT_EQ(mkdir(Path("log").c_str(), 0755), 0);
  WriteLog(nvr::kLogDriveFull, 'C', 123);
  WriteLog(nvr::kLogWriteExitFlag0Failed, 13);  // the one message without a line break
  now_.tm_sec = 10;
  WriteLog(nvr::kLogChangeDriveReserved, 'C', 500, 'D', 600, 7000);
  EXPECT_EQ(ReadText(Path("log/2024-03-07.txt")),
            "18:05:09 drive C (free: 123)full\r\n"
            "18:05:09 write ini file exit falg 0 failed error:13\n"
            "18:05:10 change drive from C(reserved 500) to D(reserved 600 free :7000)\r\n");

  now_ = Local(2024, 3, 8, 0, 0, 0);
  WriteLog(nvr::kLogDeleteDirectory, "/srv/c/QV_Record/Normal/2024-03-01");
  EXPECT_EQ(ReadText(Path("log/2024-03-08.txt")),
            "00:00:00 delelte directory /srv/c/QV_Record/Normal/2024-03-01\r\n");

  const size_t before = ReadText(Path("log/2024-03-08.txt")).size();
  WriteLog(nvr::kLogAutoDeleteFile, std::string(20000, 'p').c_str());
  const std::string text = ReadText(Path("log/2024-03-08.txt"));
  EXPECT_EQ(text.size(), before + 9 + nvr::kMaxLogMessage + 1) << "a long message is cut";
  EXPECT_EQ(text.back(), '\n') << "and still ends its line";
}

}  // namespace
