// Builders for pictures in tests: a header, an optional colour table and pixel rows installed
// straight into a DibImage's blocks, as a loader would leave them.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "image/DibImage.h"
#include "image/DibImageAccess.h"
#include "platform/Types.h"

namespace kavrosa::testing {

inline BitmapInfoHeader MakeHeader(int32_t width, int32_t height, uint16_t bitCount,
                                   uint32_t clrUsed = 0, uint32_t sizeImage = 0) {
  BitmapInfoHeader h{};
  h.biSize = 40;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = bitCount;
  h.biSizeImage = sizeImage;
  h.biClrUsed = clrUsed;
  return h;
}

// Installs the blocks: the header followed by `colours`, and `pixels`. Sets loaded to 1 unless
// told otherwise; leaves the stride cache to be computed on first use.
inline void Install(DibImage& image, const BitmapInfoHeader& header,
                    const std::vector<RgbQuad>& colours, const std::vector<uint8_t>& pixels,
                    bool loaded = true) {
  image.headerBlock() = LocalBlock::Allocate(sizeof(header) + colours.size() * sizeof(RgbQuad));
  {
    BlockLock lock(image.headerBlock());
    std::memcpy(lock.data(), &header, sizeof(header));
    if (!colours.empty())
      std::memcpy(lock.data() + sizeof(header), colours.data(), colours.size() * sizeof(RgbQuad));
  }
  image.pixelBlock() = LocalBlock::Allocate(pixels.size());
  if (!pixels.empty()) {
    BlockLock lock(image.pixelBlock());
    std::memcpy(lock.data(), pixels.data(), pixels.size());
  }
  DibImageAccess::Loaded(image) = loaded ? 1 : 0;
}

inline BitmapInfoHeader HeaderOf(DibImage& image) {
  BitmapInfoHeader h{};
  BlockLock lock(image.headerBlock());
  if (lock.size() >= sizeof(h)) std::memcpy(&h, lock.data(), sizeof(h));
  return h;
}

inline std::vector<uint8_t> PixelsOf(DibImage& image) {
  BlockLock lock(image.pixelBlock());
  return std::vector<uint8_t>(lock.data(), lock.data() + lock.size());
}

// A 24-bit bottom-up picture whose pixel (x, y), y from the top, is (blue x, green y, red 200).
inline std::vector<uint8_t> GradientPixels(int32_t width, int32_t height) {
  const int32_t stride = (width * 3 + 3) / 4 * 4;
  std::vector<uint8_t> pixels(static_cast<size_t>(stride) * height, 0);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = pixels.data() + static_cast<size_t>(height - 1 - y) * stride;
    for (int32_t x = 0; x < width; ++x) {
      row[3 * x] = static_cast<uint8_t>(x);
      row[3 * x + 1] = static_cast<uint8_t>(y);
      row[3 * x + 2] = 200;
    }
  }
  return pixels;
}

}  // namespace kavrosa::testing
