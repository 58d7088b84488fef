// The export rules of the replay window without a window: the part the slider's marks
// enclose and the default file names.
#include <gtest/gtest.h>

#include "replay/core/export_part.h"

namespace {

using replay::ExportPart;
using replay::SliderMarks;

TEST(ExportPart, MarksEncloseAPart) {
  struct Case {
    const char* name;
    SliderMarks marks;
    bool part;
    uint32_t from;
    std::optional<uint32_t> to;
  };
  const Case cases[] = {
      {"no marks", {}, false, 0, {}},
      {"both", {12, 30}, true, 12, 30},
      {"wrong way round", {30, 12}, true, 12, 30},
      {"start only: to the end", {12, {}}, true, 12, {}},
      {"end only: from the start", {{}, 30}, true, 0, 30},
      {"end on the last second: to the end", {12, 60}, true, 12, {}},
      {"beyond the file", {70, 90}, false, 0, {}},
      {"one second", {12, 12}, false, 0, {}},
  };
  for (const Case& c : cases) {
    const std::optional<ExportPart> p = replay::MarkedPart(c.marks, 60);
    ASSERT_EQ(p.has_value(), c.part) << c.name;
    if (!c.part) continue;
    EXPECT_EQ(p->from_s, c.from) << c.name;
    EXPECT_EQ(p->to_s, c.to) << c.name;
  }
}

TEST(ExportPart, DefaultNames) {
  EXPECT_EQ(replay::DefaultExportPath("/r/Gate(10.0.0.1_554)_1_2024_01_02_03_04_05.h264", "mp4", std::nullopt),
            "/r/Gate(10.0.0.1_554)_1_2024_01_02_03_04_05.mp4");
  EXPECT_EQ(replay::DefaultExportPath("/r.d/file", "mkv", ExportPart{5, 9}), "/r.d/file_5-9s.mkv");
  EXPECT_EQ(replay::DefaultExportPath("a.h264", "mov", ExportPart{5, {}}), "a_5-ends.mov");
}

}  // namespace
