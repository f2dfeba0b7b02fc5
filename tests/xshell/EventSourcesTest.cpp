// The tick timer and the stop signals: a late timer is one tick, a stopped one gives none, and
// SIGTERM/SIGINT, from any thread, become readable instead of ending the process.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <thread>

#include "xshell/EventSources.h"

namespace kavrosa::xshell {
namespace {

bool Readable(int fd, int milliseconds) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, milliseconds) == 1 && (p.revents & POLLIN) != 0;
}

TEST(TickTimer, ManyExpiriesWhileBusyAreOneTick) {
  TickTimer timer;
  ASSERT_TRUE(timer.ok());
  EXPECT_FALSE(timer.TakeTick());  // not started: nothing, and no blocking
  ASSERT_TRUE(timer.Start(5));
  ::usleep(60 * 1000);  // a dozen expiries
  EXPECT_TRUE(timer.TakeTick());
  EXPECT_FALSE(timer.TakeTick());
  EXPECT_TRUE(Readable(timer.fd(), 5000));
  EXPECT_TRUE(timer.TakeTick());
  timer.Stop();
  EXPECT_FALSE(timer.running());
  EXPECT_FALSE(Readable(timer.fd(), 30));
  EXPECT_FALSE(timer.Start(0));
}

TEST(StopSignals, TermAndIntFromAnyThreadBecomeReadable) {
  {
    StopSignals signals;
    ASSERT_TRUE(signals.ok());
    EXPECT_EQ(signals.Take(), 0);
    ::raise(SIGTERM);
    EXPECT_TRUE(Readable(signals.fd(), 5000));
    EXPECT_EQ(signals.Take(), SIGTERM);
    // A thread made afterwards has them blocked too, so the process still is not ended.
    std::thread([] { ::kill(::getpid(), SIGINT); }).join();
    EXPECT_TRUE(Readable(signals.fd(), 5000));
    EXPECT_EQ(signals.Take(), SIGINT);
    EXPECT_EQ(signals.Take(), 0);
  }
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

}  // namespace
}  // namespace kavrosa::xshell
