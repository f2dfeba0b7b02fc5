// Decoding to a screen's size: the 4000 x 3000 photograph of the generated corpus, baseline and
// its progressive twin, fitted to 1920 x 1080 by this decoder, against libjpeg-turbo decoding the
// same file at the same reduced scale (accurate integer IDCT) followed by the same resize.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/LibjpegDecode.h"

#include "image/FitSize.h"
#include "image/Resample.h"
#include "jpeg/JpegDecoder.h"

namespace kavrosa {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr Size kBound{1920, 1080};

Bytes ReadCorpusFile(const char* name) {
  std::ifstream in(std::string(KAVROSA_GENERATED_CORPUS) + "/" + name, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

using bench::Stride;

void FitKavrosa(benchmark::State& state, const char* name) {
  const Bytes picture = ReadCorpusFile(name);
  if (picture.empty()) state.SkipWithError("no generated corpus picture");
  for (auto _ : state) {
    JpegDecoderState decoder;
    LocalBlock header;
    LocalBlock pixels;
    const JpegError error =
        DecodeJpegFitted(decoder, header, pixels, picture.data(), picture.size(), kBound);
    if (error != JpegError::kNone) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(pixels);
  }
}

// The smallest 1/2^k scale whose picture still covers the fit size, as the decoder chooses it.
unsigned ReducedScale(Size picture, Size shown) {
  for (unsigned scale = 8; scale > 1; scale /= 2) {
    if ((picture.cx + scale - 1) / scale >= static_cast<unsigned>(shown.cx) &&
        (picture.cy + scale - 1) / scale >= static_cast<unsigned>(shown.cy))
      return scale;
  }
  return 1;
}

void FitLibjpeg(benchmark::State& state, const char* name) {
  const Bytes picture = ReadCorpusFile(name);
  if (picture.empty()) state.SkipWithError("no generated corpus picture");
  for (auto _ : state) {
    Size shown;
    const bench::LibjpegPicture reduced =
        bench::DecodeWithLibjpeg(picture, [&shown](unsigned width, unsigned height) {
          const Size full{static_cast<int32_t>(width), static_cast<int32_t>(height)};
          shown = FitTarget(kBound, full);
          return ReducedScale(full, shown);
        });
    Bytes fitted(Stride(static_cast<size_t>(shown.cx)) * static_cast<size_t>(shown.cy));
    Resample24(PixelRows24{reduced.bytes.data(), static_cast<int32_t>(reduced.width),
                           static_cast<int32_t>(reduced.height), reduced.stride},
               MutablePixelRows24{fitted.data(), shown.cx, shown.cy,
                                  Stride(static_cast<size_t>(shown.cx))});
    benchmark::DoNotOptimize(fitted.data());
  }
}

BENCHMARK_CAPTURE(FitKavrosa, baseline, "big.jpg")
    ->Name("decode/kavrosa_fit_4000x3000_to_1920x1080")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FitLibjpeg, baseline, "big.jpg")
    ->Name("decode/libjpeg_turbo_fit_4000x3000_to_1920x1080")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FitKavrosa, progressive, "big_prog.jpg")
    ->Name("decode/kavrosa_fit_progressive_4000x3000_to_1920x1080")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FitLibjpeg, progressive, "big_prog.jpg")
    ->Name("decode/libjpeg_turbo_fit_progressive_4000x3000_to_1920x1080")
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kavrosa
