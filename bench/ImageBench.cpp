// What one held picture costs per tick and what BMP files cost: Blit of a 353 x 482 picture
// through the software seam, copied at its own size and stretched to 351 x 480 (the worked
// 640 x 480 layout), and a 640 x 480 BMP read from memory and written back to disk.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "image/BmpFile.h"
#include "image/DibImage.h"
#include "platform/SoftwareSurface.h"

namespace kavrosa {
namespace {

// A 24-bit bottom-up BMP file of width x height in memory.
std::vector<uint8_t> BmpBytes(int32_t width, int32_t height) {
  const uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) / 4 * 4;
  const uint32_t size = stride * static_cast<uint32_t>(height);
  std::vector<uint8_t> file(54 + size);
  for (size_t i = 54; i < file.size(); ++i) file[i] = static_cast<uint8_t>(i * 13);
  const auto put32 = [&file](size_t at, uint32_t v) { std::memcpy(&file[at], &v, 4); };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, 54 + size);
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  file[26] = 1;
  file[28] = 24;
  return file;
}

void LoadPicture(DibImage& image, int32_t width, int32_t height) {
  const std::vector<uint8_t> file = BmpBytes(width, height);
  LoadBmpFromMemory(image, file.data(), file.size());
}

void BM_BlitCopy(benchmark::State& state) {
  DibImage image;
  LoadPicture(image, 353, 482);
  SoftwareSurface window(640, 480);
  image.Blit(window.dc(), Rect{144, 0, 497, 482}, Rect{0, 0, 353, 482},
             kSrcCopy);  // makes the section
  for (auto _ : state) {
    image.Blit(window.dc(), Rect{144, 0, 497, 482}, Rect{0, 0, 353, 482}, kSrcCopy);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_BlitCopy);

void BM_BlitStretch(benchmark::State& state) {
  DibImage image;
  LoadPicture(image, 353, 482);
  SoftwareSurface window(640, 480);
  for (auto _ : state) {
    image.Blit(window.dc(), Rect{144, 0, 495, 480}, Rect{0, 0, 353, 482}, kSrcCopy);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_BlitStretch);

void BM_LoadBmp640x480(benchmark::State& state) {
  const std::vector<uint8_t> file = BmpBytes(640, 480);
  for (auto _ : state) {
    DibImage image;
    benchmark::DoNotOptimize(LoadBmpFromMemory(image, file.data(), file.size()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * file.size());
}
BENCHMARK(BM_LoadBmp640x480);

void BM_SaveBmp640x480(benchmark::State& state) {
  DibImage image;
  LoadPicture(image, 640, 480);
  const std::string path = "/tmp/kavrosa-bench-save.bmp";
  for (auto _ : state) benchmark::DoNotOptimize(SaveBmpChecked(image, path));
  std::remove(path.c_str());
}
BENCHMARK(BM_SaveBmp640x480);

}  // namespace
}  // namespace kavrosa
