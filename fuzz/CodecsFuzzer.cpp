// Fuzzes our side of the platform's codecs with the real libraries behind it: recognition, the
// chunk walks for Exif orientation, the size checks and the hand-over to libpng, giflib,
// libtiff, libwebp and libheif, and the rows coming back through the resampler and the turn.
#include <cstdint>

#include "image/DibImage.h"
#include "photo/ContainerExif.h"
#include "photo/PhotoFormat.h"
#include "photo/PlatformCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kavrosa;
  const PhotoFormat format = RecogniseFormat(data, size);
  PngExifOrientation(data, size);
  WebpExifOrientation(data, size);
  ExifBlockOrientation(data, size);
  // A small screen keeps the fuzzer's pictures small; the bound is still applied after decoding.
  DibImage image;
  if (DecodeWithPlatformCodec(format, data, size, Size{96, 64}, image) &&
      image.GetSize(true).cx > 96) {
    __builtin_trap();
  }
  return 0;
}
