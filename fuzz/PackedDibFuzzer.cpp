// Fuzzes LoadFromResource over a one-entry resource table: the packed-DIB loader first, the
// JPEG decoder for what it refuses. Whatever loads is drawn into a small surface, so that the
// installed header must describe blocks every consumer can use without reading past them.
#include <cstdint>

#include "image/DibImage.h"
#include "platform/Resources.h"
#include "platform/SoftwareSurface.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kavrosa;
  const ResourceEntry entry{kResourceTypeBitmap, nullptr, 1, data, size};
  ModuleObject module;
  module.Add(&entry, 1);
  DibImage picture;
  if (picture.LoadFromResource(1, nullptr, &module) == 0) return 0;
  SoftwareSurface surface(32, 24);
  picture.DrawAt(surface.dc(), 1, 1, kSrcCopy);
  picture.Blit(surface.dc(), Rect{0, 0, 31, 23}, Rect{0, 0, picture.Width(), picture.Height(true)},
               kSrcCopy);
  return 0;
}
