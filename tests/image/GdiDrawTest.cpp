// Drawing into a real GDI memory DC (Windows build, run under Wine): a 24-bit DIB section as the
// target, the picture drawn with Blit, DrawAt and DrawRect, and the pixels read back with
// GetDIBits, for 24-bit and 8-bit palettised pictures, copied and stretched.
#ifdef _WIN32
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "image/DibImage.h"
#include "tests/image/PictureFixtures.h"

namespace kavrosa {
namespace {

using testing::GradientPixels;
using testing::Install;
using testing::MakeHeader;

constexpr int kTargetWidth = 40;
constexpr int kTargetHeight = 30;

// A memory DC with a black 24-bit DIB section selected; pixels read back with GetDIBits.
class GdiTarget {
 public:
  GdiTarget() {
    dc_ = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader = Info();
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    previous_ = SelectObject(dc_, bitmap_);
  }
  ~GdiTarget() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  GdiTarget(const GdiTarget&) = delete;
  GdiTarget& operator=(const GdiTarget&) = delete;

  DeviceContext dc() const { return reinterpret_cast<DeviceContext>(dc_); }
  HDC hdc() const { return dc_; }

  // Pixel (x, y) from the top as 0x00RRGGBB, read through GetDIBits of a top-down copy.
  uint32_t Pixel(int x, int y) {
    GdiFlush();
    BITMAPINFO info{};
    info.bmiHeader = Info();
    info.bmiHeader.biHeight = -kTargetHeight;
    const int stride = (kTargetWidth * 3 + 3) / 4 * 4;
    std::vector<uint8_t> rows(static_cast<size_t>(stride) * kTargetHeight);
    // GetDIBits wants the bitmap not selected into a DC.
    SelectObject(dc_, previous_);
    const int got = GetDIBits(dc_, bitmap_, 0, kTargetHeight, rows.data(), &info, DIB_RGB_COLORS);
    SelectObject(dc_, bitmap_);
    EXPECT_EQ(got, kTargetHeight);
    const uint8_t* p = rows.data() + static_cast<size_t>(y) * stride + 3 * x;
    return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
  }

 private:
  static BITMAPINFOHEADER Info() {
    BITMAPINFOHEADER h{};
    h.biSize = sizeof(h);
    h.biWidth = kTargetWidth;
    h.biHeight = kTargetHeight;
    h.biPlanes = 1;
    h.biBitCount = 24;
    h.biCompression = BI_RGB;
    return h;
  }

  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

uint32_t GradientColour(int x, int y) {
  return (200u << 16) | (static_cast<uint32_t>(y) << 8) | static_cast<uint32_t>(x);
}

TEST(GdiDraw, TwentyFourBitCopy) {
  GdiTarget target;
  DibImage image;
  Install(image, MakeHeader(10, 8, 24), {}, GradientPixels(10, 8));
  EXPECT_EQ(image.Blit(target.dc(), Rect{5, 6, 15, 14}, Rect{0, 0, 10, 8}, kSrcCopy), 1);
  EXPECT_EQ(target.Pixel(5, 6), GradientColour(0, 0));
  EXPECT_EQ(target.Pixel(14, 13), GradientColour(9, 7));
  EXPECT_EQ(target.Pixel(8, 10), GradientColour(3, 4));
  EXPECT_EQ(target.Pixel(4, 6), 0u);
  EXPECT_EQ(target.Pixel(15, 14), 0u);
}

TEST(GdiDraw, TwentyFourBitStretchDoubles) {
  GdiTarget target;
  DibImage image;
  Install(image, MakeHeader(10, 8, 24), {}, GradientPixels(10, 8));
  EXPECT_EQ(image.Blit(target.dc(), Rect{0, 0, 20, 16}, Rect{0, 0, 10, 8}, kSrcCopy), 1);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 20; ++x) EXPECT_EQ(target.Pixel(x, y), GradientColour(x / 2, y / 2));
  }
}

TEST(GdiDraw, TwentyFourBitReductionOfUniformBlocks) {
  GdiTarget target;
  SetStretchBltMode(target.hdc(), COLORONCOLOR);
  DibImage image;
  // 8 x 4 made of 2 x 2 blocks: block (bx, by) has blue 10 bx + by.
  std::vector<uint8_t> pixels(24 * 4, 0);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 8; ++x)
      pixels[static_cast<size_t>(3 - y) * 24 + 3 * x] = 10 * (x / 2) + y / 2;
  }
  Install(image, MakeHeader(8, 4, 24), {}, pixels);
  image.Blit(target.dc(), Rect{0, 0, 4, 2}, Rect{0, 0, 8, 4}, kSrcCopy);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(target.Pixel(x, y), static_cast<uint32_t>(10 * x + y));
  }
}

