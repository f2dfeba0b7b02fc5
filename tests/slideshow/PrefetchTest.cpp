// The prefetch thread and the hand-over: the first picture decoded on the spot, a waiting
// worker for the next, release from tick 31, quitting without decoding, waiting for a decode
// in progress, running out of memory, and the picture order.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "tests/slideshow/ShowFixture.h"

namespace kavrosa {
namespace {

using testing_pictures::ShowTest;

TEST_F(ShowTest, FirstTickDecodesOnTheSpotAndLeavesAWaitingWorker) {
  WriteSettings(4, 30);
  StartShow();
  ASSERT_NE(show_->currentImage(), nullptr);
  EXPECT_EQ(show_->currentImage()->loaded(), 1);
  EXPECT_EQ(source_.loadsStarted(), (std::vector<uint32_t>{144}));
  EXPECT_EQ(show_->lastWorkerExitCode(), kWorkerExitDone);
  EXPECT_EQ(show_->pictureNumber(), 5);
  EXPECT_TRUE(show_->workerRunning());
  EXPECT_EQ(show_->workerState(), kWorkerWait);
  EXPECT_EQ(show_->workersStarted(), 2);
}

TEST_F(ShowTest, WorkerClosedWhileWaitingQuitsWithoutDecoding) {
  WriteSettings(4, 30);
  StartShow();
  TickTimes(30);  // the fade-in: the worker is not released yet
  EXPECT_EQ(show_->workerState(), kWorkerWait);
  show_->Stop(*window_);
  EXPECT_EQ(show_->lastWorkerExitCode(), kWorkerExitQuit);
  EXPECT_FALSE(show_->workerRunning());
  EXPECT_EQ(source_.newImages(), 1);
  EXPECT_EQ(source_.loadsStarted(), (std::vector<uint32_t>{144}));
}

TEST_F(ShowTest, ClosingDuringADecodeWaitsForIt) {
  WriteSettings(4, 30);
  StartShow();
  source_.HoldLoads();
  TickTimes(31);  // tick 31 releases the worker
  source_.WaitForLoadsStarted(2);
  std::thread releaser([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    source_.ReleaseLoads();
  });
  show_->Stop(*window_);
  // Stop returned only after the decode had finished.
  EXPECT_EQ(source_.loadsFinished(), 2);
  EXPECT_EQ(show_->lastWorkerExitCode(), kWorkerExitDone);
  releaser.join();
}

TEST_F(ShowTest, StartingWithTwelveLoads152Then140) {
  WriteSettings(12, 30);
  StartShow();
  TickTimes(113);  // picture 12's shortened period; the next hand-over takes picture 1
  EXPECT_EQ(source_.loadsStarted(), (std::vector<uint32_t>{152, 140}));
  EXPECT_EQ(show_->pictureNumber(), 2);
}

TEST_F(ShowTest, PicturesGoElevenTwelveOne) {
  WriteSettings(11, 15);
  StartShow();
  TickTimes(225 * 2);
  EXPECT_EQ(source_.loadsStarted(), (std::vector<uint32_t>{151, 152, 140}));
}

TEST_F(ShowTest, WorkerWithoutMemoryIsRetriedOnTheNextTick) {
  WriteSettings(6, 30);
  source_.FailNextNewImages(1);
  StartShow();
  EXPECT_EQ(show_->lastWorkerExitCode(), kWorkerExitNoMemory);
  EXPECT_EQ(show_->currentImage(), nullptr);
  EXPECT_EQ(Counters().ticksShown, 0);
  // The failed hand-over still moved the picture number on; the retry takes the next one.
  EXPECT_EQ(show_->Tick(*window_), 1);
  ASSERT_NE(show_->currentImage(), nullptr);
  EXPECT_EQ(source_.loadsStarted(), (std::vector<uint32_t>{147}));
}

TEST_F(ShowTest, PictureTwelveWithoutMemoryIsRetriedToo) {
  WriteSettings(12, 30);
  source_.FailNextNewImages(1);
  StartShow();
  EXPECT_EQ(show_->currentImage(), nullptr);
  EXPECT_EQ(Counters().tickPhase, 0);
  EXPECT_EQ(show_->Tick(*window_), 1);
  EXPECT_NE(show_->currentImage(), nullptr);
}

TEST_F(ShowTest, ReleasedWorkerDecodesDuringTheHold) {
  WriteSettings(2, 15);
  StartShow();
  TickTimes(30);
  EXPECT_EQ(show_->workerState(), kWorkerWait);
  TickTimes(1);  // tick 31, the period's 32nd
  EXPECT_EQ(show_->workerState(), kWorkerGo);
  source_.WaitForLoadsStarted(2);
  EXPECT_EQ(source_.loadsStarted(), (std::vector<uint32_t>{142, 155}));
}

}  // namespace
}  // namespace kavrosa
