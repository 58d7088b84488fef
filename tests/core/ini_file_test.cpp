#include "nvr/core/store/ini_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <tuple>

#include "nvr/core/store/config_ini.h"
#include "tests/core/core_test_support.h"

namespace {

using nvr::ReadIniString;
using nvr::WriteIniString;

class IniTest : public coretest::TempHome {
 protected:
  void SetUp() override {
    TempHome::SetUp();
    ini_ = nvr::ConfigIniPath(home_);
  }
  std::string ini_;
};

TEST_F(IniTest, ReadsLikeAProfileFile) {
  WriteText(ini_,
            "; shipped settings\r\n"
            "[Lang]\r\n"
            "  PLang =  4  \r\n"
            "# another comment\r\n"
            "slang=2\r\n"
            "empty=\r\n"
            "quoted=\"  spaced  \"\r\n"
            "single='x'\r\n"
            "semi=a ; not a comment\r\n"
            "no equals sign here\r\n"
            "[OTHER]\r\n"
            "exit=1\r\n"
            "[lang]\r\n"
            "plang=9\r\n");
  struct Case {
    const char* section;
    const char* key;
    std::optional<std::string> value;
  };
  const Case cases[] = {
      {"LANG", "plang", "4"},  // names ignore case, values are trimmed
      {" lang ", " PLANG ", "4"},
      {"LANG", "slang", "2"},
      {"LANG", "empty", ""},
      {"LANG", "quoted", "  spaced  "},
      {"LANG", "single", "x"},
      {"LANG", "semi", "a ; not a comment"},
      {"LANG", "exit", std::nullopt},  // keys belong to their section
      {"OTHER", "exit", "1"},
      {"NONE", "exit", std::nullopt},
      {"LANG", "no equals sign here", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadIniString(ini_, c.section, c.key), c.value) << c.section << "/" << c.key;
  }
  EXPECT_EQ(ReadIniString(Path("missing.ini"), "LANG", "plang"), std::nullopt);
}

TEST_F(IniTest, WritesRewriteAtomicallyAndKeepEverythingElse) {
  WriteText(ini_, "; keep me\r\n[OTHER]\r\nExit=1\r\n\r\n[DRIVES]\r\nC=/srv/c\r\n"
                  "; trailing comment of DRIVES\r\n");
  ASSERT_EQ(chmod(ini_.c_str(), 0640), 0);

  ASSERT_EQ(WriteIniString(ini_, "other", "EXIT", "0"), 0);
  EXPECT_EQ(ReadText(ini_),
            "; keep me\r\n[OTHER]\r\nExit=0\r\n\r\n[DRIVES]\r\nC=/srv/c\r\n"
            "; trailing comment of DRIVES\r\n");
  EXPECT_EQ(Mode(ini_), 0640u) << "the rewrite keeps the file's mode";

  ASSERT_EQ(WriteIniString(ini_, "DRIVES", "D", "/mnt/d"), 0);
  ASSERT_EQ(WriteIniString(ini_, "LANG", "plang", "4"), 0);
  EXPECT_EQ(ReadText(ini_),
            "; keep me\r\n[OTHER]\r\nExit=0\r\n\r\n[DRIVES]\r\nC=/srv/c\r\nD=/mnt/d\r\n"
            "; trailing comment of DRIVES\r\n[LANG]\r\nplang=4\r\n");

  ASSERT_EQ(nvr::DeleteIniKey(ini_, "drives", "c"), 0);
  ASSERT_EQ(nvr::DeleteIniKey(ini_, "drives", "missing"), 0);
  EXPECT_EQ(ReadIniString(ini_, "DRIVES", "C"), std::nullopt);
  EXPECT_EQ(ReadIniString(ini_, "DRIVES", "D"), "/mnt/d");

  for (const auto& entry : std::filesystem::directory_iterator(home_)) {
    EXPECT_EQ(entry.path().filename(), "config.ini") << "no temporary file left";
  }
}

// A file edited with tools of both line-ending conventions: values read the same before and
// after a rewrite, which writes the ending of the file's first line everywhere.
TEST_F(IniTest, MixedLineEndingsReadTheSameAfterARewrite) {
  WriteText(ini_, "[LANG]\nlang=ru\r\n[DRIVES]\r\nD=/srv/d\r\r\nE=/srv/e\n[OTHER]\r\r\nexit=1\r\n");
  EXPECT_EQ(ReadIniString(ini_, "DRIVES", "D"), "/srv/d");
  ASSERT_EQ(WriteIniString(ini_, "OTHER", "exit", "0"), 0);
  EXPECT_EQ(ReadText(ini_), "[LANG]\nlang=ru\n[DRIVES]\nD=/srv/d\nE=/srv/e\n[OTHER]\nexit=0\n");
  EXPECT_EQ(ReadIniString(ini_, "DRIVES", "D"), "/srv/d");
}

TEST_F(IniTest, WritesCreateTheFileAndRefuseWhatItCannotHold) {
  ASSERT_EQ(WriteIniString(ini_, "OTHER", "exit", "0"), 0);
  EXPECT_EQ(ReadText(ini_), "[OTHER]\nexit=0\n");
  WriteText(ini_, "[A]\nk=v");  // no line break at the end
  ASSERT_EQ(WriteIniString(ini_, "A", "k2", "v2"), 0);
  EXPECT_EQ(ReadText(ini_), "[A]\nk=v\nk2=v2\n");

  for (const auto& [section, key, value] : {std::tuple{"A", "k", "two\nlines"}, {"A", "k=x", "v"},
                                             {"A]", "k", "v"}, {"A", "", "v"}, {"A", ";k", "v"}}) {
    EXPECT_EQ(WriteIniString(ini_, section, key, value), EINVAL) << section << key << value;
  }
  EXPECT_EQ(ReadText(ini_), "[A]\nk=v\nk2=v2\n");
  EXPECT_EQ(WriteIniString(Path("no/such/folder/config.ini"), "A", "k", "v"), ENOENT)
      << "the errno value is reported for the log";
}

TEST_F(IniTest, LocaleNeedsBothLanguageKeys) {
  struct Case {
    const char* text;
    std::optional<uint32_t> locale;
  };
  const Case cases[] = {
      {"[LANG]\nplang=4\nslang=2\n", 0x804},
      {"[LANG]\nplang=9\nslang=1\n", 0x409},
      {"[LANG]\nplang=4\n", std::nullopt},
      {"[LANG]\nslang=2\n", std::nullopt},
      {"[OTHER]\nplang=4\nslang=2\n", std::nullopt},
      {"[LANG]\nplang=4x\nslang=junk\n", 4},  // a decimal parse stops at the first non-digit
  };
  for (const Case& c : cases) {
    WriteText(ini_, c.text);
    EXPECT_EQ(nvr::ReadLocaleId(ini_), c.locale) << c.text;
  }
  std::remove(ini_.c_str());
  EXPECT_EQ(nvr::ReadLocaleId(ini_), std::nullopt);
}

TEST_F(IniTest, ExitFlag) {
  int error = 0;
  EXPECT_EQ(nvr::ReadExitFlag(ini_, &error), std::nullopt);
  EXPECT_EQ(error, ENOENT);
  ASSERT_EQ(nvr::WriteExitFlag(ini_, false), 0);
  EXPECT_TRUE(nvr::ExitFlagShowsUncleanExit(nvr::ReadExitFlag(ini_, &error).value_or("")));
  ASSERT_EQ(nvr::WriteExitFlag(ini_, true), 0);
  EXPECT_EQ(nvr::ReadExitFlag(ini_, &error), "1");
  WriteText(ini_, "[OTHER]\nexit=" + std::string(100, '0') + "\n");
  EXPECT_EQ(nvr::ReadExitFlag(ini_, &error)->size(), 31u) << "read into a 32-byte buffer";
  EXPECT_EQ(nvr::WriteExitFlag(Path("missing/config.ini"), true), ENOENT);
}

}  // namespace
