// The prefetch thread and the hand-over. The worker and the window thread share only the
// atomic state word while the worker runs; nextImage and pictureNumber change hands at thread
// start and thread end, which order every access without a lock.
#include <new>

#include "slideshow/SlideShow.h"

namespace kavrosa {
namespace {

// Resource ids of pictures 1 to 12 (ids 141, 143, 153 and 154 are not used).
constexpr uint32_t kPictureResourceIds[kShowPictureCount] = {140, 142, 155, 144, 145, 146,
                                                             147, 148, 149, 150, 151, 152};

ModuleHandle& PictureModuleRecord() {
  static ModuleHandle module = nullptr;
  return module;
}

PictureSource*& PictureSourceOverride() {
  static PictureSource* source = nullptr;
  return source;
}

}  // namespace

std::unique_ptr<DibImage> PictureSource::NewImage() {
  return std::unique_ptr<DibImage>(new (std::nothrow) DibImage);
}

void PictureSource::Load(DibImage& image, uint32_t resourceId) {
  image.LoadFromResource(resourceId, kPictureResourceType, PictureModule());
}

PictureSource& CurrentPictureSource() {
  static PictureSource real;
  PictureSource* chosen = PictureSourceOverride();
  return chosen != nullptr ? *chosen : real;
}

void SetPictureSourceForTesting(PictureSource* source) {
  PictureSourceOverride() = source;
}

void SetPictureModule(ModuleHandle module) {
  PictureModuleRecord() = module;
}

ModuleHandle PictureModule() {
  return PictureModuleRecord();
}

uint32_t PictureResourceId(int32_t pictureNumber) {
  if (pictureNumber < 1 || pictureNumber > kShowPictureCount) return 0;
  return kPictureResourceIds[pictureNumber - 1];
}

int32_t SlideShow::PrefetchThreadProc(void* argument) {
  SlideShow& show = *static_cast<SlideShow*>(argument);
  int32_t state = show.workerState_.load();
  while (state == kWorkerWait) {
    SleepMilliseconds(kWorkerPollMilliseconds);
    state = show.workerState_.load();
  }
  if (state < 0) return kWorkerExitQuit;
  // Published at once, before loading: the window thread reads it only after this thread ends.
  show.nextImage_ = show.source_.NewImage();
  if (!show.nextImage_) return kWorkerExitNoMemory;
  const uint32_t resourceId = PictureResourceId(show.pictureNumber_);
  if (resourceId == 0) return kWorkerExitDone;
  show.source_.Load(*show.nextImage_, resourceId);
  return kWorkerExitDone;
}

bool SlideShow::StartWorker() {
  if (!workerThread_.Start(&SlideShow::PrefetchThreadProc, this)) return false;
  ++workersStarted_;
  return true;
}

void SlideShow::WaitForWorker() {
  workerThread_.Join();
  lastWorkerExitCode_ = workerThread_.ExitCode();
}

int32_t SlideShow::Advance() {
  if (folder_) return AdvanceFolder();
  currentImage_.reset();
  if (workerThread_.Running()) {
    workerState_.store(kWorkerGo);  // releases a worker that still waits
    WaitForWorker();
  }
  if (!nextImage_) {
    // First hand-over of the run, or the last worker had no picture: decode one now, here. The
    // state is set to go again because a worker that could not be created left it at wait.
    workerState_.store(kWorkerGo);
    if (StartWorker()) WaitForWorker();
  }
  currentImage_ = std::move(nextImage_);
  pictureNumber_ = pictureNumber_ + 1 > kShowPictureCount ? 1 : pictureNumber_ + 1;
  workerState_.store(kWorkerWait);
  StartWorker();  // on failure the next hand-over decodes the picture itself
  return 1;
}

}  // namespace kavrosa
