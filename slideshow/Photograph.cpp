// Photographs from files. A BMP may have any bit depth the reader accepts; the dissolve and the
// resampler work on 24-bit rows, so palette, 16-bit and 32-bit pictures are converted first
// (bit fields included, RLE refused). A JPEG is decoded straight to its fit size, so a large
// photograph never needs its whole size in memory.
#include "slideshow/Photograph.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "image/BmpFile.h"
#include "image/DibImageAccess.h"
#include "image/FitSize.h"
#include "image/PixelGeometry.h"
#include "image/Resample.h"
#include "photo/PlatformCodec.h"
#include "platform/FileIo.h"
#include "platform/Graphics.h"

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

// Replaces the picture's blocks by a 24-bit picture of `width` x `height` (the sign of height
// keeps the row order) whose rows are in `pixels`; drops any palette.
bool Install24(DibImage& image, int32_t width, int32_t height, LocalBlock pixels) {
  LocalBlock header = LocalBlock::Allocate(sizeof(BitmapInfoHeader));
  if (!header) return false;
  {
    BlockLock lock(header);
    BitmapInfoHeader h{};
    h.biSize = sizeof h;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = 24;
    h.biCompression = kBiRgb;
    h.biSizeImage = static_cast<uint32_t>(pixels.Size());
    std::memcpy(lock.data(), &h, sizeof h);
  }
  DibImageAccess::Loaded(image) = 0;
  PaletteHandle& palette = DibImageAccess::Palette(image);
  if (palette != nullptr) gfx::DeletePalette(palette);
  palette = nullptr;
  BitmapHandle& section = DibImageAccess::DibSection(image);
  if (section != nullptr) gfx::DeleteBitmap(section);
  section = nullptr;
  image.headerBlock() = std::move(header);
  image.pixelBlock() = std::move(pixels);
  DibImageAccess::Stride(image) = 0;
  image.EnsureStride();
  DibImageAccess::Loaded(image) = 1;
  return true;
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
    if (!format.palette.empty())
      std::memcpy(format.palette.data(), lock.data() + 40, format.palette.size() * 4);
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

// Makes a freshly loaded BMP 24-bit; rows the file did not hold stay black.
bool MakeTwentyFourBit(DibImage& image, const uint8_t* file, size_t fileSize) {
  const BitmapInfoHeader h = HeaderOf(image);
  if (h.biBitCount == 24 && h.biCompression == kBiRgb) return true;
  PixelFormat format;
  if (!DescribeFormat(image, h, file, fileSize, format)) return false;
  const auto bytes = CheckedImageBytes(h.biWidth, h.biHeight, 24);
  if (!bytes) return false;
  LocalBlock converted = LocalBlock::Allocate(*bytes);
  if (!converted) return false;
  {
    BlockLock in(image.pixelBlock());
    BlockLock out(converted);
    const size_t inStride = static_cast<size_t>(StrideFor(h.biWidth, h.biBitCount));
    const size_t outStride = static_cast<size_t>(StrideFor(h.biWidth, 24));
    for (int64_t row = 0; row < RowsOf(h); ++row) {
      const size_t start = static_cast<size_t>(row) * inStride;
      if (!in || start + inStride > in.size()) break;
      ConvertRow(in.data() + start, h.biWidth, format, out.data() + row * outStride);
    }
  }
  return Install24(image, h.biWidth, h.biHeight, std::move(converted));
}

// Reduces a 24-bit picture larger than `bound` to its fit size.
bool ReduceToFit(DibImage& image, Size bound) {
  const BitmapInfoHeader h = HeaderOf(image);
  const Size size{h.biWidth, static_cast<int32_t>(RowsOf(h))};
  const Size fit = FitTarget(bound, size);
  if (fit == size) return true;
  const auto bytes = CheckedImageBytes(fit.cx, fit.cy, 24);
  if (!bytes) return false;
  LocalBlock reduced = LocalBlock::Allocate(*bytes);
  if (!reduced) return false;
  {
    BlockLock in(image.pixelBlock());
    BlockLock out(reduced);
    const size_t inStride = static_cast<size_t>(StrideFor(size.cx, 24));
    if (!in || in.size() < inStride * static_cast<size_t>(size.cy)) return false;
    const PixelRows24 source{in.data(), size.cx, size.cy, inStride};
    const MutablePixelRows24 target{out.data(), fit.cx, fit.cy,
                                    static_cast<size_t>(StrideFor(fit.cx, 24))};
    if (!Resample24(source, target)) return false;
  }
  return Install24(image, fit.cx, h.biHeight < 0 ? -fit.cy : fit.cy, std::move(reduced));
}

PhotographLoader& LoaderOverride() {
  static PhotographLoader loader = nullptr;
  return loader;
}

bool Decode(const uint8_t* data, size_t size, Size bound, DibImage& image) {
  DibImageAccess::Loaded(image) = 0;
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
    return LoadBmpFromMemory(image, data, size) == BmpError::kNone &&
           MakeTwentyFourBit(image, data, size);
  }
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xD8) {
    return image.DecodeJpegToFit(data, size, bound) == 1 && image.headerBlock() &&
           image.pixelBlock();
  }
  return DecodeWithPlatformCodec(RecogniseFormat(data, size), data, size, bound, image);
}

}  // namespace

bool LoadPhotographFromMemory(const uint8_t* data, size_t size, Size bound, DibImage& image) {
  if (data == nullptr || !Decode(data, size, bound, image) || !ReduceToFit(image, bound)) {
    DibImageAccess::Loaded(image) = 0;
    return false;
  }
  DibImageAccess::Loaded(image) = 1;
  const Size loaded = image.GetSize(true);
  return loaded.cx > 0 && loaded.cy > 0;
}

PhotographLoader CurrentPhotographLoader() {
  return LoaderOverride() != nullptr ? LoaderOverride() : &LoadPhotograph;
}

void SetPhotographLoaderForTesting(PhotographLoader loader) {
  LoaderOverride() = loader;
}

bool LoadPhotograph(const std::string& path, Size bound, DibImage& image) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, kMaxPhotographFileBytes, bytes)) return false;
  return LoadPhotographFromMemory(bytes.data(), bytes.size(), bound, image);
}

}  // namespace kavrosa
