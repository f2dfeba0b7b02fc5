// The controller on several monitors and with nothing to do: the picture laid out on each
// monitor and drawn there on every tick, a held picture drawn once, the window repainted from
// the frame it shows, and a display change laying the picture out again.
#include <gtest/gtest.h>

#include <vector>

#include "tests/slideshow/ShowFixture.h"
#ifndef _WIN32
#include "platform/SoftwareGraphics.h"
#endif

namespace kavrosa {
namespace {

using testing_pictures::CountMismatches;
using testing_pictures::PatternBytes;
using testing_pictures::ReferenceFrame;
using testing_pictures::ShowTest;

// Pixels inside `area` that differ from the bottom-up DIB `bytes` (width x height) drawn there.
int AreaMismatches(const SoftwareWindowPort& window, Rect area, const std::vector<uint8_t>& bytes,
                   int32_t width, int32_t height) {
  const int32_t stride = testing_pictures::StrideOf(width);
  int mismatches = 0;
  for (int32_t py = 0; py < height; ++py) {
    for (int32_t px = 0; px < width; ++px) {
      const uint8_t* p = bytes.data() + static_cast<size_t>(height - 1 - py) * stride + 3 * px;
      mismatches +=
          !(window.surface().Pixel(area.left + px, area.top + py) == (Bgr{p[0], p[1], p[2]}));
    }
  }
  return mismatches;
}

struct MonitorCase {
  std::vector<Rect> monitors;  // client coordinates, the primary first
  int32_t fit;
  Rect primary;
  Rect second;
  size_t scaledSizes;  // resampled once each, at the hand-over
};

class Monitors : public ShowTest, public ::testing::WithParamInterface<MonitorCase> {};

// Picture 4 (353 x 482) on a 1280 x 1024 primary with an 800 x 600 monitor beside it.
TEST_P(Monitors, ThePictureIsLaidOutOnEachMonitor) {
  const MonitorCase c = GetParam();
  WriteSettings(4, 15, c.fit);
  source_.SetDefaultSize({353, 482});
  MakeWindow(Size{2080, 1024});
  window_->SetMonitorRects(c.monitors);
  StartShow();
  EXPECT_EQ(Counters().destRect, c.primary);
  EXPECT_EQ(Counters().otherDestRects, std::vector<Rect>{c.second});
  EXPECT_EQ(show_->scaledFrames().surfaces(), c.scaledSizes);
  TickTimes(40);
  EXPECT_EQ(show_->scaledFrames().surfaces(), c.scaledSizes);
}

INSTANTIATE_TEST_SUITE_P(
    TwoMonitors, Monitors,
    ::testing::Values(
        // The second monitor to the right of the primary.
        MonitorCase{{{0, 0, 1280, 1024}, {1280, 0, 2080, 600}},
                    0,
                    {463, 271, 816, 753},
                    {1280 + 223, 59, 1280 + 576, 541},
                    0},
        MonitorCase{{{0, 0, 1280, 1024}, {1280, 0, 2080, 600}},
                    1,
                    {265, 0, 1014, 1024},
                    {1280 + 180, 0, 1280 + 619, 600},
                    2},
        // To its left: the client area starts at the second monitor, the primary at x = 800.
        MonitorCase{{{800, 0, 2080, 1024}, {0, 0, 800, 600}},
                    0,
                    {800 + 463, 271, 800 + 816, 753},
                    {223, 59, 576, 541},
                    0},
        MonitorCase{{{800, 0, 2080, 1024}, {0, 0, 800, 600}},
                    1,
                    {800 + 265, 0, 800 + 1014, 1024},
                    {180, 0, 619, 600},
                    2},
        // Two monitors of one size share the picture resampled to it.
        MonitorCase{{{0, 0, 1040, 1024}, {1040, 0, 2080, 1024}},
                    1,
                    {145, 0, 894, 1024},
                    {1040 + 145, 0, 1040 + 894, 1024},
                    1}));

TEST_F(ShowTest, OneMonitorIsTheWholeClientArea) {
  WriteSettings(2, 15);
  source_.SetDefaultSize({353, 482});
  MakeWindow(Size{640, 480});
  StartShow();
  EXPECT_EQ(Counters().destRect, (Rect{144, 0, 495, 480}));
  EXPECT_TRUE(Counters().otherDestRects.empty());
  EXPECT_EQ(show_->scaledFrames().surfaces(), 1u);
}

TEST_F(ShowTest, EveryMonitorShowsTheSameFrameOnEveryTick) {
  WriteSettings(3, 15);
  MakeWindow(Size{96, 48});
  window_->SetMonitorRects({{0, 0, 64, 48}, {64, 0, 96, 24}});
  StartShow();
  const Rect primary{21, 19, 42, 29}, second{64 + 5, 7, 64 + 26, 17};
  ASSERT_EQ(Counters().destRect, primary);
  ASSERT_EQ(Counters().otherDestRects, std::vector<Rect>{second});
  for (int32_t tick = 1; tick <= 31; ++tick) {
    show_->Tick(*window_);
    const std::vector<uint8_t> frame = ReferenceFrame(21, 10, 155, std::min(tick, 30), 30);
    ASSERT_EQ(AreaMismatches(*window_, primary, frame, 21, 10), 0) << tick;
    ASSERT_EQ(AreaMismatches(*window_, second, frame, 21, 10), 0) << tick;
  }
}

// From the tick that shows the whole picture until the fade-out shows less, nothing is drawn.
TEST_F(ShowTest, HeldPictureIsDrawnOnce) {
  WriteSettings(3, 15, 1);
  MakeWindow(Size{96, 48});
  // The primary shows the picture at its own size, the second one scaled.
  window_->SetMonitorRects({{0, 0, 21, 10}, {21, 0, 96, 48}});
  StartShow();
  TickTimes(29);  // tick 29 shows level 29 of 30: the whole picture
  EXPECT_TRUE(show_->lastTickDrew());
  const int blits = source_.blits();
#ifndef _WIN32
  const uint64_t calls = gfx::GetSoftwareStats().calls;
#endif
  for (int32_t tick = 30; tick <= 225 - 15; ++tick) {  // tick 210 shows level 14 of 15: whole
    show_->Tick(*window_);
    ASSERT_FALSE(show_->lastTickDrew()) << tick;
  }
  EXPECT_EQ(source_.blits(), blits);
#ifndef _WIN32
  // The fade-out's first frame was rendered, but nothing was drawn.
  const uint64_t renderCalls = gfx::GetSoftwareStats().calls - calls;
  EXPECT_LE(renderCalls, 4u);
#endif
  show_->Tick(*window_);  // level 13 of 15 on both monitors
  EXPECT_TRUE(show_->lastTickDrew());
  EXPECT_EQ(source_.blits(), blits + 1);
}

TEST_F(ShowTest, PaintPutsBackTheFrameOnScreenNotTheNextOne) {
  WriteSettings(3, 15);
  StartShow();
  const Rect area = Counters().destRect;
  TickTimes(10);  // shows level 10; level 11 is rendered for the next tick
  window_->InvalidateAll(true);
  show_->OnMessage(*window_, kWmPaint, 0, 0);
  EXPECT_EQ(window_->paints(), 1);
  EXPECT_EQ(CountMismatches(*window_, area, ReferenceFrame(21, 10, 155, 10, 30), 21, 10), 0);
  TickTimes(1);
  EXPECT_EQ(CountMismatches(*window_, area, ReferenceFrame(21, 10, 155, 11, 30), 21, 10), 0);
  TickTimes(40);
  window_->InvalidateAll(true);
  show_->OnMessage(*window_, kWmPaint, 0, 0);
  EXPECT_EQ(CountMismatches(*window_, area, PatternBytes(21, 10, 155), 21, 10), 0);
  EXPECT_EQ(window_->dcsOut(), 0);
}

TEST_F(ShowTest, DisplayChangeLaysOutAgainOnTheNextTick) {
  WriteSettings(3, 15);
  StartShow();  // 64 x 48, the picture held at (21, 19) from tick 30
  TickTimes(40);
  window_->SetMonitorRects({{0, 0, 32, 48}, {32, 0, 64, 24}});
  show_->OnMessage(*window_, kWmDisplayChange, 24, 0);
  EXPECT_EQ(Counters().destRect, (Rect{21, 19, 42, 29}));
  TickTimes(1);
  EXPECT_TRUE(show_->lastTickDrew());
  EXPECT_EQ(Counters().destRect, (Rect{5, 19, 26, 29}));
  EXPECT_EQ(Counters().otherDestRects, (std::vector<Rect>{{37, 7, 58, 17}}));
  const std::vector<uint8_t> whole = PatternBytes(21, 10, 155);
  EXPECT_EQ(AreaMismatches(*window_, Rect{5, 19, 26, 29}, whole, 21, 10), 0);
  EXPECT_EQ(AreaMismatches(*window_, Rect{37, 7, 58, 17}, whole, 21, 10), 0);
  EXPECT_EQ(window_->PixelAt(30, 25), 0u);  // the old place, now on no picture
  TickTimes(1);
  EXPECT_FALSE(show_->lastTickDrew());
  // A controller that never started, or has no picture, takes display changes and paints too.
  SlideShow idle(source_);
  EXPECT_EQ(idle.OnMessage(*window_, kWmDisplayChange, 24, 0), 0);
  EXPECT_EQ(idle.OnMessage(*window_, kWmPaint, 0, 0), 0);
  EXPECT_EQ(idle.Tick(*window_), 0);
}

// Fitting, the display changes in the fade-in to a monitor twice the picture's size: the next
// tick shows the next fade level there, each byte black exactly where its source byte is.
TEST_F(ShowTest, ScaledFrameAfterADisplayChangeIsTheCurrentFade) {
  WriteSettings(3, 15, 1);
  StartShow();
  EXPECT_EQ(Counters().destRect, (Rect{0, 9, 64, 39}));
  TickTimes(10);
  window_->SetMonitorRects({{0, 0, 42, 20}});
  show_->OnMessage(*window_, kWmDisplayChange, 24, 0);
  TickTimes(1);  // tick 11 shows level 11 of 30
  ASSERT_EQ(Counters().destRect, (Rect{0, 0, 42, 20}));
  EXPECT_EQ(show_->scaledFrames().surfaces(), 1u);
  const std::vector<uint8_t> frame = ReferenceFrame(21, 10, 155, 11, 30);
  int mismatches = 0;
  for (int32_t row = 0; row < 20; ++row) {  // memory order: bottom-up
    for (int32_t x = 0; x < 42; ++x) {
      const Bgr shown = window_->surface().Pixel(x, 19 - row);
      const uint8_t channels[3] = {shown.blue, shown.green, shown.red};
      for (int c = 0; c < 3; ++c) {
        const bool kept = frame[(row / 2) * 64 + 3 * (x / 2) + c] != 0;
        mismatches += kept != (channels[c] != 0);
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(window_->PixelAt(30, 30), 0u);  // the old place below the new one
}

}  // namespace
}  // namespace kavrosa
