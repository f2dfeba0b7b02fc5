// The image object: size rules, the palette, and drawing into a surface through the seam
// (software natively, GDI under Wine).
#include <gtest/gtest.h>

#include <vector>

#include "image/DibImage.h"
#include "platform/SoftwareSurface.h"
#include "tests/image/PictureFixtures.h"
#ifndef _WIN32
#include "platform/SoftwareGraphics.h"
#endif

namespace kavrosa {
namespace {

using testing::GradientPixels;
using testing::HeaderOf;
using testing::Install;
using testing::MakeHeader;

struct GeometryCase {
  int32_t width;
  uint16_t bitCount;
  int32_t rowBytes;
  int32_t stride;
};

class DibGeometry : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(DibGeometry, RowBytesAndStride) {
  const GeometryCase& c = GetParam();
  DibImage image;
  Install(image, MakeHeader(c.width, 2, c.bitCount), {}, {});
  EXPECT_EQ(image.RowBytes(), c.rowBytes);
  EXPECT_EQ(image.stride(), 0) << "the cache fills only on first use";
  image.EnsureStride();
  EXPECT_EQ(image.stride(), c.stride);
}

INSTANTIATE_TEST_SUITE_P(Widths, DibGeometry,
                         ::testing::Values(GeometryCase{101, 24, 303, 304},
                                           GeometryCase{33, 1, 5, 8}, GeometryCase{9, 4, 5, 8},
                                           GeometryCase{353, 24, 1059, 1060},
                                           GeometryCase{3, 8, 3, 4}, GeometryCase{5, 16, 10, 12},
                                           GeometryCase{7, 32, 28, 28}));

TEST(DibImageSize, ComputesAndStoresBiSizeImage) {
  DibImage image;
  Install(image, MakeHeader(101, -50, 24), {}, {});
  EXPECT_EQ(image.ImageSize(), 15200u);
  EXPECT_EQ(image.stride(), 304);
  EXPECT_EQ(HeaderOf(image).biSizeImage, 15200u);
}

TEST(DibImageSize, SixteenBitUncompressedKeepsBiSizeImageZero) {
  DibImage image;
  Install(image, MakeHeader(5, 3, 16), {}, {});
  EXPECT_EQ(image.ImageSize(), 36u);
  EXPECT_EQ(HeaderOf(image).biSizeImage, 0u);
  EXPECT_EQ(image.ImageSize(), 36u);
}

TEST(DibImageSize, SixteenBitBitFieldsStoresIt) {
  DibImage image;
  BitmapInfoHeader h = MakeHeader(5, 3, 16);
  h.biCompression = 3;
  Install(image, h, {}, {});
  EXPECT_EQ(image.ImageSize(), 36u);
  EXPECT_EQ(HeaderOf(image).biSizeImage, 36u);
}

TEST(DibImageSize, NonZeroBiSizeImageIsTheResult) {
  DibImage image;
  Install(image, MakeHeader(2, 2, 24, 0, 999), {}, {});
  EXPECT_EQ(image.ImageSize(), 999u);
}

TEST(DibImageSize, HeightAndSizeFlags) {
  DibImage image;
  Install(image, MakeHeader(100, -50, 24), {}, {});
  EXPECT_EQ(image.Width(), 100);
  EXPECT_EQ(image.Height(false), -50);
  EXPECT_EQ(image.Height(true), 50);
  EXPECT_EQ(image.GetSize(true), (Size{100, 50}));
  EXPECT_EQ(image.GetSize(false), (Size{100, -50}));
}

TEST(DibImageSize, EmptyObjectAnswersZero) {
  DibImage image;
  EXPECT_EQ(image.Width(), 0);
  EXPECT_EQ(image.Height(true), 0);
  EXPECT_EQ(image.GetSize(true), (Size{0, 0}));
  EXPECT_EQ(image.RowBytes(), 0);
  EXPECT_EQ(image.ImageSize(), 0u);
  image.EnsureStride();
  EXPECT_EQ(image.stride(), 0);
}

TEST(DibImageSize, AbsurdWidthLeavesStrideUncomputed) {
  DibImage image;
  Install(image, MakeHeader(INT32_MAX, 2, 32), {}, {});
  image.EnsureStride();
  EXPECT_EQ(image.stride(), 0);
  EXPECT_EQ(image.ImageSize(), 0u);
}

TEST(DibImagePalette, MadeFromTheColourTable) {
  DibImage image;
  const std::vector<RgbQuad> colours = {{1, 2, 3, 0}, {4, 5, 6, 0}};
  Install(image, MakeHeader(8, 1, 1, 2), colours, std::vector<uint8_t>(4));
  BlockLock lock(image.headerBlock());
  EXPECT_EQ(image.MakePalette(lock.data(), lock.size()), 1);
  EXPECT_NE(image.palette(), nullptr);
}

TEST(DibImagePalette, NoneForTwentyFourBits) {
  DibImage image;
  Install(image, MakeHeader(2, 2, 24), {}, std::vector<uint8_t>(16));
  BlockLock lock(image.headerBlock());
  EXPECT_EQ(image.MakePalette(lock.data()), 0);
  EXPECT_EQ(image.palette(), nullptr);
}

TEST(DibImagePalette, NeverReadsPastTheHeaderBlock) {
  DibImage image;
  // biClrUsed claims 200 entries; the block holds one.
  Install(image, MakeHeader(8, 1, 8, 200), {{9, 9, 9, 0}}, std::vector<uint8_t>(8));
  BlockLock lock(image.headerBlock());
  EXPECT_EQ(image.MakePalette(lock.data(), lock.size()), 1);
}

// Records the rectangles DrawAt and DrawRect hand to Blit.
class RecordingImage : public DibImage {
 public:
  int32_t Blit(DeviceContext, Rect destination, Rect source, uint32_t rop) override {
    lastDestination = destination;
    lastSource = source;
    lastRop = rop;
    return 7;
  }
  Rect lastDestination, lastSource;
  uint32_t lastRop = 0;
};

TEST(DibImageDraw, DrawAtUsesThePositiveHeight) {
  RecordingImage image;
  Install(image, MakeHeader(100, -50, 24), {}, {});
  EXPECT_EQ(image.DrawAt(nullptr, 5, 5, kSrcCopy), 7);
  EXPECT_EQ(image.lastDestination, (Rect{5, 5, 105, 55}));
  EXPECT_EQ(image.lastSource, (Rect{0, 0, 100, 50}));
  EXPECT_EQ(image.lastRop, kSrcCopy);
}

TEST(DibImageDraw, DrawRectKeepsTheSourceSize) {
  RecordingImage image;
  Install(image, MakeHeader(100, 50, 24), {}, {});
  image.DrawRect(nullptr, 10, 20, Rect{3, 4, 13, 24}, kSrcCopy);
  EXPECT_EQ(image.lastDestination, (Rect{10, 20, 20, 40}));
  EXPECT_EQ(image.lastSource, (Rect{3, 4, 13, 24}));
}

class DibImageBlit : public ::testing::Test {
 protected:
  SoftwareSurface surface{64, 48};
};

TEST_F(DibImageBlit, NotLoadedDrawsNothing) {
  DibImage image;
  Install(image, MakeHeader(4, 4, 24), {}, GradientPixels(4, 4), /*loaded=*/false);
#ifndef _WIN32
  const uint64_t before = gfx::GetSoftwareStats().calls;
#endif
  EXPECT_EQ(image.Blit(surface.dc(), Rect{0, 0, 4, 4}, Rect{0, 0, 4, 4}, kSrcCopy), 0);
  EXPECT_EQ(image.DrawAt(surface.dc(), 0, 0, kSrcCopy), 0);
#ifndef _WIN32
  EXPECT_EQ(gfx::GetSoftwareStats().calls, before) << "no drawing call when not loaded";
#endif
  EXPECT_EQ(image.dibSection(), nullptr);
  EXPECT_EQ(surface.Pixel(1, 1), (Bgr{0, 0, 0}));
}

TEST_F(DibImageBlit, EqualSizesCopyExactly) {
  DibImage image;
  Install(image, MakeHeader(100, 50, 24), {}, GradientPixels(100, 50));
  ASSERT_TRUE(surface.valid());
  SoftwareSurface big(200, 100);
  EXPECT_EQ(image.Blit(big.dc(), Rect{10, 20, 110, 70}, Rect{0, 0, 100, 50}, kSrcCopy), 1);
  EXPECT_EQ(big.Pixel(10, 20), (Bgr{0, 0, 200}));
  EXPECT_EQ(big.Pixel(109, 69), (Bgr{99, 49, 200}));
  EXPECT_EQ(big.Pixel(57, 33), (Bgr{47, 13, 200}));
  EXPECT_EQ(big.Pixel(9, 20), (Bgr{0, 0, 0}));
  EXPECT_EQ(big.Pixel(110, 70), (Bgr{0, 0, 0}));
}

TEST_F(DibImageBlit, DifferentSizesStretch) {
  DibImage image;
  Install(image, MakeHeader(4, 2, 24), {}, GradientPixels(4, 2));
  EXPECT_EQ(image.Blit(surface.dc(), Rect{0, 0, 8, 4}, Rect{0, 0, 4, 2}, kSrcCopy), 1);
  // Doubling repeats every source pixel twice in each direction.
  for (int32_t y = 0; y < 4; ++y) {
    for (int32_t x = 0; x < 8; ++x) {
      EXPECT_EQ(surface.Pixel(x, y),
                (Bgr{static_cast<uint8_t>(x / 2), static_cast<uint8_t>(y / 2), 200}))
          << x << "," << y;
    }
  }
  EXPECT_EQ(surface.Pixel(8, 0), (Bgr{0, 0, 0}));
}

TEST_F(DibImageBlit, TopDownPicturesDrawUpright) {
  DibImage image;
  // Top-down: the first row in memory is the top row.
  std::vector<uint8_t> pixels(8, 0);
  pixels[0] = 10;  // top-left blue
  pixels[4] = 20;  // bottom-left blue
  Install(image, MakeHeader(1, -2, 24), {}, pixels);
  image.DrawAt(surface.dc(), 0, 0, kSrcCopy);
  EXPECT_EQ(surface.Pixel(0, 0).blue, 10);
  EXPECT_EQ(surface.Pixel(0, 1).blue, 20);
}

TEST_F(DibImageBlit, PalettisedPicturesGoThroughTheColourTable) {
  DibImage image;
  const std::vector<RgbQuad> colours = {{0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}};
  // 8-bit, 3 x 2, bottom-up: bottom row 0 1 2, top row 2 2 1.
  Install(image, MakeHeader(3, 2, 8, 3), colours, {0, 1, 2, 0, 2, 2, 1, 0});
  {
    BlockLock lock(image.headerBlock());
    image.MakePalette(lock.data(), lock.size());
  }
  image.DrawAt(surface.dc(), 1, 1, kSrcCopy);
  EXPECT_EQ(surface.Pixel(1, 2), (Bgr{0, 0, 255}));
  EXPECT_EQ(surface.Pixel(2, 2), (Bgr{0, 255, 0}));
  EXPECT_EQ(surface.Pixel(3, 2), (Bgr{255, 0, 0}));
  EXPECT_EQ(surface.Pixel(1, 1), (Bgr{255, 0, 0}));
  EXPECT_EQ(surface.Pixel(3, 1), (Bgr{0, 255, 0}));
}

TEST_F(DibImageBlit, OneAndFourBitPictures) {
  const std::vector<RgbQuad> two = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  DibImage mono;
  Install(mono, MakeHeader(9, 1, 1, 2), two, {0xA0, 0x80, 0, 0});  // pixels 0, 2 and 8 set
  mono.DrawAt(surface.dc(), 0, 0, kSrcCopy);
  EXPECT_EQ(surface.Pixel(0, 0), (Bgr{255, 255, 255}));
  EXPECT_EQ(surface.Pixel(1, 0), (Bgr{0, 0, 0}));
  EXPECT_EQ(surface.Pixel(2, 0), (Bgr{255, 255, 255}));
  EXPECT_EQ(surface.Pixel(8, 0), (Bgr{255, 255, 255}));

  std::vector<RgbQuad> sixteen(16);
  for (uint8_t i = 0; i < 16; ++i) sixteen[i] = RgbQuad{static_cast<uint8_t>(i * 16), 0, 0, 0};
  DibImage nibbles;
  Install(nibbles, MakeHeader(3, 1, 4, 16), sixteen, {0x1F, 0x30, 0, 0});
  nibbles.DrawAt(surface.dc(), 0, 2, kSrcCopy);
  EXPECT_EQ(surface.Pixel(0, 2).blue, 16);
  EXPECT_EQ(surface.Pixel(1, 2).blue, 240);
  EXPECT_EQ(surface.Pixel(2, 2).blue, 48);
}

TEST_F(DibImageBlit, TheSectionIsACacheThatIsNotRefreshed) {
  DibImage image;
  Install(image, MakeHeader(2, 2, 24), {}, GradientPixels(2, 2));
  image.DrawAt(surface.dc(), 0, 0, kSrcCopy);
  const BitmapHandle section = image.dibSection();
  ASSERT_NE(section, nullptr);
  {
    BlockLock lock(image.pixelBlock());
    lock.data()[0] = 0x77;  // bottom-left blue, changed behind the cache's back
  }
  surface.Erase();
  image.DrawAt(surface.dc(), 0, 0, kSrcCopy);
  EXPECT_EQ(image.dibSection(), section);
  EXPECT_EQ(surface.Pixel(0, 1), (Bgr{0, 1, 200}));
}

TEST_F(DibImageBlit, CopyNeverExceedsTheSectionsOwnSize) {
  DibImage image;
  // biSizeImage and the pixel block claim 4096 bytes for a 2 x 2 picture (16 bytes).
  std::vector<uint8_t> pixels(4096, 0x55);
  Install(image, MakeHeader(2, 2, 24, 0, 4096), {}, pixels);
  EXPECT_EQ(image.Blit(surface.dc(), Rect{0, 0, 2, 2}, Rect{0, 0, 2, 2}, kSrcCopy), 1);
  EXPECT_EQ(surface.Pixel(1, 1), (Bgr{0x55, 0x55, 0x55}));
}

TEST_F(DibImageBlit, ShortPixelBlockIsNotReadPast) {
  DibImage image;
  Install(image, MakeHeader(4, 4, 24), {}, std::vector<uint8_t>(5, 0x66));
  EXPECT_EQ(image.DrawAt(surface.dc(), 0, 0, kSrcCopy), 1);
  EXPECT_EQ(surface.Pixel(0, 3), (Bgr{0x66, 0x66, 0x66}));
  EXPECT_EQ(surface.Pixel(3, 0), (Bgr{0, 0, 0}));
}

TEST_F(DibImageBlit, UndrawableHeaderMakesNoSection) {
  DibImage image;
  Install(image, MakeHeader(40000, 2, 24), {}, std::vector<uint8_t>(16, 0x66));
  EXPECT_EQ(image.DrawAt(surface.dc(), 0, 0, kSrcCopy), 1);
  EXPECT_EQ(image.dibSection(), nullptr);
  EXPECT_EQ(surface.Pixel(0, 0), (Bgr{0, 0, 0}));
}

TEST_F(DibImageBlit, ClipsAtTheSurfaceEdges) {
  DibImage image;
  Install(image, MakeHeader(10, 10, 24), {}, GradientPixels(10, 10));
  image.DrawAt(surface.dc(), -3, 42, kSrcCopy);
  EXPECT_EQ(surface.Pixel(0, 42), (Bgr{3, 0, 200}));
  EXPECT_EQ(surface.Pixel(6, 47), (Bgr{9, 5, 200}));
  EXPECT_EQ(surface.Pixel(7, 47), (Bgr{0, 0, 0}));
}

#ifndef _WIN32
TEST(DibImageObjects, DestructorReleasesEverything) {
  const gfx::SoftwareStats before = gfx::GetSoftwareStats();
  {
    SoftwareSurface surface(8, 8);
    DibImage image;
    Install(image, MakeHeader(2, 1, 8, 2), {{1, 1, 1, 0}, {2, 2, 2, 0}}, {0, 1, 0, 0});
    {
      BlockLock lock(image.headerBlock());
      image.MakePalette(lock.data(), lock.size());
    }
    image.DrawAt(surface.dc(), 0, 0, kSrcCopy);
    EXPECT_EQ(gfx::GetSoftwareStats().livePalettes, before.livePalettes + 1);
  }
  const gfx::SoftwareStats after = gfx::GetSoftwareStats();
  EXPECT_EQ(after.liveDcs, before.liveDcs);
  EXPECT_EQ(after.liveBitmaps, before.liveBitmaps);
  EXPECT_EQ(after.livePalettes, before.livePalettes);
}
#endif

}  // namespace
}  // namespace kavrosa
