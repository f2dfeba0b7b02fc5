// File reading and picture comparison for the corpus tests.
#include "tests/jpeg/JpegStreams.h"

#include <cmath>
#include <fstream>
#include <iterator>

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

}  // namespace kavrosa::test
