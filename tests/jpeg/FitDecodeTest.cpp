// Decoding to a screen's size: the fit rule's integer steps, and DecodeJpegToFit leaving a
// picture that fits at its own size and reducing one that does not to its fit size.
#include <gtest/gtest.h>

#include <cstring>

#include "image/DibImage.h"
#include "image/FitSize.h"
#include "image/Resample.h"
#include "tests/jpeg/JpegStreams.h"

namespace kavrosa::test {
namespace {

TEST(FitSize, HeightFirstThenWidth) {
  EXPECT_EQ(FitSize(Size{1920, 1080}, Size{4000, 3000}), (Size{1440, 1080}));
  EXPECT_EQ(FitSize(Size{640, 480}, Size{353, 482}), (Size{351, 480}));
  EXPECT_EQ(FitSize(Size{50, 50}, Size{101, 77}), (Size{50, 38}));  // 65 too wide: 50 x 38
  EXPECT_EQ(FitSize(Size{1080, 1920}, Size{3000, 4000}), (Size{1080, 1440}));
  EXPECT_EQ(FitSize(Size{10, 10}, Size{0, 5}), (Size{0, 0}));
}

BitmapInfoHeader HeaderOf(DibImage& image) {
  BitmapInfoHeader header{};
  BlockLock lock(image.headerBlock());
  if (lock.size() >= sizeof(header)) std::memcpy(&header, lock.data(), sizeof(header));
  return header;
}

Bytes PixelsOf(DibImage& image) {
  BlockLock lock(image.pixelBlock());
  return Bytes(lock.data(), lock.data() + lock.size());
}

TEST(DecodeJpegToFit, PictureInsideTheBoundKeepsItsOwnSizeAndBytes) {
  const Bytes stream = ReadFile("data/rose_101x77_s2x2_q85_r5.jpg");
  ASSERT_FALSE(stream.empty());
  Decoded plain = Decode(stream);
  for (const Size bound : {Size{0, 0}, Size{-5, 100}, Size{101, 77}, Size{2000, 80}}) {
    DibImage image;
    ASSERT_EQ(image.DecodeJpegToFit(stream.data(), stream.size(), bound), 1);
    EXPECT_EQ(HeaderOf(image).biWidth, 101);
    EXPECT_EQ(HeaderOf(image).biHeight, 77);
    EXPECT_EQ(PixelsOf(image), plain.Pixels());
  }
}

TEST(DecodeJpegToFit, LargerPictureIsReducedToItsFitSize) {
  const Bytes stream = ReadFile("data/rose_101x77_s2x2_q85_r5.jpg");
  DibImage image;
  ASSERT_EQ(image.DecodeJpegToFit(stream.data(), stream.size(), Size{50, 50}), 1);
  const BitmapInfoHeader header = HeaderOf(image);
  EXPECT_EQ(header.biWidth, 50);
  EXPECT_EQ(header.biHeight, 38);
  EXPECT_EQ(header.biSizeImage, 152u * 38u);
  EXPECT_EQ(image.pixelBlock().Size(), 152u * 38u);
  EXPECT_EQ(image.Width(), 50);
  EXPECT_EQ(image.loaded(), 0);

  // At this size the picture is a resampling of the full decode.
  Decoded plain = Decode(stream);
  const Bytes full = plain.Pixels();
  Bytes expected(152u * 38u, 0);
  ASSERT_TRUE(Resample24(PixelRows24{full.data(), 101, 77, 304},
                         MutablePixelRows24{expected.data(), 50, 38, 152}));
  EXPECT_EQ(PixelsOf(image), expected);
}

TEST(DecodeJpegToFit, RefusalReturnsZero) {
  DibImage image;
  const Bytes junk = {0x00, 0x01};
  EXPECT_EQ(image.DecodeJpegToFit(junk.data(), junk.size(), Size{10, 10}), 0);
  const Bytes empty = {0xFF, 0xD8, 0xFF, 0xD9};
  EXPECT_EQ(image.DecodeJpegToFit(empty.data(), empty.size(), Size{10, 10}), 1);
  EXPECT_FALSE(image.pixelBlock());
}

}  // namespace
}  // namespace kavrosa::test
