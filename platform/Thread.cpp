// WorkerThread over std::thread. The exit code is written by the thread and read only after
// join, which orders the two; a failed creation (std::system_error) becomes a false result.
#include "platform/Thread.h"

#include <chrono>
#include <system_error>

namespace kavrosa {

bool WorkerThread::Start(Routine routine, void* argument) {
  if (thread_.joinable() || routine == nullptr) return false;
  exitCode_ = -1;
  try {
    thread_ = std::thread([this, routine, argument] { exitCode_ = routine(argument); });
  } catch (...) {  // std::system_error, or no memory for the thread's state
    return false;
  }
  return true;
}

void WorkerThread::Join() {
  if (thread_.joinable()) thread_.join();
}

void SleepMilliseconds(uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace kavrosa
