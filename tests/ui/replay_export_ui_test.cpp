// The replay window's Export action through the real libQVNetClient.so: marks on the slider,
// the dialog offering the marked part, the export on its worker with the progress bar, and
// the cases without a file or without marks.
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>
#include <filesystem>

#include "netclient/media/record/record_reader.h"
#include "replay/ui/export_dialog.h"
#include "replay/ui/marked_slider.h"
#include "replay/ui/transport_bar.h"
#include "tests/ui/window_fixture.h"

namespace {

using uitest::WaitFor;

class ExportUiTest : public uitest::WindowTest {
 protected:
  replay::TransportBar& Bar() { return *window_->Transport(); }
  // Seeks and waits until the library reports the position.
  void SeekTo(uint32_t s) {
    window_->GetPlayer().SeekTo(static_cast<int>(s));
    ASSERT_TRUE(WaitFor([&] { return window_->GetPlayer().Position() == s; }));
  }
};

// The pictures a part from `from_s` to `to_s` holds in a recording of pictures 400 ms apart from
// tick 5000: from the last key picture at or before its start, up to its end.
int PicturesInPart(const std::string& path, uint32_t from_s, uint32_t to_s) {
  qvnet::RecordFileReader reader;
  if (reader.Open(path) != qvnet::RecordOpenResult::kOk) return -1;
  uint32_t key = 5000;
  for (const qvnet::IndexEntry& e : reader.Index()) {
    if (e.tick <= 5000 + from_s * 1000) key = e.tick;
  }
  return static_cast<int>((5000 + to_s * 1000 - key + 399) / 400);
}

TEST_F(ExportUiTest, MarkedPartIsExportedWithItsProgress) {
  const std::string path = Recording("export_me.h264", 24);
  ASSERT_TRUE(window_->OpenAndReport(QString::fromStdString(path)));
  window_->GetPlayer().Pause();
  SeekTo(6);
  Bar().MarkEndButton()->click();
  SeekTo(2);
  Bar().MarkStartButton()->click();
  EXPECT_EQ(window_->Marks().start, 2u);
  EXPECT_EQ(window_->Marks().end, 6u);
  EXPECT_EQ(Bar().Marked()->Marks().start, 2u);

  Bar().ExportButton()->click();
  replay::ExportDialog* dialog = window_->CurrentExport();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_TRUE(dialog->PartButton()->isEnabled());
  EXPECT_TRUE(dialog->PartButton()->isChecked());
  EXPECT_EQ(dialog->PartButton()->text(), "Marked part (00:02 to 00:06)");
  EXPECT_TRUE(dialog->OutputEdit()->text().endsWith("export_me_2-6s.mp4")) << dialog->OutputEdit()->text().toStdString();
  const QString out = QString::fromStdString(home_.File("part.mkv"));
  dialog->OutputEdit()->setText(out);
  std::vector<int> progress;
  QObject::connect(dialog->Progress(), &QProgressBar::valueChanged, [&](int v) { progress.push_back(v); });
  dialog->StartButton()->click();
  EXPECT_TRUE(dialog->Running());
  EXPECT_EQ(dialog->CloseButton()->text(), "Cancel");
  ASSERT_TRUE(WaitFor([&] { return !dialog->Running(); }));
  EXPECT_EQ(dialog->Progress()->value(), 100);
  ASSERT_FALSE(progress.empty());
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  const QString expected = QStringLiteral("Exported %1 pictures").arg(PicturesInPart(path, 2, 6));
  EXPECT_TRUE(dialog->Status()->text().startsWith(expected)) << dialog->Status()->text().toStdString();
  EXPECT_TRUE(std::filesystem::exists(out.toStdString()));
  EXPECT_EQ(dialog->CloseButton()->text(), "Close");

  // Another file forgets the marks.
  const std::string other = Recording("other.h264", 8);
  ASSERT_TRUE(window_->OpenAndReport(QString::fromStdString(other)));
  EXPECT_FALSE(window_->Marks().Any());
}

TEST_F(ExportUiTest, WholeFileWithoutMarksAndNothingWithoutAFile) {
  Bar().ExportButton()->click();
  EXPECT_EQ(window_->CurrentExport(), nullptr);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_TRUE(messages_[0].startsWith("Open a recording first")) << messages_[0].toStdString();
  Bar().MarkStartButton()->click();
  EXPECT_FALSE(window_->Marks().Any()) << "no marks without a file";

  ASSERT_TRUE(window_->OpenAndReport(QString::fromStdString(Recording("whole.h264", 12))));
  Bar().ExportButton()->click();
  replay::ExportDialog* dialog = window_->CurrentExport();
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(dialog->PartButton()->isEnabled());
  EXPECT_TRUE(dialog->WholeButton()->isChecked());
  dialog->OutputEdit()->setText(QString::fromStdString(home_.File("whole.avi")));
  dialog->StartButton()->click();
  ASSERT_TRUE(WaitFor([&] { return !dialog->Running(); }));
  EXPECT_TRUE(dialog->Status()->text().contains("must end in .mp4, .mov or .mkv")) << dialog->Status()->text().toStdString();
  dialog->OutputEdit()->setText(QString::fromStdString(home_.File("whole.mp4")));
  dialog->StartButton()->click();
  ASSERT_TRUE(WaitFor([&] { return !dialog->Running(); }));
  EXPECT_TRUE(dialog->Status()->text().startsWith("Exported 12 pictures")) << dialog->Status()->text().toStdString();
}

}  // namespace
