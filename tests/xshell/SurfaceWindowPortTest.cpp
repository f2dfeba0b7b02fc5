// The X11 program's window seam, run with the real controller and pictures: the same frames as
// the software window of the frames tool, a resize laying out again, rows pushed only when they
// changed, and the pixel packing and monitor arithmetic in front of the X server.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Graphics.h"
#include "platform/SoftwareWindowPort.h"
#include "settings/Settings.h"
#include "slideshow/SlideShow.h"
#include "slideshow/SlideShowProc.h"
#include "xshell/FramePixels.h"
#include "xshell/SurfaceWindowPort.h"

namespace kavrosa::xshell {
namespace {

std::vector<uint8_t> Bytes(const SoftwareSurface& s) {
  return std::vector<uint8_t>(s.BottomUpPixels(), s.BottomUpPixels() + s.pixelBytes());
}

// The frames tool's frame after `ticks` ticks at `size`: no settings file, so the defaults.
std::vector<uint8_t> ToolFrame(Size size, int ticks) {
  ResetCountersForTesting();
  SoftwareWindowPort window(size, Point{});
  SlideShowProc(window, kWmCreate, 0, 0);
  SlideShowProc(window, kWmShowWindow, 1, 0);
  for (int i = 0; i < ticks; ++i) SlideShowProc(window, kWmTimer, window.timerId(), 0);
  std::vector<uint8_t> bytes = Bytes(window.surface());
  SlideShowProc(window, kWmDestroy, 0, 0);
  return bytes;
}

class SurfacePortShow : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_ = (std::filesystem::temp_directory_path() /
                 ("kavrosa-port-" +
                  std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".ini"))
                    .string();
    std::filesystem::remove(settings_);
    SetSettingsPathOverride(settings_.c_str());
  }
  void TearDown() override {
    SetSettingsPathOverride(nullptr);
    std::filesystem::remove(settings_);
  }
  std::string settings_;
};

TEST_F(SurfacePortShow, SameFramesAsTheFramesToolAndLayoutFollowsAResize) {
  const std::vector<uint8_t> fadeIn = ToolFrame(Size{640, 480}, 12);
  const std::vector<uint8_t> held = ToolFrame(Size{640, 480}, 40);
  const std::vector<uint8_t> heldSmall = ToolFrame(Size{400, 300}, 40);

  ResetCountersForTesting();
  TickTimer timer;
  SurfaceWindowPort port(Size{640, 480}, Point{}, timer);
  ASSERT_TRUE(port.ok());
  std::vector<uint8_t> shown;
  SlideShowProc(port, kWmCreate, 0, 0);
  SlideShowProc(port, kWmShowWindow, 1, 0);
  EXPECT_TRUE(timer.running());
  EXPECT_EQ(port.timerId(), kShowTimerId);
  EXPECT_EQ(port.TakeDrawnArea(), (Rect{0, 0, 640, 480}));  // new: the whole of it
  EXPECT_EQ(TakeChangedArea(port.surface(), Rect{0, 0, 640, 480}, shown), (Rect{0, 0, 640, 480}));

  int tick = 0;
  const auto tickTo = [&](int last) {
    while (tick < last) SlideShowProc(port, kWmTimer, port.timerId(), 0), ++tick;
  };
  tickTo(12);
  EXPECT_EQ(Bytes(port.surface()), fadeIn);
  tickTo(40);
  EXPECT_EQ(Bytes(port.surface()), held);
  // Picture 1 at its size in the middle: the fade-in drew there and nowhere else.
  const Rect picture{84, 63, 555, 416};
  EXPECT_EQ(port.TakeDrawnArea(), picture);
  EXPECT_EQ(TakeChangedArea(port.surface(), picture, shown), picture);
  EXPECT_TRUE(IsEmpty(port.TakeDrawnArea()));  // nothing drawn in between
  // A held tick pushes nothing: it draws nothing, or the same pixels again.
  tickTo(41);
  const Rect drawn = port.TakeDrawnArea();
  EXPECT_TRUE(IsEmpty(drawn) || IsEmpty(TakeChangedArea(port.surface(), drawn, shown)));

  port.Resize(Size{400, 300});
  SlideShowProc(port, kWmDisplayChange, 0, 0);
  tickTo(42);  // laid out again by this tick at the latest
  EXPECT_EQ(Counters().destRect, (Rect{0, 0, 400, 300}));
  EXPECT_EQ(Bytes(port.surface()), heldSmall);
  EXPECT_EQ(TakeChangedArea(port.surface(), port.TakeDrawnArea(), shown), (Rect{0, 0, 400, 300}));

  SlideShowProc(port, kWmDestroy, 0, 0);
  EXPECT_FALSE(timer.running());
  EXPECT_EQ(ReadPictureNumber(settings_.c_str()), 1);  // picture 1 was on screen
}

