// The slide-show controller: one per saver window, configured by its shell (ShowConfig). It
// offers start, tick, monitors changed, paint and stop; the window procedure (OnMessage) is a
// thin adapter over them. Each tick is a frame of a fixed schedule (hand-over, fade-in, hold,
// fade-out), and pictures are handed over from the prefetch thread. The tricky parts are the
// process-wide counters that outlive a controller, and the hand-over, which shares one state
// word with the worker thread and otherwise synchronises only by waiting for the worker's end.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "image/DibImage.h"
#include "platform/Thread.h"
#include "platform/Types.h"
#include "platform/Window.h"
#include "slideshow/FolderShow.h"
#include "slideshow/ScaledFrames.h"
#include "slideshow/ShowConfig.h"
#include "slideshow/StateWord.h"

namespace kavrosa {

// Timer and schedule constants.
constexpr uint32_t kShowTimerId = 1;
constexpr uint32_t kTickMilliseconds = 66;
constexpr int32_t kTicksPerSecond = 15;
constexpr int32_t kFadeInSteps = 30;
constexpr int32_t kFadeOutSteps = 15;
constexpr int32_t kShortestPeriodTicks = 225;
// The worker polls its state word this often while it waits.
constexpr uint32_t kWorkerPollMilliseconds = 100;

// Values of the state word shared with the prefetch thread.
constexpr int32_t kWorkerWait = 0;
constexpr int32_t kWorkerGo = 1;
constexpr int32_t kWorkerQuit = -1;

// Exit codes of the prefetch thread.
constexpr int32_t kWorkerExitQuit = 255;
constexpr int32_t kWorkerExitNoMemory = 15;
constexpr int32_t kWorkerExitDone = 0;

// The resource type of the embedded photographs.
constexpr char kPictureResourceType[] = "IMGDAT";
constexpr int32_t kShowPictureCount = 12;

// The process-wide values of the show: one set per process, never reset while the saver runs.
struct ShowCounters {
  int32_t firstShowPending = 1;
  int32_t tickPhase = 0;
  int32_t ticksShown = 0;
  Rect destRect;  // on the primary monitor
  Rect srcRect;
  std::vector<Rect> otherDestRects;  // the same picture on the other monitors, in their order
};
ShowCounters& Counters();
// Tests only: puts the counters back to their values at process start.
void ResetCountersForTesting();

// Where the prefetch thread gets its pictures. The real source loads the embedded photographs
// with LoadFromResource; tests substitute their own. Both calls run on the worker thread.
class PictureSource {
 public:
  virtual ~PictureSource() = default;
  // A fresh, empty picture; null when there is no memory for one.
  virtual std::unique_ptr<DibImage> NewImage();
  // Fills `image` with the picture stored under resource `resourceId` (result ignored).
  virtual void Load(DibImage& image, uint32_t resourceId);
};
// The source SlideShowProc gives new controllers: the real one unless a test set another
// (null restores the real one).
PictureSource& CurrentPictureSource();
void SetPictureSourceForTesting(PictureSource* source);

// The module whose resources hold the photographs; null (the default) is the running program.
// The host sets it once at start, before any window exists.
void SetPictureModule(ModuleHandle module);
ModuleHandle PictureModule();

// The resource id of picture 1..12; 0 for any other number.
uint32_t PictureResourceId(int32_t pictureNumber);

// Where a w x h picture goes in a W x H client area: centred at its own size when it leaves a
// margin in both directions and fitting is off, otherwise scaled to fit with its proportions.
// An empty picture (w or h not positive) gets an empty rectangle at (0, 0).
Rect LayoutPicture(Size client, Size picture, bool fitImage);
// The same within one monitor's rectangle (client coordinates): its size plays the client's
// part and the result is moved by its offset.
Rect LayoutOnMonitor(Rect monitor, Size picture, bool fitImage);
// The largest of the monitors by area (the client area when none has one): every folder
// photograph is decoded to fit in it.
Size LargestMonitor(const std::vector<Rect>& monitors, Size client);

// The phase a period starts at when picture 12 comes on screen: 3/4 of the period, at least 225.
int32_t ShortPeriodPhase(int32_t periodTicks);

class SlideShow {
 public:
  explicit SlideShow(ShowConfig config, PictureSource& source = CurrentPictureSource());
  // Configured as the Windows saver is (SaverShowConfig).
  explicit SlideShow(PictureSource& source = CurrentPictureSource());
  // Stops and waits for the worker if one is left, then releases both pictures.
  virtual ~SlideShow();
  SlideShow(const SlideShow&) = delete;
  SlideShow& operator=(const SlideShow&) = delete;

