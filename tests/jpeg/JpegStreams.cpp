// File reading and picture comparison for the corpus tests.
#include "tests/jpeg/JpegStreams.h"

#include <cmath>
#include <fstream>
#include <iterator>

#ifndef _WIN32
#include <jpeglib.h>
#endif

namespace kavrosa::test {

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

double Psnr(const Bytes& a, const Bytes& b, int width, int height) {
  const size_t stride = (3 * static_cast<size_t>(width) + 3) & ~size_t{3};
  if (a.size() < stride * static_cast<size_t>(height) || b.size() < a.size()) return 0;
  double squared = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < 3 * width; ++x) {
      const size_t i = stride * static_cast<size_t>(y) + static_cast<size_t>(x);
      const double d = double(a[i]) - double(b[i]);
      squared += d * d;
    }
  const double mse = squared / (3.0 * width * height);
  return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

#ifndef _WIN32
// libjpeg-turbo's own decode (JDCT_ISLOW) as B, G, R bottom-up rows with our stride.
Bytes LibjpegDecode(const Bytes& stream, int& width, int& height) {
  jpeg_decompress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, stream.data(), static_cast<unsigned long>(stream.size()));
  jpeg_read_header(&info, TRUE);
  info.dct_method = JDCT_ISLOW;
  info.out_color_space = JCS_EXT_BGR;
  info.do_fancy_upsampling = FALSE;  // replicate chroma, as this decoder does
  jpeg_start_decompress(&info);
  width = static_cast<int>(info.output_width);
  height = static_cast<int>(info.output_height);
  const size_t stride = (3 * static_cast<size_t>(width) + 3) & ~size_t{3};
  Bytes out(stride * static_cast<size_t>(height), 0);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = out.data() + stride * (static_cast<size_t>(height) - 1 - info.output_scanline);
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return out;
}

#endif

}  // namespace kavrosa::test
