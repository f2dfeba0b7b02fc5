// LoadPackedDib on packed DIBs in memory: what is installed (colour table, biClrUsed, palette,
// biSizeImage, stride) and what is refused, above all every DIB cut short of what it promises.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/DibImage.h"
#include "tests/pictures/PictureTestSupport.h"

namespace kavrosa {
namespace {

using testing::BlockBytes;
using testing::InstalledHeader;
using testing::PackedDib;

struct InstallCase {
  const char* name;
  int32_t width, height;
  uint16_t bitCount;
  uint32_t clrUsed;       // as stored in the DIB
  uint32_t tableEntries;  // colour-table entries the DIB carries
  uint32_t pixelBytes;
  uint32_t wantColours;  // biClrUsed after the load
  int32_t wantStride;
  uint32_t wantSizeImage;  // biSizeImage after the load
  bool wantPalette;
};

class PackedDibInstalls : public ::testing::TestWithParam<InstallCase> {};

TEST_P(PackedDibInstalls, HeaderTableAndPixels) {
  const InstallCase& c = GetParam();
  const std::vector<uint8_t> dib =
      PackedDib(c.width, c.height, c.bitCount, c.tableEntries, c.pixelBytes, c.clrUsed);
  DibImage image;
  ASSERT_EQ(image.LoadPackedDib(dib.data(), dib.size()), 1);

  const BitmapInfoHeader header = InstalledHeader(image);
  EXPECT_EQ(header.biClrUsed, c.wantColours);
  EXPECT_EQ(header.biSizeImage, c.wantSizeImage);
  EXPECT_EQ(image.stride(), c.wantStride);
  EXPECT_EQ(image.headerBlock().Size(), 40u + 4u * c.wantColours);
  EXPECT_EQ(image.palette() != nullptr, c.wantPalette);

  const std::vector<uint8_t> headerBytes = BlockBytes(image.headerBlock());
  ASSERT_EQ(headerBytes.size(), 40u + 4u * c.wantColours);
  EXPECT_EQ(std::memcmp(headerBytes.data() + 40, dib.data() + 40, 4 * c.wantColours), 0);
  const std::vector<uint8_t> pixels = BlockBytes(image.pixelBlock());
  ASSERT_EQ(pixels.size(), c.pixelBytes);
  EXPECT_EQ(std::memcmp(pixels.data(), dib.data() + 40 + 4 * c.wantColours, c.pixelBytes), 0);
  // Loading leaves `loaded` to the caller.
  EXPECT_EQ(image.loaded(), 0);
}

INSTANTIATE_TEST_SUITE_P(Formats, PackedDibInstalls,
                         ::testing::Values(
                             // 8-bit with biClrUsed 0: 256 entries, 1024 bytes of table.
                             InstallCase{"gray8", 5, 3, 8, 0, 256, 24, 256, 8, 24, true},
                             InstallCase{"mono1", 33, 2, 1, 0, 2, 16, 2, 8, 16, true},
                             InstallCase{"nibble4", 9, 2, 4, 0, 16, 16, 16, 8, 16, true},
                             InstallCase{"used3", 9, 2, 4, 3, 3, 16, 3, 8, 16, true},
                             // 24-bit, top-down: no table, no palette; biSizeImage = 304 x 50.
                             InstallCase{"rgb24", 101, -50, 24, 0, 0, 15200, 0, 304, 15200, false},
                             // 16-bit BI_RGB keeps biSizeImage 0.
                             InstallCase{"rgb16", 3, 2, 16, 0, 0, 16, 0, 8, 0, false},
                             InstallCase{"rgb32", 2, 2, 32, 0, 0, 16, 0, 8, 16, false}),
                         [](const ::testing::TestParamInfo<InstallCase>& info) {
                           return info.param.name;
                         });

TEST(PackedDib, KeepsAGivenSizeImage) {
  std::vector<uint8_t> dib = PackedDib(4, 4, 24, 0, 48, 0, 48);
  DibImage image;
  ASSERT_EQ(image.LoadPackedDib(dib.data(), dib.size()), 1);
  EXPECT_EQ(InstalledHeader(image).biSizeImage, 48u);
}

TEST(PackedDib, SmallSizeImageStillGivesWholeRows) {
  // biSizeImage 16 is all the data holds; the block still spans stride x rows, zero-filled.
  const std::vector<uint8_t> dib = PackedDib(4, 4, 24, 0, 16, 0, 16);
  DibImage image;
  ASSERT_EQ(image.LoadPackedDib(dib.data(), dib.size()), 1);
  EXPECT_EQ(InstalledHeader(image).biSizeImage, 16u);
  const std::vector<uint8_t> pixels = BlockBytes(image.pixelBlock());
  ASSERT_EQ(pixels.size(), 48u);
  EXPECT_EQ(std::memcmp(pixels.data(), dib.data() + 40, 16), 0);
  EXPECT_EQ(pixels[16], 0);
  EXPECT_EQ(pixels[47], 0);
}

TEST(PackedDib, EveryShortenedDibIsRefusedUntouched) {
  const std::vector<uint8_t> whole = PackedDib(5, 3, 8, 256, 24);
  for (size_t size = 0; size < whole.size(); ++size) {
    // A copy of exactly `size` bytes, so that ASan sees any read past the end.
    std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(size));
    DibImage image;
    EXPECT_EQ(image.LoadPackedDib(cut.data(), cut.size()), 0) << size;
    EXPECT_FALSE(image.headerBlock()) << size;
    EXPECT_FALSE(image.pixelBlock()) << size;
    EXPECT_EQ(image.stride(), 0) << size;
  }
}

TEST(PackedDib, RefusalLeavesAnInstalledPictureAlone) {
  const std::vector<uint8_t> good = PackedDib(5, 3, 8, 256, 24);
  DibImage image;
  ASSERT_EQ(image.LoadPackedDib(good.data(), good.size()), 1);
  const std::vector<uint8_t> before = BlockBytes(image.headerBlock());
  const uint8_t jpeg[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0};
  EXPECT_EQ(image.LoadPackedDib(jpeg, sizeof jpeg), 0);
  EXPECT_EQ(BlockBytes(image.headerBlock()), before);
  EXPECT_EQ(image.stride(), 8);
}

struct RefusalCase {
  const char* name;
  std::vector<uint8_t> dib;
};

class PackedDibRefuses : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(PackedDibRefuses, WithoutChange) {
  const std::vector<uint8_t>& dib = GetParam().dib;
  DibImage image;
  EXPECT_EQ(image.LoadPackedDib(dib.data(), dib.size()), 0);
  EXPECT_FALSE(image.headerBlock());
  EXPECT_FALSE(image.pixelBlock());
  EXPECT_EQ(image.stride(), 0);
}

std::vector<uint8_t> WithSize(uint32_t biSize) {
  std::vector<uint8_t> dib = PackedDib(2, 2, 24, 0, 16);
  std::memcpy(dib.data(), &biSize, 4);
  return dib;
}

INSTANTIATE_TEST_SUITE_P(
    Headers, PackedDibRefuses,
    ::testing::Values(RefusalCase{"core_header", WithSize(12)},
                      RefusalCase{"v5_header", WithSize(124)},
                      RefusalCase{"jpeg",
                                  {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1}},
                      RefusalCase{"size_image_beyond_data", PackedDib(4, 4, 24, 0, 48, 0, 1000000)},
                      RefusalCase{"clr_used_beyond_data", PackedDib(4, 4, 8, 256, 16, 0x40000001)},
                      RefusalCase{"clr_used_above_256", PackedDib(1, 1, 24, 300, 4, 300)},
                      RefusalCase{"rle8", PackedDib(4, 2, 8, 256, 8, 0, 8, 1)},
                      RefusalCase{"rle4", PackedDib(4, 2, 4, 16, 8, 0, 8, 2)},
                      RefusalCase{"bitfields", PackedDib(2, 2, 16, 3, 8, 0, 0, 3)},
                      RefusalCase{"zero_width", PackedDib(0, 2, 24, 0, 16)},
                      RefusalCase{"negative_width", PackedDib(-2, 2, 24, 0, 16)},
                      RefusalCase{"zero_height", PackedDib(2, 0, 24, 0, 16)},
                      RefusalCase{"bit_count_0", PackedDib(2, 2, 0, 0, 16)},
                      RefusalCase{"bit_count_2", PackedDib(2, 2, 2, 0, 16)},
                      RefusalCase{"bit_count_64", PackedDib(2, 2, 64, 0, 64)},
                      RefusalCase{"height_min", PackedDib(2, INT32_MIN, 24, 0, 16)},
                      RefusalCase{"huge_dimensions", PackedDib(1 << 20, 1 << 20, 24, 0, 16)}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

TEST(PackedDib, NullDataIsRefused) {
  DibImage image;
  EXPECT_EQ(image.LoadPackedDib(nullptr, 100), 0);
}

}  // namespace
}  // namespace kavrosa
