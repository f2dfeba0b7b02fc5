// The drawing seam without GDI: DIB sections are heap bitmaps, device contexts remember the
// bitmap and palette selected into them, and BitBlt/StretchBlt move pixels in software. The
// difficulty is agreeing with GDI on pixel formats (palettised sources go through their colour
// table, 16-bit is 5-5-5) and on which pixels survive clipping at both bitmaps' edges.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "platform/PixelGeometry.h"
#include "platform/Graphics.h"
#include "platform/SoftwareGraphics.h"

namespace kavrosa {

struct FreeDeleter {
  void operator()(uint8_t* p) const { std::free(p); }
};

struct BitmapObject {
  int32_t width = 0;
  int32_t rows = 0;
  bool bottomUp = true;
  uint16_t bitCount = 0;
  int32_t stride = 0;
  uint32_t colourCount = 0;  // entries of `colours` in use (palettised bitmaps)
  RgbQuad colours[256] = {};
  std::unique_ptr<uint8_t, FreeDeleter> bits;
  int selections = 0;  // DCs this bitmap is selected into; a selected bitmap is not deleted
  Rect drawn;          // what was drawn since TakeDrawnArea last looked; empty: nothing
};

struct PaletteObject {
  uint16_t count = 0;
  PaletteEntry entries[1] = {};  // followed by count - 1 more in the same allocation
};

struct DeviceContextObject {
  BitmapObject* bitmap = nullptr;
  PaletteObject* palette = nullptr;
};

namespace gfx {
namespace {

// Counted for the tests. Objects are used by one thread at a time, but, as with GDI, a picture
// may be made or deleted on a folder worker while the window's thread draws: the counters are
// atomic.
struct AtomicStats {
  std::atomic<uint64_t> calls{0};
  std::atomic<int64_t> liveDcs{0};
  std::atomic<int64_t> liveBitmaps{0};
  std::atomic<int64_t> livePalettes{0};
};
AtomicStats stats;

bool SupportedBitCount(uint16_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

uint8_t* RowAt(const BitmapObject& b, int32_t y) {
  const int32_t row = b.bottomUp ? b.rows - 1 - y : y;
  return b.bits.get() + static_cast<size_t>(row) * static_cast<size_t>(b.stride);
}

uint32_t Rgb(uint8_t red, uint8_t green, uint8_t blue) {
  return (uint32_t{red} << 16) | (uint32_t{green} << 8) | blue;
}

uint32_t IndexedColour(const BitmapObject& b, uint32_t index) {
  if (index >= b.colourCount) return 0;
  const RgbQuad& q = b.colours[index];
  return Rgb(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

// The colour of pixel (x, y), y counted from the top, as 0x00RRGGBB.
uint32_t ReadPixel(const BitmapObject& b, int32_t x, int32_t y) {
  const uint8_t* row = RowAt(b, y);
  switch (b.bitCount) {
    case 1:
      return IndexedColour(b, (row[x / 8] >> (7 - x % 8)) & 1);
    case 4:
      return IndexedColour(b, (row[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0x0F);
    case 8:
      return IndexedColour(b, row[x]);
    case 16: {
      const uint32_t v = row[2 * x] | (row[2 * x + 1] << 8);
      // 5-5-5 channels widened to 8 bits the way GDI does: the top bits repeated below.
      const auto widen = [](uint32_t c) { return static_cast<uint8_t>((c << 3) | (c >> 2)); };
      return Rgb(widen((v >> 10) & 31), widen((v >> 5) & 31), widen(v & 31));
    }
    case 24:
      return Rgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    default:
      return Rgb(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
  }
}

// The colour-table entry nearest to `rgb` (squared distance), for palettised targets.
uint32_t NearestIndex(const BitmapObject& b, uint32_t rgb) {
  uint32_t best = 0;
  int64_t bestDistance = INT64_MAX;
  for (uint32_t i = 0; i < b.colourCount; ++i) {
    const int64_t dr = int64_t{b.colours[i].rgbRed} - ((rgb >> 16) & 0xFF);
    const int64_t dg = int64_t{b.colours[i].rgbGreen} - ((rgb >> 8) & 0xFF);
    const int64_t db = int64_t{b.colours[i].rgbBlue} - (rgb & 0xFF);
    const int64_t distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
    }
  }
  return best;
}

void WritePixel(BitmapObject& b, int32_t x, int32_t y, uint32_t rgb) {
  uint8_t* row = RowAt(b, y);
  const uint8_t red = (rgb >> 16) & 0xFF, green = (rgb >> 8) & 0xFF, blue = rgb & 0xFF;
  switch (b.bitCount) {
    case 1: {
      const uint8_t mask = static_cast<uint8_t>(0x80 >> (x % 8));
      row[x / 8] = NearestIndex(b, rgb) != 0 ? (row[x / 8] | mask) : (row[x / 8] & ~mask);
      break;
    }
    case 4: {
      const uint8_t index = static_cast<uint8_t>(NearestIndex(b, rgb));
      row[x / 2] = x % 2 == 0 ? static_cast<uint8_t>((row[x / 2] & 0x0F) | (index << 4))
                              : static_cast<uint8_t>((row[x / 2] & 0xF0) | index);
      break;
    }
    case 8:
      row[x] = static_cast<uint8_t>(NearestIndex(b, rgb));
      break;
    case 16: {
      const uint32_t v = ((red >> 3) << 10) | ((green >> 3) << 5) | (blue >> 3);
      row[2 * x] = v & 0xFF;
      row[2 * x + 1] = static_cast<uint8_t>(v >> 8);
      break;
    }
    case 24:
      row[3 * x] = blue;
      row[3 * x + 1] = green;
      row[3 * x + 2] = red;
      break;
    default:
      row[4 * x] = blue;
      row[4 * x + 1] = green;
      row[4 * x + 2] = red;
      row[4 * x + 3] = 0;
      break;
  }
}

bool KnownRop(uint32_t rop) {
  return rop == kSrcCopy || rop == kNotSrcCopy || rop == kBlackness || rop == kWhiteness;
}

bool RopNeedsSource(uint32_t rop) {
  return rop == kSrcCopy || rop == kNotSrcCopy;
}

uint32_t ApplyRop(uint32_t rop, uint32_t source) {
  if (rop == kSrcCopy) return source;
  if (rop == kNotSrcCopy) return ~source & 0xFFFFFF;
  if (rop == kBlackness) return 0;
  return 0xFFFFFF;
}

bool Inside(const BitmapObject& b, int64_t x, int64_t y) {
  return x >= 0 && y >= 0 && x < b.width && y < b.rows;
}

// One axis of a blit: destination pixels [start, start + length) take source pixels
// sourceStart + floor(i x sourceLength / length), reversed when `mirrored`.
struct Axis {
  int64_t start = 0;
  int64_t length = 0;
  int64_t sourceStart = 0;
  int64_t sourceLength = 0;
  bool mirrored = false;

  int64_t SourceFor(int64_t i) const {
    int64_t j = i * sourceLength / length;
    if (mirrored) j = sourceLength - 1 - j;
    return sourceStart + j;
  }
};

// A negative extent runs from origin + extent up to the origin, and mirrors.
Axis MakeAxis(int32_t origin, int32_t extent, int32_t sourceOrigin, int32_t sourceExtent) {
  Axis a;
  a.start = extent < 0 ? int64_t{origin} + extent : origin;
  a.length = extent < 0 ? -int64_t{extent} : extent;
  a.sourceStart = sourceExtent < 0 ? int64_t{sourceOrigin} + sourceExtent : sourceOrigin;
  a.sourceLength = sourceExtent < 0 ? -int64_t{sourceExtent} : sourceExtent;
  a.mirrored = (extent < 0) != (sourceExtent < 0);
  return a;
}

// The destination indexes [first, last) of an axis that fall inside a target of `size` pixels.
struct Span {
  int64_t first;
  int64_t last;
};
Span Visible(const Axis& a, int32_t size) {
  return Span{a.start < 0 ? -a.start : 0, std::min<int64_t>(a.length, int64_t{size} - a.start)};
}

// The plain path: every pixel converted through ReadPixel and WritePixel.
void TransferRow(BitmapObject& target, const BitmapObject* source, const Axis& ax, Span xs,
                 int64_t ty, int64_t sy, uint32_t rop) {
  for (int64_t k = xs.first; k < xs.last; ++k) {
    const int64_t sx = ax.SourceFor(k);
    uint32_t colour = 0;
    if (source != nullptr) {
      if (!Inside(*source, sx, sy)) continue;
      colour = ReadPixel(*source, static_cast<int32_t>(sx), static_cast<int32_t>(sy));
    }
    WritePixel(target, static_cast<int32_t>(ax.start + k), static_cast<int32_t>(ty),
               ApplyRop(rop, colour));
  }
}

// The fast path for 24-bit to 24-bit SRCCOPY: the same bytes as the plain path, moved whole.
void CopyRowRgb24(BitmapObject& target, const BitmapObject& source, const Axis& ax, Span xs,
                  int64_t ty, int64_t sy) {
  uint8_t* to = RowAt(target, static_cast<int32_t>(ty));
  const uint8_t* from = RowAt(source, static_cast<int32_t>(sy));
  if (!ax.mirrored && ax.length == ax.sourceLength) {
    const int64_t first = std::max(xs.first, -ax.sourceStart);
    const int64_t last = std::min(xs.last, int64_t{source.width} - ax.sourceStart);
    if (first < last)
      std::memmove(to + 3 * (ax.start + first), from + 3 * (ax.sourceStart + first),
                   static_cast<size_t>(3 * (last - first)));
    return;
  }
  for (int64_t k = xs.first; k < xs.last; ++k) {
    const int64_t sx = ax.SourceFor(k);
    if (sx < 0 || sx >= source.width) continue;
    std::memcpy(to + 3 * (ax.start + k), from + 3 * sx, 3);
  }
}

bool fastPaths = true;

// Adds the target pixels [left, right) x [top, bottom) to the bitmap's drawn area.
void RecordDrawn(BitmapObject& b, int64_t left, int64_t top, int64_t right, int64_t bottom) {
  if (right <= left || bottom <= top) return;
  const Rect r{static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
               static_cast<int32_t>(bottom)};
  Rect& d = b.drawn;
  if (d.right <= d.left || d.bottom <= d.top) {
    d = r;
    return;
  }
  d = Rect{std::min(d.left, r.left), std::min(d.top, r.top), std::max(d.right, r.right),
           std::max(d.bottom, r.bottom)};
}

bool Transfer(DeviceContext dst, const Axis& ax, const Axis& ay, DeviceContext src, uint32_t rop) {
  if (dst == nullptr || dst->bitmap == nullptr || !KnownRop(rop)) return false;
  if (ax.length == 0 || ay.length == 0 || ax.sourceLength == 0 || ay.sourceLength == 0)
    return false;
  const bool needsSource = RopNeedsSource(rop);
  if (needsSource && (src == nullptr || src->bitmap == nullptr)) return false;
  BitmapObject& target = *dst->bitmap;
  const BitmapObject* source = needsSource ? src->bitmap : nullptr;
  const bool fast = fastPaths && rop == kSrcCopy && source->bitCount == 24 && target.bitCount == 24;
  // Only the destination pixels inside the target are visited.
  const Span xs = Visible(ax, target.width);
  const Span ys = Visible(ay, target.rows);
  RecordDrawn(target, ax.start + xs.first, ay.start + ys.first, ax.start + xs.last,
              ay.start + ys.last);
  for (int64_t i = ys.first; i < ys.last; ++i) {
    const int64_t sy = ay.SourceFor(i);
    if (source != nullptr && (sy < 0 || sy >= source->rows)) continue;
    if (fast) {
      CopyRowRgb24(target, *source, ax, xs, ay.start + i, sy);
    } else {
      TransferRow(target, source, ax, xs, ay.start + i, sy, rop);
    }
  }
  return true;
}

template <typename T>
T* NewObject() {
  return std::unique_ptr<T>(new (std::nothrow) T()).release();
}

}  // namespace

namespace {

using PixelMemory = std::unique_ptr<uint8_t, FreeDeleter>;

// The pixel memory of the bitmap this thread deleted last, kept for the next section of the
// same size made to be overwritten: a dissolve frame replaces its predecessor on every tick.
struct SpareMemory {
  PixelMemory bits;
  size_t bytes = 0;
};
thread_local SpareMemory spare;

PixelMemory TakeMemory(size_t bytes, bool cleared) {
  if (!cleared && spare.bits && spare.bytes == bytes) {
    spare.bytes = 0;
    return std::move(spare.bits);
  }
  return PixelMemory(static_cast<uint8_t*>(cleared ? std::calloc(1, bytes) : std::malloc(bytes)));
}

BitmapHandle NewSection(const BitmapInfoHeader* info, uint8_t** bits, bool cleared) {
  ++stats.calls;
  if (bits != nullptr) *bits = nullptr;
  if (info == nullptr || bits == nullptr || info->biSize < sizeof(BitmapInfoHeader)) return nullptr;
  if (!SupportedBitCount(info->biBitCount) || info->biCompression != 0) return nullptr;
  const int64_t width = info->biWidth;
  const int64_t rows = info->biHeight < 0 ? -int64_t{info->biHeight} : info->biHeight;
  if (width <= 0 || rows == 0 || width > kMaxImageDimension || rows > kMaxImageDimension)
    return nullptr;
  const int64_t stride = StrideFor(width, info->biBitCount);
  const uint64_t bytes = static_cast<uint64_t>(stride) * static_cast<uint64_t>(rows);
  if (bytes > kMaxImageBytes) return nullptr;

  std::unique_ptr<BitmapObject> bitmap(NewObject<BitmapObject>());
  if (!bitmap) return nullptr;
  bitmap->bits = TakeMemory(static_cast<size_t>(bytes), cleared);
  if (!bitmap->bits) return nullptr;
  bitmap->width = static_cast<int32_t>(width);
  bitmap->rows = static_cast<int32_t>(rows);
  bitmap->bottomUp = info->biHeight > 0;
  bitmap->bitCount = info->biBitCount;
  bitmap->stride = static_cast<int32_t>(stride);
  if (info->biBitCount <= 8) {
    const uint32_t tableSize = 1u << info->biBitCount;
    const uint32_t count = info->biClrUsed == 0 ? tableSize : std::min(info->biClrUsed, tableSize);
    std::memcpy(bitmap->colours, info + 1, count * sizeof(RgbQuad));
    bitmap->colourCount = count;
  }
  *bits = bitmap->bits.get();
  ++stats.liveBitmaps;
  return bitmap.release();
}

}  // namespace

BitmapHandle CreateDibSection(DeviceContext, const BitmapInfoHeader* info, uint8_t** bits) {
  return NewSection(info, bits, true);
}

BitmapHandle CreateDibSectionToOverwrite(DeviceContext, const BitmapInfoHeader* info,
                                         uint8_t** bits) {
  return NewSection(info, bits, false);
}

void DeleteBitmap(BitmapHandle bitmap) {
  ++stats.calls;
  // GDI refuses to delete a bitmap that is selected into a DC; so does this seam.
  if (bitmap != nullptr && bitmap->selections == 0) {
    std::unique_ptr<BitmapObject> owner(bitmap);
    spare.bytes = static_cast<size_t>(bitmap->stride) * static_cast<size_t>(bitmap->rows);
    spare.bits = std::move(bitmap->bits);
    --stats.liveBitmaps;
  }
}

PaletteHandle CreatePalette(const PaletteEntry* entries, uint16_t count) {
  ++stats.calls;
  if (entries == nullptr || count == 0) return nullptr;
  const size_t bytes = sizeof(PaletteObject) + (count - 1u) * sizeof(PaletteEntry);
  void* memory = std::calloc(1, bytes);
  if (memory == nullptr) return nullptr;
  PaletteObject* palette = new (memory) PaletteObject();
  palette->count = count;
  std::memcpy(palette->entries, entries, count * sizeof(PaletteEntry));
  ++stats.livePalettes;
  return palette;
}

void DeletePalette(PaletteHandle palette) {
  ++stats.calls;
  if (palette == nullptr) return;
  palette->~PaletteObject();
  std::free(palette);
  --stats.livePalettes;
}

DeviceContext CreateCompatibleDc(DeviceContext) {
  ++stats.calls;
  DeviceContext dc = NewObject<DeviceContextObject>();
  if (dc != nullptr) ++stats.liveDcs;
  return dc;
}

void DeleteDc(DeviceContext dc) {
  ++stats.calls;
  if (dc == nullptr) return;
  if (dc->bitmap != nullptr) --dc->bitmap->selections;
  std::unique_ptr<DeviceContextObject> owner(dc);
  --stats.liveDcs;
}

BitmapHandle SelectBitmap(DeviceContext dc, BitmapHandle bitmap) {
  ++stats.calls;
  if (dc == nullptr) return nullptr;
  BitmapHandle previous = dc->bitmap;
  if (previous != nullptr) --previous->selections;
  dc->bitmap = bitmap;
  if (bitmap != nullptr) ++bitmap->selections;
  return previous;
}

PaletteHandle SelectPalette(DeviceContext dc, PaletteHandle palette, bool) {
  ++stats.calls;
  if (dc == nullptr) return nullptr;
  PaletteHandle previous = dc->palette;
  dc->palette = palette;
  return previous;
}

uint32_t RealizePalette(DeviceContext dc) {
  ++stats.calls;
  // A true-colour surface maps no entries into a system palette.
  (void)dc;
  return 0;
}

bool BitBlt(DeviceContext dst, int32_t x, int32_t y, int32_t width, int32_t height,
            DeviceContext src, int32_t srcX, int32_t srcY, uint32_t rop) {
  ++stats.calls;
  if (width <= 0 || height <= 0) return false;
  return Transfer(dst, MakeAxis(x, width, srcX, width), MakeAxis(y, height, srcY, height), src,
                  rop);
}

bool StretchBlt(DeviceContext dst, int32_t x, int32_t y, int32_t width, int32_t height,
                DeviceContext src, int32_t srcX, int32_t srcY, int32_t srcWidth, int32_t srcHeight,
                uint32_t rop) {
  ++stats.calls;
  return Transfer(dst, MakeAxis(x, width, srcX, srcWidth), MakeAxis(y, height, srcY, srcHeight),
                  src, rop);
}

void FillBlack(DeviceContext dc, Rect area) {
  ++stats.calls;
  if (dc == nullptr || dc->bitmap == nullptr) return;
  const int64_t width = int64_t{area.right} - area.left;
  const int64_t height = int64_t{area.bottom} - area.top;
  if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX) return;
  Transfer(dc, MakeAxis(area.left, static_cast<int32_t>(width), 0, 1),
           MakeAxis(area.top, static_cast<int32_t>(height), 0, 1), nullptr, kBlackness);
}

void Flush() {}

SoftwareStats GetSoftwareStats() {
  SoftwareStats snapshot;
  snapshot.calls = stats.calls.load();
  snapshot.liveDcs = stats.liveDcs.load();
  snapshot.liveBitmaps = stats.liveBitmaps.load();
  snapshot.livePalettes = stats.livePalettes.load();
  return snapshot;
}

Rect TakeDrawnArea(DeviceContext dc) {
  if (dc == nullptr || dc->bitmap == nullptr) return Rect{};
  const Rect drawn = dc->bitmap->drawn;
  dc->bitmap->drawn = Rect{};
  return drawn;
}

void SetSoftwareFastPaths(bool enabled) {
  fastPaths = enabled;
}

}  // namespace gfx
}  // namespace kavrosa
