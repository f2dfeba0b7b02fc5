// The frame as the X server takes it: an XImage in the window's visual, in a MIT-SHM segment when
// the server offers one (XShmPutImage), else in ordinary memory (XPutImage). It always holds what
// was last pushed, so an Expose is answered from it without asking the controller.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include "platform/Types.h"
#include "xshell/FramePixels.h"

namespace kavrosa::xshell {

class XFrameImage {
 public:
  XFrameImage(Display* display, Visual* visual, int depth, Size size, bool tryShm);
  ~XFrameImage();
  XFrameImage(const XFrameImage&) = delete;
  XFrameImage& operator=(const XFrameImage&) = delete;

  bool ok() const { return image_ != nullptr; }
  bool shared() const { return shared_; }

  // Copies `area` of the surface (which has the image's size) into the image.
  void Pack(const SoftwareSurface& surface, Rect area);
  // Sends the part (x, y, width, height) of the image to the same place in `window`. With
  // shared memory it waits for the server to have read it, so the next Pack cannot tear it.
  void Put(Window window, GC gc, Rect area);

 private:
  bool AttachShared(Visual* visual, int depth, Size size);

  Display* display_;
  XImage* image_ = nullptr;
  XShmSegmentInfo segment_{};
  bool shared_ = false;
  PixelPacking packing_;
};

// Counts X protocol errors instead of ending the program (Xlib's default), for the calls that
// may fail on a server or a window not ours. One process-wide count: Xlib's handler is global.
class XErrorTrap {
 public:
  explicit XErrorTrap(Display* display);
  ~XErrorTrap();
  XErrorTrap(const XErrorTrap&) = delete;
  XErrorTrap& operator=(const XErrorTrap&) = delete;
  // Waits for the server to have handled every request so far; true when none of them failed.
  bool SyncedWithoutError();

 private:
  Display* display_;
  int (*previous_)(Display*, XErrorEvent*);
};

}  // namespace kavrosa::xshell
