// Reading and writing BMP files. The reader trusts nothing in the file: every count and offset
// is checked against the file's size and the image caps before a block is replaced, and only a
// pixel area that ends early is accepted (its remainder stays zero). The writer never reads past
// the header block's colour table or the pixel block; what they lack is written as zeros.
#include "image/BmpFile.h"

#include <algorithm>
#include <cstring>

#include "image/DibImageAccess.h"
#include "platform/PixelGeometry.h"
#include "platform/FileIo.h"

namespace kavrosa {
namespace {

constexpr size_t kFileHeaderBytes = 14;
constexpr size_t kInfoHeaderBytes = 40;
constexpr size_t kHeadersBytes = kFileHeaderBytes + kInfoHeaderBytes;  // 54

uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Colour-table entries assumed when biClrUsed is 0: the writer, unlike the reader, gives 1-bit
// pictures none.
uint32_t WriterDefaultCount(uint16_t bitCount) {
  return bitCount == 1 ? 0 : DefaultColourCount(bitCount);
}

class FileSource : public ByteSource {
 public:
  explicit FileSource(InputFile& file) : file_(file) {}
  uint64_t Size() const override { return file_.Size(); }
  size_t ReadAt(uint64_t position, void* buffer, size_t count) override {
    return file_.ReadAt(position, buffer, count);
  }

