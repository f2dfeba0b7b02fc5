// The controller's schedule: start from the settings its shell named, one frame per timer tick,
// stop and record the picture on screen. A frame shows what the previous tick rendered, so each
// tick first blits and then renders the next fade frame; the layout is worked out once per
// picture and again after a display change.
#include "slideshow/SlideShow.h"

#include <algorithm>

#include "image/FitSize.h"
#include "platform/Graphics.h"
#include "settings/Settings.h"

namespace kavrosa {
namespace {

ShowCounters& CounterRecord() {
  static ShowCounters counters;
  return counters;
}

int32_t HalfRaisedToZero(int64_t difference) {
  return static_cast<int32_t>(std::max<int64_t>(0, difference / 2));
}

bool IsEmpty(const Rect& r) {
  return r.right <= r.left || r.bottom <= r.top;
}

constexpr FadeFrame kNothingShown{-1, 0};

// Frames that put the same pixels in the picture's rectangles.
bool SameFrame(FadeFrame a, FadeFrame b) {
  const auto look = [](FadeFrame f) {
    if (f.level < 0) return 0;             // nothing drawn since the erase
    if (f.level == 0) return 1;            // black
    if (f.level >= f.steps - 1) return 2;  // every group copied: the whole picture
    return 3;
  };
  const int lookA = look(a);
  return lookA == look(b) && (lookA != 3 || (a.level == b.level && a.steps == b.steps));
}

Size SizeOf(const Rect& r) {
  return Size{static_cast<int32_t>(std::clamp<int64_t>(int64_t{r.right} - r.left, 0, INT32_MAX)),
              static_cast<int32_t>(std::clamp<int64_t>(int64_t{r.bottom} - r.top, 0, INT32_MAX))};
}

}  // namespace

ShowCounters& Counters() {
  return CounterRecord();
}

void ResetCountersForTesting() {
  CounterRecord() = ShowCounters{};
}

Rect LayoutPicture(Size client, Size picture, bool fitImage) {
  const int64_t W = client.cx, H = client.cy, w = picture.cx, h = picture.cy;
  if (w <= 0 || h <= 0) return Rect{};
  if (!fitImage) {
    const int32_t x0 = HalfRaisedToZero(W - w);
    const int32_t y0 = HalfRaisedToZero(H - h);
    // A margin of at least one pixel on each side in both directions: own size, centred.
    if (x0 != 0 && y0 != 0) {
      return Rect{x0, y0, static_cast<int32_t>(x0 + w), static_cast<int32_t>(y0 + h)};
    }
  }
  const Size fit = FitSize(client, picture);
  const int32_t x = HalfRaisedToZero(W - fit.cx);
  const int32_t y = HalfRaisedToZero(H - fit.cy);
  return Rect{x, y, x + fit.cx, y + fit.cy};
}

Rect LayoutOnMonitor(Rect monitor, Size picture, bool fitImage) {
  const Rect r = LayoutPicture(SizeOf(monitor), picture, fitImage);
  if (IsEmpty(r)) return Rect{};
  return Rect{r.left + monitor.left, r.top + monitor.top, r.right + monitor.left,
              r.bottom + monitor.top};
}

Size LargestMonitor(const std::vector<Rect>& monitors, Size client) {
  Size largest = client;
  int64_t largestArea = -1;
  for (const Rect& r : monitors) {
    const Size size = SizeOf(r);
    const int64_t area = int64_t{size.cx} * size.cy;
    if (size.cx > 0 && size.cy > 0 && area > largestArea) {
      largestArea = area;
      largest = size;
    }
  }
  return largest;
}

int32_t ShortPeriodPhase(int32_t periodTicks) {
  return std::max(periodTicks * 3 / 4, kShortestPeriodTicks);
}

SlideShow::SlideShow(ShowConfig config, PictureSource& source)
    : config_(std::move(config)), source_(source) {
  if (config_.loader == nullptr) config_.loader = &LoadPhotograph;
}

SlideShow::~SlideShow() {
  // Stop has normally ended the worker; a controller deleted without it still must not leave a
  // thread running over its fields.
  if (workerThread_.Running()) {
    workerState_.store(kWorkerQuit);
    WaitForWorker();
  }
  // A folder worker is let go of, never waited for; it must see the quit.
  if (folder_) workerState_.store(kWorkerQuit);
}

intptr_t SlideShow::OnMessage(WindowPort& window, uint32_t message, uintptr_t wParam,
                              intptr_t lParam) {
  switch (message) {
    case kWmDestroy:
      Stop(window);
      window.SetUserData(0);
      break;
    case kWmShowWindow:
      OnShowWindow(window);
      break;
    case kWmTimer:
      if (timerId_ != 0 && wParam == timerId_) Tick(window);
      break;
    case kWmPaint:
      Paint(window);
      break;
    case kWmDisplayChange:
      MonitorsChanged(window, {});
      break;
    default:
      break;
  }
  return window.DefaultProc(message, wParam, lParam);
}

int32_t SlideShow::OnShowWindow(WindowPort& window) {
  ShowCounters& counters = Counters();
  if (counters.firstShowPending != 0) {
    counters.firstShowPending = 0;
    Start(window);
  }
  return 1;
}

int32_t SlideShow::Start(WindowPort& window) {
  const char* settings = config_.settingsPath.empty() ? nullptr : config_.settingsPath.c_str();
  pictureNumber_ = ReadPictureNumber(settings);
  fitImage_ = config_.fitImage.value_or(ReadFitImage(settings)) == 1 ? 1 : 0;
  const int32_t seconds = config_.intervalSeconds ? ClampIntervalSeconds(*config_.intervalSeconds)
                                                  : ReadIntervalSeconds(settings);
  periodTicks_ = seconds * kTicksPerSecond;
  StartFolder(window, settings);
  timerId_ = window.SetTimer(kShowTimerId, kTickMilliseconds);
  if (timerId_ != 0) Tick(window);
  return 1;
}

int32_t SlideShow::Tick(WindowPort& window) {
  lastTickDrew_ = false;
  if (periodTicks_ <= 0) return 0;  // not started
  ShowCounters& counters = Counters();
  counters.tickPhase %= periodTicks_;
  const bool handOver = counters.tickPhase == 0;
  if (handOver) {
    if (pictureNumber_ == kShowPictureCount) counters.tickPhase = ShortPeriodPhase(periodTicks_);
    Advance();
    window.InvalidateAll(true);
    counters.ticksShown = 0;
    lastTickDrew_ = true;
    shownFrame_ = kNothingShown;
    renderedFrame_ = FadeFrame{};  // a fresh picture draws whole until a fade frame replaces it
    layoutPending_ = false;
  }
  if (!currentImage_) {
    // Without a picture the next tick must try the hand-over again, also after the phase
    // jump of picture 12.
    if (handOver) counters.tickPhase = 0;
    return 0;
  }
  const bool relayout = handOver || layoutPending_;
  if (relayout) ComputeLayout(window);
  if (layoutPending_) {
    // The displays changed: the picture moves, so the old places are erased and drawn anew.
    layoutPending_ = false;
    window.InvalidateAll(true);
    shownFrame_ = kNothingShown;
    lastTickDrew_ = true;
  }
  const ScopedWindowDc scoped(window);
  const DeviceContext dc = scoped.get();
  if (relayout) PrepareScaledFrames(dc);
  // The frame already on screen is not drawn again.
  if (!handOver && !SameFrame(shownFrame_, renderedFrame_)) {
    DrawFrame(dc);
    shownFrame_ = renderedFrame_;
    lastTickDrew_ = true;
  }
  // From the 32nd tick of a period on, every tick releases the prefetch thread.
  if (counters.ticksShown > kFadeInSteps) workerState_.store(kWorkerGo);
  ++counters.ticksShown;
  ++counters.tickPhase;
  RenderFade(dc);
  return 1;
}

std::vector<Rect> SlideShow::Monitors(WindowPort& window) {
  std::vector<Rect> monitors = config_.monitors.empty() ? window.MonitorRects() : config_.monitors;
  if (monitors.empty()) {
    const Size client = window.ClientSize();
    monitors.push_back(Rect{0, 0, client.cx, client.cy});
  }
  if (monitors.size() > kMaxMonitors) monitors.resize(kMaxMonitors);
  return monitors;
}

void SlideShow::MonitorsChanged(WindowPort& window, std::vector<Rect> monitors) {
  config_.monitors = std::move(monitors);
  layoutPending_ = true;
  if (folder_) folder_->SetBound(LargestMonitor(Monitors(window), window.ClientSize()));
}

void SlideShow::ComputeLayout(WindowPort& window) {
  ShowCounters& counters = Counters();
  const std::vector<Rect> monitors = Monitors(window);
  const Point origin = window.ClientOrigin();
  // A client area away from the screen's edges in both directions is a preview.
  if (origin.x != 0 && origin.y != 0) saveOnStop_ = 0;
  const Size picture = currentImage_->GetSize(true);
  // A photograph from the folder larger than a monitor is fitted to it whatever FitImage says:
  // at its own size it would show only its middle. The embedded pictures keep the plain rule.
  const auto fitOn = [&](const Rect& monitor) {
    const Size room = SizeOf(monitor);
    return fitImage_ == 1 || (folder_ && (picture.cx > room.cx || picture.cy > room.cy));
  };
  counters.srcRect = Rect{0, 0, picture.cx, picture.cy};
  counters.destRect = LayoutOnMonitor(monitors.front(), picture, fitOn(monitors.front()));
  counters.otherDestRects.clear();
  for (size_t i = 1; i < monitors.size(); ++i) {
    counters.otherDestRects.push_back(LayoutOnMonitor(monitors[i], picture, fitOn(monitors[i])));
  }
}

// Resamples the picture once for each size it is drawn at other than its own, at every new
// layout (a hand-over or a display change), holding the frame the next draw shows.
void SlideShow::PrepareScaledFrames(DeviceContext dc) {
  const ShowCounters& counters = Counters();
  scaled_.Clear();
  scaled_.Render(renderedFrame_.level, renderedFrame_.steps);
  const Size picture = SizeOf(counters.srcRect);
  const auto prepare = [&](const Rect& r) {
    const Size size = SizeOf(r);
    if (!IsEmpty(r) && !(size == picture)) scaled_.Prepare(*currentImage_, dc, size);
  };
  prepare(counters.destRect);
  for (const Rect& r : counters.otherDestRects) prepare(r);
}

void SlideShow::RenderFade(DeviceContext dc) {
  const ShowCounters& counters = Counters();
  if (counters.ticksShown <= kFadeInSteps) {
    RenderFrame(dc, FadeFrame{counters.ticksShown, kFadeInSteps});
  } else if (counters.tickPhase >= periodTicks_ - kFadeOutSteps) {
    RenderFrame(dc, FadeFrame{periodTicks_ - counters.tickPhase - 1, kFadeOutSteps});
  }
}

// The frame for the next draw, at the picture's own size and at every scaled size.
bool SlideShow::RenderFrame(DeviceContext dc, FadeFrame frame) {
  if (currentImage_->FadeDraw(dc, frame.level, frame.steps) != 1) return false;
  scaled_.Render(frame.level, frame.steps);
  renderedFrame_ = frame;
  return true;
}

// The same frame on every monitor.
void SlideShow::DrawFrame(DeviceContext dc) {
  const ShowCounters& counters = Counters();
  DrawPicture(dc, counters.destRect);
  for (const Rect& r : counters.otherDestRects) DrawPicture(dc, r);
}

void SlideShow::DrawPicture(DeviceContext dc, Rect destination) {
  const ShowCounters& counters = Counters();
  if (IsEmpty(destination)) return;
  // At its own size the picture's section is copied; scaled, its resampled surface is, and only
  // a picture that has none (not 24-bit) is stretched.
  if (SizeOf(destination) == SizeOf(counters.srcRect) || !scaled_.Draw(dc, destination, kSrcCopy)) {
    currentImage_->Blit(dc, destination, counters.srcRect, kSrcCopy);
  }
}

// Puts back what the window showed: black, and the frame last drawn at every place. A fade
// frame already rendered for the next tick is set aside meanwhile.
void SlideShow::Paint(WindowPort& window) {
  if (!currentImage_) return;
  const ScopedWindowDc paint(window, ScopedWindowDc::Kind::kPaint);
  const DeviceContext dc = paint.get();
  const Size client = window.ClientSize();
  gfx::FillBlack(dc, Rect{0, 0, client.cx, client.cy});
  if (shownFrame_.level >= 0) {
    const FadeFrame pending = renderedFrame_;
    const bool aside = !SameFrame(shownFrame_, pending);
    if (aside) RenderFrame(dc, shownFrame_);
    DrawFrame(dc);
    if (aside) RenderFrame(dc, pending);
  }
}

int32_t SlideShow::Stop(WindowPort& window) {
  const char* path = config_.settingsPath.empty() ? nullptr : config_.settingsPath.c_str();
  if (saveOnStop_ == 1 && pictureNumber_ != 0 && path != nullptr) {
    // pictureNumber names the picture after the one on screen.
    const int32_t onScreen = pictureNumber_ - 1;
    WritePictureNumber(path, onScreen == 0 ? kShowPictureCount : onScreen);
  }
  if (saveOnStop_ == 1 && folder_ && !folder_->onScreen().empty() && path != nullptr) {
    WritePhotographFile(path, folder_->onScreen());
  }
  if (timerId_ != 0) {
    window.KillTimer(timerId_);
    timerId_ = 0;
  }
  if (workerThread_.Running()) {
    workerState_.store(kWorkerQuit);
    WaitForWorker();
  }
  if (folder_) {
    // The disk must not hold up the close: a folder worker gets a short wait, then is let go.
    workerState_.store(kWorkerQuit);
    folder_->Stop(kFolderStopWaitMilliseconds);
    folder_.reset();
  }
  nextImage_.reset();
  currentImage_.reset();
  return 1;
}

}  // namespace kavrosa