TEST(GdiDraw, DrawAtAndDrawRectOfATopDownPicture) {
  GdiTarget target;
  DibImage image;
  std::vector<uint8_t> pixels(8 * 3, 0);  // 2 x -3: stride 8, top row first
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 2; ++x) pixels[static_cast<size_t>(y) * 8 + 3 * x] = 1 + y * 2 + x;
  }
  Install(image, MakeHeader(2, -3, 24), {}, pixels);
  EXPECT_EQ(image.DrawAt(target.dc(), 1, 1, kSrcCopy), 1);
  EXPECT_EQ(target.Pixel(1, 1), 1u);
  EXPECT_EQ(target.Pixel(2, 3), 6u);
  EXPECT_EQ(image.DrawRect(target.dc(), 10, 10, Rect{1, 1, 2, 3}, kSrcCopy), 1);
  EXPECT_EQ(target.Pixel(10, 10), 4u);
  EXPECT_EQ(target.Pixel(10, 11), 6u);
  EXPECT_EQ(target.Pixel(11, 10), 0u);
}

// 8-bit: 4 x 2, colour table of four strong colours, indexes 0 1 2 3 / 3 2 1 0.
void InstallPalettised(DibImage& image) {
  const std::vector<RgbQuad> colours = {
      {0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}, {255, 255, 255, 0}};
  Install(image, MakeHeader(4, 2, 8, 4), colours, {3, 2, 1, 0, 0, 1, 2, 3});
  BlockLock lock(image.headerBlock());
  image.MakePalette(lock.data(), lock.size());
}

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;

TEST(GdiDraw, PalettisedCopy) {
  GdiTarget target;
  DibImage image;
  InstallPalettised(image);
  ASSERT_NE(image.palette(), nullptr);
  EXPECT_EQ(image.DrawAt(target.dc(), 0, 0, kSrcCopy), 1);
  // Top row (the block's second row): 0 1 2 3.
  EXPECT_EQ(target.Pixel(0, 0), kRed);
  EXPECT_EQ(target.Pixel(1, 0), kGreen);
  EXPECT_EQ(target.Pixel(2, 0), kBlue);
  EXPECT_EQ(target.Pixel(3, 0), kWhite);
  EXPECT_EQ(target.Pixel(0, 1), kWhite);
  EXPECT_EQ(target.Pixel(3, 1), kRed);
}

TEST(GdiDraw, PalettisedStretch) {
  GdiTarget target;
  DibImage image;
  InstallPalettised(image);
  EXPECT_EQ(image.Blit(target.dc(), Rect{0, 0, 12, 6}, Rect{0, 0, 4, 2}, kSrcCopy), 1);
  const uint32_t top[] = {kRed, kGreen, kBlue, kWhite};
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 12; ++x) {
      const uint32_t expected = y < 3 ? top[x / 3] : top[3 - x / 3];
      EXPECT_EQ(target.Pixel(x, y), expected) << x << "," << y;
    }
  }
}

TEST(GdiDraw, NotLoadedDrawsNothing) {
  GdiTarget target;
  DibImage image;
  Install(image, MakeHeader(10, 8, 24), {}, GradientPixels(10, 8), /*loaded=*/false);
  EXPECT_EQ(image.DrawAt(target.dc(), 0, 0, kSrcCopy), 0);
  EXPECT_EQ(image.dibSection(), nullptr);
  EXPECT_EQ(target.Pixel(1, 1), 0u);
}

}  // namespace
}  // namespace kavrosa
#endif  // _WIN32
