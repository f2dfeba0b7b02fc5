// The dispatch to Debian's codecs: libpng, giflib, libtiff, libwebp and libheif (HEIC and AVIF).
// A decoder that fails leaves the picture not loaded, whatever it had got to.
#include "image/DibImageAccess.h"
#include "photo/PlatformCodec.h"
#include "photo/PosixCodecs.h"

namespace kavrosa {

bool DecodeWithPlatformCodec(PhotoFormat format, const uint8_t* data, size_t size, Size bound,
                             DibImage& image) {
  DibImageAccess::Loaded(image) = 0;
  if (data == nullptr || size == 0) return false;
  bool ok = false;
  switch (format) {
    case PhotoFormat::kPng:
      ok = DecodePng(data, size, bound, image);
      break;
    case PhotoFormat::kGif:
      ok = DecodeGif(data, size, bound, image);
      break;
    case PhotoFormat::kTiff:
      ok = DecodeTiff(data, size, bound, image);
      break;
    case PhotoFormat::kWebp:
      ok = DecodeWebp(data, size, bound, image);
      break;
    case PhotoFormat::kHeif:
      ok = DecodeHeif(data, size, bound, image);
      break;
    case PhotoFormat::kJpeg:
    case PhotoFormat::kBmp:
    case PhotoFormat::kUnknown:
      break;
  }
  if (!ok) DibImageAccess::Loaded(image) = 0;
  return ok;
}

}  // namespace kavrosa
