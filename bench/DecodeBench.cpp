// Decoding speed: this decoder (fast and reference paths) against libjpeg-turbo's accurate
// integer IDCT and stb_image, each decoding the same twelve photographs per iteration into
// 24-bit bottom-up B, G, R rows with a 4-byte stride.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/LibjpegDecode.h"

#include "jpeg/JpegDecoder.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace {

using Bytes = std::vector<uint8_t>;

const std::vector<Bytes>& Pictures() {
  static const std::vector<Bytes> pictures = [] {
    std::vector<Bytes> list;
    for (int i = 1; i <= 12; ++i) {
      char name[64];
      std::snprintf(name, sizeof(name), "/resources/pictures/picture%02d.jpg", i);
      std::ifstream in(std::string(KAVROSA_SOURCE_DIR) + name, std::ios::binary);
      Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      if (!bytes.empty()) list.push_back(std::move(bytes));
    }
    return list;
  }();
  return pictures;
}

using kavrosa::bench::Stride;

void DecodeKavrosa(benchmark::State& state, kavrosa::JpegPath path) {
  const auto& pictures = Pictures();
  if (pictures.empty()) state.SkipWithError("no pictures under resources/pictures");
  for (auto _ : state) {
    for (const Bytes& picture : pictures) {
      kavrosa::JpegDecoderState decoder;
      kavrosa::LocalBlock header;
      kavrosa::LocalBlock pixels;
      const kavrosa::JpegError error =
          kavrosa::DecodeJpegStream(decoder, header, pixels, picture.data(), picture.size(), path);
      if (error != kavrosa::JpegError::kNone) state.SkipWithError("decode failed");
      benchmark::DoNotOptimize(pixels);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pictures.size()));
}

// The same pictures as a 160x120 screen shows them: decoded at a reduced scale, then resampled.
void DecodeKavrosaFitted(benchmark::State& state) {
  const auto& pictures = Pictures();
  if (pictures.empty()) state.SkipWithError("no pictures under resources/pictures");
  for (auto _ : state) {
    for (const Bytes& picture : pictures) {
      kavrosa::JpegDecoderState decoder;
      kavrosa::LocalBlock header;
      kavrosa::LocalBlock pixels;
      const kavrosa::JpegError error = kavrosa::DecodeJpegFitted(
          decoder, header, pixels, picture.data(), picture.size(), kavrosa::Size{160, 120});
      if (error != kavrosa::JpegError::kNone) state.SkipWithError("decode failed");
      benchmark::DoNotOptimize(pixels);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pictures.size()));
}

void DecodeLibjpeg(benchmark::State& state) {
  const auto& pictures = Pictures();
  for (auto _ : state) {
    for (const Bytes& picture : pictures) {
      const kavrosa::bench::LibjpegPicture out = kavrosa::bench::DecodeWithLibjpeg(picture);
      benchmark::DoNotOptimize(out.bytes.data());
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pictures.size()));
}

void DecodeStb(benchmark::State& state) {
  const auto& pictures = Pictures();
  for (auto _ : state) {
    for (const Bytes& picture : pictures) {
      int width = 0, height = 0, channels = 0;
      stbi_uc* rgb = stbi_load_from_memory(picture.data(), static_cast<int>(picture.size()), &width,
                                           &height, &channels, 3);
      if (rgb == nullptr) {
        state.SkipWithError("stb_image failed");
        break;
      }
      const size_t stride = Stride(static_cast<size_t>(width));
      Bytes out(stride * static_cast<size_t>(height));
      for (int y = 0; y < height; ++y) {
        const stbi_uc* from = rgb + 3 * static_cast<size_t>(width) * static_cast<size_t>(y);
        uint8_t* to = out.data() + stride * static_cast<size_t>(height - 1 - y);
        for (int x = 0; x < width; ++x) {
          to[3 * x + 0] = from[3 * x + 2];
          to[3 * x + 1] = from[3 * x + 1];
          to[3 * x + 2] = from[3 * x + 0];
        }
      }
      stbi_image_free(rgb);
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pictures.size()));
}

BENCHMARK_CAPTURE(DecodeKavrosa, fast, kavrosa::JpegPath::kFast)->Name("decode/kavrosa");
BENCHMARK_CAPTURE(DecodeKavrosa, reference, kavrosa::JpegPath::kReference)
    ->Name("decode/kavrosa_reference");
BENCHMARK(DecodeKavrosaFitted)->Name("decode/kavrosa_fit_160x120");
BENCHMARK(DecodeLibjpeg)->Name("decode/libjpeg_turbo_islow");
BENCHMARK(DecodeStb)->Name("decode/stb_image");

}  // namespace
