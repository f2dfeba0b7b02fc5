// The smooth scaling alone: a 2000 x 1500 block of fixed pseudo-random pixels (what the decoder
// holds of a 4000 x 3000 photograph at half scale) reduced to 1440 x 1080, whole (Resample24) and
// fed one row at a time as the decoder feeds it (RowStreamResampler, the picture's top row,
// which is the bottom-up block's last, first).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "image/Resample.h"

namespace kavrosa {
namespace {

constexpr int32_t kSourceWidth = 2000;
constexpr int32_t kSourceHeight = 1500;
constexpr int32_t kTargetWidth = 1440;
constexpr int32_t kTargetHeight = 1080;

size_t StrideOf(int32_t width) {
  return (size_t(width) * 3 + 3) & ~size_t{3};
}

std::vector<uint8_t> RandomPixels(size_t bytes) {
  std::vector<uint8_t> pixels(bytes);
  uint32_t seed = 12345;
  for (uint8_t& b : pixels) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<uint8_t>(seed >> 16);
  }
  return pixels;
}

void ResampleWhole(benchmark::State& state) {
  const size_t sourceStride = StrideOf(kSourceWidth);
  const std::vector<uint8_t> source = RandomPixels(sourceStride * kSourceHeight);
  std::vector<uint8_t> target(StrideOf(kTargetWidth) * kTargetHeight);
  const PixelRows24 from{source.data(), kSourceWidth, kSourceHeight, sourceStride};
  const MutablePixelRows24 to{target.data(), kTargetWidth, kTargetHeight, StrideOf(kTargetWidth)};
  for (auto _ : state) {
    if (!Resample24(from, to)) state.SkipWithError("resample refused");
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(ResampleWhole)
    ->Name("resample/whole_2000x1500_to_1440x1080")
    ->Unit(benchmark::kMillisecond);

void ResampleStream(benchmark::State& state) {
  const size_t sourceStride = StrideOf(kSourceWidth);
  const std::vector<uint8_t> source = RandomPixels(sourceStride * kSourceHeight);
  std::vector<uint8_t> target(StrideOf(kTargetWidth) * kTargetHeight);
  const MutablePixelRows24 to{target.data(), kTargetWidth, kTargetHeight, StrideOf(kTargetWidth)};
  for (auto _ : state) {
    auto resampler =
        RowStreamResampler::Make(kSourceWidth, kSourceHeight, kTargetWidth, kTargetHeight);
    if (resampler == nullptr) {
      state.SkipWithError("resampler refused");
      break;
    }
    for (int32_t k = 0; k < kSourceHeight; ++k)
      resampler->Push(source.data() + sourceStride * size_t(kSourceHeight - 1 - k), to);
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(ResampleStream)
    ->Name("resample/stream_2000x1500_to_1440x1080")
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kavrosa
