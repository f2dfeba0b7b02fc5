// The twelve embedded photographs: each loads from its IMGDAT resource through the JPEG decoder
// at exactly its listed size, and (natively) decodes to within a small bound of libjpeg-turbo's
// decode of the same bytes: every sample within kMaxSampleDifference, PSNR at least kMinPsnr.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "image/DibImage.h"
#include "platform/Resources.h"
#include "tests/pictures/PictureTestSupport.h"

#ifndef _WIN32
#include <cstdio>  // jpeglib.h needs FILE

#include <jpeglib.h>
#endif

namespace kavrosa {
namespace {

using testing::BlockBytes;
using testing::InstalledHeader;

struct Photograph {
  int number;
  uint16_t id;
  int32_t width, height;
};

constexpr Photograph kPhotographs[] = {
    {1, 140, 471, 353}, {2, 142, 482, 353},  {3, 155, 482, 353},  {4, 144, 353, 482},
    {5, 145, 353, 471}, {6, 146, 353, 471},  {7, 147, 353, 482},  {8, 148, 354, 487},
    {9, 149, 352, 482}, {10, 150, 354, 487}, {11, 151, 354, 487}, {12, 152, 480, 330},
};

class Photographs : public ::testing::TestWithParam<Photograph> {};

TEST_P(Photographs, LoadThroughTheDecoderAtTheirSize) {
  const Photograph& p = GetParam();
  DibImage image;
  ASSERT_EQ(image.LoadFromResource(p.id, "IMGDAT", nullptr), 2);
  EXPECT_EQ(image.loaded(), 1);
  EXPECT_EQ(image.GetSize(true), (Size{p.width, p.height}));
  const BitmapInfoHeader header = InstalledHeader(image);
  EXPECT_EQ(header.biBitCount, 24);
  EXPECT_GT(header.biHeight, 0);  // bottom-up rows
  const uint32_t stride = (static_cast<uint32_t>(p.width) * 3 + 3) / 4 * 4;
  EXPECT_EQ(image.ImageSize(), stride * static_cast<uint32_t>(p.height));
  EXPECT_GE(image.pixelBlock().Size(), image.ImageSize());
}

#ifndef _WIN32
// The decoder's inverse DCT truncates where libjpeg-turbo rounds, so samples differ by a few
// levels (measured: at most 8, PSNR 44.1 to 45.7 dB over the twelve); a real fault (a wrong
// table, a shifted block, swapped channels) costs far more than this.
constexpr int kMaxSampleDifference = 10;
constexpr double kMinPsnr = 42.0;

// libjpeg-turbo's decode: top-down RGB rows, 3 bytes a pixel, no padding.
std::vector<uint8_t> ReferenceDecode(const ResourceBytes& stream, int32_t& width, int32_t& height) {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, const_cast<unsigned char*>(stream.data),
               static_cast<unsigned long>(stream.size));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  width = static_cast<int32_t>(cinfo.output_width);
  height = static_cast<int32_t>(cinfo.output_height);
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = rgb.data() + static_cast<size_t>(cinfo.output_scanline) * width * 3;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return rgb;
}

TEST_P(Photographs, MatchLibjpegTurbo) {
  const Photograph& p = GetParam();
  const auto stream = FindModuleResource(nullptr, p.id, "IMGDAT");
  ASSERT_TRUE(stream.has_value());
  int32_t width = 0, height = 0;
  const std::vector<uint8_t> reference = ReferenceDecode(*stream, width, height);
  ASSERT_EQ(width, p.width);
  ASSERT_EQ(height, p.height);

  DibImage image;
  ASSERT_EQ(image.LoadFromResource(p.id, "IMGDAT", nullptr), 2);
  const std::vector<uint8_t> dib = BlockBytes(image.pixelBlock());
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
  ASSERT_GE(dib.size(), stride * height);

  int maxDifference = 0;
  double squares = 0;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* ours = dib.data() + (height - 1 - y) * stride;  // bottom-up, BGR
    const uint8_t* theirs = reference.data() + static_cast<size_t>(y) * width * 3;  // RGB
    for (int32_t x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c) {
        const int d = std::abs(ours[x * 3 + (2 - c)] - theirs[x * 3 + c]);
        maxDifference = std::max(maxDifference, d);
        squares += d * d;
      }
    }
  }
  const double mse = squares / (static_cast<double>(width) * height * 3);
  const double psnr = mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
  RecordProperty("max_difference", maxDifference);
  RecordProperty("psnr", std::to_string(psnr));
  EXPECT_LE(maxDifference, kMaxSampleDifference) << "picture " << p.number;
  EXPECT_GE(psnr, kMinPsnr) << "picture " << p.number;
}
#endif

INSTANTIATE_TEST_SUITE_P(Embedded, Photographs, ::testing::ValuesIn(kPhotographs),
                         [](const ::testing::TestParamInfo<Photograph>& info) {
                           return "picture" + std::to_string(info.param.number);
                         });

}  // namespace
}  // namespace kavrosa
