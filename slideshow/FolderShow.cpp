// The folder worker. The record is owned jointly by the controller's side and the worker; the
// worker touches nothing else (the state word is shared the same way), so letting it go is only
// dropping one owner. Requests and results pass under the record's mutex, which also orders
// them; the library itself lives on the worker's stack and is never seen by the window's thread.
#include "slideshow/FolderShow.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>
#include <utility>

#include "library/Library.h"
#include "platform/Directory.h"
#include "platform/UserFiles.h"
#include "slideshow/PhotoFolder.h"
#include "slideshow/SlideShow.h"

namespace kavrosa {

struct FolderWorker {
  // Inputs, fixed before the worker starts.
  std::shared_ptr<const std::atomic<int32_t>> state;
  FolderShow::Options options;
  // Under `mutex`: a job asked for, its result, and the end.
  std::mutex mutex;
  std::condition_variable changed;
  bool asked = false;
  bool done = false;
  bool abandoned = false;
  bool ended = false;
  // The bound, which a display change may move while a job waits or works: width in the high
  // half, height in the low.
  std::atomic<uint64_t> bound{0};
  std::unique_ptr<DibImage> image;
  std::string relativePath;
  bool nothingUsable = false;
};

namespace {

constexpr uint32_t kIdleWorkerMilliseconds = 1000;

uint64_t PackBound(Size bound) {
  return (uint64_t{static_cast<uint32_t>(bound.cx)} << 32) | static_cast<uint32_t>(bound.cy);
}

Size UnpackBound(uint64_t packed) {
  return Size{static_cast<int32_t>(static_cast<uint32_t>(packed >> 32)),
              static_cast<int32_t>(static_cast<uint32_t>(packed))};
}

struct JobResult {
  std::unique_ptr<DibImage> image;
  std::string relativePath;
  bool nothingUsable = false;
};

bool Quitting(FolderWorker& worker) {
  if (worker.state->load() < 0) return true;
  std::lock_guard<std::mutex> lock(worker.mutex);
  return worker.abandoned;
}

uint32_t SizeNow(const std::string& path) {
  uint64_t size = 0;
  return CurrentFileSize(path, size) ? static_cast<uint32_t>(size) : 0;
}

// Tries candidates until one loads, the job's bound is hit, or the show quits. A photograph
// whose size is no longer the size listed is still being written: it waits for a later cycle.
JobResult LoadNext(FolderWorker& worker, Library& library) {
  JobResult result;
  const FolderShow::Options& options = worker.options;
  for (int32_t i = 0; i < kMaxTriesPerJob && !Quitting(worker); ++i) {
    LibraryCandidate candidate;
    if (!library.Next(candidate) || library.NothingShowable()) {
      result.nothingUsable = true;
      return result;
    }
    const std::string path = JoinPath(options.folder, candidate.relative);
    std::unique_ptr<DibImage> image(new (std::nothrow) DibImage);
    if (!image) return result;
    const bool loaded = options.loader(path, UnpackBound(worker.bound.load()), *image);
    const uint32_t sizeNow = SizeNow(path);
    if (loaded && (candidate.listedSize == 0 || sizeNow == candidate.listedSize)) {
      library.Shown(candidate);
      result.image = std::move(image);
      result.relativePath = candidate.relative;
      return result;
    }
    library.NotShown(candidate, sizeNow);
  }
  // Nothing loaded: a folder that has gone ends the folder show.
  if (!Quitting(worker) && !FolderExists(options.folder)) result.nothingUsable = true;
  return result;
}

void Publish(FolderWorker& worker, JobResult result) {
  std::lock_guard<std::mutex> lock(worker.mutex);
  worker.image = std::move(result.image);
  worker.relativePath = std::move(result.relativePath);
  worker.nothingUsable = result.nothingUsable;
  worker.done = true;
  worker.changed.notify_all();
}

void RunWorker(const std::shared_ptr<FolderWorker>& record) {
  FolderWorker& worker = *record;
  FolderLister lister;
  LibraryOptions libraryOptions;
  libraryOptions.folder = worker.options.folder;
  libraryOptions.cacheFolder = worker.options.cacheFolder;
  libraryOptions.resumeFile = worker.options.resumeFile;
  libraryOptions.shuffle = worker.options.shuffle;
  libraryOptions.seed = worker.options.seed;
  libraryOptions.isPhotograph = IsPhotographName;
  std::unique_ptr<Library> library;
  while (!Quitting(worker)) {
    bool jobWaiting = false;
    {
      std::lock_guard<std::mutex> lock(worker.mutex);
      jobWaiting = worker.asked && !worker.done;
    }
    // Disk work only once the controller lets the worker go, as for the embedded pictures.
    if (worker.state->load() != kWorkerWait) {
      if (!library) library = std::make_unique<Library>(libraryOptions, lister);
      if (jobWaiting) {
        Publish(worker, LoadNext(worker, *library));
        continue;
      }
      if (library->WorkInBackground()) continue;
    }
    // A job held back by the state word is polled for as the embedded pictures' worker does;
    // an idle worker is woken by the next job or the stop, and looks at the clock now and then.
    const uint32_t sleep = jobWaiting ? kWorkerPollMilliseconds : kIdleWorkerMilliseconds;
    std::unique_lock<std::mutex> lock(worker.mutex);
    worker.changed.wait_for(lock, std::chrono::milliseconds(sleep), [&] {
      return worker.abandoned || (worker.asked && !worker.done && !jobWaiting);
    });
  }
  library.reset();
  std::lock_guard<std::mutex> lock(worker.mutex);
  worker.ended = true;
  worker.changed.notify_all();
}

}  // namespace

FolderShow::FolderShow(Options options, std::shared_ptr<const std::atomic<int32_t>> stateWord)
    : options_(std::move(options)), stateWord_(std::move(stateWord)) {
  if (options_.loader == nullptr) options_.loader = &LoadPhotograph;
}

FolderShow::~FolderShow() {
  Stop(0);
}

bool FolderShow::StartWorker() {
  if (workerStarted_) return worker_ != nullptr;
  auto worker = std::make_shared<FolderWorker>();
  worker->state = stateWord_;
  worker->options = options_;
  worker->bound.store(PackBound(options_.bound));
  try {
    std::thread(RunWorker, worker).detach();  // the worker holds its own owner of the record
  } catch (...) {                             // no thread: the next hand-over tries again
    return false;
  }
  worker_ = std::move(worker);
  workerStarted_ = true;
  return true;
}

bool FolderShow::StartJob() {
  if (jobAsked_ || !StartWorker()) return false;
  std::lock_guard<std::mutex> lock(worker_->mutex);
  worker_->asked = true;
  worker_->done = false;
  worker_->changed.notify_all();
  jobAsked_ = true;
  return true;
}

FolderShow::Take FolderShow::TakePicture(std::unique_ptr<DibImage>& picture) {
  if (!jobAsked_) {
    StartJob();
    return Take::kBusy;
  }
  std::unique_ptr<DibImage> image;
  std::string relativePath;
  {
    std::lock_guard<std::mutex> lock(worker_->mutex);
    if (!worker_->done) return Take::kBusy;
    worker_->asked = false;
    jobAsked_ = false;
    if (worker_->nothingUsable) return Take::kNothingUsable;
    image = std::move(worker_->image);
    relativePath = std::move(worker_->relativePath);
  }
  if (!image) {
    // Every candidate of this job failed: the next job goes on with the following ones.
    StartJob();
    return Take::kBusy;
  }
  picture = std::move(image);
  onScreen_ = std::move(relativePath);
  return Take::kPicture;
}

void FolderShow::SetBound(Size bound) {
  options_.bound = bound;
  if (worker_) worker_->bound.store(PackBound(bound));
}

bool FolderShow::WaitForJob(uint32_t milliseconds) {
  if (!jobAsked_) return false;
  std::unique_lock<std::mutex> lock(worker_->mutex);
  return worker_->changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                   [this] { return worker_->done; });
}

bool FolderShow::Stop(uint32_t milliseconds) {
  if (!worker_) return true;
  bool ended = false;
  {
    std::unique_lock<std::mutex> lock(worker_->mutex);
    worker_->abandoned = true;
    worker_->changed.notify_all();
    ended = worker_->changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                      [this] { return worker_->ended; });
  }
  worker_.reset();  // a worker still reading keeps the record alive until it ends
  jobAsked_ = false;
  return ended;
}

}  // namespace kavrosa
