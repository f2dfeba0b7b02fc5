// BMP pictures of any depth the reader accepts, made 24-bit row by row; rows the file did not
// hold stay black. Bit-field masks are read from the file behind the 40-byte header, since the
// reader keeps only the header and colour table.
#include "photo/BmpPhoto.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "image/DibImageAccess.h"
#include "image/Picture24.h"
#include "platform/PixelGeometry.h"

namespace kavrosa {
namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitFields = 3;
constexpr size_t kBmpHeadersBytes = 54;

uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

BitmapInfoHeader HeaderOf(DibImage& image) {
  BitmapInfoHeader header{};
  BlockLock lock(image.headerBlock());
  if (lock && lock.size() >= sizeof header) std::memcpy(&header, lock.data(), sizeof header);
  return header;
}

int64_t RowsOf(const BitmapInfoHeader& h) {
  return h.biHeight < 0 ? -int64_t{h.biHeight} : h.biHeight;
}

// One channel of a packed pixel scaled to 0..255 by its mask.
uint8_t Channel(uint32_t value, uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1u) == 0) ++shift;
  const uint64_t top = mask >> shift;
  return static_cast<uint8_t>(uint64_t{(value & mask) >> shift} * 255u / top);
}

struct PixelFormat {
  uint16_t bits = 0;
  uint32_t masks[3] = {};        // red, green, blue for 16 and 32 bits
  std::vector<RgbQuad> palette;  // for 1, 4 and 8 bits
};

bool DescribeFormat(DibImage& image, const BitmapInfoHeader& h, const uint8_t* file,
                    size_t fileSize, PixelFormat& format) {
  format.bits = h.biBitCount;
  if (h.biBitCount <= 8) {
    if (h.biCompression != kBiRgb || (h.biBitCount != 1 && h.biBitCount != 4 && h.biBitCount != 8))
      return false;
    BlockLock lock(image.headerBlock());
    const size_t entries = lock.size() > 40 ? (lock.size() - 40) / sizeof(RgbQuad) : 0;
    format.palette.resize(std::min<size_t>(entries, size_t{1} << h.biBitCount));
    for (size_t i = 0; i < format.palette.size(); ++i)
      std::memcpy(&format.palette[i], lock.data() + 40 + i * sizeof(RgbQuad), sizeof(RgbQuad));
    return true;
  }
  if (h.biBitCount != 16 && h.biBitCount != 32) return false;
  if (h.biCompression == kBiBitFields) {
    // The three masks follow the 40-byte header in the file.
    if (fileSize < kBmpHeadersBytes + 12) return false;
    for (int i = 0; i < 3; ++i) format.masks[i] = Le32(file + kBmpHeadersBytes + 4 * i);
    return true;
  }
  if (h.biCompression != kBiRgb) return false;
  const bool five = h.biBitCount == 16;
  format.masks[0] = five ? 0x7C00u : 0xFF0000u;
  format.masks[1] = five ? 0x03E0u : 0x00FF00u;
  format.masks[2] = five ? 0x001Fu : 0x0000FFu;
  return true;
}

void ConvertRow(const uint8_t* in, int32_t width, const PixelFormat& f, uint8_t* out) {
  for (int32_t x = 0; x < width; ++x, out += 3) {
    if (f.bits <= 8) {
      const int64_t bit = int64_t{x} * f.bits;
      const uint32_t index = (in[bit / 8] >> (8 - f.bits - bit % 8)) & ((1u << f.bits) - 1u);
      if (index < f.palette.size()) {
        const RgbQuad& q = f.palette[index];
        out[0] = q.rgbBlue, out[1] = q.rgbGreen, out[2] = q.rgbRed;
      }
      continue;
    }
    const uint8_t* p = in + int64_t{x} * (f.bits / 8);
    const uint32_t value = f.bits == 16 ? uint32_t{p[0]} | (uint32_t{p[1]} << 8) : Le32(p);
    out[0] = Channel(value, f.masks[2]);
    out[1] = Channel(value, f.masks[1]);
    out[2] = Channel(value, f.masks[0]);
  }
}

BmpPhotoError MakeTwentyFourBit(DibImage& image, const uint8_t* file, size_t fileSize) {
  const BitmapInfoHeader h = HeaderOf(image);
  if (h.biBitCount == 24 && h.biCompression == kBiRgb) return BmpPhotoError::kNone;
  PixelFormat format;
  if (!DescribeFormat(image, h, file, fileSize, format)) return BmpPhotoError::kUnsupported;
  const size_t inStride = static_cast<size_t>(StrideFor(h.biWidth, h.biBitCount));
  const auto convert = [&](const MutablePixelRows24& out) {
    BlockLock in(image.pixelBlock());
    for (int64_t row = 0; row < RowsOf(h); ++row) {
      const size_t start = static_cast<size_t>(row) * inStride;
      if (!in || start + inStride > in.size()) break;
      ConvertRow(in.data() + start, h.biWidth, format, out.data + row * out.stride);
    }
    return true;
  };
  // A fresh header: the file's resolution and colour counts do not carry over.
  BitmapInfoHeader like{};
  like.biHeight = h.biHeight;
  const Size size{h.biWidth, static_cast<int32_t>(RowsOf(h))};
  return ReplaceWith24Bit(image, like, size, convert) == Replace24::kReplaced
             ? BmpPhotoError::kNone
             : BmpPhotoError::kNoMemory;
}

}  // namespace

BmpPhotoResult DecodeBmpPhoto(const uint8_t* data, size_t size, DibImage& image) {
  BmpPhotoResult result;
  result.read = LoadBmpFromMemory(image, data, size);
  if (result.read != BmpError::kNone) {
    result.error = BmpPhotoError::kRead;
    return result;
  }
  DibImageAccess::Loaded(image) = 0;
  result.error = MakeTwentyFourBit(image, data, size);
  return result;
}

}  // namespace kavrosa
