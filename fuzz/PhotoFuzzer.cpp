// Fuzzes the photograph room's one entry: any bytes, decoded to fit a small screen, so that the
// format dispatch, the JPEG fit decode, the BMP conversion and the final resample all run on
// what the fuzzer makes; an accepted picture is then drawn at its size and stretched.
#include <cstddef>
#include <cstdint>

#include "image/DibImage.h"
#include "photo/Photograph.h"
#include "platform/SoftwareSurface.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kavrosa;
  DibImage picture;
  if (!DecodePhotograph(data, size, Size{64, 48}, picture)) return 0;
  SoftwareSurface surface(64, 48);
  picture.DrawAt(surface.dc(), 0, 0, kSrcCopy);
  picture.Blit(surface.dc(), Rect{0, 0, 63, 47}, Rect{0, 0, picture.Width(), picture.Height(true)},
               kSrcCopy);
  return 0;
}
