// Folder jobs. The record is owned jointly by the controller's side and the worker; the worker
// touches nothing else (the state word is shared the same way), so letting it go is only
// dropping one owner. Results are published under the record's mutex, which also orders them.
#include "slideshow/FolderShow.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>
#include <utility>

#include "platform/Directory.h"
#include "platform/Thread.h"
#include "slideshow/PhotoFolder.h"
#include "slideshow/SlideShow.h"

namespace kavrosa {

struct FolderJob {
  // Inputs, fixed before the worker starts.
  std::shared_ptr<const std::atomic<int32_t>> state;
  FolderShow::Options options;
  std::unique_ptr<PhotoPlaylist> playlist;  // null: walk the folder first
  // The bound, which a display change may move while the job waits or works: width in the high
  // half, height in the low.
  std::atomic<uint64_t> bound{0};
  // Results, written by the worker before `done`.
  std::unique_ptr<DibImage> image;
  std::string relativePath;
  bool nothingUsable = false;
  bool done = false;
  std::mutex mutex;
  std::condition_variable finished;
};

namespace {

uint64_t PackBound(Size bound) {
  return (uint64_t{static_cast<uint32_t>(bound.cx)} << 32) | static_cast<uint32_t>(bound.cy);
}

Size UnpackBound(uint64_t packed) {
  return Size{static_cast<int32_t>(static_cast<uint32_t>(packed >> 32)),
              static_cast<int32_t>(static_cast<uint32_t>(packed))};
}

void Publish(FolderJob& job) {
  std::lock_guard<std::mutex> lock(job.mutex);
  job.done = true;
  job.finished.notify_all();
}

bool Quitting(const FolderJob& job) {
  return job.state->load() < 0;
}

// Tries candidates until one loads, the job's bound is hit, or the show quits.
void LoadNext(FolderJob& job) {
  PhotoPlaylist& playlist = *job.playlist;
  const auto tries = static_cast<int32_t>(std::min<size_t>(playlist.size(), kMaxTriesPerJob));
  for (int32_t i = 0; i < tries && !Quitting(job); ++i) {
    const std::string relative = playlist.Next();
    std::unique_ptr<DibImage> image(new (std::nothrow) DibImage);
    if (!image) return;
    const Size bound = UnpackBound(job.bound.load());
    if (job.options.loader(JoinPath(job.options.folder, relative), bound, *image)) {
      job.image = std::move(image);
      job.relativePath = relative;
      return;
    }
  }
  // Nothing loaded: a folder that has gone, or a whole cycle of failures, ends the folder show.
  if (!Quitting(job) &&
      (tries == static_cast<int32_t>(playlist.size()) || !FolderExists(job.options.folder))) {
    job.nothingUsable = true;
  }
}

void RunJob(const std::shared_ptr<FolderJob>& record) {
  FolderJob& job = *record;
  while (job.state->load() == kWorkerWait) SleepMilliseconds(kWorkerPollMilliseconds);
  if (!Quitting(job)) {
    if (!job.playlist) {
      auto playlist = std::make_unique<PhotoPlaylist>(CollectPhotographs(job.options.folder),
                                                      job.options.shuffle, job.options.seed);
      playlist->ResumeAt(job.options.resumeFile);
      job.playlist = std::move(playlist);
    }
    if (job.playlist->empty()) {
      job.nothingUsable = true;
    } else {
      LoadNext(job);
    }
  }
  Publish(job);
}

}  // namespace

FolderShow::FolderShow(Options options, std::shared_ptr<const std::atomic<int32_t>> stateWord)
    : options_(std::move(options)), stateWord_(std::move(stateWord)) {
  if (options_.loader == nullptr) options_.loader = &LoadPhotograph;
}

FolderShow::~FolderShow() = default;

bool FolderShow::StartJob() {
  if (job_) return false;
  auto job = std::make_shared<FolderJob>();
  job->state = stateWord_;
  job->options = options_;
  job->bound.store(PackBound(options_.bound));
  job->playlist = std::move(playlist_);
  try {
    std::thread(RunJob, job).detach();  // the worker holds its own owner of the record
  } catch (...) {                       // no thread: the next hand-over tries again
    playlist_ = std::move(job->playlist);
    return false;
  }
  job_ = std::move(job);
  return true;
}

FolderShow::Take FolderShow::TakePicture(std::unique_ptr<DibImage>& picture) {
  if (!job_) {
    StartJob();
    return Take::kBusy;
  }
  {
    std::lock_guard<std::mutex> lock(job_->mutex);
    if (!job_->done) return Take::kBusy;
  }
  const std::shared_ptr<FolderJob> job = std::move(job_);
  playlist_ = std::move(job->playlist);
  if (job->nothingUsable) return Take::kNothingUsable;
  if (!job->image) {
    // Every candidate of this job failed: the next job goes on with the following ones.
    StartJob();
    return Take::kBusy;
  }
  picture = std::move(job->image);
  onScreen_ = job->relativePath;
  return Take::kPicture;
}

void FolderShow::SetBound(Size bound) {
  options_.bound = bound;
  if (job_) job_->bound.store(PackBound(bound));
}

bool FolderShow::WaitForJob(uint32_t milliseconds) {
  if (!job_) return false;
  std::unique_lock<std::mutex> lock(job_->mutex);
  return job_->finished.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                 [this] { return job_->done; });
}

bool FolderShow::Stop(uint32_t milliseconds) {
  if (!job_) return true;
  const bool ended = WaitForJob(milliseconds);
  job_.reset();  // a worker still reading keeps the record alive until it ends
  return ended;
}

}  // namespace kavrosa
