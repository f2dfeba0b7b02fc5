// A build without platform codecs: every format but JPEG and BMP is refused.
#include "photo/PlatformCodec.h"

namespace kavrosa {

PhotoResult DecodeWithPlatformCodec(PhotoFormat format, const uint8_t*, size_t, Size, DibImage&) {
  PhotoResult result;
  result.error = PhotoError::kNoCodec;
  result.format = format;
  return result;
}

}  // namespace kavrosa
