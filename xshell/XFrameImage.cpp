// XImage in shared memory or not. The segment is marked for removal as soon as the server has
// attached it, so a killed program leaves no segment behind.
#include "xshell/XFrameImage.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace kavrosa::xshell {
namespace {

std::atomic<int> trappedErrors{0};

int CountError(Display*, XErrorEvent*) {
  ++trappedErrors;
  return 0;
}

bool HostByteOrderIsLsbFirst() {
  const uint16_t probe = 1;
  uint8_t first = 0;
  std::memcpy(&first, &probe, 1);
  return first == 1;
}

}  // namespace

XErrorTrap::XErrorTrap(Display* display) : display_(display) {
  XSync(display_, False);
  trappedErrors = 0;
  previous_ = XSetErrorHandler(CountError);
}

XErrorTrap::~XErrorTrap() {
  XSync(display_, False);
  XSetErrorHandler(previous_);
}

bool XErrorTrap::SyncedWithoutError() {
  XSync(display_, False);
  return trappedErrors.load() == 0;
}

XFrameImage::XFrameImage(Display* display, Visual* visual, int depth, Size size, bool tryShm)
    : display_(display),
      packing_(PackingFromMasks(visual->red_mask, visual->green_mask, visual->blue_mask, depth)) {
  if (size.cx <= 0 || size.cy <= 0) return;
  if (tryShm && XShmQueryExtension(display_) && AttachShared(visual, depth, size)) return;
  const unsigned width = static_cast<unsigned>(size.cx), height = static_cast<unsigned>(size.cy);
  image_ = XCreateImage(display_, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr, width,
                        height, 32, 0);
  if (image_ == nullptr) return;
  // XDestroyImage frees the data with free().
  image_->data = static_cast<char*>(
      std::calloc(static_cast<size_t>(image_->bytes_per_line), static_cast<size_t>(height)));
  if (image_->data == nullptr) {
    XDestroyImage(image_);
    image_ = nullptr;
  }
}

bool XFrameImage::AttachShared(Visual* visual, int depth, Size size) {
  XImage* image =
      XShmCreateImage(display_, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &segment_,
                      static_cast<unsigned>(size.cx), static_cast<unsigned>(size.cy));
  if (image == nullptr) return false;
  const size_t bytes = static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(size.cy);
  segment_.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (segment_.shmid < 0) {
    XDestroyImage(image);
    return false;
  }
  segment_.shmaddr = static_cast<char*>(shmat(segment_.shmid, nullptr, 0));
  if (segment_.shmaddr == reinterpret_cast<char*>(-1)) {
    shmctl(segment_.shmid, IPC_RMID, nullptr);
    XDestroyImage(image);
    return false;
  }
  image->data = segment_.shmaddr;
  segment_.readOnly = False;
  bool attached = false;
  {
    // A server on another machine refuses the segment: then ordinary XPutImage it is.
    XErrorTrap trap(display_);
    attached = XShmAttach(display_, &segment_) && trap.SyncedWithoutError();
  }
  shmctl(segment_.shmid, IPC_RMID, nullptr);
  if (!attached) {
    shmdt(segment_.shmaddr);
    image->data = nullptr;
    XDestroyImage(image);
    return false;
  }
  image_ = image;
  shared_ = true;
  return true;
}

XFrameImage::~XFrameImage() {
  if (image_ == nullptr) return;
  if (shared_) {
    XShmDetach(display_, &segment_);
    XSync(display_, False);
    image_->data = nullptr;
  }
  XDestroyImage(image_);
  if (shared_) shmdt(segment_.shmaddr);
}

void XFrameImage::Pack(const SoftwareSurface& surface, Rect area) {
  if (!ok() || surface.width() != image_->width || surface.height() != image_->height) return;
  const bool native =
      image_->bits_per_pixel == 32 && (image_->byte_order == LSBFirst) == HostByteOrderIsLsbFirst();
  if (native) {
    PackArea32(surface, area, packing_, reinterpret_cast<uint8_t*>(image_->data),
               image_->bytes_per_line);
    return;
  }
  // Any other TrueColor layout (16 or 24 bits a pixel, the other byte order): Xlib packs.
  for (int32_t y = area.top; y < area.bottom; ++y) {
    for (int32_t x = area.left; x < area.right; ++x) {
      const Bgr p = surface.Pixel(x, y);
      XPutPixel(image_, x, y, PackPixel(packing_, p.red, p.green, p.blue));
    }
  }
}

void XFrameImage::Put(Window window, GC gc, Rect area) {
  if (!ok()) return;
  const int x = area.left, y = area.top;
  const unsigned width = static_cast<unsigned>(area.right - area.left);
  const unsigned height = static_cast<unsigned>(area.bottom - area.top);
  if (area.right <= area.left || area.bottom <= area.top) return;
  if (shared_) {
    XShmPutImage(display_, window, gc, image_, x, y, x, y, width, height, False);
    XSync(display_, False);
  } else {
    XPutImage(display_, window, gc, image_, x, y, x, y, width, height);
  }
}

}  // namespace kavrosa::xshell
