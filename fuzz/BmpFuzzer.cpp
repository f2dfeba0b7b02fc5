// Fuzzes the BMP reader over memory, then draws whatever it accepted (copy and stretch) into a
// small surface and writes small pictures back out, so that the blocks' sizes are exercised by
// every consumer.
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "image/BmpFile.h"
#include "image/DibImage.h"
#include "platform/SoftwareSurface.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kavrosa;
  DibImage picture;
  if (LoadBmpFromMemory(picture, data, size) != BmpError::kNone) return 0;
  SoftwareSurface surface(32, 24);
  picture.DrawAt(surface.dc(), 1, 1, kSrcCopy);
  picture.Blit(surface.dc(), Rect{0, 0, 31, 23}, Rect{0, 0, picture.Width(), picture.Height(true)},
               kSrcCopy);
  if (picture.ImageSize() <= (1u << 20)) {
    static const std::string out = "/tmp/kavrosa-fuzz-bmp-" + std::to_string(getpid()) + ".bmp";
    SaveBmpChecked(picture, out);
    std::remove(out.c_str());
  }
  return 0;
}
