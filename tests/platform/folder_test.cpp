#include "platform/folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

// A fresh temporary folder that is also the working directory for the test's duration.
class FolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qv_folder_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    old_cwd_ = fs::current_path();
    fs::current_path(root_);
    fs::create_directories(root_ + "/exists/inner");
    std::ofstream(root_ + "/plain.txt") << "x";
    fs::create_directories(root_ + "/rel");
  }
  void TearDown() override {
    fs::current_path(old_cwd_);
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  std::string root_;
  fs::path old_cwd_;
};

TEST_F(FolderTest, EnsureFolderForFile) {
  struct Case {
    const char* name;
    std::string path;      // absolute paths are built under the test's folder
    bool expected;
    std::string made;      // folder that must exist afterwards, relative to the test folder
  };
  const std::string r = root_;
  const Case cases[] = {
      {"nested levels are created", r + "/a/b/c/2024-01-01.qv", true, "a/b/c"},
      {"existing folder", r + "/exists/inner/f.qv", true, "exists/inner"},
      {"file in the way", r + "/plain.txt/f.qv", false, ""},
      {"file in the way of a deeper level", r + "/plain.txt/x/f.qv", false, ""},
      {"trailing separator names the folder", r + "/t/u/", true, "t/u"},
      {"doubled separator", r + "/d//e/f.qv", true, "d/e"},
      {"no separator", "f.qv", false, ""},
      {"empty path", "", false, ""},
      {"relative under an existing first level", "rel/x/y/f.qv", true, "rel/x/y"},
      {"relative first level is a drive, never created", "missing/x/f.qv", false, ""},
      {"file in the root folder", "/f.qv", true, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(qvp::EnsureFolderForFile(c.path), c.expected) << c.name;
    if (!c.made.empty()) {
      EXPECT_TRUE(fs::is_directory(root_ + "/" + c.made)) << c.name;
    }
  }
  EXPECT_FALSE(fs::exists(root_ + "/missing"));
  EXPECT_TRUE(fs::is_regular_file(root_ + "/plain.txt"));
}

// Without any '/', '\' separates; on Linux the result is one name per prefix, but the folder
// before the last separator is still what gets made.
TEST_F(FolderTest, BackslashSeparatesWhenThereIsNoSlash) {
  EXPECT_TRUE(qvp::EnsureFolderForFile("C:\\QV_Record\\f.qv"));
  EXPECT_TRUE(fs::is_directory(root_ + "/C:\\QV_Record"));
}

TEST(ProgramFolderTest, EnvironmentOverridesExecutableFolder) {
  ASSERT_EQ(setenv("QV_NVR_HOME", "/srv/qv_nvr//", 1), 0);
  EXPECT_EQ(qvp::ProgramFolder(), "/srv/qv_nvr");

  ASSERT_EQ(setenv("QV_NVR_HOME", "", 1), 0);
  const std::string folder = qvp::ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '/');
  EXPECT_EQ(access((folder + "/platform_tests").c_str(), X_OK), 0) << folder;
  unsetenv("QV_NVR_HOME");
  EXPECT_EQ(qvp::ProgramFolder(), folder);
}

}  // namespace
