#include "jpeg/ExifOrientation.h"

#include <cstring>

namespace kavrosa {
namespace {

constexpr uint8_t kExifSignature[6] = {'E', 'x', 'i', 'f', 0, 0};
constexpr uint32_t kOrientationTag = 0x0112;
constexpr uint32_t kTypeShort = 3;

class TiffReader {
 public:
  TiffReader(ByteView tiff, bool bigEndian) : tiff_(tiff), bigEndian_(bigEndian) {}

  uint32_t U16(size_t offset) const {
    const uint32_t a = tiff_.At(offset), b = tiff_.At(offset + 1);
    return bigEndian_ ? (a << 8 | b) : (b << 8 | a);
  }
  uint32_t U32(size_t offset) const {
    const uint32_t hi = U16(offset), lo = U16(offset + 2);
    return bigEndian_ ? (hi << 16 | lo) : (lo << 16 | hi);
  }
  bool Has(size_t offset, size_t count) const { return tiff_.Has(offset, count); }

 private:
  ByteView tiff_;
  bool bigEndian_;
};

}  // namespace

int32_t ReadExifOrientation(ByteView body) {
  if (!body.Has(0, 6 + 8) || std::memcmp(body.data, kExifSignature, 6) != 0) return 0;
  const ByteView tiff = body.Sub(6, body.size - 6);
  bool bigEndian = false;
  if (tiff.At(0) == 'M' && tiff.At(1) == 'M') {
    bigEndian = true;
  } else if (!(tiff.At(0) == 'I' && tiff.At(1) == 'I')) {
    return 0;
  }
  const TiffReader reader(tiff, bigEndian);
  if (reader.U16(2) != 42) return 0;
  const size_t ifd = reader.U32(4);
  if (!reader.Has(ifd, 2)) return 0;
  const size_t entries = reader.U16(ifd);
  if (!reader.Has(ifd + 2, 12 * entries)) return 0;  // more entries than the block holds
  for (size_t n = 0; n < entries; ++n) {
    const size_t entry = ifd + 2 + 12 * n;
    if (reader.U16(entry) != kOrientationTag) continue;
    if (reader.U16(entry + 2) != kTypeShort || reader.U32(entry + 4) != 1) return 0;
    const uint32_t value = reader.U16(entry + 8);
    return value >= 1 && value <= 8 ? static_cast<int32_t>(value) : 0;
  }
  return 0;
}

}  // namespace kavrosa
