// The dispatch point for formats that our own decoders do not read (PNG, GIF, TIFF, WebP,
// HEIF): the platform's codecs. One implementation is linked per build; the default one
// refuses every format, so a build without codecs shows JPEG and BMP photographs alone.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/DibImage.h"
#include "photo/Photograph.h"
#include "photo/PhotoFormat.h"
#include "platform/Types.h"

namespace kavrosa {

// Decodes a picture RecogniseFormat found to be `format` into `image`: 24-bit, turned upright,
// and when larger than `bound` (both sides positive) fitted to it (FitTarget). kNone on success,
// kNoCodec for a format it does not read, kCodec with the codec's words for a refusal. Leaves
// `loaded` to the caller. Runs on the folder worker: it may block on nothing but its bytes.
PhotoResult DecodeWithPlatformCodec(PhotoFormat format, const uint8_t* data, size_t size,
                                    Size bound, DibImage& image);

}  // namespace kavrosa
