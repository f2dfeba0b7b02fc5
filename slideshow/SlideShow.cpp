// The controller's schedule: start from the settings, one frame per timer tick, stop and record
// the picture on screen. A frame shows what the previous tick rendered, so each tick first
// blits and then renders the next fade frame; the layout is worked out once per picture.
#include "slideshow/SlideShow.h"

#include <algorithm>

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
  int64_t sw = H * w / h;
  int64_t sh = H;
  if (sw > W) {
    sw = W;
    sh = W * h / w;
  }
  const int32_t x = HalfRaisedToZero(W - sw);
  const int32_t y = HalfRaisedToZero(H - sh);
  return Rect{x, y, static_cast<int32_t>(x + sw), static_cast<int32_t>(y + sh)};
}

int32_t ShortPeriodPhase(int32_t periodTicks) {
  return std::max(periodTicks * 3 / 4, kShortestPeriodTicks);
}

SlideShow::SlideShow(PictureSource& source) : source_(source) {}

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
      delete this;  // the controller ends with its window; no member is touched after this
      break;
    case kWmShowWindow:
      OnShowWindow(window);
      break;
    case kWmTimer:
      if (timerId_ != 0 && wParam == timerId_) Tick(window);
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
  char path[kSettingsPathSize];
  const char* settings = GetSettingsPath(path, sizeof path) ? path : nullptr;
  pictureNumber_ = ReadPictureNumber(settings);
  fitImage_ = ReadFitImage(settings) == 1 ? 1 : 0;
  periodTicks_ = ReadIntervalSeconds(settings) * kTicksPerSecond;
  StartFolder(window, settings);
  timerId_ = window.SetTimer(kShowTimerId, kTickMilliseconds);
  if (timerId_ != 0) Tick(window);
  return 1;
}

int32_t SlideShow::Tick(WindowPort& window) {
  if (periodTicks_ <= 0) return 0;  // not started
  ShowCounters& counters = Counters();
  counters.tickPhase %= periodTicks_;
  const bool handOver = counters.tickPhase == 0;
  if (handOver) {
    if (pictureNumber_ == kShowPictureCount) counters.tickPhase = ShortPeriodPhase(periodTicks_);
    Advance();
    window.InvalidateAll(true);
    counters.ticksShown = 0;
  }
  if (!currentImage_) {
    // Without a picture the next tick must try the hand-over again, also after the phase
    // jump of picture 12.
    if (handOver) counters.tickPhase = 0;
    return 0;
  }
  if (handOver) ComputeLayout(window);
  const DeviceContext dc = window.GetDc();
  if (!handOver && !IsEmpty(counters.destRect)) {
    currentImage_->Blit(dc, counters.destRect, counters.srcRect, kSrcCopy);
  }
  // From the 32nd tick of a period on, every tick releases the prefetch thread.
  if (counters.ticksShown > kFadeInSteps) workerState_.store(kWorkerGo);
  ++counters.ticksShown;
  ++counters.tickPhase;
  RenderFade(dc);
  window.ReleaseDc(dc);
  return 1;
}

void SlideShow::ComputeLayout(WindowPort& window) {
  ShowCounters& counters = Counters();
  const Size client = window.ClientSize();
  const Point origin = window.ClientOrigin();
  // A client area away from the screen's edges in both directions is a preview.
  if (origin.x != 0 && origin.y != 0) saveOnStop_ = 0;
  const Size picture = currentImage_->GetSize(true);
  counters.srcRect = Rect{0, 0, picture.cx, picture.cy};
  counters.destRect = LayoutPicture(client, picture, fitImage_ == 1);
}

void SlideShow::RenderFade(DeviceContext dc) {
  const ShowCounters& counters = Counters();
  if (counters.ticksShown <= kFadeInSteps) {
    currentImage_->FadeDraw(dc, counters.ticksShown, kFadeInSteps);
  } else if (counters.tickPhase >= periodTicks_ - kFadeOutSteps) {
    currentImage_->FadeDraw(dc, periodTicks_ - counters.tickPhase - 1, kFadeOutSteps);
  }
}

int32_t SlideShow::Stop(WindowPort& window) {
  if (saveOnStop_ == 1 && pictureNumber_ != 0) {
    char path[kSettingsPathSize];
    if (GetSettingsPath(path, sizeof path)) {
      // pictureNumber names the picture after the one on screen.
      const int32_t onScreen = pictureNumber_ - 1;
      WritePictureNumber(path, onScreen == 0 ? kShowPictureCount : onScreen);
    }
  }
  if (saveOnStop_ == 1 && folder_ && !folder_->onScreen().empty()) {
    char path[kSettingsPathSize];
    if (GetSettingsPath(path, sizeof path)) WritePhotographFile(path, folder_->onScreen());
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