TEST(FramePixels, PackingFollowsTheVisualsMasks) {
  const PixelPacking rgb888 = PackingFromMasks(0xFF0000, 0x00FF00, 0x0000FF);
  EXPECT_EQ(PackPixel(rgb888, 0x12, 0x34, 0x56), 0x123456u);
  const PixelPacking bgr888 = PackingFromMasks(0x0000FF, 0x00FF00, 0xFF0000);
  EXPECT_EQ(PackPixel(bgr888, 0x12, 0x34, 0x56), 0x563412u);
  const PixelPacking rgb565 = PackingFromMasks(0xF800, 0x07E0, 0x001F);
  EXPECT_EQ(rgb565.green.shift, 5u);
  EXPECT_EQ(rgb565.green.bits, 6u);
  EXPECT_EQ(PackPixel(rgb565, 0xFF, 0xFF, 0xFF), 0xFFFFu);
  EXPECT_EQ(PackPixel(rgb565, 0x80, 0x40, 0x08), (0x10u << 11) | (0x10u << 5) | 0x01u);
  const PixelPacking deep = PackingFromMasks(0x3FF00000, 0x000FFC00, 0x000003FF);  // 10 bits
  EXPECT_EQ(PackPixel(deep, 0xFF, 0, 0x01), (0x3FCu << 20) | 0x004u);
  EXPECT_EQ(ChannelFromMask(0).bits, 0u);
  // A 32-bit deep (ARGB) visual: the alpha byte is set, or a compositor would show nothing.
  const PixelPacking argb = PackingFromMasks(0xFF0000, 0x00FF00, 0x0000FF, 32);
  EXPECT_EQ(PackPixel(argb, 0x12, 0x34, 0x56), 0xFF123456u);
  EXPECT_EQ(PackPixel(argb, 0, 0, 0), 0xFF000000u);
}

