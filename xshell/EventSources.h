// The two file descriptors the X11 program waits on beside its X connection: the 66 ms tick
// timer (timerfd) and the stop signals (signalfd). Waiting is poll(); nothing spins. A timer that
// expired several times while the program was busy still gives one tick, as a late WM_TIMER
// does: time is counted in ticks received.
#pragma once

#include <cstdint>

namespace kavrosa::xshell {

// An owned file descriptor, closed when the object goes.
class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  ~UniqueFd();
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

class TickTimer {
 public:
  TickTimer();
  bool ok() const { return fd_.get() >= 0; }
  int fd() const { return fd_.get(); }
  // A periodic expiry every `milliseconds`, the first one that far from now. False on failure.
  bool Start(uint32_t milliseconds);
  void Stop();
  bool running() const { return running_; }
  // After poll saw the descriptor readable: true when the timer expired at least once since the
  // last call (however many times), which is one tick.
  bool TakeTick();

 private:
  UniqueFd fd_;
  bool running_ = false;
};

// SIGTERM and SIGINT as a readable descriptor. The constructor blocks both signals for the
// calling thread, and so for every thread created after it: make it before any other thread.
// They stay blocked after the object goes, so that a second signal during the exit does not cut
// it short.
class StopSignals {
 public:
  StopSignals();

  bool ok() const { return fd_.get() >= 0; }
  int fd() const { return fd_.get(); }
  // The number of the signal that arrived, 0 when none is pending.
  int Take();

 private:
  UniqueFd fd_;
};

}  // namespace kavrosa::xshell
