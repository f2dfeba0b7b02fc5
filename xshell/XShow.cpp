// The event loop waits in poll() on three descriptors (the X connection, the tick timer and the
// stop signals) and so costs nothing between ticks. The controller is configured here (settings
// file, this run's options, monitors) and driven by direct calls: start, tick, monitors changed,
// stop. The difficulty is ordering: Xlib may already hold events read off the socket, so they
// are drained before every wait, and requests are flushed before it; a resize replaces the
// surface and the image before the controller hears of it, so no tick ever draws into a
// surface of the old size.
#include "xshell/XShow.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "host/HostState.h"
#include "host/SaverRules.h"
#include "slideshow/ShowConfig.h"
#include "slideshow/SlideShow.h"
#include "xshell/EventSources.h"
#include "xshell/FramePixels.h"
#include "xshell/SettingsLocation.h"
#include "xshell/SurfaceWindowPort.h"
#include "xshell/XFrameImage.h"

namespace kavrosa::xshell {
namespace {

constexpr int kOwnWindowWidth = 640;
constexpr int kOwnWindowHeight = 480;

int Fail(const std::string& message) {
  std::fprintf(stderr, "kavrosa: %s\n", message.c_str());
  return 1;
}

// Xlib calls this when the connection is gone and ends the process if it returns; the worker
// may be mid-decode, so nothing is unwound: the daemon has gone away with the display.
int ConnectionLost(Display*) {
  static const char message[] = "kavrosa: lost the X display\n";
  ssize_t ignored = ::write(2, message, sizeof message - 1);
  (void)ignored;
  ::_exit(1);
}

struct DisplayCloser {
  void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayOwner = std::unique_ptr<Display, DisplayCloser>;

struct WindowGeometry {
  Size size;
  Point origin;  // of the client area, on the root window
  Visual* visual = nullptr;
  int depth = 0;
};

Rect OnScreen(const WindowGeometry& g) {
  return Rect{g.origin.x, g.origin.y, g.origin.x + g.size.cx, g.origin.y + g.size.cy};
}

bool ReadGeometry(Display* display, Window window, WindowGeometry& geometry) {
  XWindowAttributes attributes{};
  XErrorTrap trap(display);
  if (!XGetWindowAttributes(display, window, &attributes) || !trap.SyncedWithoutError()) {
    return false;
  }
  int x = 0, y = 0;
  Window child = 0;
  XTranslateCoordinates(display, window, attributes.root, 0, 0, &x, &y, &child);
  geometry.size = Size{attributes.width, attributes.height};
  geometry.origin = Point{x, y};
  geometry.visual = attributes.visual;
  geometry.depth = attributes.depth;
  return trap.SyncedWithoutError();
}

// The RandR monitors of the screen, primary first; empty without RandR 1.5.
std::vector<Rect> ScreenMonitors(Display* display, Window root, bool randr) {
  std::vector<Rect> monitors;
  if (!randr) return monitors;
  int count = 0;
  XRRMonitorInfo* info = XRRGetMonitors(display, root, True, &count);
  if (info == nullptr) return monitors;
  for (int i = 0; i < count; ++i) {
    const Rect r{info[i].x, info[i].y, info[i].x + info[i].width, info[i].y + info[i].height};
    if (info[i].primary) {
      monitors.insert(monitors.begin(), r);
    } else {
      monitors.push_back(r);
    }
  }
  XRRFreeMonitors(info);
  return monitors;
}

// Everything of one run.
class Show {
 public:
  Show(Display* display, const Options& options, ShowConfig config)
      : display_(display), options_(options), config_(std::move(config)) {}
  ~Show();
  int Run(StopSignals& signals);

 private:
  bool OpenWindow();
  bool MakeFrame();
  void HandleEvent(XEvent& event);
  void HandleInput(const XEvent& event);
  void Reconfigure();
  void PushChanges();
  void RepaintExposed();
  void WaitForInput(StopSignals& signals);
  std::vector<Rect> Monitors(const WindowGeometry& geometry);

