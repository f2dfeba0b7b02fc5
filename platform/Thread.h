// A joinable worker thread with an exit code, and sleeping: the small piece of threading the
// slide show needs. std::thread serves both builds (mingw-w64's posix thread model on Windows);
// creation failure is reported as a result, never as an exception.
#pragma once

#include <cstdint>
#include <thread>

namespace kavrosa {

class WorkerThread {
 public:
  using Routine = int32_t (*)(void* argument);

  WorkerThread() = default;
  // A thread is always waited for by its owner; the destructor waits as a backstop.
  ~WorkerThread() { Join(); }
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Starts routine(argument) at once. False when the thread could not be made (or one is still
  // running: a thread must be joined before its successor starts).
  bool Start(Routine routine, void* argument);
  bool Running() const { return thread_.joinable(); }
  // Waits without limit for the thread to end; afterwards ExitCode() holds its routine's result.
  void Join();
  int32_t ExitCode() const { return exitCode_; }

 private:
  std::thread thread_;
  int32_t exitCode_ = -1;
};

void SleepMilliseconds(uint32_t milliseconds);

}  // namespace kavrosa
