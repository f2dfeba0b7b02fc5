// kavrosa-xtest-helper: the X side of the shell's tests.
//   window WxH         a black top-level window at 0,0; prints its id, lives until killed
//   resize ID WxH      resizes window ID and waits for the server
//   grab ID|root OUT   the window's pixels as a 24-bit bottom-up BMP, laid out as the frames
//                      tool writes its frames, so equal pixels give equal files
//   centre ID|root     prints the centre pixel as RRGGBB
//   close ID           asks window ID to close, as a window manager does (WM_DELETE_WINDOW)
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct DisplayCloser {
  void operator()(Display* d) const { XCloseDisplay(d); }
};
struct ImageDestroyer {
  void operator()(XImage* i) const { XDestroyImage(i); }
};

void PutLe(std::vector<uint8_t>& out, size_t at, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

bool ParseSize(const char* text, unsigned& w, unsigned& h) {
  return std::sscanf(text, "%ux%u", &w, &h) == 2 && w > 0 && h > 0 && w <= 8192 && h <= 8192;
}

Window NamedWindow(Display* d, const char* name) {
  if (std::strcmp(name, "root") == 0) return DefaultRootWindow(d);
  return static_cast<Window>(std::strtoul(name, nullptr, 0));
}

std::unique_ptr<XImage, ImageDestroyer> Grab(Display* d, Window w) {
  XWindowAttributes a{};
  if (!XGetWindowAttributes(d, w, &a)) return nullptr;
  return std::unique_ptr<XImage, ImageDestroyer>(
      XGetImage(d, w, 0, 0, static_cast<unsigned>(a.width), static_cast<unsigned>(a.height),
                AllPlanes, ZPixmap));
}

// 8-bit channels of a TrueColor pixel.
void Channels(XImage* image, unsigned long pixel, uint8_t& r, uint8_t& g, uint8_t& b) {
  const auto channel = [pixel](unsigned long mask) {
    unsigned long v = pixel & mask;
    while (mask != 0 && (mask & 1) == 0) {
      mask >>= 1;
      v >>= 1;
    }
    int bits = 0;
    while ((mask & 1) != 0) {
      mask >>= 1;
      ++bits;
    }
    return static_cast<uint8_t>(bits >= 8 ? v >> (bits - 8) : v << (8 - bits));
  };
  r = channel(image->red_mask);
  g = channel(image->green_mask);
  b = channel(image->blue_mask);
}

int WriteBmp(XImage* image, const char* file) {
  const uint32_t w = static_cast<uint32_t>(image->width), h = static_cast<uint32_t>(image->height);
  const uint32_t stride = (3 * w + 3) & ~3u;
  std::vector<uint8_t> out(54 + static_cast<size_t>(stride) * h, 0);
  out[0] = 'B';
  out[1] = 'M';
  PutLe(out, 2, static_cast<uint32_t>(out.size()), 4);
  PutLe(out, 10, 54, 4);
  PutLe(out, 14, 40, 4);
  PutLe(out, 18, w, 4);
  PutLe(out, 22, h, 4);
  PutLe(out, 26, 1, 2);
  PutLe(out, 28, 24, 2);
  PutLe(out, 34, stride * h, 4);
  for (uint32_t y = 0; y < h; ++y) {
    uint8_t* row = out.data() + 54 + static_cast<size_t>(h - 1 - y) * stride;
    for (uint32_t x = 0; x < w; ++x) {
      Channels(image, XGetPixel(image, static_cast<int>(x), static_cast<int>(y)), row[3 * x + 2],
               row[3 * x + 1], row[3 * x]);
    }
  }
  std::FILE* f = std::fopen(file, "wb");
  if (f == nullptr) return 1;
  const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  return std::fclose(f) == 0 && ok ? 0 : 1;
}

int Usage() {
  std::fprintf(stderr,
               "usage: kavrosa-xtest-helper window WxH | resize ID WxH | grab ID|root OUT.bmp |"
               " centre ID|root | close ID\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
  if (!display) {
    std::fprintf(stderr, "kavrosa-xtest-helper: no display\n");
    return 1;
  }
  Display* d = display.get();
  const std::string command = argv[1];
  unsigned w = 0, h = 0;
  if (command == "window" && ParseSize(argv[2], w, h)) {
    const int screen = DefaultScreen(d);
    const Window window = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, w, h, 0,
                                              BlackPixel(d, screen), BlackPixel(d, screen));
    XMapWindow(d, window);
    XSync(d, False);
    std::printf("0x%lx\n", static_cast<unsigned long>(window));
    std::fflush(stdout);
    for (;;) pause();
  }
  if (command == "resize" && argc == 4 && ParseSize(argv[3], w, h)) {
    XResizeWindow(d, NamedWindow(d, argv[2]), w, h);
    XSync(d, False);
    return 0;
  }
  if (command == "grab" && argc == 4) {
    const auto image = Grab(d, NamedWindow(d, argv[2]));
    return image ? WriteBmp(image.get(), argv[3]) : 1;
  }
  if (command == "close") {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = NamedWindow(d, argv[2]);
    event.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, event.xclient.window, False, NoEventMask, &event);
    XSync(d, False);
    return 0;
  }
  if (command == "centre") {
    const auto image = Grab(d, NamedWindow(d, argv[2]));
    if (!image) return 1;
    uint8_t r = 0, g = 0, b = 0;
    Channels(image.get(), XGetPixel(image.get(), image->width / 2, image->height / 2), r, g, b);
    std::printf("%02x%02x%02x\n", r, g, b);
    return 0;
  }
  return Usage();
}
