// Dumping a surface as a BMP file: the surface's rows are already a bottom-up 24-bit DIB, so a
// picture is assembled from a copy of them and written by the ordinary BMP writer.
#include <cstring>

#include "image/BmpFile.h"
#include "image/DibImageAccess.h"
#include "platform/SoftwareSurface.h"

namespace kavrosa {

BmpError SaveSurfaceBmp(const SoftwareSurface& surface, const std::string& fileName) {
  if (!surface.valid()) return BmpError::kNothingToSave;
  DibImage picture;
  const BitmapInfoHeader header = surface.Header();
  picture.headerBlock() = LocalBlock::Allocate(sizeof(header));
  picture.pixelBlock() = LocalBlock::Allocate(surface.pixelBytes());
  {
    BlockLock headerLock(picture.headerBlock());
    BlockLock pixelLock(picture.pixelBlock());
    if (!headerLock || !pixelLock) return BmpError::kOutOfMemory;
    std::memcpy(headerLock.data(), &header, sizeof(header));
    std::memcpy(pixelLock.data(), surface.BottomUpPixels(), surface.pixelBytes());
  }
  DibImageAccess::Stride(picture) = surface.stride();
  DibImageAccess::Loaded(picture) = 1;
  return SaveBmpChecked(picture, fileName);
}

}  // namespace kavrosa
