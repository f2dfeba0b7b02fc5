// Helpers shared by the picture tests: reading back an image's installed header, colour table
// and pixel bytes, and building packed DIBs in memory.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "image/DibImage.h"
#include "platform/LocalMemory.h"
#include "platform/Types.h"

namespace kavrosa::testing {

inline BitmapInfoHeader InstalledHeader(DibImage& image) {
  BitmapInfoHeader header{};
  BlockLock lock(image.headerBlock());
  if (lock.size() >= sizeof header) std::memcpy(&header, lock.data(), sizeof header);
  return header;
}

inline std::vector<uint8_t> BlockBytes(LocalBlock& block) {
  BlockLock lock(block);
  return std::vector<uint8_t>(lock.data(), lock.data() + lock.size());
}

// A packed DIB: header, `colours` colour-table entries (entry i = i, 255 - i, i / 2, 0) and
// the pixel bytes (byte k = 7k + 3).
inline std::vector<uint8_t> PackedDib(int32_t width, int32_t height, uint16_t bitCount,
                                      uint32_t colours, uint32_t pixelBytes, uint32_t clrUsed = 0,
                                      uint32_t sizeImage = 0, uint32_t compression = 0) {
  const BitmapInfoHeader header{40,        width, height, 1,       bitCount, compression,
                                sizeImage, 2835,  2835,   clrUsed, 0};
  std::vector<uint8_t> dib(sizeof header);
  std::memcpy(dib.data(), &header, sizeof header);
  for (uint32_t i = 0; i < colours; ++i) {
    const uint8_t entry[4] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                              static_cast<uint8_t>(i / 2), 0};
    dib.insert(dib.end(), entry, entry + 4);
  }
  for (uint32_t k = 0; k < pixelBytes; ++k) dib.push_back(static_cast<uint8_t>(k * 7 + 3));
  return dib;
}

}  // namespace kavrosa::testing
