// The window seam for the X11 program: the client area is a SoftwareSurface that the shell
// pushes to the X window, the timer is the shell's timerfd, and the size, position and monitors
// are what the shell last read from the server. It knows nothing of X, so it is tested natively.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/SoftwareSurface.h"
#include "platform/Window.h"
#include "xshell/EventSources.h"

namespace kavrosa::xshell {

class SurfaceWindowPort : public WindowPort {
 public:
  SurfaceWindowPort(Size size, Point origin, TickTimer& timer);

  // False when the surface for the current size could not be made; nothing is drawn then.
  bool ok() const { return surface_->valid(); }
  const SoftwareSurface& surface() const { return *surface_; }

  // A new client size: a fresh, black surface (the controller lays out again when told its
  // monitors changed).
  void Resize(Size size);
  void SetOrigin(Point origin) { origin_ = origin; }
  // The monitors in client coordinates, the primary first; empty means the whole client area.
  // The X program hands its monitors to the controller instead (ShowConfig, MonitorsChanged).
  void SetMonitors(std::vector<Rect> monitors) { monitors_ = std::move(monitors); }
  // The part of the client area drawn since the last call (the whole of it after a resize);
  // empty when nothing was drawn.
  Rect TakeDrawnArea();

  WindowHandle Handle() const override { return nullptr; }
  Size ClientSize() override { return size_; }
  Point ClientOrigin() override { return origin_; }
  std::vector<Rect> MonitorRects() override;
  void InvalidateAll(bool erase) override;
  DeviceContext GetDc() override;
  void ReleaseDc(DeviceContext) override {}
  uint32_t SetTimer(uint32_t id, uint32_t milliseconds) override;
  void KillTimer(uint32_t id) override;
  intptr_t GetUserData() override { return userData_; }
  void SetUserData(intptr_t value) override { userData_ = value; }
  // No host rules run behind the controller here: the shell reads input itself.
  intptr_t DefaultProc(uint32_t, uintptr_t, intptr_t) override { return 0; }

  uint32_t timerId() const { return timerId_; }

 private:
  Size size_;
  Point origin_;
  TickTimer& timer_;
  std::unique_ptr<SoftwareSurface> surface_;
  std::vector<Rect> monitors_;
  intptr_t userData_ = 0;
  uint32_t timerId_ = 0;
  bool resized_ = true;
};

// The monitors (screen coordinates, primary first) that a window at `window` (screen
// coordinates) spans, each cut to the window and moved into client coordinates. A window on one
// monitor or none gets the empty list: the whole client area is its one monitor.
std::vector<Rect> MonitorsInWindow(const std::vector<Rect>& screenMonitors, Rect window);

}  // namespace kavrosa::xshell
