// The Debian libraries behind DecodeWithPlatformCodec, one decoder per format. Each checks the
// size the file claims before the library allocates for it, and hands rows to a PictureBuilder.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/DibImage.h"
#include "platform/Types.h"

namespace kavrosa {

bool DecodePng(const uint8_t* data, size_t size, Size bound, DibImage& image);
bool DecodeGif(const uint8_t* data, size_t size, Size bound, DibImage& image);
bool DecodeTiff(const uint8_t* data, size_t size, Size bound, DibImage& image);
bool DecodeWebp(const uint8_t* data, size_t size, Size bound, DibImage& image);
bool DecodeHeif(const uint8_t* data, size_t size, Size bound, DibImage& image);

}  // namespace kavrosa
