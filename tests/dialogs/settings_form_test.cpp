// The system settings dialog's model: the choices shown for a settings block, the reserve
// editor's clamping, the block OK returns, and what applying it writes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <string>

#include "nvr/dialogs/model/settings_apply.h"
#include "nvr/dialogs/model/settings_form.h"
#include "tests/core/engine_fixture.h"

namespace {

using nvrdlg::CommitReserve;
using nvrdlg::SettingsChoices;

class SettingsFormTest : public coretest::EngineTest {
 protected:
  nvr::DriveMap Drives() {
    return nvr::DriveMap({{'C', Path("c")}, {'D', Path("d")}, {'E', Path("not-mounted")}});
  }
  nvr::SettingsBlock Saved() {
    nvr::SettingsBlock block = nvr::DefaultSettings('D');
    block.drives[0].reserve_mb = 800;
    block.live_log_rows = 1000;
    return block;
  }
};

TEST_F(SettingsFormTest, ChoicesShowTheFixedDrivesAndTheSavedValues) {
  const SettingsChoices c = nvrdlg::ChoicesFromSettings(Saved(), Drives());
  ASSERT_EQ(c.drives.size(), 2u);  // E's root is not there
  EXPECT_EQ(nvrdlg::DriveText(c.drives[0].letter), "C:");
  EXPECT_FALSE(c.drives[0].ticked);
  EXPECT_EQ(c.drives[0].reserve, "500");
  EXPECT_EQ(c.drives[0].root, Path("c"));
  EXPECT_TRUE(c.drives[1].ticked);
  EXPECT_EQ(c.drives[1].reserve, "800");
  struct statvfs st {};
  ASSERT_EQ(statvfs(Path("d").c_str(), &st), 0);
  EXPECT_EQ(nvrdlg::GigabytesText(c.drives[1].space.capacity_bytes),
            nvrdlg::GigabytesText(static_cast<uint64_t>(st.f_blocks) * st.f_frsize));
  EXPECT_EQ(nvrdlg::GigabytesText(3ull << 30), "3.00");
  EXPECT_EQ(nvrdlg::kSplitMinuteItems[static_cast<size_t>(c.split_index)], 60);
  EXPECT_EQ(c.hotkey_index, 'G' - 'A');
  EXPECT_EQ(c.disk_full_policy, 1);

  nvr::SettingsBlock odd = Saved();
  odd.split_minutes = 1;   // the first item beginning with "1": "10"
  odd.hotkey = 0;          // a damaged file
  odd.disk_full_policy = 7;
  const SettingsChoices o = nvrdlg::ChoicesFromSettings(odd, Drives());
  EXPECT_EQ(nvrdlg::kSplitMinuteItems[static_cast<size_t>(o.split_index)], 10);
  EXPECT_EQ(o.hotkey_index, 'G' - 'A');
  const nvrdlg::SettingsResult r = nvrdlg::SettingsFromChoices(o, odd, nvr::Language::kEnglish);
  ASSERT_TRUE(r.block.has_value());
  EXPECT_EQ(r.block->hotkey, 71);
  EXPECT_EQ(r.block->split_minutes, 10);
  EXPECT_EQ(r.block->disk_full_policy, 7);  // neither box ticked: kept
}

TEST_F(SettingsFormTest, ReserveEditorClampsOnlyWhenCommitted) {
  EXPECT_EQ(CommitReserve("250"), "300");
  EXPECT_EQ(CommitReserve("5000"), "2000");
  EXPECT_EQ(CommitReserve("0800"), "0800");
  EXPECT_EQ(CommitReserve(""), "300");
  EXPECT_EQ(CommitReserve("99999999999999"), "2000");
  EXPECT_EQ(nvrdlg::FilterReserveInput("a1-2b3"), "123");
  EXPECT_EQ(nvrdlg::FilterReserveInput("12345678901"), "123456789");
}

TEST_F(SettingsFormTest, OkBuildsTheDriveTableFromTheTickedRows) {
  SettingsChoices c = nvrdlg::ChoicesFromSettings(Saved(), Drives());
  for (auto& row : c.drives) row.ticked = false;
  const nvrdlg::SettingsResult none = nvrdlg::SettingsFromChoices(c, Saved(), nvr::Language::kEnglish);
  EXPECT_FALSE(none.block.has_value());
  EXPECT_EQ(none.message, "Please select at lease one recording drive!");

  c.drives[0].ticked = true;
  c.drives[0].reserve = CommitReserve("0800");
  c.split_index = -1;   // nothing selected: the saved length stays
  c.hotkey_index = 'H' - 'A';
  c.watchdog = true;
  const nvrdlg::SettingsResult ok = nvrdlg::SettingsFromChoices(c, Saved(), nvr::Language::kEnglish);
  ASSERT_TRUE(ok.block.has_value());
  EXPECT_EQ(ok.block->drives[0].letter, 'C');
  EXPECT_EQ(ok.block->drives[0].reserve_mb, 800u);
  EXPECT_EQ(ok.block->drives[1].letter, 0);
  EXPECT_EQ(ok.block->hotkey, 72);
  EXPECT_EQ(ok.block->split_minutes, 60);
  EXPECT_EQ(ok.block->watchdog, 1);
  EXPECT_EQ(ok.block->live_log_rows, 1000);  // not the dialog's: carried
}

TEST_F(SettingsFormTest, ApplyingWritesLocalDatAndTheLogInEntryAndReportsFailures) {
  StartCore();
  const std::string config = Path("config home");
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  const nvrdlg::AutorunPlace place = nvrdlg::DefaultAutorunPlace("/opt/qv nvr/QV_NVR", "/srv/a \"b\" $c%");
  EXPECT_EQ(place.file, config + "/autostart/QV_NVR.desktop");
  nvr::SettingsBlock block = settings_;
  block.autorun = 1;
  block.hotkey = 'H';
  nvrdlg::ApplyOutcome out = nvrdlg::ApplySystemSettings(*core_, block, place, nvr::Language::kEnglish);
  EXPECT_TRUE(out.hotkey_changed);
  EXPECT_TRUE(out.messages.empty());
  EXPECT_EQ(ReadText(nvr::LocalDatPath(home_)), nvr::EncodeSettings(block));
  const std::string entry = ReadText(place.file);
  EXPECT_NE(entry.find("\nExec=env \"QV_NVR_HOME=/srv/a \\\\\"b\\\\\" \\\\$c%%\" \"/opt/qv nvr/QV_NVR\" -autorun\n"),
            std::string::npos)
      << entry;

  block.autorun = 0;
  out = nvrdlg::ApplySystemSettings(*core_, block, place, nvr::Language::kEnglish);
  EXPECT_FALSE(out.hotkey_changed);
  EXPECT_FALSE(Exists(place.file));

  // Local.dat cannot be written (a folder in its place): reported, in force all the same.
  ASSERT_EQ(unlink(nvr::LocalDatPath(home_).c_str()), 0);
  ASSERT_EQ(mkdir(nvr::LocalDatPath(home_).c_str(), 0755), 0);
  block.split_minutes = 15;
  out = nvrdlg::ApplySystemSettings(*core_, block, place, nvr::Language::kEnglish);
  ASSERT_EQ(out.messages.size(), 1u);
  EXPECT_EQ(out.messages[0].rfind("The settings could not be saved: " + nvr::LocalDatPath(home_), 0), 0u);
  EXPECT_EQ(core_->SplitMinutes(), 15);
  unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
