// The photograph room's one entry: a file's bytes (or its path) and a bound in, the picture
// ready to show out: its format told from its first bytes, decoded upright, 24-bit, and no
// larger than the bound. It runs on the folder worker; every failure is an answer, never a stop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "image/BmpFile.h"
#include "image/DibImage.h"
#include "jpeg/JpegError.h"
#include "photo/PhotoFormat.h"
#include "platform/Types.h"

namespace kavrosa {

// Largest photograph file read; a bigger one is skipped unread.
constexpr uint64_t kMaxPhotographFileBytes = 128u * 1024u * 1024u;

enum class PhotoError {
  kNone,
  kNoData,         // no bytes, or a file that cannot be read
  kUnknownFormat,  // not a picture format this program knows
  kNoCodec,        // a known format that no decoder of this build reads
  kCodec,          // the platform's codec refused it: see codecMessage
  kJpeg,           // our JPEG decoder refused it: see jpeg
  kBmp,            // our BMP reader refused it: see bmp
  kBmpKind,        // a BMP whose compression or bit count is not converted (RLE, say)
  kNoPicture,      // a stream that holds no picture (no frame, or a size of 0)
  kNoMemory,       // or a size beyond the pixel caps
};

struct PhotoResult {
  PhotoError error = PhotoError::kNone;
  PhotoFormat format = PhotoFormat::kUnknown;  // as RecogniseFormat found it
  JpegError jpeg = JpegError::kNone;
  BmpError bmp = BmpError::kNone;
  const char* codecMessage = nullptr;  // static text
  explicit operator bool() const { return error == PhotoError::kNone; }
};

// One line without the file name, in the refusing decoder's words where it gave any.
const char* PhotoErrorMessage(const PhotoResult& result);

// The picture in `size` bytes at `data`: JPEG (our decoder, Exif orientation applied, decoded to
// fit), BMP (our reader, made 24-bit) or a format the platform's codecs read; a picture larger
// than `bound` in either direction arrives fitted to it (a bound with a side of 0 or less: none).
// On success `image` holds a loaded 24-bit picture of non-zero size; otherwise `loaded` is 0.
PhotoResult DecodePhotograph(const uint8_t* data, size_t size, Size bound, DibImage& image);
bool LoadPhotographFromMemory(const uint8_t* data, size_t size, Size bound, DibImage& image);

// The same from the file at `path` (UTF-8), read whole up to kMaxPhotographFileBytes.
bool LoadPhotograph(const std::string& path, Size bound, DibImage& image);

// What folder workers load photographs with; LoadPhotograph is the real one.
using PhotographLoader = bool (*)(const std::string& path, Size bound, DibImage& image);

// The names a photograph folder shows, in any case: .jpg .jpeg .jpe .jfif .bmp for our own
// decoders, .heic .heif .avif .png .webp .tif .tiff .gif for the platform's codecs. The name
// only chooses files; the bytes choose the decoder.
bool IsPhotographName(const std::string& name);

}  // namespace kavrosa