  Display* display_;
  const Options& options_;
  ShowConfig config_;  // until the controller takes it
  std::unique_ptr<SlideShow> controller_;
  std::vector<Rect> monitors_;
  Window root_ = 0;
  Window window_ = 0;
  bool ownWindow_ = false;
  Atom deleteWindow_ = 0;
  GC gc_ = nullptr;
  bool randr_ = false;
  int randrEventBase_ = 0;
  WindowGeometry geometry_;
  TickTimer timer_;
  std::unique_ptr<SurfaceWindowPort> port_;
  std::unique_ptr<XFrameImage> image_;
  std::vector<uint8_t> shown_;
  Rect exposed_{};
  bool reconfigure_ = false;
  bool quit_ = false;
  bool havePointer_ = false;
  Point firstPointer_;
};

Show::~Show() {
  image_.reset();
  if (gc_ != nullptr) XFreeGC(display_, gc_);
  if (ownWindow_) XDestroyWindow(display_, window_);
  XSync(display_, False);
}

bool Show::OpenWindow() {
  const int screen = DefaultScreen(display_);
  root_ = RootWindow(display_, screen);
  int errorBase = 0, major = 1, minor = 5;
  randr_ = XRRQueryExtension(display_, &randrEventBase_, &errorBase) &&
           XRRQueryVersion(display_, &major, &minor) && (major > 1 || minor >= 5);
  long events = StructureNotifyMask | ExposureMask;
  switch (options_.target) {
    case Target::kRoot:
      window_ = root_;
      if (randr_) XRRSelectInput(display_, root_, RRScreenChangeNotifyMask);
      break;
    case Target::kWindowId:
      window_ = options_.windowId;
      break;
    case Target::kOwnWindow: {
      window_ = XCreateSimpleWindow(display_, root_, 0, 0, kOwnWindowWidth, kOwnWindowHeight, 0,
                                    BlackPixel(display_, screen), BlackPixel(display_, screen));
      ownWindow_ = true;
      XStoreName(display_, window_, "Kavrosa");
      deleteWindow_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
      XSetWMProtocols(display_, window_, &deleteWindow_, 1);
      events |= KeyPressMask | ButtonPressMask | PointerMotionMask;
      break;
    }
  }
  {
    XErrorTrap trap(display_);
    XSelectInput(display_, window_, events);
    if (!trap.SyncedWithoutError() || !ReadGeometry(display_, window_, geometry_)) return false;
  }
  if (ownWindow_) XMapWindow(display_, window_);
  gc_ = XCreateGC(display_, window_, 0, nullptr);
  return gc_ != nullptr;
}

bool Show::MakeFrame() {
  shown_.clear();  // the next push sends the whole frame
  image_.reset();
  image_ = std::make_unique<XFrameImage>(display_, geometry_.visual, geometry_.depth,
                                         geometry_.size, std::getenv("KAVROSA_NO_SHM") == nullptr);
  return image_->ok();
}

int Show::Run(StopSignals& signals) {
  if (!OpenWindow()) {
    char name[32];
    std::snprintf(name, sizeof name, "0x%lx", static_cast<unsigned long>(window_));
    return Fail(options_.target == Target::kWindowId ? std::string("no window ") + name
                                                     : "cannot open the window");
  }
  // Pixels are packed by the visual's masks: that needs the identity colour map of TrueColor.
  if (geometry_.visual->c_class != TrueColor) return Fail("the window's visual is not TrueColor");
  port_ = std::make_unique<SurfaceWindowPort>(geometry_.size, geometry_.origin, timer_);
  monitors_ = Monitors(geometry_);
  if (!timer_.ok() || !MakeFrame()) return Fail("no memory or descriptors for the frame");

  config_.monitors = monitors_;
  controller_ = std::make_unique<SlideShow>(std::move(config_));
  controller_->Start(*port_);  // tick 0 runs here
  PushChanges();
  while (!quit_) {
    while (!quit_ && XPending(display_) > 0) {
      XEvent event;
      XNextEvent(display_, &event);
      HandleEvent(event);
    }
    if (quit_) break;
    if (reconfigure_) Reconfigure();
    RepaintExposed();
    XFlush(display_);
    WaitForInput(signals);
  }
  controller_->Stop(*port_);  // records the picture, ends the worker
  controller_.reset();
  return 0;
}

std::vector<Rect> Show::Monitors(const WindowGeometry& geometry) {
  return MonitorsInWindow(ScreenMonitors(display_, root_, randr_), OnScreen(geometry));
}

void Show::WaitForInput(StopSignals& signals) {
  pollfd fds[3] = {
      {ConnectionNumber(display_), POLLIN, 0}, {timer_.fd(), POLLIN, 0}, {signals.fd(), POLLIN, 0}};
  if (::poll(fds, 3, -1) < 0) return;  // EINTR: look again
  if ((fds[2].revents & POLLIN) != 0 && signals.Take() != 0) {
    quit_ = true;
    return;
  }
  if ((fds[1].revents & POLLIN) != 0 && timer_.TakeTick()) {
    controller_->Tick(*port_);
    PushChanges();
  }
  // A readable or hung-up connection is read by XPending next, which reports a lost one.
}

void Show::HandleEvent(XEvent& event) {
  if (randr_ && event.type == randrEventBase_ + RRScreenChangeNotify) {
    XRRUpdateConfiguration(&event);
    reconfigure_ = true;
    return;
  }
  switch (event.type) {
    case Expose: {
      const XExposeEvent& e = event.xexpose;
      const Rect r{e.x, e.y, e.x + e.width, e.y + e.height};
      if (exposed_.right <= exposed_.left) {
        exposed_ = r;
      } else {
        exposed_ = Rect{std::min(exposed_.left, r.left), std::min(exposed_.top, r.top),
                        std::max(exposed_.right, r.right), std::max(exposed_.bottom, r.bottom)};
      }
      break;
    }
    case ConfigureNotify:
      if (event.xconfigure.window == window_) reconfigure_ = true;
      break;
    case DestroyNotify:
      if (event.xdestroywindow.window == window_) quit_ = true;
      break;
    case ClientMessage:
      if (ownWindow_ && static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow_) quit_ = true;
      break;
    default:
      HandleInput(event);
      break;
  }
}

void Show::HandleInput(const XEvent& event) {
  if (!ownWindow_) return;  // the daemon or the window's owner reads input
  if (event.type == KeyPress || event.type == ButtonPress) {
    quit_ = true;
  } else if (event.type == MotionNotify) {
    const Point at{event.xmotion.x_root, event.xmotion.y_root};
    if (!havePointer_) {
      havePointer_ = true;
      firstPointer_ = at;
    } else if (MovementCloses(firstPointer_, at, kMouseThreshold)) {
      quit_ = true;
    }
  }
}

void Show::Reconfigure() {
  reconfigure_ = false;
  WindowGeometry now;
  if (!ReadGeometry(display_, window_, now)) return;  // gone: DestroyNotify ends the run
  const bool resized = !(now.size == geometry_.size);
  geometry_ = now;
  port_->SetOrigin(now.origin);
  if (resized) {
    port_->Resize(now.size);
    if (!MakeFrame()) std::fprintf(stderr, "kavrosa: no memory for a frame of the new size\n");
  }
  std::vector<Rect> monitors = Monitors(now);
  const bool monitorsChanged = monitors != monitors_;
  monitors_ = monitors;
  if (resized || monitorsChanged) {
    controller_->MonitorsChanged(*port_, std::move(monitors));
    PushChanges();
  }
}

void Show::PushChanges() {
  const Rect drawn = port_->TakeDrawnArea();
  if (IsEmpty(drawn) || !port_->ok() || !image_->ok()) return;
  const Rect changed = TakeChangedArea(port_->surface(), drawn, shown_);
  if (IsEmpty(changed)) return;
  image_->Pack(port_->surface(), changed);
  image_->Put(window_, gc_, changed);
}

void Show::RepaintExposed() {
  if (exposed_.right <= exposed_.left) return;
  const Rect area{std::max(exposed_.left, 0), std::max(exposed_.top, 0),
                  std::min(exposed_.right, geometry_.size.cx),
                  std::min(exposed_.bottom, geometry_.size.cy)};
  exposed_ = Rect{};
  if (image_->ok() && !shown_.empty()) image_->Put(window_, gc_, area);
}

}  // namespace

int RunShow(const Options& options) {
  // Before any thread: the worker must inherit the blocked stop signals.
  StopSignals signals;
  if (!signals.ok()) return Fail("cannot watch for SIGTERM");

  ShowConfig config;
  config.settingsPath = SettingsFilePath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
  if (!config.settingsPath.empty()) MakeParentDirectories(config.settingsPath);
  config.intervalSeconds = options.intervalSeconds;
  if (options.fit) config.fitImage = 1;
  if (options.shuffle) config.shuffle = 1;
  config.folder = options.folder;

  XSetIOErrorHandler(ConnectionLost);
  const char* name = options.display.empty() ? nullptr : options.display.c_str();
  DisplayOwner display(XOpenDisplay(name));
  if (!display) return Fail(std::string("cannot open display ") + XDisplayName(name));
  Show show(display.get(), options, std::move(config));
  return show.Run(signals);
}

}  // namespace kavrosa::xshell
