// The photograph folder's side of the show: one worker at a time walks the folder (on its first
// job), then loads the next photograph that loads, trying further candidates when one fails. The
// window's thread never waits on it for long: a job is shared between the two through one
// shared_ptr record, so a worker stuck in a read can be let go of and ends harmlessly on its
// own, or with the process.
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

struct FolderJob;
class PhotoPlaylist;

class FolderShow {
 public:
  struct Options {
    std::string folder;      // UTF-8
    std::string resumeFile;  // relative to the folder, '/' between names; "" for none
    bool shuffle = false;
    Size bound;  // the largest monitor: photographs are reduced to fit in it
    uint32_t seed = 0;
    PhotographLoader loader = &LoadPhotograph;  // null: LoadPhotograph
  };
  enum class Take { kPicture, kBusy, kNothingUsable };

  FolderShow(Options options, std::shared_ptr<const std::atomic<int32_t>> stateWord);
  // Lets a running worker go without waiting.
  ~FolderShow();
  FolderShow(const FolderShow&) = delete;
  FolderShow& operator=(const FolderShow&) = delete;

  // Never blocks. kPicture: `picture` is the next photograph (its path is onScreen() from now
  // on) and no job runs. kBusy: the worker is still at it, or was just started. kNothingUsable:
  // the folder holds nothing that loads, or has gone.
  Take TakePicture(std::unique_ptr<DibImage>& picture);
  // Starts the job for the next photograph; it obeys the state word (waits while it is 0).
  bool StartJob();
  // The bound for the photographs loaded from now on, also by a job already running.
  void SetBound(Size bound);
  // After the state word was set to quit: waits up to `milliseconds` for a running job to end,
  // then lets it go. True when no worker was left running.
  bool Stop(uint32_t milliseconds);
  // Tools: waits up to `milliseconds` for the running job's result. True when there is one.
  bool WaitForJob(uint32_t milliseconds);

  bool jobRunning() const { return job_ != nullptr; }
  const std::string& onScreen() const { return onScreen_; }

 private:
  Options options_;
  std::shared_ptr<const std::atomic<int32_t>> stateWord_;
  std::shared_ptr<FolderJob> job_;
  // The walk's result between jobs; null until the first job has walked the folder.
  std::unique_ptr<PhotoPlaylist> playlist_;
  std::string onScreen_;
};

}  // namespace kavrosa
