// DibImage::DecodeJpeg: 0/1 on top of the checked decoder, the blocks it leaves in the image,
// and what it must not touch (`loaded`, the cached stride).
#include <gtest/gtest.h>

#include <cstring>

#include "image/DibImage.h"
#include "tests/jpeg/JpegStreams.h"

namespace kavrosa::test {
namespace {

TEST(DibImageDecode, PictureFillsBothBlocksAndLeavesLoadedToTheCaller) {
  const Bytes stream = ReadFile("data/rose_101x77_s2x2_q85_r5.jpg");
  ASSERT_FALSE(stream.empty());
  DibImage image;
  EXPECT_EQ(image.DecodeJpeg(stream.data(), stream.size()), 1);
  EXPECT_EQ(image.loaded(), 0);
  EXPECT_EQ(image.stride(), 0);
  ASSERT_TRUE(image.headerBlock());
  ASSERT_TRUE(image.pixelBlock());
  BitmapInfoHeader header;
  {
    BlockLock lock(image.headerBlock());
    std::memcpy(&header, lock.data(), sizeof(header));
  }
  EXPECT_EQ(header.biWidth, 101);
  EXPECT_EQ(header.biHeight, 77);
  EXPECT_EQ(header.biBitCount, 24);
  EXPECT_EQ(header.biSizeImage, 304u * 77u);
  EXPECT_EQ(image.pixelBlock().Size(), 304u * 77u);
  EXPECT_EQ(image.Width(), 101);
  EXPECT_EQ(image.ImageSize(), 304u * 77u);

  // The same bytes as the checked decoder gives.
  Decoded checked = Decode(stream);
  BlockLock pixels(image.pixelBlock());
  EXPECT_EQ(Bytes(pixels.data(), pixels.data() + pixels.size()), checked.Pixels());
}

TEST(DibImageDecode, RefusalReturnsZero) {
  DibImage image;
  const Bytes junk = {0x00, 0x01, 0x02};
  EXPECT_EQ(image.DecodeJpeg(junk.data(), junk.size()), 0);
  EXPECT_EQ(image.DecodeJpeg(nullptr, 0), 0);
  EXPECT_EQ(image.loaded(), 0);
  EXPECT_FALSE(image.headerBlock());
}

TEST(DibImageDecode, StreamWithoutFrameSucceedsWithoutBlocks) {
  DibImage image;
  const Bytes stream = {0xFF, 0xD8, 0xFF, 0xD9};
  EXPECT_EQ(image.DecodeJpeg(stream.data(), stream.size()), 1);
  EXPECT_FALSE(image.headerBlock());
  EXPECT_FALSE(image.pixelBlock());
  EXPECT_EQ(image.Width(), 0);
}

TEST(DibImageDecode, SecondDecodeReplacesTheBlocks) {
  DibImage image;
  const Bytes first = ReadFile("data/rose_64x48_s1x1_q75.jpg");
  const Bytes second = ReadFile("data/rose_7x5_s1x1_q75_r1.jpg");
  ASSERT_EQ(image.DecodeJpeg(first.data(), first.size()), 1);
  ASSERT_EQ(image.DecodeJpeg(second.data(), second.size()), 1);
  EXPECT_EQ(image.Width(), 7);
  EXPECT_EQ(image.pixelBlock().Size(), 24u * 5u);
}

TEST(DibImageDecode, CheckedDecodeNamesTheReason) {
  DibImage image;
  const Bytes arithmetic = {0xFF, 0xD8, 0xFF, 0xC9, 0x00, 0x11};
  EXPECT_EQ(DecodeJpegChecked(image, arithmetic.data(), arithmetic.size()),
            JpegError::kArithmeticCoding);
  EXPECT_STREQ(JpegErrorMessage(JpegError::kArithmeticCoding),
               "arithmetic-coded JPEG is not supported");
}

}  // namespace
}  // namespace kavrosa::test