  // The window procedure's entry: WM_SHOWWINDOW, WM_TIMER of its timer, WM_PAINT,
  // WM_DISPLAYCHANGE and WM_DESTROY become the calls below (WM_DESTROY stops the show and clears
  // the user data; SlideShowProc, which owns the object, deletes it). Every message ends in the
  // window's default handling, whose result is returned.
  virtual intptr_t OnMessage(WindowPort& window, uint32_t message, uintptr_t wParam,
                             intptr_t lParam);

  // The first show message of the process starts the show.
  int32_t OnShowWindow(WindowPort& window);
  // Reads the settings (the config's values for this run winning), starts the timer and runs
  // the first tick.
  int32_t Start(WindowPort& window);
  int32_t Tick(WindowPort& window);
  // The displays changed: `monitors` as ShowConfig::monitors (empty: ask the window). The
  // picture is laid out again on the next tick, and folder photographs not yet loaded are
  // decoded for the new largest monitor.
  void MonitorsChanged(WindowPort& window, std::vector<Rect> monitors);
  // Puts back what the window showed (a paint message's handling).
  void Paint(WindowPort& window);
  int32_t Stop(WindowPort& window);
  int32_t Advance();

  // The prefetch thread's start routine; its argument is the SlideShow. Returns the exit code.
  static int32_t PrefetchThreadProc(void* argument);

  // Read-only views for tests and tools.
  int32_t workerState() const { return workerState_.load(); }
  int32_t pictureNumber() const { return pictureNumber_; }
  int32_t fitImage() const { return fitImage_; }
  int32_t saveOnStop() const { return saveOnStop_; }
  int32_t periodTicks() const { return periodTicks_; }
  uint32_t timerId() const { return timerId_; }
  DibImage* currentImage() const { return currentImage_.get(); }
  bool workerRunning() const { return workerThread_.Running(); }
  // The exit code of the last worker that was waited for; -1 before any.
  int32_t lastWorkerExitCode() const { return lastWorkerExitCode_; }
  // Workers started so far.
  int32_t workersStarted() const { return workersStarted_; }
  // Whether the last tick changed what the window shows (an erase or a picture drawn): a shell
  // that copies the window elsewhere need only do so then, and after a paint.
  bool lastTickDrew() const { return lastTickDrew_; }
  const ScaledFrames& scaledFrames() const { return scaled_; }
  // The photograph folder's show; null when the embedded photographs are shown.
  FolderShow* folderShow() const { return folder_.get(); }
  // Tools only: waits up to `milliseconds` for a folder worker that is still loading, so that
  // frames can be made in a fixed order. True when no folder worker is busy afterwards.
  bool WaitForFolderWorker(uint32_t milliseconds);

 private:
  bool StartWorker();
  void WaitForWorker();
  void ComputeLayout(WindowPort& window);
  void PrepareScaledFrames(DeviceContext dc);
  void RenderFade(DeviceContext dc);
  bool RenderFrame(DeviceContext dc, FadeFrame frame);
  void DrawFrame(DeviceContext dc);
  void DrawPicture(DeviceContext dc, Rect destination);
  std::vector<Rect> Monitors(WindowPort& window);
  void StartFolder(WindowPort& window, const char* settings);
  int32_t AdvanceFolder();
  void FallBackToEmbedded();

  StateWord workerState_{kWorkerGo};
  WorkerThread workerThread_;
  std::unique_ptr<DibImage> nextImage_;
  std::unique_ptr<DibImage> currentImage_;
  // 0 until Start reads the settings: Stop records nothing for a show that never started.
  int32_t pictureNumber_ = 0;
  int32_t fitImage_ = 0;
  int32_t saveOnStop_ = 1;
  int32_t periodTicks_ = 0;
  uint32_t timerId_ = 0;
  ShowConfig config_;
  PictureSource& source_;
  int32_t lastWorkerExitCode_ = -1;
  int32_t workersStarted_ = 0;

  // The current picture at the sizes it is drawn at other than its own.
  ScaledFrames scaled_;
  // What the picture's rectangles show (level -1: nothing since the last erase) and what the
  // next draw would show; a tick draws only when they differ.
  FadeFrame shownFrame_{-1, 0};
  FadeFrame renderedFrame_;
  bool layoutPending_ = false;  // a display change: lay out again on the next tick
  bool lastTickDrew_ = false;
  std::unique_ptr<FolderShow> folder_;
  // The embedded picture number read at Start, kept while the folder is shown (pictureNumber
  // is 0 then): the show falls back to it when the folder holds nothing usable.
  int32_t embeddedNumber_ = 0;
};

}  // namespace kavrosa
