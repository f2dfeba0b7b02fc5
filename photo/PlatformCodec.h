// Pictures in the formats the platform decodes for us (PNG, GIF, TIFF, WebP, HEIC and AVIF):
// the system's imaging component on Windows, Debian's libraries elsewhere. JPEG and BMP never
// come here. What the codec gives is made 24-bit, fitted to the bound and turned upright.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/DibImage.h"
#include "photo/PhotoFormat.h"
#include "platform/Types.h"

namespace kavrosa {

// Decodes the picture of `format` in `data` into `image`: 24-bit, upright, reduced to its fit
// size when larger than `bound`. False, `image` not loaded, when the platform has no codec for
// the format, the file is damaged or hostile, or its size fails the checked-size rule.
bool DecodeWithPlatformCodec(PhotoFormat format, const uint8_t* data, size_t size, Size bound,
                             DibImage& image);

}  // namespace kavrosa
