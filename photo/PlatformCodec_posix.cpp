// The dispatch to Debian's codecs: libpng, giflib, libtiff, libwebp and libheif (HEIC and AVIF).
// A decoder that fails leaves the picture not loaded, whatever it had got to.
#include "image/DibImageAccess.h"
#include "photo/PlatformCodec.h"
#include "photo/PosixCodecs.h"

namespace kavrosa {
namespace {

PhotoResult Refused(PhotoError error, const char* message) {
  PhotoResult result;
  result.error = error;
  result.codecMessage = message;
  return result;
}

}  // namespace

PhotoResult DecodeWithPlatformCodec(PhotoFormat format, const uint8_t* data, size_t size,
                                    Size bound, DibImage& image) {
  DibImageAccess::Loaded(image) = 0;
  bool (*decode)(const uint8_t*, size_t, Size, DibImage&) = nullptr;
  const char* refusal = nullptr;
  switch (format) {
    case PhotoFormat::kPng:
      decode = &DecodePng;
      refusal = "libpng cannot read the PNG picture (damaged, cut short or too large)";
      break;
    case PhotoFormat::kGif:
      decode = &DecodeGif;
      refusal = "giflib cannot read the GIF picture (damaged, cut short or too large)";
      break;
    case PhotoFormat::kTiff:
      decode = &DecodeTiff;
      refusal = "libtiff cannot read the TIFF picture (damaged, cut short or too large)";
      break;
    case PhotoFormat::kWebp:
      decode = &DecodeWebp;
      refusal = "libwebp cannot read the WebP picture (damaged, cut short or too large)";
      break;
    case PhotoFormat::kHeif:
      decode = &DecodeHeif;
      refusal = "libheif cannot read the HEIF picture (damaged, cut short or too large)";
      break;
    case PhotoFormat::kJpeg:
    case PhotoFormat::kBmp:
    case PhotoFormat::kUnknown:
      break;
  }
  PhotoResult result;
  result.format = format;
  if (decode == nullptr) {
    result.error = PhotoError::kNoCodec;
  } else if (data == nullptr || !decode(data, size, bound, image)) {
    result = Refused(PhotoError::kCodec, refusal);
    result.format = format;
    DibImageAccess::Loaded(image) = 0;
  }
  return result;
}

}  // namespace kavrosa
