// A replay window on a temporary program folder (config.ini with drives C and D), with its
// message boxes and folder openings recorded, and playable recordings made for the test.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "uishared/event_wait.h"
#include "replay/ui/replay_window.h"
#include "replay/ui/ui_texts.h"
#include "tests/replay/replay_test_support.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/test_archive.h"

// Readable texts in the failure messages of GoogleTest.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
QT_END_NAMESPACE

namespace uitest {

// Runs the event loop until `done` holds, at most `limit_ms`.
inline bool WaitFor(const std::function<bool()>& done, int limit_ms = 10000) {
  return qvui::RunEventsUntil(done, limit_ms);
}

// An H.264 recording of `pictures` pictures `step_ms` apart (a key picture every 4).
inline void WriteRecording(const std::string& path, int pictures, uint32_t step_ms = 400) {
  const std::vector<qvtest::Bytes> units = qvtest::H264Pictures(pictures);
  qvtest::WriteFile(path, qvtest::H264Recording(units, 5000, true, false, step_ms).Finish());
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    replay::InstallTranslation(replay::Language::kEnglish);
    Build(false);
  }
  void TearDown() override { window_.reset(); }

  void Build(bool soft) {
    window_.reset();
    replay::ReplayServices s;
    s.program_folder = home_.Path();
    s.drives = archive_.Drives();
    s.soft_mode = soft;
    s.show_message = [this](const QString& text) { messages_.push_back(text); };
    s.open_folder = [this](const std::string& folder) { opened_folders_.push_back(folder); };
    s.file_times = archive_.Times();
    window_ = std::make_unique<replay::ReplayWindow>(std::move(s));
    window_->show();
    // Shortcuts act only in the active window.
    QApplication::setActiveWindow(window_.get());
    ASSERT_TRUE(WaitFor([&] { return window_->isVisible() && window_->isActiveWindow(); }));
  }

  std::string Recording(const std::string& name, int pictures = 24) {
    const std::string path = home_.File(name);
    WriteRecording(path, pictures);
    return path;
  }

  qvtest::TempDir home_{"qv_replay_home"};
  TestArchive archive_;
  std::vector<QString> messages_;
  std::vector<std::string> opened_folders_;
  std::unique_ptr<replay::ReplayWindow> window_;
};

}  // namespace uitest