 private:
  InputFile& file_;
};

class MemorySource : public ByteSource {
 public:
  MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t position, void* buffer, size_t count) override {
    if (data_ == nullptr || position >= size_) return 0;
    const size_t n = std::min<size_t>(count, size_ - static_cast<size_t>(position));
    std::memcpy(buffer, data_ + position, n);
    return n;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

// The header fields as read from the file, before anything is installed.
struct ParsedHeaders {
  uint32_t bfSize = 0;
  uint32_t bfOffBits = 0;
  BitmapInfoHeader info{};
};

BmpError ParseHeaders(ByteSource& source, ParsedHeaders* out) {
  uint8_t bytes[kHeadersBytes] = {};
  const size_t got = source.ReadAt(0, bytes, sizeof(bytes));
  if (got < 2) return BmpError::kTruncatedHeaders;
  if (bytes[0] != 'B' || bytes[1] != 'M') return BmpError::kNotBmp;
  if (got < kFileHeaderBytes + 4) return BmpError::kTruncatedHeaders;
  if (Le32(bytes + 14) != kInfoHeaderBytes) return BmpError::kUnsupportedHeader;
  if (got < kHeadersBytes) return BmpError::kTruncatedHeaders;
  out->bfSize = Le32(bytes + 2);
  out->bfOffBits = Le32(bytes + 10);
  BitmapInfoHeader& h = out->info;
  h.biSize = kInfoHeaderBytes;
  h.biWidth = static_cast<int32_t>(Le32(bytes + 18));
  h.biHeight = static_cast<int32_t>(Le32(bytes + 22));
  h.biPlanes = Le16(bytes + 26);
  h.biBitCount = Le16(bytes + 28);
  h.biCompression = Le32(bytes + 30);
  h.biSizeImage = Le32(bytes + 34);
  h.biXPelsPerMeter = static_cast<int32_t>(Le32(bytes + 38));
  h.biYPelsPerMeter = static_cast<int32_t>(Le32(bytes + 42));
  h.biClrUsed = Le32(bytes + 46);
  h.biClrImportant = Le32(bytes + 50);
  return BmpError::kNone;
}

// Fills in the missing size and colour count and checks them against the file.
BmpError CompleteHeaders(ParsedHeaders* p, uint64_t fileSize) {
  BitmapInfoHeader& h = p->info;
  if (!CheckedImageBytes(h.biWidth, h.biHeight, h.biBitCount)) return BmpError::kBadDimensions;
  if (p->bfOffBits > fileSize) return BmpError::kOffsetPastEnd;
  if (h.biSizeImage == 0) {
    const uint64_t total = p->bfSize != 0 ? p->bfSize : fileSize;
    if (p->bfOffBits > total) return BmpError::kFileSizeBeforeOffset;
    if (total - p->bfOffBits > UINT32_MAX) return BmpError::kPixelAreaTooLarge;
    h.biSizeImage = static_cast<uint32_t>(total - p->bfOffBits);
  }
  if (h.biSizeImage > kMaxImageBytes) return BmpError::kPixelAreaTooLarge;
  if (h.biClrUsed == 0) h.biClrUsed = DefaultColourCount(h.biBitCount);
  if (kHeadersBytes + uint64_t{h.biClrUsed} * sizeof(RgbQuad) > fileSize)
    return BmpError::kColourTablePastEnd;
  return BmpError::kNone;
}

BmpError InstallHeader(DibImage& image, ByteSource& source, const BitmapInfoHeader& h) {
  LocalBlock& block = image.headerBlock();
  block.Free();
  const size_t tableBytes = size_t{h.biClrUsed} * sizeof(RgbQuad);
  block = LocalBlock::Allocate(kInfoHeaderBytes + tableBytes);
  BlockLock lock(block);
  if (!lock) return BmpError::kOutOfMemory;
  std::memcpy(lock.data(), &h, kInfoHeaderBytes);
  source.ReadAt(kHeadersBytes, lock.data() + kInfoHeaderBytes, tableBytes);
  image.MakePalette(lock.data(), lock.size());
  return BmpError::kNone;
}

BmpError InstallPixels(DibImage& image, ByteSource& source, const ParsedHeaders& p) {
  LocalBlock& block = image.pixelBlock();
  block.Free();
  block = LocalBlock::Allocate(p.info.biSizeImage);
  BlockLock lock(block);
  if (!lock) return BmpError::kOutOfMemory;
  // A file that ends early leaves the rest of the block zero.
  source.ReadAt(p.bfOffBits, lock.data(), p.info.biSizeImage);
  return BmpError::kNone;
}

// Writes `count` zero bytes.
bool WriteZeros(OutputFile& file, uint64_t count) {
  static const uint8_t kZeros[4096] = {};
  while (count > 0) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(count, sizeof(kZeros)));
    if (!file.Write(kZeros, n)) return false;
    count -= n;
  }
  return true;
}

// Writes exactly `size` bytes of pixel data: the block's rows in order, or from the last row to
// the first when `reverse`; bytes the block does not hold are written as zeros.
bool WritePixels(OutputFile& file, const BlockLock& pixels, uint32_t size, int64_t stride,
                 int64_t rows, bool reverse) {
  const uint64_t held = pixels.size();
  if (!reverse) {
    const uint64_t n = std::min<uint64_t>(size, held);
    return (n == 0 || file.Write(pixels.data(), static_cast<size_t>(n))) &&
           WriteZeros(file, size - n);
  }
  uint64_t written = 0;
  for (int64_t r = rows - 1; r >= 0 && stride > 0 && written < size; --r) {
    const uint64_t rowBytes = std::min<uint64_t>(static_cast<uint64_t>(stride), size - written);
    const uint64_t start = static_cast<uint64_t>(r) * static_cast<uint64_t>(stride);
    const uint64_t present = start < held ? std::min(rowBytes, held - start) : 0;
    if (present > 0 && !file.Write(pixels.data() + start, static_cast<size_t>(present)))
      return false;
    if (!WriteZeros(file, rowBytes - present)) return false;
    written += rowBytes;
  }
  return WriteZeros(file, size - written);
}

}  // namespace

const char* BmpErrorMessage(BmpError error) {
  switch (error) {
    case BmpError::kNone:
      return "no error";
    case BmpError::kCannotOpen:
      return "cannot be opened";
    case BmpError::kTruncatedHeaders:
      return "is shorter than its headers";
    case BmpError::kNotBmp:
      return "is not a BMP file (no \"BM\" signature)";
    case BmpError::kUnsupportedHeader:
      return "has an info header other than the 40-byte one";
    case BmpError::kBadDimensions:
      return "has an unsupported width, height or bit count";
    case BmpError::kOffsetPastEnd:
      return "has its pixel data offset past the end of the file";
    case BmpError::kFileSizeBeforeOffset:
      return "declares a file size below its pixel data offset";
    case BmpError::kPixelAreaTooLarge:
      return "declares a pixel area that is too large";
    case BmpError::kColourTablePastEnd:
      return "has a colour table that runs past the end of the file";
    case BmpError::kOutOfMemory:
      return "needs more memory than is available";
    case BmpError::kNothingToSave:
      return "cannot be written: the picture has no header or pixels";
    case BmpError::kTooLargeToSave:
      return "cannot be written: the picture is too large for a BMP file";
    case BmpError::kCannotCreate:
      return "cannot be created";
    case BmpError::kWriteFailed:
      return "could not be written completely";
  }
  return "unknown error";
}

