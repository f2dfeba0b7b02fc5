// timerfd and signalfd behind small owners. Both descriptors are non-blocking, so a spurious
// wake-up of poll() reads nothing and costs nothing.
#include "xshell/EventSources.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <ctime>

namespace kavrosa::xshell {
namespace {

sigset_t StopSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  return set;
}

timespec FromMilliseconds(uint32_t milliseconds) {
  timespec t{};
  t.tv_sec = static_cast<time_t>(milliseconds / 1000);
  t.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  return t;
}

}  // namespace

UniqueFd::~UniqueFd() {
  if (fd_ >= 0) ::close(fd_);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.release();
  }
  return *this;
}

TickTimer::TickTimer() : fd_(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)) {}

bool TickTimer::Start(uint32_t milliseconds) {
  if (!ok() || milliseconds == 0) return false;
  itimerspec timing{};
  timing.it_interval = FromMilliseconds(milliseconds);
  timing.it_value = timing.it_interval;
  running_ = ::timerfd_settime(fd_.get(), 0, &timing, nullptr) == 0;
  return running_;
}

void TickTimer::Stop() {
  if (!ok()) return;
  const itimerspec off{};
  ::timerfd_settime(fd_.get(), 0, &off, nullptr);
  running_ = false;
  uint64_t ignored = 0;
  while (::read(fd_.get(), &ignored, sizeof ignored) > 0) {
  }
}

bool TickTimer::TakeTick() {
  uint64_t expiries = 0;
  return ok() && ::read(fd_.get(), &expiries, sizeof expiries) == sizeof expiries && expiries > 0;
}

StopSignals::StopSignals() {
  const sigset_t set = StopSet();
  if (::pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return;
  fd_ = UniqueFd(::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
}

int StopSignals::Take() {
  signalfd_siginfo info{};
  if (!ok() || ::read(fd_.get(), &info, sizeof info) != sizeof info) return 0;
  return static_cast<int>(info.ssi_signo);
}

}  // namespace kavrosa::xshell
