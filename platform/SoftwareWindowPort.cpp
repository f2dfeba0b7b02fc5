// The software window over a SoftwareSurface. The surface is drawn through the drawing seam, so
// the same code runs on software pixels and on real GDI; erasing is immediate, where a real
// window would erase on its next paint, before the following tick draws.
#include "platform/SoftwareWindowPort.h"

#include <cstdio>
#include <memory>

namespace kavrosa {
namespace {

void PutLe16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void PutLe32(uint8_t* p, uint32_t v) {
  PutLe16(p, v);
  PutLe16(p + 2, v >> 16);
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

SoftwareWindowPort::SoftwareWindowPort(Size size, Point origin)
    : size_(size), origin_(origin), surface_(size.cx, size.cy) {}

void SoftwareWindowPort::InvalidateAll(bool erase) {
  ++invalidations_;
  if (erase && ok()) surface_.Erase();
}

DeviceContext SoftwareWindowPort::GetDc() {
  ++dcsOut_;
  return ok() ? surface_.dc() : nullptr;
}

void SoftwareWindowPort::ReleaseDc(DeviceContext) {
  --dcsOut_;
}

std::vector<Rect> SoftwareWindowPort::MonitorRects() {
  return monitors_.empty() ? WindowPort::MonitorRects() : monitors_;
}

DeviceContext SoftwareWindowPort::BeginPaint() {
  ++paints_;
  return GetDc();
}

void SoftwareWindowPort::EndPaint(DeviceContext dc) {
  ReleaseDc(dc);
}

uint32_t SoftwareWindowPort::SetTimer(uint32_t id, uint32_t milliseconds) {
  if (timerFails_ || id == 0) return 0;
  timerId_ = id;
  timerMilliseconds_ = milliseconds;
  return id;
}

void SoftwareWindowPort::KillTimer(uint32_t id) {
  if (id == timerId_) timerId_ = 0;
}

intptr_t SoftwareWindowPort::DefaultProc(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  defaultMessages_.push_back(message);
  return hook_ ? hook_(message, wParam, lParam) : 0;
}

uint32_t SoftwareWindowPort::PixelAt(int32_t x, int32_t y) const {
  const Bgr p = surface_.Pixel(x, y);
  return (uint32_t{p.red} << 16) | (uint32_t{p.green} << 8) | p.blue;
}

bool SoftwareWindowPort::SaveBmp(const std::string& fileName) const {
  if (!ok()) return false;
  const uint32_t imageBytes = static_cast<uint32_t>(surface_.pixelBytes());
  uint8_t header[54] = {'B', 'M'};
  PutLe32(header + 2, 54 + imageBytes);
  PutLe32(header + 10, 54);
  PutLe32(header + 14, 40);
  PutLe32(header + 18, static_cast<uint32_t>(size_.cx));
  PutLe32(header + 22, static_cast<uint32_t>(size_.cy));
  PutLe16(header + 26, 1);
  PutLe16(header + 28, 24);
  PutLe32(header + 34, imageBytes);
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName.c_str(), "wb"));
  if (!file) return false;
  if (std::fwrite(header, 1, sizeof header, file.get()) != sizeof header) return false;
  const uint8_t* rows = surface_.BottomUpPixels();
  if (std::fwrite(rows, 1, imageBytes, file.get()) != imageBytes) return false;
  return std::fclose(file.release()) == 0;
}

}  // namespace kavrosa