BmpError LoadBmpFrom(DibImage& image, ByteSource& source) {
  DibImageAccess::Loaded(image) = 0;
  ParsedHeaders parsed;
  BmpError error = ParseHeaders(source, &parsed);
  if (error == BmpError::kNone) error = CompleteHeaders(&parsed, source.Size());
  if (error != BmpError::kNone) return error;
  // From here on the old blocks are replaced.
  error = InstallHeader(image, source, parsed.info);
  if (error != BmpError::kNone) return error;
  DibImageAccess::Stride(image) =
      static_cast<int32_t>(StrideFor(parsed.info.biWidth, parsed.info.biBitCount));
  error = InstallPixels(image, source, parsed);
  if (error != BmpError::kNone) return error;
  DibImageAccess::Loaded(image) = 1;
  return BmpError::kNone;
}

BmpError LoadBmpFromMemory(DibImage& image, const uint8_t* data, size_t size) {
  MemorySource source(data, size);
  return LoadBmpFrom(image, source);
}

BmpError LoadBmpChecked(DibImage& image, const std::string& fileName) {
  InputFile file;
  if (!file.Open(fileName)) return BmpError::kCannotOpen;
  FileSource source(file);
  return LoadBmpFrom(image, source);
}

BmpError SaveBmpChecked(DibImage& image, const std::string& fileName) {
  if (image.headerBlock().Size() < kInfoHeaderBytes || !image.pixelBlock())
    return BmpError::kNothingToSave;
  const uint32_t size = image.ImageSize();
  BlockLock header(image.headerBlock());
  if (!header) return BmpError::kNothingToSave;
  BitmapInfoHeader info;
  std::memcpy(&info, header.data(), kInfoHeaderBytes);
  const uint32_t count = info.biClrUsed != 0 ? info.biClrUsed : WriterDefaultCount(info.biBitCount);
  const uint64_t offBits = kHeadersBytes + uint64_t{count} * sizeof(RgbQuad);
  if (offBits + size > UINT32_MAX) return BmpError::kTooLargeToSave;
  info.biClrUsed = count;
  std::memcpy(header.data() + offsetof(BitmapInfoHeader, biClrUsed), &count, sizeof(count));

  OutputFile file;
  if (!file.Create(fileName)) return BmpError::kCannotCreate;
  const bool reverse = info.biHeight < 0;
  const int64_t rows = reverse ? -int64_t{info.biHeight} : info.biHeight;
  if (reverse) info.biHeight = static_cast<int32_t>(std::min<int64_t>(rows, INT32_MAX));

  uint8_t headers[kHeadersBytes] = {'B', 'M'};
  PutLe32(headers + 2, static_cast<uint32_t>(offBits + size));
  PutLe32(headers + 10, static_cast<uint32_t>(offBits));
  std::memcpy(headers + kFileHeaderBytes, &info, kInfoHeaderBytes);
  bool ok = file.Write(headers, sizeof(headers));

  // The colour table: the entries the block holds, zeros for the rest.
  const uint64_t held = (header.size() - kInfoHeaderBytes) / sizeof(RgbQuad);
  const uint64_t copied = std::min<uint64_t>(count, held);
  ok = ok && (copied == 0 || file.Write(header.data() + kInfoHeaderBytes,
                                        static_cast<size_t>(copied * sizeof(RgbQuad))));
  ok = ok && WriteZeros(file, (count - copied) * sizeof(RgbQuad));

  BlockLock pixels(image.pixelBlock());
  ok = ok && WritePixels(file, pixels, size, image.stride(), rows, reverse);
  return ok ? BmpError::kNone : BmpError::kWriteFailed;
}

int32_t DibImage::LoadBmp(const std::string& fileName) {
  return LoadBmpChecked(*this, fileName) == BmpError::kNone ? 1 : 0;
}

// Once its writes are issued the save counts as done, even when one of them failed.
int32_t DibImage::SaveBmp(const std::string& fileName) {
  const BmpError error = SaveBmpChecked(*this, fileName);
  return error == BmpError::kNone || error == BmpError::kWriteFailed ? 1 : 0;
}

}  // namespace kavrosa
