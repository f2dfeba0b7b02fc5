// LoadFromResource through the resource seam: the test executable carries TestResources.rc and
// the twelve photographs (Win32 resources on Windows, a compiled-in table elsewhere), so the
// same tests run in both builds.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/DibImage.h"
#include "platform/Resources.h"
#include "tests/pictures/PictureTestSupport.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kavrosa {
namespace {

using testing::BlockBytes;
using testing::InstalledHeader;

constexpr uint16_t kGray8 = 300, kMono1 = 301, kRgb24 = 302, kRgb16 = 303, kClrUsed3 = 304,
                   kSmallSizeImage = 305;
constexpr uint16_t kNeither = 320, kFrameless = 321, kCutPicture = 322, kNamedGray8 = 330;
constexpr uint16_t kFirstPicture = 140;

#ifdef _WIN32
int PaletteEntries(PaletteHandle palette) {
  WORD count = 0;
  if (::GetObjectA(reinterpret_cast<HPALETTE>(palette), sizeof count, &count) == 0) return -1;
  return count;
}
#endif

TEST(ResourceSeam, FindsAResourceByTypeNameAndId) {
  const auto found = FindModuleResource(nullptr, kFirstPicture, "IMGDAT");
  ASSERT_TRUE(found.has_value());
  ASSERT_GE(found->size, 4u);
  const uint8_t soi[] = {0xFF, 0xD8, 0xFF, 0xE0};
  EXPECT_EQ(std::memcmp(found->data, soi, 4), 0);
}

TEST(ResourceSeam, TypeNamesIgnoreCase) {
  EXPECT_TRUE(FindModuleResource(nullptr, kFirstPicture, "imgdat").has_value());
}

TEST(ResourceSeam, BitmapResourceIsThePackedDib) {
  // The resource compiler drops the 14-byte file header: the bytes start with biSize 40 and
  // hold header, 256 colours and 3 rows of 8 bytes.
  const auto found =
      FindModuleResource(RunningModule(), kGray8, ResourceTypeNumber(kResourceTypeBitmap));
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->size, 40u + 1024u + 24u);
  uint32_t biSize = 0;
  std::memcpy(&biSize, found->data, 4);
  EXPECT_EQ(biSize, 40u);
}

TEST(ResourceSeam, NullTypeMeansBitmap) {
  const auto byNull = FindModuleResource(nullptr, kGray8, nullptr);
  const auto byNumber = FindModuleResource(nullptr, kGray8, ResourceTypeNumber(2));
  ASSERT_TRUE(byNull.has_value());
  ASSERT_TRUE(byNumber.has_value());
  EXPECT_EQ(byNull->data, byNumber->data);
}

TEST(ResourceSeam, MissesAreNotFound) {
  EXPECT_FALSE(FindModuleResource(nullptr, 299, nullptr).has_value());
  EXPECT_FALSE(FindModuleResource(nullptr, kFirstPicture, nullptr).has_value());  // wrong type
  EXPECT_FALSE(FindModuleResource(nullptr, kGray8, "IMGDAT").has_value());
  EXPECT_FALSE(FindModuleResource(nullptr, 0, "IMGDAT").has_value());
  EXPECT_FALSE(FindModuleResource(nullptr, kFirstPicture, ResourceTypeNumber(10)).has_value());
}

TEST(LoadFromResource, EightBitBitmapGetsItsWholeColourTable) {
  DibImage image;
  EXPECT_EQ(image.LoadFromResource(kGray8, nullptr, nullptr), 1);
  EXPECT_EQ(image.loaded(), 1);
  const BitmapInfoHeader header = InstalledHeader(image);
  EXPECT_EQ(header.biClrUsed, 256u);
  EXPECT_EQ(header.biBitCount, 8);
  EXPECT_EQ(header.biSizeImage, 24u);  // was 0: stride 8 x 3 rows
  EXPECT_EQ(image.headerBlock().Size(), 40u + 1024u);
  EXPECT_EQ(image.pixelBlock().Size(), 24u);
  EXPECT_EQ(image.stride(), 8);
  ASSERT_NE(image.palette(), nullptr);
#ifdef _WIN32
  EXPECT_EQ(PaletteEntries(image.palette()), 256);
#endif
  // Colour-table entry 200 as the file wrote it: blue 200, green 55, red 100.
  const std::vector<uint8_t> table = BlockBytes(image.headerBlock());
  EXPECT_EQ(table[40 + 4 * 200 + 0], 200);
  EXPECT_EQ(table[40 + 4 * 200 + 1], 55);
  EXPECT_EQ(table[40 + 4 * 200 + 2], 100);
}

struct BitmapCase {
  const char* name;
  uint16_t id;
  uint32_t wantColours;
  int32_t wantStride;
  uint32_t wantSizeImage;
  uint32_t wantPixelBlock;
  int wantPaletteEntries;  // 0: no palette
};

class BitmapResources : public ::testing::TestWithParam<BitmapCase> {};

