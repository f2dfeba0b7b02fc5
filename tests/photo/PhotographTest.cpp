// The photograph room's dispatch: which decoder each kind of bytes reaches and the reason it
// gives back, from signatures written inline; the decoders' own results are tested in their
// rooms and by the folder tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "image/DibImage.h"
#include "photo/Photograph.h"

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

}  // namespace
}  // namespace kavrosa
