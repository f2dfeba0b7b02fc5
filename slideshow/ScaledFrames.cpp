// Scaled surfaces of one picture. Each keeps the picture resampled to its size (Resample24) and
// a DIB section holding the current frame. A frame is the resampled picture masked by the
// dissolve's per-byte choice over the source, looked up through per-row and per-column offset
// tables; the choices of a source row are gathered once for all the rows that enlarge it.
#include "slideshow/ScaledFrames.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include "platform/PixelGeometry.h"
#include "image/Resample.h"
#include "image/SectionInfo.h"
#include "platform/Graphics.h"
#include "platform/GraphicsScoped.h"
#include "slideshow/DissolveFrame.h"

namespace kavrosa {
namespace {

// More distinct sizes than monitors anyone has; beyond it the caller draws by other means.
constexpr size_t kMaxSurfaces = 16;

// to = from & mask, eight bytes at a time (the three rows may not overlap).
void MaskRow(const uint8_t* from, const uint8_t* mask, uint8_t* to, size_t bytes) {
  size_t k = 0;
  for (; k + 8 <= bytes; k += 8) {
    uint64_t a, m;
    std::memcpy(&a, from + k, 8);
    std::memcpy(&m, mask + k, 8);
    a &= m;
    std::memcpy(to + k, &a, 8);
  }
  for (; k < bytes; ++k) to[k] = from[k] & mask[k];
}

}  // namespace

ScaledFrames::OwnedSection& ScaledFrames::OwnedSection::operator=(OwnedSection&& other) noexcept {
  if (this != &other) {
    gfx::DeleteBitmap(handle);
    handle = other.handle;
    other.handle = nullptr;
  }
  return *this;
}

ScaledFrames::OwnedSection::~OwnedSection() {
  gfx::DeleteBitmap(handle);
}

ScaledFrames::~ScaledFrames() = default;

void ScaledFrames::Clear() {
  surfaces_.clear();
  frame_ = FadeFrame{};
  sourceStride_ = sourceBytes_ = 0;
  sourceWidth_ = sourceRows_ = 0;
  mask_.clear();
}

bool ScaledFrames::Prepare(DibImage& image, DeviceContext dc, Size size) {
  if (size.cx <= 0 || size.cy <= 0 || image.loaded() <= 0) return false;
  for (const Surface& surface : surfaces_) {
    if (surface.size == size) return true;
  }
  if (surfaces_.size() >= kMaxSurfaces) return false;

  BlockLock pixels(image.pixelBlock());
  const uint32_t imageSize = image.ImageSize();
  BlockLock headerBlock(image.headerBlock());
  SectionInfo info;
  uint32_t sectionBytes = 0;
  if (!headerBlock ||
      !MakeSectionInfo(headerBlock.data(), headerBlock.size(), &info, &sectionBytes))
    return false;
  const BitmapInfoHeader source = info.header;
  if (source.biBitCount != 24 || source.biCompression != 0) return false;
  const int32_t sw = source.biWidth;
  const int32_t sh = source.biHeight < 0 ? -source.biHeight : source.biHeight;
  const size_t sourceStride = static_cast<size_t>(StrideFor(sw, 24));
  // Every surface belongs to the same picture: the dissolve's choice is made over its bytes.
  if (!surfaces_.empty() && (sw != sourceWidth_ || sh != sourceRows_)) return false;

  BitmapInfoHeader header = source;
  header.biWidth = size.cx;
  header.biHeight = source.biHeight < 0 ? -size.cy : size.cy;
  header.biSizeImage = 0;
  header.biClrUsed = 0;
  header.biClrImportant = 0;
  const auto targetBytes = CheckedImageBytes(size.cx, size.cy, 24);
  if (!targetBytes) return false;

  try {
    Surface surface;
    surface.size = size;
    surface.stride = static_cast<size_t>(StrideFor(size.cx, 24));
    // The source as the picture's own section would hold it: bounded by every size, zero beyond.
    std::vector<uint8_t> rows(sectionBytes, 0);
    const size_t copy = std::min<size_t>({imageSize, pixels.size(), sectionBytes});
    if (copy > 0) std::memcpy(rows.data(), pixels.data(), copy);
    surface.picture.assign(*targetBytes, 0);
    const PixelRows24 from{rows.data(), sw, sh, sourceStride};
    const MutablePixelRows24 to{surface.picture.data(), size.cx, size.cy, surface.stride};
    if (!Resample24(from, to)) return false;

    // Nearest source byte of each destination byte: row y*sh/dh, pixel x*sw/dw, same channel.
    surface.sourceRow.resize(static_cast<size_t>(size.cy));
    for (int32_t y = 0; y < size.cy; ++y) {
      surface.sourceRow[y] = static_cast<size_t>(int64_t{y} * sh / size.cy) * sourceStride;
    }
    surface.sourceByte.resize(static_cast<size_t>(size.cx) * 3);
    surface.rowMask.resize(surface.sourceByte.size());
    for (size_t k = 0; k < surface.sourceByte.size(); ++k) {
      const int64_t x = static_cast<int64_t>(k / 3);
      surface.sourceByte[k] = static_cast<uint32_t>((x * sw / size.cx) * 3 + int64_t(k % 3));
    }

    uint8_t* bits = nullptr;
    surface.section = OwnedSection(gfx::CreateDibSection(dc, &header, &bits));
    if (surface.section.handle == nullptr || bits == nullptr) return false;
    surface.bits = bits;

    sourceWidth_ = sw;
    sourceRows_ = sh;
    sourceStride_ = sourceStride;
    sourceBytes_ = sourceStride * static_cast<size_t>(sh);
    surfaces_.push_back(std::move(surface));
  } catch (const std::bad_alloc&) {
    return false;
  }
  mask_.clear();  // made again for the new surface's first frame
  RenderInto(surfaces_.back());
  return true;
}

bool ScaledFrames::Render(int32_t level, int32_t steps) {
  if (level < 0 || level > steps) return false;
  frame_ = FadeFrame{level, steps};
  mask_.clear();
  for (Surface& surface : surfaces_) RenderInto(surface);
  return true;
}

void ScaledFrames::RenderInto(Surface& surface) {
  const size_t bytes = surface.stride * static_cast<size_t>(surface.size.cy);
  gfx::Flush();  // GDI may still be reading the section
  if (frame_.level == 0) {
    std::memset(surface.bits, 0, bytes);
    return;
  }
  if (frame_.level == frame_.steps) {
    std::memcpy(surface.bits, surface.picture.data(), bytes);
    return;
  }
  if (mask_.size() != sourceBytes_) {
    try {
      mask_.assign(sourceBytes_, 0);
    } catch (const std::bad_alloc&) {
      mask_.clear();
      std::memset(surface.bits, 0, bytes);
      return;
    }
    DissolveKeepMask(mask_.data(), mask_.size(), frame_.level, frame_.steps);
  }
  // Enlarged, several destination rows share a source row: its row of choices is made once.
  const size_t rowBytes = surface.sourceByte.size();
  const uint32_t* sourceByte = surface.sourceByte.data();
  uint8_t* rowMask = surface.rowMask.data();
  size_t maskedRow = SIZE_MAX;
  for (int32_t y = 0; y < surface.size.cy; ++y) {
    if (surface.sourceRow[y] != maskedRow) {
      maskedRow = surface.sourceRow[y];
      const uint8_t* mask = mask_.data() + maskedRow;
      for (size_t k = 0; k < rowBytes; ++k) rowMask[k] = mask[sourceByte[k]];
    }
    const uint8_t* from = surface.picture.data() + static_cast<size_t>(y) * surface.stride;
    uint8_t* to = surface.bits + static_cast<size_t>(y) * surface.stride;
    MaskRow(from, rowMask, to, rowBytes);
    std::memset(to + rowBytes, 0, surface.stride - rowBytes);
  }
}

bool ScaledFrames::Draw(DeviceContext dc, Rect destination, uint32_t rop) const {
  const int64_t width = int64_t{destination.right} - destination.left;
  const int64_t height = int64_t{destination.bottom} - destination.top;
  if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX) return false;
  const Size size{static_cast<int32_t>(width), static_cast<int32_t>(height)};
  for (const Surface& surface : surfaces_) {
    if (!(surface.size == size)) continue;
    gfx::ScopedDc memoryDc(gfx::CreateCompatibleDc(dc));
    if (!memoryDc) return true;
    gfx::BitmapSelection selection(memoryDc.get(), surface.section.handle);
    gfx::BitBlt(dc, destination.left, destination.top, size.cx, size.cy, memoryDc.get(), 0, 0, rop);
    return true;
  }
  return false;
}

}  // namespace kavrosa
