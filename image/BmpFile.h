// BMP files with the 40-byte BITMAPINFOHEADER: the reader and writer behind DibImage::LoadBmp
// and DibImage::SaveBmp, with the reason for each refusal, and a reader over memory for tests
// and the fuzzer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "image/DibImage.h"

namespace kavrosa {

class SoftwareSurface;

enum class BmpError : int32_t {
  kNone = 0,
  kCannotOpen,
  kTruncatedHeaders,
  kNotBmp,
  kUnsupportedHeader,
  kBadDimensions,
  kOffsetPastEnd,
  kFileSizeBeforeOffset,
  kPixelAreaTooLarge,
  kColourTablePastEnd,
  kOutOfMemory,
  kNothingToSave,
  kTooLargeToSave,
  kCannotCreate,
  kWriteFailed,
};

// One line of text per error, without the file name.
const char* BmpErrorMessage(BmpError error);

// Where the reader takes its bytes from: a file or a block of memory.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  // Up to `count` bytes at `position`; the number of bytes copied.
  virtual size_t ReadAt(uint64_t position, void* buffer, size_t count) = 0;
};

// LoadBmp with its reason. kCannotOpen leaves the object unchanged; any other refusal leaves
// `loaded` at 0. A refusal found before the blocks are replaced keeps the old blocks.
BmpError LoadBmpChecked(DibImage& image, const std::string& fileName);
BmpError LoadBmpFromMemory(DibImage& image, const uint8_t* data, size_t size);
BmpError LoadBmpFrom(DibImage& image, ByteSource& source);

// SaveBmp with its reason. The blocks are checked before the file is created, so a refusal
// never empties an existing file. kWriteFailed means the file was written short.
BmpError SaveBmpChecked(DibImage& image, const std::string& fileName);

// Writes a surface as a 24-bit bottom-up BMP file.
BmpError SaveSurfaceBmp(const SoftwareSurface& surface, const std::string& fileName);

}  // namespace kavrosa
