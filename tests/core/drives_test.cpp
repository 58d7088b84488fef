#include "nvr/core/store/drives.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "nvr/core/store/config_ini.h"
#include "nvr/core/store/folder_scan.h"
#include "tests/core/core_test_support.h"

namespace {

using nvr::DriveMap;

class DrivesTest : public coretest::TempHome {
 protected:
  void MakeFolder(const std::string& rel) { std::filesystem::create_directories(Path(rel)); }
  void MakeFile(const std::string& rel) { WriteText(Path(rel), "data"); }
};

// The immutable flag stops even root from deleting a file.
bool SetImmutable(const std::string& path, bool on) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  int flags = 0;
  bool ok = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
  ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  if (fd >= 0) close(fd);
  return ok;
}

TEST_F(DrivesTest, WithoutConfigThereIsDriveCUnderTheProgramFolder) {
  const DriveMap drives = DriveMap::FromConfig(home_);
  EXPECT_EQ(drives.Root('c'), Path("storage"));
  EXPECT_EQ(drives.Root('D'), std::nullopt);
  EXPECT_TRUE(drives.FixedDrives().empty()) << "the root does not exist yet";
  EXPECT_EQ(drives.FreeMegabytes('C'), std::nullopt);

  MakeFolder("storage");
  EXPECT_EQ(drives.FixedDrives(), std::vector<char>{'C'});
  struct statvfs vfs {};
  ASSERT_EQ(statvfs(Path("storage").c_str(), &vfs), 0);
  const double expected = static_cast<double>((uint64_t{vfs.f_bavail} * vfs.f_frsize) >> 20);
  ASSERT_TRUE(drives.FreeMegabytes('C'));
  EXPECT_NEAR(static_cast<double>(*drives.FreeMegabytes('C')), expected, 16.0);
  EXPECT_EQ(drives.RecordRoot('C'), Path("storage/QV_Record/Normal"));
}

TEST_F(DrivesTest, ConfiguredDrivesAreFixedWhenTheirRootExists) {
  MakeFolder("e");
  MakeFolder("d");
  MakeFile("not_a_folder");
  WriteText(nvr::ConfigIniPath(home_), "[DRIVES]\nE=e\nd=" + Path("d") + "//\nC=" + Path("missing") +
                                           "\nF=not_a_folder\nAB=/x\n1=/y\nG=\n");
  const DriveMap drives = DriveMap::FromConfig(home_);
  EXPECT_EQ(drives.roots(), (std::map<char, std::string>{{'C', Path("missing")},
                                                         {'D', Path("d")},
                                                         {'E', Path("e")},
                                                         {'F', Path("not_a_folder")}}));
  EXPECT_EQ(drives.FixedDrives(), (std::vector<char>{'D', 'E'}));
  EXPECT_EQ(drives.FreeMegabytes('F'), std::nullopt) << "root is a file";
  EXPECT_TRUE(drives.FreeMegabytes('E'));

  WriteText(nvr::ConfigIniPath(home_), "[DRIVES]\nXY=/x\n");
  EXPECT_EQ(DriveMap::FromConfig(home_).roots(),
            (std::map<char, std::string>{{'C', Path("storage")}}))
      << "a section without a usable letter is no section";
}

TEST(MatchesMask, WildcardsAsRecordingMasksMeanThem) {
  const std::string rec = "Gate(192.168.1.20_554)_1_2015_03_07_18_05_09.h264";
  const std::tuple<std::string, const char*, bool> cases[] = {
      {"A.H264", "*.h264", true},       {"a.h2645", "*.h264", false},
      {"noext", "*.*", true},           {".hidden", "*", true},
      {"log", "log.*", true},           {"a[1].h264", "a[1].h264", true},
      {"a1.h264", "a[1].h264", false},  {"a", "a?", false},
      {rec, "*(192.168.1.20_*)_*_*_*_*_*_*.h264", true},
      {rec, "*gate*(*.*.*.*_*)_*_*_*_*_*_*.h264", true},
  };
  for (const auto& [name, mask, match] : cases) {
    EXPECT_EQ(nvr::MatchesMask(name, mask), match) << name << " ~ " << mask;
  }
}

