// The photograph folder's side of the show: one worker thread per show owns the photograph
// library (its walk, index and cycle) and, when a job is asked for, loads the next photograph
// that loads, trying further candidates when one fails; between jobs it walks on in the
// background. The window's thread never waits on it for long: the two share one record through
// a shared_ptr, so a worker stuck in a read can be let go of and ends harmlessly on its own, or
// with the process.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "image/DibImage.h"
#include "photo/Photograph.h"
#include "platform/Types.h"

namespace kavrosa {

// Candidates one job tries before it gives the hand-over up (the next job goes on from there).
constexpr int32_t kMaxTriesPerJob = 32;
// How long Stop waits for a busy folder worker before letting it go.
constexpr uint32_t kFolderStopWaitMilliseconds = 100;

struct FolderWorker;

class FolderShow {
 public:
  struct Options {
    std::string folder;      // UTF-8
    std::string resumeFile;  // relative to the folder, '/' between names; "" for none
    bool shuffle = false;
    Size bound;  // the largest monitor: photographs are reduced to fit in it
    uint32_t seed = 0;
    // Where the library's index is kept ("" for none: every start walks the folder).
    std::string cacheFolder;
    PhotographLoader loader = &LoadPhotograph;  // null: LoadPhotograph
  };
  enum class Take { kPicture, kBusy, kNothingUsable };

  FolderShow(Options options, std::shared_ptr<const std::atomic<int32_t>> stateWord);
  // Lets a running worker go without waiting.
  ~FolderShow();
  FolderShow(const FolderShow&) = delete;
  FolderShow& operator=(const FolderShow&) = delete;

  // Never blocks. kPicture: `picture` is the next photograph (its path is onScreen() from now
  // on) and no job runs. kBusy: the worker is still at it, or was just asked. kNothingUsable:
  // the folder holds nothing that loads, or has gone.
  Take TakePicture(std::unique_ptr<DibImage>& picture);
  // Asks for the next photograph; the worker obeys the state word (waits while it is 0).
  bool StartJob();
  // The bound for the photographs loaded from now on, also by a job already asked for.
  void SetBound(Size bound);
  // After the state word was set to quit: waits up to `milliseconds` for the worker to end,
  // then lets it go. True when no worker was left running.
  bool Stop(uint32_t milliseconds);
  // Tools: waits up to `milliseconds` for the job's result. True when there is one.
  bool WaitForJob(uint32_t milliseconds);

  bool jobRunning() const { return jobAsked_; }
  const std::string& onScreen() const { return onScreen_; }

 private:
  bool StartWorker();

  Options options_;
  std::shared_ptr<const std::atomic<int32_t>> stateWord_;
  std::shared_ptr<FolderWorker> worker_;  // null until the first job, and after Stop
  bool workerStarted_ = false;
  bool jobAsked_ = false;
  std::string onScreen_;
};

}  // namespace kavrosa
