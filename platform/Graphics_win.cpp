// The drawing seam over real GDI: each operation is the GDI call of the same name, with our
// opaque handles cast to HDC, HBITMAP and HPALETTE. The only work of its own is building the
// variable-length LOGPALETTE, which lives in a local memory block for the duration of the call.
#include <windows.h>

#include <cstring>

#include "platform/Graphics.h"
#include "platform/LocalMemory.h"

namespace kavrosa::gfx {
namespace {

HDC AsHdc(DeviceContext dc) {
  return reinterpret_cast<HDC>(dc);
}
HBITMAP AsHbitmap(BitmapHandle bitmap) {
  return reinterpret_cast<HBITMAP>(bitmap);
}
HPALETTE AsHpalette(PaletteHandle palette) {
  return reinterpret_cast<HPALETTE>(palette);
}

}  // namespace

BitmapHandle CreateDibSection(DeviceContext dc, const BitmapInfoHeader* info, uint8_t** bits) {
  void* memory = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(AsHdc(dc), reinterpret_cast<const BITMAPINFO*>(info),
                                      DIB_RGB_COLORS, &memory, nullptr, 0);
  if (bitmap == nullptr) memory = nullptr;
  if (bits != nullptr) *bits = static_cast<uint8_t*>(memory);
  return reinterpret_cast<BitmapHandle>(bitmap);
}

// GDI's section memory comes from fresh pages, already zero; there is nothing to skip.
BitmapHandle CreateDibSectionToOverwrite(DeviceContext dc, const BitmapInfoHeader* info,
                                         uint8_t** bits) {
  return CreateDibSection(dc, info, bits);
}

uint8_t* SectionBitsIfLike(BitmapHandle bitmap, const BitmapInfoHeader* info) {
  if (bitmap == nullptr || info == nullptr || info->biBitCount < 16 || info->biCompression != 0)
    return nullptr;
  DIBSECTION section{};
  if (::GetObjectW(AsHbitmap(bitmap), sizeof section, &section) != sizeof section) return nullptr;
  const BITMAPINFOHEADER& h = section.dsBmih;
  if (h.biWidth != info->biWidth || h.biHeight != info->biHeight ||
      h.biBitCount != info->biBitCount || h.biCompression != BI_RGB)
    return nullptr;
  return static_cast<uint8_t*>(section.dsBm.bmBits);
}

void DeleteBitmap(BitmapHandle bitmap) {
  if (bitmap != nullptr) ::DeleteObject(AsHbitmap(bitmap));
}

PaletteHandle CreatePalette(const PaletteEntry* entries, uint16_t count) {
  if (entries == nullptr || count == 0) return nullptr;
  LocalBlock block = LocalBlock::Allocate(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
  BlockLock lock(block);
  if (!lock) return nullptr;
  auto* logical = reinterpret_cast<LOGPALETTE*>(lock.data());
  logical->palVersion = 0x300;
  logical->palNumEntries = count;
  std::memcpy(logical->palPalEntry, entries, count * sizeof(PALETTEENTRY));
  return reinterpret_cast<PaletteHandle>(::CreatePalette(logical));
}

void DeletePalette(PaletteHandle palette) {
  if (palette != nullptr) ::DeleteObject(AsHpalette(palette));
}

DeviceContext CreateCompatibleDc(DeviceContext dc) {
  return reinterpret_cast<DeviceContext>(::CreateCompatibleDC(AsHdc(dc)));
}

void DeleteDc(DeviceContext dc) {
  if (dc != nullptr) ::DeleteDC(AsHdc(dc));
}

BitmapHandle SelectBitmap(DeviceContext dc, BitmapHandle bitmap) {
  return reinterpret_cast<BitmapHandle>(::SelectObject(AsHdc(dc), AsHbitmap(bitmap)));
}

PaletteHandle SelectPalette(DeviceContext dc, PaletteHandle palette, bool forceBackground) {
  return reinterpret_cast<PaletteHandle>(
      ::SelectPalette(AsHdc(dc), AsHpalette(palette), forceBackground ? TRUE : FALSE));
}

uint32_t RealizePalette(DeviceContext dc) {
  return ::RealizePalette(AsHdc(dc));
}

bool BitBlt(DeviceContext dst, int32_t x, int32_t y, int32_t width, int32_t height,
            DeviceContext src, int32_t srcX, int32_t srcY, uint32_t rop) {
  return ::BitBlt(AsHdc(dst), x, y, width, height, AsHdc(src), srcX, srcY, rop) != FALSE;
}

bool StretchBlt(DeviceContext dst, int32_t x, int32_t y, int32_t width, int32_t height,
                DeviceContext src, int32_t srcX, int32_t srcY, int32_t srcWidth, int32_t srcHeight,
                uint32_t rop) {
  return ::StretchBlt(AsHdc(dst), x, y, width, height, AsHdc(src), srcX, srcY, srcWidth, srcHeight,
                      rop) != FALSE;
}

void FillBlack(DeviceContext dc, Rect area) {
  RECT r{area.left, area.top, area.right, area.bottom};
  ::FillRect(AsHdc(dc), &r, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
}

void Flush() {
  ::GdiFlush();
}

}  // namespace kavrosa::gfx
