// A BMP file as a photograph: read by our BMP reader, then made 24-bit, since the dissolve and
// the resampler work on 24-bit rows. Palette, 16-bit and 32-bit pictures are converted (bit
// fields included); RLE is refused.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/BmpFile.h"
#include "image/DibImage.h"

namespace kavrosa {

enum class BmpPhotoError {
  kNone,
  kRead,         // the reader refused the file: see the BmpError
  kUnsupported,  // RLE, or a bit count the conversion does not take
  kNoMemory,     // or a size beyond the pixel caps
};

struct BmpPhotoResult {
  BmpPhotoError error = BmpPhotoError::kNone;
  BmpError read = BmpError::kNone;
};

// `image` holds the 24-bit picture at the file's own size when kNone; `loaded` is left at 0.
BmpPhotoResult DecodeBmpPhoto(const uint8_t* data, size_t size, DibImage& image);

}  // namespace kavrosa