TEST_F(DrivesTest, ListMatchingSortsAndTellsFoldersApart) {
  MakeFolder("n/2024-03-08");
  MakeFolder("n/2024-03-07");
  MakeFile("n/b.h264");
  MakeFile("n/a.H264");
  ASSERT_EQ(symlink(Path("n/2024-03-07").c_str(), Path("n/link").c_str()), 0);
  std::vector<std::pair<std::string, bool>> seen;
  for (const nvr::FolderEntry& e : nvr::ListMatching(Path("n"), "*.*")) {
    seen.emplace_back(e.name, e.is_folder);
  }
  EXPECT_EQ(seen, (std::vector<std::pair<std::string, bool>>{
                      {"2024-03-07", true}, {"2024-03-08", true}, {"a.H264", false},
                      {"b.h264", false}, {"link", false}}));
  EXPECT_EQ(nvr::ListMatching(Path("n"), "*.h264").size(), 2u);
  EXPECT_TRUE(nvr::ListMatching(Path("missing"), "*.*").empty());
}

TEST_F(DrivesTest, CreationTimeFromBirthOrFileName) {
  std::tm t{};
  t.tm_year = 2015 - 1900;
  t.tm_mon = 2;
  t.tm_mday = 7;
  t.tm_hour = 18;
  t.tm_min = 5;
  t.tm_sec = 9;
  t.tm_isdst = -1;
  const int64_t named = mktime(&t);
  EXPECT_EQ(nvr::StartTimeFromFileName("Gate(192.168.1.20_554)_1_2015_03_07_18_05_09.H264"), named);
  for (const char* bad : {"x_2015_03_07_18_05.h264", "x_2015_13_07_18_05_09.h264",
                          "x_2015_03_07_18_05_09.avi", "x_2015_03_07_18_05_0a.h264", ".h264"}) {
    EXPECT_EQ(nvr::StartTimeFromFileName(bad), std::nullopt) << bad;
  }
  const int64_t before = time(nullptr) - 2;
  MakeFile("fresh_2015_03_07_18_05_09.h264");
  const std::optional<int64_t> ns = nvr::FileCreationTimeNs(Path("fresh_2015_03_07_18_05_09.h264"));
  ASSERT_TRUE(ns);
  // The birth time where the file system keeps one, else the time in the name.
  EXPECT_TRUE(*ns / 1000000000 >= before || *ns / 1000000000 == named) << *ns;
  EXPECT_EQ(nvr::FileCreationTimeNs(Path("missing.h264")), std::nullopt);
}

TEST_F(DrivesTest, DeleteFolderTreeNeverFollowsLinksAndKeepsWhatStays) {
  MakeFolder("day/sub/deeper");
  MakeFile("day/a.h264");
  MakeFile("day/sub/deeper/c");
  MakeFolder("outside");
  MakeFile("outside/precious");
  ASSERT_EQ(symlink(Path("outside").c_str(), Path("day/sub/link").c_str()), 0);
  EXPECT_TRUE(nvr::DeleteFolderTree(Path("day/")));
  EXPECT_FALSE(Exists(Path("day")));
  EXPECT_TRUE(Exists(Path("outside/precious")));
  EXPECT_FALSE(nvr::DeleteFolderTree(Path("missing")));
  EXPECT_FALSE(nvr::DeleteFolderTree("/"));

  MakeFolder("day/locked");
  MakeFile("day/gone.h264");
  const std::string stays = Path("day/locked/stays.h264");
  MakeFile("day/locked/stays.h264");
  // Without write permission on its folder the file stays, unless we may delete anything.
  const bool by_mode = geteuid() != 0 && chmod(Path("day/locked").c_str(), 0500) == 0;
  if (!by_mode && !SetImmutable(stays, true)) GTEST_SKIP() << "no way to make a file stay";
  EXPECT_FALSE(nvr::DeleteFolderTree(Path("day")));
  EXPECT_FALSE(Exists(Path("day/gone.h264")));
  EXPECT_TRUE(Exists(stays));
  if (by_mode) chmod(Path("day/locked").c_str(), 0700);
  else SetImmutable(stays, false);
}

TEST_F(DrivesTest, ExclusiveLockCheckSeesTheRecordingWriter) {
  MakeFile("rec.h264");
  const std::string path = Path("rec.h264");
  EXPECT_TRUE(nvr::CanLockExclusively(path));
  const int writer = open(path.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(flock(writer, LOCK_EX), 0);
  EXPECT_FALSE(nvr::CanLockExclusively(path));
  ASSERT_EQ(flock(writer, LOCK_UN), 0);
  EXPECT_TRUE(nvr::CanLockExclusively(path));
  close(writer);
  EXPECT_FALSE(nvr::CanLockExclusively(Path("missing.h264")));
}

}  // namespace
