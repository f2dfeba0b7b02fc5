// The X11 program's window seam over a software surface, and the monitor arithmetic.
#include "xshell/SurfaceWindowPort.h"

#include <algorithm>

#include "platform/SoftwareGraphics.h"

namespace kavrosa::xshell {

SurfaceWindowPort::SurfaceWindowPort(Size size, Point origin, TickTimer& timer)
    : size_(size),
      origin_(origin),
      timer_(timer),
      surface_(std::make_unique<SoftwareSurface>(size.cx, size.cy)) {}

void SurfaceWindowPort::Resize(Size size) {
  surface_.reset();  // the old pixels go first: both at once could be twice a screen
  surface_ = std::make_unique<SoftwareSurface>(size.cx, size.cy);
  size_ = size;
  resized_ = true;
}

Rect SurfaceWindowPort::TakeDrawnArea() {
  const Rect drawn = gfx::TakeDrawnArea(surface_->dc());
  if (!resized_) return drawn;
  resized_ = false;
  return Rect{0, 0, size_.cx, size_.cy};
}

std::vector<Rect> SurfaceWindowPort::MonitorRects() {
  if (monitors_.empty()) return WindowPort::MonitorRects();
  return monitors_;
}

void SurfaceWindowPort::InvalidateAll(bool erase) {
  if (erase) surface_->Erase();
}

DeviceContext SurfaceWindowPort::GetDc() {
  return ok() ? surface_->dc() : nullptr;
}

uint32_t SurfaceWindowPort::SetTimer(uint32_t id, uint32_t milliseconds) {
  if (id == 0 || !timer_.Start(milliseconds)) return 0;
  timerId_ = id;
  return id;
}

void SurfaceWindowPort::KillTimer(uint32_t id) {
  if (id != timerId_) return;
  timer_.Stop();
  timerId_ = 0;
}

std::vector<Rect> MonitorsInWindow(const std::vector<Rect>& screenMonitors, Rect window) {
  std::vector<Rect> inside;
  for (const Rect& m : screenMonitors) {
    const Rect cut{std::max(m.left, window.left), std::max(m.top, window.top),
                   std::min(m.right, window.right), std::min(m.bottom, window.bottom)};
    if (cut.right <= cut.left || cut.bottom <= cut.top) continue;
    inside.push_back(Rect{cut.left - window.left, cut.top - window.top, cut.right - window.left,
                          cut.bottom - window.top});
  }
  if (inside.size() < 2) inside.clear();
  return inside;
}

}  // namespace kavrosa::xshell
