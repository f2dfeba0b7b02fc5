// The surface and the drawing seam under it: erasing, reading back, and the software stretch
// rule, clipping, raster operations and pixel formats. The GDI-specific rule checks are native.
#include <gtest/gtest.h>

#include <vector>

#include "image/DibImage.h"
#include "platform/Graphics.h"
#ifndef _WIN32
#include "platform/SoftwareGraphics.h"
#endif
#include "platform/SoftwareSurface.h"
#include "tests/image/PictureFixtures.h"

namespace kavrosa {
namespace {

using testing::Install;
using testing::MakeHeader;

TEST(SoftwareSurface, StartsBlackAndRefusesBadSizes) {
  SoftwareSurface surface(7, 5);
  ASSERT_TRUE(surface.valid());
  EXPECT_EQ(surface.stride(), 24);
  EXPECT_EQ(surface.pixelBytes(), 120u);
  EXPECT_EQ(surface.Pixel(6, 4), (Bgr{0, 0, 0}));
  EXPECT_EQ(surface.Header().biHeight, 5);
  EXPECT_EQ(surface.Header().biSizeImage, 120u);
  EXPECT_FALSE(SoftwareSurface(0, 5).valid());
  EXPECT_FALSE(SoftwareSurface(5, -1).valid());
  EXPECT_FALSE(SoftwareSurface(100000, 5).valid());
}

TEST(SoftwareSurface, EraseRectClipsToTheSurface) {
  SoftwareSurface surface(6, 4);
  DibImage white;
  Install(white, MakeHeader(1, 1, 24), {}, {255, 255, 255, 0});
  white.Blit(surface.dc(), Rect{0, 0, 6, 4}, Rect{0, 0, 1, 1}, kSrcCopy);
  EXPECT_EQ(surface.Pixel(5, 3), (Bgr{255, 255, 255}));
  surface.EraseRect(Rect{4, -2, 10, 2});
  EXPECT_EQ(surface.Pixel(4, 0), (Bgr{0, 0, 0}));
  EXPECT_EQ(surface.Pixel(5, 1), (Bgr{0, 0, 0}));
  EXPECT_EQ(surface.Pixel(3, 0), (Bgr{255, 255, 255}));
  EXPECT_EQ(surface.Pixel(4, 2), (Bgr{255, 255, 255}));
  surface.Erase();
  EXPECT_EQ(surface.Pixel(0, 3), (Bgr{0, 0, 0}));
}

TEST(SoftwareSurface, BottomUpPixelsHoldTheBottomRowFirst) {
  SoftwareSurface surface(2, 2);
  DibImage dot;
  Install(dot, MakeHeader(1, 1, 24), {}, {9, 8, 7, 0});
  dot.DrawAt(surface.dc(), 0, 1, kSrcCopy);  // bottom-left
  EXPECT_EQ(surface.BottomUpPixels()[0], 9);
  EXPECT_EQ(surface.BottomUpPixels()[2], 7);
  EXPECT_EQ(surface.BottomUpPixels()[8], 0);
}

TEST(SoftwareSurface, SixteenAndThirtyTwoBitSources) {
  SoftwareSurface surface(4, 2);
  DibImage sixteen;
  // 5-5-5: pure red 0x7C00 and pure blue 0x001F.
  Install(sixteen, MakeHeader(2, 1, 16), {}, {0x00, 0x7C, 0x1F, 0x00});
  sixteen.DrawAt(surface.dc(), 0, 0, kSrcCopy);
  EXPECT_EQ(surface.Pixel(0, 0), (Bgr{0, 0, 255}));
  EXPECT_EQ(surface.Pixel(1, 0), (Bgr{255, 0, 0}));
  DibImage thirtyTwo;
  Install(thirtyTwo, MakeHeader(1, 1, 32), {}, {1, 2, 3, 99});
  thirtyTwo.DrawAt(surface.dc(), 3, 1, kSrcCopy);
  EXPECT_EQ(surface.Pixel(3, 1), (Bgr{1, 2, 3}));
}

#ifndef _WIN32
// A 1-row 24-bit picture whose pixel x has blue value x + 1.
void InstallRow(DibImage& image, int32_t width) {
  std::vector<uint8_t> pixels((width * 3 + 3) / 4 * 4, 0);
  for (int32_t x = 0; x < width; ++x) pixels[3 * x] = static_cast<uint8_t>(x + 1);
  Install(image, MakeHeader(width, 1, 24), {}, pixels);
}

// Destination pixel i of n takes source pixel floor(i x m / n).
struct StretchCase {
  int32_t sourceWidth;
  int32_t destinationWidth;
  std::vector<uint8_t> blues;  // expected blue of each destination pixel (source x + 1)
};

class SoftwareStretch : public ::testing::TestWithParam<StretchCase> {};

TEST_P(SoftwareStretch, NearestNeighbourRule) {
  const StretchCase& c = GetParam();
  SoftwareSurface surface(16, 1);
  DibImage image;
  InstallRow(image, c.sourceWidth);
  image.Blit(surface.dc(), Rect{0, 0, c.destinationWidth, 1}, Rect{0, 0, c.sourceWidth, 1},
             kSrcCopy);
  for (size_t i = 0; i < c.blues.size(); ++i)
    EXPECT_EQ(surface.Pixel(int32_t(i), 0).blue, c.blues[i]) << i;
}

INSTANTIATE_TEST_SUITE_P(Ratios, SoftwareStretch,
                         ::testing::Values(StretchCase{2, 5, {1, 1, 1, 2, 2}},
                                           StretchCase{3, 6, {1, 1, 2, 2, 3, 3}},
                                           StretchCase{6, 3, {1, 3, 5}}, StretchCase{5, 2, {1, 3}},
                                           StretchCase{4, 3, {1, 2, 3}}));

TEST(SoftwareSeam, NegativeExtentMirrors) {
  SoftwareSurface surface(8, 1);
  DibImage image;
  InstallRow(image, 4);
  // Destination from x = 4 back to 0: the row appears reversed in [0, 4).
  image.Blit(surface.dc(), Rect{4, 0, 0, 1}, Rect{0, 0, 4, 1}, kSrcCopy);
  EXPECT_EQ(surface.Pixel(0, 0).blue, 4);
  EXPECT_EQ(surface.Pixel(3, 0).blue, 1);
  EXPECT_EQ(surface.Pixel(4, 0).blue, 0);
}

TEST(SoftwareSeam, SourceOutsideTheSectionLeavesTheTargetAlone) {
  SoftwareSurface surface(8, 1);
  DibImage image;
  InstallRow(image, 4);
  image.Blit(surface.dc(), Rect{0, 0, 4, 1}, Rect{2, 0, 6, 1}, kSrcCopy);
  EXPECT_EQ(surface.Pixel(0, 0).blue, 3);
  EXPECT_EQ(surface.Pixel(1, 0).blue, 4);
  EXPECT_EQ(surface.Pixel(2, 0).blue, 0);
}

TEST(SoftwareSeam, RasterOperations) {
  SoftwareSurface surface(4, 1);
  DibImage image;
  InstallRow(image, 1);
  image.DrawAt(surface.dc(), 0, 0, gfx::kNotSrcCopy);
  EXPECT_EQ(surface.Pixel(0, 0), (Bgr{254, 255, 255}));
  image.DrawAt(surface.dc(), 1, 0, gfx::kWhiteness);
  EXPECT_EQ(surface.Pixel(1, 0), (Bgr{255, 255, 255}));
  image.DrawAt(surface.dc(), 1, 0, gfx::kBlackness);
  EXPECT_EQ(surface.Pixel(1, 0), (Bgr{0, 0, 0}));
  image.DrawAt(surface.dc(), 2, 0, 0x00EE0086);  // SRCPAINT: not known here, draws nothing
  EXPECT_EQ(surface.Pixel(2, 0), (Bgr{0, 0, 0}));
}

TEST(SoftwareSeam, PalettisedTargetTakesTheNearestEntry) {
  BitmapInfoHeader info[2] = {MakeHeader(2, 1, 8, 2), {}};
  const RgbQuad table[2] = {{0, 0, 0, 0}, {250, 250, 250, 0}};
  std::memcpy(&info[1], table, sizeof(table));
  uint8_t* bits = nullptr;
  DeviceContext dc = gfx::CreateCompatibleDc(nullptr);
  BitmapHandle target = gfx::CreateDibSection(dc, &info[0], &bits);
  ASSERT_NE(target, nullptr);
  BitmapHandle previous = gfx::SelectBitmap(dc, target);
  DibImage white;
  Install(white, MakeHeader(1, 1, 24), {}, {255, 255, 255, 0});
  white.DrawAt(dc, 1, 0, kSrcCopy);
  EXPECT_EQ(bits[0], 0);
  EXPECT_EQ(bits[1], 1);
  gfx::SelectBitmap(dc, previous);
  gfx::DeleteBitmap(target);
  gfx::DeleteDc(dc);
}

// The same-format copy path gives the bytes of the plain per-pixel path.
struct PathCase {
  Rect destination;
  Rect source;
};

class SoftwareFastPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(SoftwareFastPath, SameBytesAsThePlainPath) {
  DibImage image;
  Install(image, MakeHeader(13, 9, 24), {}, testing::GradientPixels(13, 9));
  SoftwareSurface fast(20, 16), plain(20, 16);
  image.Blit(fast.dc(), GetParam().destination, GetParam().source, kSrcCopy);
  gfx::SetSoftwareFastPaths(false);
  image.Blit(plain.dc(), GetParam().destination, GetParam().source, kSrcCopy);
  gfx::SetSoftwareFastPaths(true);
  const std::vector<uint8_t> a(fast.BottomUpPixels(), fast.BottomUpPixels() + fast.pixelBytes());
  const std::vector<uint8_t> b(plain.BottomUpPixels(), plain.BottomUpPixels() + plain.pixelBytes());
  EXPECT_EQ(a, b);
  EXPECT_NE(a, std::vector<uint8_t>(a.size(), 0));
}

INSTANTIATE_TEST_SUITE_P(
    Rectangles, SoftwareFastPath,
    ::testing::Values(PathCase{{2, 3, 15, 12}, {0, 0, 13, 9}},    // copy
                      PathCase{{-4, -2, 9, 7}, {0, 0, 13, 9}},    // clipped at the top left
                      PathCase{{12, 10, 25, 19}, {0, 0, 13, 9}},  // clipped at the bottom right
                      PathCase{{0, 0, 8, 6}, {-3, -2, 5, 4}},     // source partly outside
                      PathCase{{0, 0, 20, 16}, {0, 0, 13, 9}},    // enlarged
                      PathCase{{1, 1, 6, 5}, {0, 0, 13, 9}},      // reduced
                      PathCase{{13, 0, 0, 9}, {0, 0, 13, 9}},     // mirrored
                      PathCase{{0, 9, 13, 0}, {2, 1, 9, 8}}));    // flipped and stretched

TEST(SoftwareSeam, RefusesWhatGdiWouldRefuse) {
  uint8_t* bits = reinterpret_cast<uint8_t*>(1);
  BitmapInfoHeader bad = MakeHeader(4, 4, 24);
  bad.biCompression = 1;  // RLE8
  EXPECT_EQ(gfx::CreateDibSection(nullptr, &bad, &bits), nullptr);
  EXPECT_EQ(bits, nullptr);
  const BitmapInfoHeader zero = MakeHeader(0, 4, 24);
  EXPECT_EQ(gfx::CreateDibSection(nullptr, &zero, &bits), nullptr);
  const BitmapInfoHeader odd = MakeHeader(4, 4, 7);
  EXPECT_EQ(gfx::CreateDibSection(nullptr, &odd, &bits), nullptr);
  EXPECT_FALSE(gfx::BitBlt(nullptr, 0, 0, 1, 1, nullptr, 0, 0, kSrcCopy));
  EXPECT_EQ(gfx::CreatePalette(nullptr, 0), nullptr);
}
#endif

}  // namespace
}  // namespace kavrosa
