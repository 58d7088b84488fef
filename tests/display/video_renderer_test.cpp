// The renderer against in-memory windows: what reaches the window, set-up after resizes and
// picture size changes, refresh, and windows that are empty or gone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "netclient/media/display/video_renderer.h"
#include "netclient/media/display/yuv_convert_simd.h"
#include "tests/display/display_test_support.h"

namespace qvnet {
namespace {

using test::OwnedYuv;
using test::TestWindow;

TEST(VideoRenderer, SurfaceKindFromTheEnvironmentText) {
  struct Case {
    const char* text;
    SurfaceKind kind;
  };
  const Case cases[] = {{nullptr, SurfaceKind::kBgr0}, {"", SurfaceKind::kBgr0},
                        {"1", SurfaceKind::kUyvy},     {"3", SurfaceKind::kBgr},
                        {"5", SurfaceKind::kRgb555},   {"0", SurfaceKind::kBgr0},
                        {"6", SurfaceKind::kBgr0},     {"22", SurfaceKind::kBgr0}};
  for (const Case& c : cases) EXPECT_EQ(SurfaceKindFromText(c.text), c.kind) << (c.text ? c.text : "null");
}

TEST(VideoRenderer, OneToOnePictureReachesTheWindowWithTheOverlay) {
  TestWindow window(16, 8);
  int overlay_calls = 0;
  CVideoRenderer::Hooks hooks;
  hooks.overlay = [](const PixelView& back, void* user) {
    ++*static_cast<int*>(user);
    back.pixels[0] = 0x42;  // drawn after the stretch: must show in the window
  };
  hooks.overlay_user = &overlay_calls;
  int stored_w = 0, stored_h = 0;
  hooks.window_size = [&](int w, int h) {
    stored_w = w;
    stored_h = h;
  };
  CVideoRenderer renderer(hooks);
  const OwnedYuv p(16, 8, 5);
  ASSERT_TRUE(renderer.Render(p.View(), window.handle, false));
  EXPECT_EQ(stored_w, 16);
  EXPECT_EQ(stored_h, 8);
  EXPECT_EQ(overlay_calls, 1);
  EXPECT_EQ(renderer.Kind(), SurfaceKind::kBgr0);
  std::vector<uint8_t> want(16 * 8 * 4);
  ASSERT_TRUE(ConvertYuv(p.View(), SurfaceKind::kBgr0, false, PixelView{want.data(), 16, 8, 64}));
  want[0] = 0x42;
  EXPECT_EQ(window.sink->LastImage().bgrx, want);
}

TEST(VideoRenderer, ResizeSetsUpAgainAndRefreshRedrawsAtTheNewSize) {
  TestWindow window(32, 16);
  CVideoRenderer renderer;
  const OwnedYuv p(16, 8, 6);
  EXPECT_EQ(renderer.Refresh(), 0);  // nothing drawn yet
  ASSERT_TRUE(renderer.Render(p.View(), window.handle, false));
  EXPECT_EQ(renderer.Refresh(), 1);
  EXPECT_EQ(window.sink->PresentCount(), 2u);

  window.sink->SetClientSize(48, 24);
  EXPECT_EQ(renderer.Refresh(), 1);  // sees the new size, sets up, draws once more
  EXPECT_EQ(window.sink->PresentCount(), 3u);
  EXPECT_EQ(window.sink->LastImage().width, 48);
  EXPECT_EQ(window.sink->LastImage().height, 24);

  // A resize between pictures: the picture that finds it is not shown, the next one is
  // drawn at the new size.
  window.sink->SetClientSize(20, 10);
  EXPECT_FALSE(renderer.Render(p.View(), window.handle, false));
  EXPECT_FALSE(renderer.Initialised());
  EXPECT_TRUE(renderer.Render(p.View(), window.handle, false));
  EXPECT_EQ(window.sink->LastImage().width, 20);
  EXPECT_TRUE(renderer.Initialised());
}

TEST(VideoRenderer, EmptyVanishedAndChangedWindows) {
  const OwnedYuv p(8, 8, 3);
  {
    TestWindow hidden(0, 0);
    CVideoRenderer renderer;
    EXPECT_FALSE(renderer.Render(p.View(), hidden.handle, false));
    EXPECT_EQ(hidden.sink->PresentCount(), 0u);
    EXPECT_EQ(renderer.Refresh(), 0);
    hidden.sink->SetClientSize(8, 8);  // shown again: the next picture sets up
    EXPECT_TRUE(renderer.Render(p.View(), hidden.handle, false));
  }
  auto first = std::make_unique<TestWindow>(8, 8);
  TestWindow second(12, 6);
  CVideoRenderer renderer;
  ASSERT_TRUE(renderer.Render(p.View(), first->handle, false));
  const qvp::WindowHandle gone = first->handle;
  first.reset();  // unregistered while the renderer still points at it
  EXPECT_FALSE(renderer.Render(p.View(), gone, false));
  renderer.Refresh();  // fails quietly: there is no window to draw into
  renderer.SetWindow(second.handle);
  EXPECT_FALSE(renderer.Initialised());
  EXPECT_TRUE(renderer.Render(p.View(), second.handle, false));
  EXPECT_EQ(second.sink->LastImage().width, 12);
}

TEST(VideoRenderer, EveryKindFromTheEnvironmentShowsThePicture) {
  TestWindow window(8, 8);
  const OwnedYuv p(8, 8, 4);
  std::vector<uint8_t> want(8 * 8 * 4);
  ASSERT_TRUE(ConvertYuvTable(p.View(), SurfaceKind::kBgr0, false, PixelView{want.data(), 8, 8, 32}));
  for (const char* kind : {"1", "2", "3", "4", "5"}) {
    setenv(kSurfaceKindVariable, kind, 1);
    CVideoRenderer renderer;
    ASSERT_TRUE(renderer.Render(p.View(), window.handle, false));
    EXPECT_EQ(static_cast<int>(renderer.Kind()), kind[0] - '0');
    const std::vector<uint8_t> got = window.sink->LastImage().bgrx;
    int worst = 0;
    for (size_t i = 0; i < want.size(); ++i) worst = std::max(worst, std::abs(got[i] - want[i]));
    EXPECT_LE(worst, 14) << "kind " << kind;
  }
  unsetenv(kSurfaceKindVariable);
}

}  // namespace
}  // namespace qvnet
