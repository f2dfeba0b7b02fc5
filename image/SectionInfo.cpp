// Copies a header block into a BITMAPINFO that CreateDibSection may read in full: the colour
// table is always complete for palettised pictures, and nothing past the block is read.
#include "image/SectionInfo.h"

#include <algorithm>
#include <cstring>

#include "platform/PixelGeometry.h"

namespace kavrosa {
namespace {

constexpr uint32_t kBitFields = 3;  // BI_BITFIELDS: three masks follow the header

bool DrawableBitCount(uint16_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

}  // namespace

bool MakeSectionInfo(const uint8_t* block, size_t blockSize, SectionInfo* info,
                     uint32_t* sectionBytes) {
  if (block == nullptr || blockSize < sizeof(BitmapInfoHeader)) return false;
  std::memset(info, 0, sizeof(*info));
  std::memcpy(&info->header, block, sizeof(BitmapInfoHeader));
  BitmapInfoHeader& h = info->header;
  if (!DrawableBitCount(h.biBitCount)) return false;
  const auto bytes = CheckedImageBytes(h.biWidth, h.biHeight, h.biBitCount);
  if (!bytes) return false;
  h.biSize = sizeof(BitmapInfoHeader);

  const size_t held = (blockSize - sizeof(BitmapInfoHeader)) / sizeof(RgbQuad);
  size_t wanted = 0;
  if (h.biBitCount <= 8) {
    const uint32_t tableSize = 1u << h.biBitCount;
    wanted = h.biClrUsed == 0 ? tableSize : std::min(h.biClrUsed, tableSize);
    h.biClrUsed = tableSize;  // entries beyond the picture's own count stay black
  } else {
    wanted = h.biCompression == kBitFields ? 3 : 0;
    h.biClrUsed = 0;
  }
  std::memcpy(info->colours, block + sizeof(BitmapInfoHeader),
              std::min(wanted, held) * sizeof(RgbQuad));
  *sectionBytes = *bytes;
  return true;
}

}  // namespace kavrosa
