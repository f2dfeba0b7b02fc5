// FadeDraw: one fade frame rendered into the picture's DIB section, which the next Blit draws
// unchanged. A section of the same size from the frame before is written again rather than made
// anew (a screen-sized section costs its pages' first touch on every tick). The care is in the
// bounds: refusals come before anything is changed, and no byte at or beyond the picture's
// size, the pixel block's size or the section's own size is touched.
#include <algorithm>
#include <cstring>

#include "image/DibImage.h"
#include "image/SectionInfo.h"
#include "platform/Graphics.h"
#include "slideshow/DissolveFrame.h"

namespace kavrosa {

int32_t DibImage::FadeDraw(DeviceContext hdc, int32_t level, int32_t steps) {
  if (loaded_ <= 0 || level < 0 || level > steps) return 0;
  BlockLock pixels(pixelBlock_);
  const uint32_t size = ImageSize();
  BlockLock header(headerBlock_);
  SectionInfo info;
  uint32_t sectionBytes = 0;
  if (!header || !MakeSectionInfo(header.data(), header.size(), &info, &sectionBytes)) {
    gfx::DeleteBitmap(dibSection_);
    dibSection_ = nullptr;
    return 0;
  }
  // Every byte of the section is written below, so its memory need not be cleared first.
  uint8_t* target = gfx::SectionBitsIfLike(dibSection_, &info.header);
  if (target != nullptr) {
    gfx::Flush();  // GDI may still be reading the section
  } else {
    gfx::DeleteBitmap(dibSection_);
    dibSection_ = gfx::CreateDibSectionToOverwrite(hdc, &info.header, &target);
    if (dibSection_ == nullptr || target == nullptr) return 0;
  }
  const size_t bytes = std::min<size_t>({size, sectionBytes, pixels.size()});
  RenderFadeFrame(pixels.data(), target, bytes, level, steps);
  std::memset(target + bytes, 0, sectionBytes - bytes);
  return 1;
}

}  // namespace kavrosa
