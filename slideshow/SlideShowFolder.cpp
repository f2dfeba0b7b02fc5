// The controller with a photograph folder: Start sets the folder show up, the hand-over takes
// what the folder worker has finished without ever waiting for it, and a folder that holds
// nothing usable (or has gone) hands the show back to the embedded photographs.
#include <chrono>

#include "platform/Directory.h"
#include "settings/Settings.h"
#include "slideshow/SlideShow.h"

namespace kavrosa {

void SlideShow::StartFolder(WindowPort& window, const char* settings) {
  std::string folder =
      FolderPathFromSystemText(config_.folder ? *config_.folder : ReadPhotoFolder(settings));
  if (folder.empty()) return;
  FolderShow::Options options;
  options.folder = std::move(folder);
  options.resumeFile = ReadPhotographFile(settings);
  options.shuffle = config_.shuffle.value_or(ReadShuffle(settings)) == 1;
  // Every photograph is reduced to fit the largest monitor the window covers.
  options.bound = LargestMonitor(Monitors(window), window.ClientSize());
  options.loader = config_.loader;
  options.seed = static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  folder_ = std::make_unique<FolderShow>(std::move(options), workerState_.Share());
  // Picture numbers belong to the embedded cycle (and picture 12's short period with them).
  embeddedNumber_ = pictureNumber_;
  pictureNumber_ = 0;
}

int32_t SlideShow::AdvanceFolder() {
  workerState_.store(kWorkerGo);  // a job that still waits may go now
  std::unique_ptr<DibImage> picture;
  switch (folder_->TakePicture(picture)) {
    case FolderShow::Take::kPicture:
      currentImage_ = std::move(picture);
      workerState_.store(kWorkerWait);
      folder_->StartJob();
      return 1;
    case FolderShow::Take::kBusy:
      // The picture on screen, if any, stays for another period; without one the next tick
      // tries again.
      return 1;
    case FolderShow::Take::kNothingUsable:
      break;
  }
  FallBackToEmbedded();
  return Advance();
}

void SlideShow::FallBackToEmbedded() {
  folder_.reset();  // its job has ended: it reported the folder's state
  pictureNumber_ = embeddedNumber_;
  if (pictureNumber_ == kShowPictureCount) Counters().tickPhase = ShortPeriodPhase(periodTicks_);
}

bool SlideShow::WaitForFolderWorker(uint32_t milliseconds) {
  if (!folder_ || !folder_->jobRunning()) return true;
  return folder_->WaitForJob(milliseconds);
}

}  // namespace kavrosa
