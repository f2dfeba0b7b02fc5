// The photograph room: which decoder each kind of bytes reaches and the reason it gives back
// (signatures written inline), and what arrives: fit sizes, BMPs made 24-bit, bad files
// refused. The decoders' own results are tested in their rooms.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "image/DibImage.h"
#include "photo/Photograph.h"
#include "tests/slideshow/PhotoFolderFiles.h"

namespace kavrosa {
namespace {

struct DispatchCase {
  const char* name;
  std::vector<uint8_t> bytes;
  PhotoError error;
  PhotoFormat format;
  const char* message;
};

std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

// A 2 x 2 BMP at 8 bits whose header says RLE8 (compression 1): the reader takes it, the
// 24-bit conversion does not.
std::vector<uint8_t> Rle8Bmp() {
  std::vector<uint8_t> b(54 + 8 + 8, 0);
  b[0] = 'B', b[1] = 'M';
  b[2] = static_cast<uint8_t>(b.size());
  b[10] = 62;            // pixel data offset
  b[14] = 40;            // info header size
  b[18] = 2, b[22] = 2;  // width, height
  b[26] = 1, b[28] = 8;  // planes, bit count
  b[30] = 1;             // BI_RLE8
  b[46] = 2;             // colours used
  return b;
}

class PhotographDispatch : public ::testing::TestWithParam<DispatchCase> {};

TEST_P(PhotographDispatch, ReachesTheRightDecoderAndSaysWhy) {
  const DispatchCase& c = GetParam();
  DibImage image;
  const PhotoResult result = DecodePhotograph(c.bytes.data(), c.bytes.size(), Size{64, 64}, image);
  EXPECT_EQ(result.error, c.error);
  EXPECT_EQ(result.format, c.format);
  EXPECT_STREQ(PhotoErrorMessage(result), c.message);
  EXPECT_EQ(image.loaded(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, PhotographDispatch,
    ::testing::Values(
#ifdef _WIN32
        // WIC under Wine: PNG built in, no WebP codec.
        DispatchCase{"png", Bytes("\x89PNG\r\n\x1a\n\0\0\0\rIHDR"), PhotoError::kCodec,
                     PhotoFormat::kPng,
                     "the system's PNG codec cannot read the picture (damaged, "
                     "cut short or too large)"},
        DispatchCase{"webp", Bytes(std::string("RIFF\x10\0\0\0WEBPVP8 ", 16)), PhotoError::kCodec,
                     PhotoFormat::kWebp, "this system has no codec for WebP pictures"},
#else
        DispatchCase{"png", Bytes("\x89PNG\r\n\x1a\n\0\0\0\rIHDR"), PhotoError::kCodec,
                     PhotoFormat::kPng,
                     "libpng cannot read the PNG picture (damaged, cut short or too large)"},
        DispatchCase{"webp", Bytes(std::string("RIFF\x10\0\0\0WEBPVP8 ", 16)), PhotoError::kCodec,
                     PhotoFormat::kWebp,
                     "libwebp cannot read the WebP picture (damaged, cut short or too large)"},
#endif
        // Unknown bytes reach our JPEG decoder, which wants a marker first.
        DispatchCase{"text", Bytes("#!/bin/sh\n"), PhotoError::kJpeg, PhotoFormat::kUnknown,
                     "expected a marker (0xFF) where the stream holds other data"},
        DispatchCase{
            "empty", {}, PhotoError::kJpeg, PhotoFormat::kUnknown, "the stream ends too early"},
        // SOI and nothing after it: a JPEG file without a picture.
        DispatchCase{"soi only",
                     {0xFF, 0xD8, 0xFF, 0xD9},
                     PhotoError::kNoPicture,
                     PhotoFormat::kJpeg,
                     "the stream holds no picture"},
        // A table segment first: a marker stream, but no JPEG file.
        DispatchCase{"no soi",
                     {0xFF, 0xDB, 0x00, 0x43},
                     PhotoError::kUnknownFormat,
                     PhotoFormat::kUnknown,
                     "not a picture in a format this program reads"},
        DispatchCase{"cut bmp", Bytes("BM\x10\0\0\0"), PhotoError::kBmp, PhotoFormat::kBmp,
                     "is shorter than its headers"},
        DispatchCase{"rle bmp", Rle8Bmp(), PhotoError::kBmpKind, PhotoFormat::kBmp,
                     "the BMP's compression or bit count is not supported (RLE, say)"}),
    [](const ::testing::TestParamInfo<DispatchCase>& info) {
      std::string name = info.param.name;
      for (char& ch : name) {
        if (ch == ' ') ch = '_';
      }
      return name;
    });

using namespace testing_folders;

TEST(Photograph, JpegArrivesFittedToTheBound) {
  const std::vector<uint8_t> jpeg = Picture(1);
  ASSERT_FALSE(jpeg.empty());
  DibImage image;
  ASSERT_TRUE(LoadPhotographFromMemory(jpeg.data(), jpeg.size(), Size{200, 200}, image));
  EXPECT_EQ(image.GetSize(true), (Size{200, 149}));
  EXPECT_EQ(image.loaded(), 1);
  DibImage whole;
  ASSERT_TRUE(LoadPhotographFromMemory(jpeg.data(), jpeg.size(), Size{640, 480}, whole));
  EXPECT_EQ(whole.GetSize(true), (Size{471, 353}));
}

TEST(Photograph, LargeBmpIsReducedToItsFitSize) {
  const std::vector<uint8_t> bmp = BmpFile(300, 200, 24);
  DibImage image;
  ASSERT_TRUE(LoadPhotographFromMemory(bmp.data(), bmp.size(), Size{120, 120}, image));
  EXPECT_EQ(image.GetSize(true), (Size{120, 80}));
}

TEST(Photograph, PaletteBmpBecomesTwentyFourBit) {
  const std::vector<uint8_t> bmp = BmpFile(5, 2, 8);
  DibImage image;
  ASSERT_TRUE(LoadPhotographFromMemory(bmp.data(), bmp.size(), Size{640, 480}, image));
  EXPECT_EQ(image.GetSize(true), (Size{5, 2}));
  BlockLock header(image.headerBlock());
  EXPECT_EQ(reinterpret_cast<const BitmapInfoHeader*>(header.data())->biBitCount, 24);
  BlockLock pixels(image.pixelBlock());
  // Row 0, pixels 0 and 1: indices 0 and 1 of the table (blue, green, red order).
  const std::vector<uint8_t> first(pixels.data(), pixels.data() + 6);
  EXPECT_EQ(first, (std::vector<uint8_t>{200, 10, 20, 30, 40, 250}));
}

TEST(Photograph, BadFilesAreRefused) {
  const std::vector<uint8_t> jpeg = Picture(2);
  const std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + jpeg.size() / 2);
  const std::string text = "this is not a photograph\n";
  const std::vector<uint8_t> bomb = BombJpeg();
  const std::vector<uint8_t> bmp = BmpFile(4, 4, 24);
  const std::vector<uint8_t> cutBmp(bmp.begin(), bmp.begin() + 30);
  DibImage image;
  EXPECT_FALSE(LoadPhotographFromMemory(cut.data(), cut.size(), Size{640, 480}, image));
  EXPECT_FALSE(LoadPhotographFromMemory(jpeg.data(), 0, Size{640, 480}, image));
  EXPECT_FALSE(LoadPhotographFromMemory(reinterpret_cast<const uint8_t*>(text.data()), text.size(),
                                        Size{640, 480}, image));
  EXPECT_FALSE(LoadPhotographFromMemory(bomb.data(), bomb.size(), Size{640, 480}, image));
  EXPECT_FALSE(LoadPhotographFromMemory(cutBmp.data(), cutBmp.size(), Size{640, 480}, image));
  EXPECT_EQ(image.loaded(), 0);
  TempFolder folder("kavrosa-bad");
  folder.Put("empty.jpg", {});
  EXPECT_FALSE(LoadPhotograph((folder.path() / "empty.jpg").string(), Size{640, 480}, image));
  EXPECT_FALSE(LoadPhotograph((folder.path() / "missing.jpg").string(), Size{640, 480}, image));
  EXPECT_FALSE(LoadPhotograph(folder.path().string(), Size{640, 480}, image));
}

}  // namespace
}  // namespace kavrosa