TEST_P(BitmapResources, LoadAsPackedDibs) {
  const BitmapCase& c = GetParam();
  DibImage image;
  ASSERT_EQ(image.LoadFromResource(c.id, nullptr, nullptr), 1);
  EXPECT_EQ(image.loaded(), 1);
  const BitmapInfoHeader header = InstalledHeader(image);
  EXPECT_EQ(header.biClrUsed, c.wantColours);
  EXPECT_EQ(header.biSizeImage, c.wantSizeImage);
  EXPECT_EQ(image.stride(), c.wantStride);
  EXPECT_EQ(image.headerBlock().Size(), 40u + 4u * c.wantColours);
  EXPECT_EQ(image.pixelBlock().Size(), c.wantPixelBlock);
  EXPECT_EQ(image.palette() != nullptr, c.wantPaletteEntries != 0);
#ifdef _WIN32
  if (c.wantPaletteEntries != 0) {
    EXPECT_EQ(PaletteEntries(image.palette()), c.wantPaletteEntries);
  }
#endif
}

INSTANTIATE_TEST_SUITE_P(
    Bitmaps, BitmapResources,
    ::testing::Values(BitmapCase{"gray8", kGray8, 256, 8, 24, 24, 256},
                      BitmapCase{"mono1", kMono1, 2, 8, 16, 16, 2},
                      BitmapCase{"rgb24_top_down", kRgb24, 0, 304, 912, 912, 0},
                      BitmapCase{"rgb16_keeps_size_0", kRgb16, 0, 8, 0, 16, 0},
                      BitmapCase{"clr_used_3", kClrUsed3, 3, 8, 16, 16, 3},
                      BitmapCase{"small_size_image", kSmallSizeImage, 0, 12, 16, 48, 0}),
    [](const ::testing::TestParamInfo<BitmapCase>& info) { return info.param.name; });

TEST(LoadFromResource, OnlyTheLowSixteenBitsOfTheIdCount) {
  DibImage image;
  EXPECT_EQ(image.LoadFromResource(65536 + kGray8, nullptr, nullptr), 1);
  EXPECT_EQ(InstalledHeader(image).biClrUsed, 256u);
  DibImage picture;
  EXPECT_EQ(picture.LoadFromResource(65536 + kFirstPicture, "IMGDAT", nullptr), 2);
  EXPECT_EQ(picture.GetSize(true), (Size{471, 353}));
}

TEST(LoadFromResource, NamedTypeAndExplicitModule) {
  DibImage image;
  EXPECT_EQ(image.LoadFromResource(kNamedGray8, "TESTDIB", RunningModule()), 1);
  EXPECT_EQ(InstalledHeader(image).biClrUsed, 256u);
}

TEST(LoadFromResource, NeitherDibNorJpegLeavesNothingLoaded) {
  DibImage image;
  ASSERT_EQ(image.LoadFromResource(kGray8, nullptr, nullptr), 1);
  EXPECT_EQ(image.LoadFromResource(kNeither, "IMGDAT", nullptr), 0);
  EXPECT_EQ(image.loaded(), 0);
  EXPECT_FALSE(image.headerBlock());
  EXPECT_FALSE(image.pixelBlock());
}

TEST(LoadFromResource, MissingResourceLeavesTheObjectUntouched) {
  DibImage image;
  ASSERT_EQ(image.LoadFromResource(kGray8, nullptr, nullptr), 1);
  const std::vector<uint8_t> header = BlockBytes(image.headerBlock());
  const std::vector<uint8_t> pixels = BlockBytes(image.pixelBlock());
  const PaletteHandle palette = image.palette();
  EXPECT_EQ(image.LoadFromResource(299, nullptr, nullptr), 0);
  EXPECT_EQ(image.LoadFromResource(kGray8, "IMGDAT", nullptr), 0);
  EXPECT_EQ(image.loaded(), 1);
  EXPECT_EQ(BlockBytes(image.headerBlock()), header);
  EXPECT_EQ(BlockBytes(image.pixelBlock()), pixels);
  EXPECT_EQ(image.palette(), palette);
}

class DamagedResources : public ::testing::TestWithParam<uint16_t> {};

TEST_P(DamagedResources, AreRefused) {
  DibImage image;
  EXPECT_EQ(image.LoadFromResource(GetParam(), nullptr, nullptr), 0);
  EXPECT_EQ(image.loaded(), 0);
}

// Cut in the pixels, in the colour table, in the header; biSizeImage or biClrUsed beyond the
// data; run-length and bit-field bitmaps.
INSTANTIATE_TEST_SUITE_P(Bitmaps, DamagedResources,
                         ::testing::Values(310, 311, 312, 313, 314, 315, 316));

TEST(LoadFromResource, JpegStreamIsRefusedAsDibAndDecoded) {
  const auto stream = FindModuleResource(nullptr, kFirstPicture, "IMGDAT");
  ASSERT_TRUE(stream.has_value());
  DibImage image;
  EXPECT_EQ(image.LoadPackedDib(stream->data, stream->size), 0);
  EXPECT_FALSE(image.headerBlock());
  EXPECT_EQ(image.LoadFromResource(kFirstPicture, "IMGDAT", nullptr), 2);
  EXPECT_EQ(image.loaded(), 1);
  const BitmapInfoHeader header = InstalledHeader(image);
  EXPECT_EQ(header.biBitCount, 24);
  EXPECT_EQ(header.biClrUsed, 0u);
  EXPECT_EQ(image.palette(), nullptr);
}

TEST(LoadFromResource, StreamsWithoutAPictureAreRefused) {
  for (uint16_t id : {kFrameless, kCutPicture}) {
    DibImage image;
    EXPECT_EQ(image.LoadFromResource(id, "IMGDAT", nullptr), 0) << id;
    EXPECT_EQ(image.loaded(), 0) << id;
  }
}

}  // namespace
}  // namespace kavrosa
