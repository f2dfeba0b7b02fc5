// libjpeg-turbo's accurate integer decode into 24-bit bottom-up B, G, R rows with a 4-byte
// stride, as this decoder writes them, for the benchmarks that set the two side by side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace kavrosa::bench {

inline size_t Stride(size_t width) {
  return (3 * width + 3) & ~size_t{3};
}

struct LibjpegPicture {
  std::vector<uint8_t> bytes;
  size_t width = 0;
  size_t height = 0;
  size_t stride = 0;
};

// `scaleFor(width, height)` gives the reduced scale's denominator once the header is read.
template <typename ScaleFor>
LibjpegPicture DecodeWithLibjpeg(const std::vector<uint8_t>& jpeg, ScaleFor scaleFor) {
  jpeg_decompress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&info, TRUE);
  info.scale_num = 1;
  info.scale_denom = scaleFor(info.image_width, info.image_height);
  info.dct_method = JDCT_ISLOW;
  info.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&info);
  LibjpegPicture picture;
  picture.width = info.output_width;
  picture.height = info.output_height;
  picture.stride = Stride(picture.width);
  picture.bytes.resize(picture.stride * picture.height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row =
        picture.bytes.data() + picture.stride * (picture.height - 1 - info.output_scanline);
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return picture;
}

inline LibjpegPicture DecodeWithLibjpeg(const std::vector<uint8_t>& jpeg) {
  return DecodeWithLibjpeg(jpeg, [](unsigned, unsigned) { return 1u; });
}

}  // namespace kavrosa::bench
