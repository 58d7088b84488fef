// The overlay on the back surface: region frames and numbers, the alarm frames that go out
// after three seconds, the "Rec" mark, and the font's clipping.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <vector>

#include "netclient/media/display/bitmap_font.h"
#include "netclient/media/display/client_overlay.h"
#include "netclient/media/display/overlay.h"
#include "tests/display/display_test_support.h"

namespace qvnet {
namespace {

struct Canvas {
  Canvas(int w, int h) : pixels(static_cast<size_t>(w * h * 4), 0) { view = PixelView{pixels.data(), w, h, w * 4}; }
  Bgrx At(int x, int y) const {
    const uint8_t* p = &pixels[static_cast<size_t>((y * view.width + x) * 4)];
    return Bgrx{p[0], p[1], p[2]};
  }
  bool Is(int x, int y, Bgrx c) const {
    const Bgrx p = At(x, y);
    return p.b == c.b && p.g == c.g && p.r == c.r;
  }
  // Pixels of colour `c` inside [x0, x1) x [y0, y1).
  int Count(int x0, int y0, int x1, int y1, Bgrx c) const {
    int n = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) n += Is(x, y, c) ? 1 : 0;
    }
    return n;
  }
  std::vector<uint8_t> pixels;
  PixelView view;
};

TEST(Overlay, WhiteFramesWithNumbersForEveryRegion) {
  OverlayState s;
  s.mask = kShowAllRegions;
  s.regions[0] = RegionRect{70, 57, 352, 288};  // scaled to 200 x 200: 19,19 - 100,100
  s.regions[3] = RegionRect{0, 0, 0, 0};        // not drawn
  Canvas c(200, 200);
  DrawOverlay(s, c.view);
  EXPECT_TRUE(c.Is(19, 19, kWhite));
  EXPECT_TRUE(c.Is(99, 99, kWhite));
  EXPECT_TRUE(c.Is(60, 19, kWhite));
  EXPECT_TRUE(c.Is(19, 60, kWhite));
  EXPECT_FALSE(c.Is(20, 20, kWhite));  // inside the frame, outside the number
  EXPECT_FALSE(c.Is(100, 100, kWhite));
  // The number "0" at (left + 5, top + 5).
  EXPECT_GT(c.Count(24, 24, 24 + 8, 24 + kFontHeight, kWhite), 10);
  // Only region 0 was drawn.
  EXPECT_EQ(c.Count(0, 0, 200, 200, kWhite), c.Count(19, 19, 100, 100, kWhite));
}

TEST(Overlay, RecMarkAtTheTopRightOnlyWhileRecording) {
  OverlayState s;
  s.recording = true;
  Canvas c(100, 40);
  DrawOverlay(s, c.view);
  EXPECT_GT(c.Count(78, 0, 100, kFontHeight, kRed), 20);
  EXPECT_EQ(c.Count(0, 0, 78, 40, kRed), 0);
  s.recording = false;
  Canvas idle(100, 40);
  DrawOverlay(s, idle.view);
  EXPECT_EQ(idle.Count(0, 0, 100, 40, kRed), 0);
}

TEST(BitmapFont, TextOutsideTheSurfaceIsClipped) {
  Canvas c(10, 10);
  DrawText(c.view, -5, -8, "0123456789Rec", kRed);
  DrawText(c.view, 8, 8, "88", kRed);
  DrawText(PixelView{}, 0, 0, "1", kRed);
  EXPECT_GT(c.Count(0, 0, 10, 10, kRed), 0);
  EXPECT_EQ(TextWidth("Rec"), 7 + 6 + 6 + 3);
}

// A record pair whose normal recording can be switched on without a file.
TEST(ClientOverlay, AlarmFrameForThreeSecondsAndRecWhileRecording) {
  test::SteppingClock clock(50000);
  DisplayControl control;
  MotionState motion;
  bool recording = false;
  const OverlayInputs inputs{&control, &motion, [&recording] { return recording; }};
  control.window = 7;  // drawn only for a client with a window
  control.region_display_mask = kShowAlarmRegions;
  {
    std::lock_guard<std::mutex> lock(motion.lock);
    motion.regions.rect[2][0] = 100;
    motion.regions.rect[2][1] = 100;
    motion.regions.rect[2][2] = 300;
    motion.regions.rect[2][3] = 300;
  }
  motion.mask = 1u << 2;
  motion.last_report[2] = 50000;

  auto draw = [&inputs] {
    auto c = std::make_unique<Canvas>(704, 576);
    DrawClientOverlay(c->view, const_cast<OverlayInputs*>(&inputs));
    return c;
  };
  clock.Set(52999);
  EXPECT_TRUE(draw()->Is(100, 100, kRed));
  EXPECT_EQ(draw()->Count(600, 0, 704, 20, kRed), 0);  // not recording
  recording = true;
  EXPECT_GT(draw()->Count(682, 0, 704, kFontHeight, kRed), 20);
  clock.Set(53000);
  recording = false;
  const auto late = draw();
  EXPECT_EQ(late->Count(0, 0, 704, 576, kRed), 0);
  // Mask bit 1 off: no alarm frames even while the alarm is fresh.
  clock.Set(50001);
  control.region_display_mask = 0;
  EXPECT_EQ(draw()->Count(0, 0, 704, 576, kRed), 0);
  // Without a display window nothing is drawn.
  control.region_display_mask = kShowAllRegions;
  control.window = 0;
  EXPECT_EQ(draw()->Count(0, 0, 704, 576, kWhite), 0);
}

}  // namespace
}  // namespace qvnet