TEST(FramePixels, RowsArePackedTopDownFromTheBottomUpSurface) {
  SoftwareSurface surface(3, 2);
  ASSERT_TRUE(surface.valid());
  // A 3 x 2 bottom-up source: bottom row blue, green, red; top row white, black, grey.
  BitmapInfoHeader info{};
  info.biSize = 40;
  info.biWidth = 3;
  info.biHeight = 2;
  info.biPlanes = 1;
  info.biBitCount = 24;
  uint8_t* bits = nullptr;
  const DeviceContext dc = gfx::CreateCompatibleDc(nullptr);
  const BitmapHandle section = gfx::CreateDibSection(dc, &info, &bits);
  ASSERT_NE(bits, nullptr);
  const uint8_t rows[2][12] = {{0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0, 0, 0},
                               {0xFF, 0xFF, 0xFF, 0, 0, 0, 0x80, 0x80, 0x80, 0, 0, 0}};
  std::memcpy(bits, rows, sizeof rows);
  const BitmapHandle previous = gfx::SelectBitmap(dc, section);
  gfx::BitBlt(surface.dc(), 0, 0, 3, 2, dc, 0, 0, kSrcCopy);
  gfx::SelectBitmap(dc, previous);
  gfx::DeleteBitmap(section);
  gfx::DeleteDc(dc);

  uint32_t out[2][4] = {};
  PackArea32(surface, Rect{0, 0, 3, 2}, PackingFromMasks(0xFF0000, 0xFF00, 0xFF),
             reinterpret_cast<uint8_t*>(out), 16);
  EXPECT_EQ(out[0][0], 0xFFFFFFu);
  EXPECT_EQ(out[0][1], 0u);
  EXPECT_EQ(out[0][2], 0x808080u);
  EXPECT_EQ(out[1][0], 0x0000FFu);
  EXPECT_EQ(out[1][1], 0x00FF00u);
  EXPECT_EQ(out[1][2], 0xFF0000u);
  EXPECT_EQ(out[0][3], 0u);  // past the width: untouched

  uint32_t part[2][4] = {};
  PackArea32(surface, Rect{1, 1, 2, 2}, PackingFromMasks(0xFF0000, 0xFF00, 0xFF),
             reinterpret_cast<uint8_t*>(part), 16);
  EXPECT_EQ(part[1][1], 0x00FF00u);  // only the one pixel of the area
  EXPECT_EQ(part[1][0] | part[1][2] | part[0][1], 0u);

  std::vector<uint8_t> shown;
  EXPECT_EQ(TakeChangedArea(surface, Rect{}, shown), (Rect{0, 0, 3, 2}));
  surface.EraseRect(Rect{1, 1, 2, 2});  // the green pixel of the bottom row
  // Only rows that changed come back, at the width that was looked at.
  EXPECT_EQ(TakeChangedArea(surface, Rect{0, 0, 3, 2}, shown), (Rect{0, 1, 3, 2}));
  EXPECT_TRUE(IsEmpty(TakeChangedArea(surface, Rect{0, 0, 3, 2}, shown)));
  surface.EraseRect(Rect{0, 0, 1, 1});  // white to black, outside the area looked at
  EXPECT_TRUE(IsEmpty(TakeChangedArea(surface, Rect{1, 0, 3, 2}, shown)));
  EXPECT_EQ(TakeChangedArea(surface, Rect{-5, -5, 99, 99}, shown), (Rect{0, 0, 3, 1}));
}

TEST(Monitors, WindowGetsTheMonitorsItSpansInClientCoordinates) {
  const std::vector<Rect> screen{{0, 0, 1280, 1024}, {1280, 0, 2080, 600}};
  const std::vector<Rect> root = MonitorsInWindow(screen, Rect{0, 0, 2080, 1024});
  ASSERT_EQ(root.size(), 2u);
  EXPECT_EQ(root[0], (Rect{0, 0, 1280, 1024}));
  EXPECT_EQ(root[1], (Rect{1280, 0, 2080, 600}));
  const std::vector<Rect> across = MonitorsInWindow(screen, Rect{1000, 100, 1500, 700});
  ASSERT_EQ(across.size(), 2u);
  EXPECT_EQ(across[0], (Rect{0, 0, 280, 600}));
  EXPECT_EQ(across[1], (Rect{280, 0, 500, 500}));
  EXPECT_TRUE(MonitorsInWindow(screen, Rect{10, 10, 400, 300}).empty());
  EXPECT_TRUE(MonitorsInWindow({}, Rect{0, 0, 640, 480}).empty());

  TickTimer timer;
  SurfaceWindowPort port(Size{640, 480}, Point{}, timer);
  ASSERT_EQ(port.MonitorRects().size(), 1u);
  EXPECT_EQ(port.MonitorRects()[0], (Rect{0, 0, 640, 480}));
  port.SetMonitors(root);
  EXPECT_EQ(port.MonitorRects().size(), 2u);
}

}  // namespace
}  // namespace kavrosa::xshell
