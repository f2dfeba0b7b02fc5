// The controller's schedule seen from the window: what each tick of a period shows, picture
// 12's period, the settings it reads and what it records when it stops, and its messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "slideshow/SlideShowProc.h"
#include "tests/slideshow/ShowFixture.h"

namespace kavrosa {
namespace {

using testing_pictures::CountMismatches;
using testing_pictures::PatternBytes;
using testing_pictures::ReferenceFrame;
using testing_pictures::ShowTest;

// Picture 3 (resource 155), 21 x 10, in a 64 x 48 window: drawn at its size at (21, 19).
constexpr int32_t kWidth = 21, kHeight = 10;
constexpr uint32_t kResource = 155;
constexpr Rect kArea{21, 19, 42, 29};
constexpr int32_t kPeriod = 225;  // 15 s

enum class Shown { kBlack, kFadeIn, kFull, kFadeOut };

struct ScheduleRow {
  int32_t first;  // ticks of the period, counted from the hand-over tick 0
  int32_t last;
  Shown shown;
};

class FrameSchedule : public ShowTest, public ::testing::WithParamInterface<ScheduleRow> {};

// Runs one period and compares the window after each tick of the row with the expected frame.
TEST_P(FrameSchedule, EachTickShowsWhatTheTickBeforeRendered) {
  WriteSettings(3, 15);
  StartShow();  // tick 0
  const ScheduleRow row = GetParam();
  for (int32_t tick = 0; tick <= row.last; ++tick) {
    if (tick > 0) {
      ASSERT_EQ(show_->Tick(*window_), 1);
    }
    if (tick < row.first) continue;
    std::vector<uint8_t> expected;
    switch (row.shown) {
      case Shown::kBlack:
        expected.assign(PatternBytes(kWidth, kHeight, 0).size(), 0);
        break;
      case Shown::kFadeIn:
        expected = ReferenceFrame(kWidth, kHeight, kResource, tick, 30);
        break;
      case Shown::kFull:
        expected = PatternBytes(kWidth, kHeight, kResource);
        break;
      case Shown::kFadeOut:
        expected = ReferenceFrame(kWidth, kHeight, kResource, kPeriod - tick - 1, 15);
        break;
    }
    ASSERT_EQ(CountMismatches(*window_, kArea, expected, kWidth, kHeight), 0) << "tick " << tick;
    // The worker is released on every tick from the 32nd on, and only then.
    EXPECT_EQ(show_->workerState() == kWorkerGo, tick >= 31) << "tick " << tick;
  }
  EXPECT_EQ(Counters().destRect, kArea);
  EXPECT_EQ(Counters().srcRect, (Rect{0, 0, kWidth, kHeight}));
}

INSTANTIATE_TEST_SUITE_P(OnePeriod, FrameSchedule,
                         ::testing::Values(ScheduleRow{0, 0, Shown::kBlack},
                                           ScheduleRow{1, 29, Shown::kFadeIn},
                                           ScheduleRow{30, 30, Shown::kFull},
                                           ScheduleRow{31, 31, Shown::kFull},
                                           ScheduleRow{kPeriod - 17, kPeriod - 16, Shown::kFull},
                                           ScheduleRow{kPeriod - 15, kPeriod - 2, Shown::kFadeOut},
                                           ScheduleRow{kPeriod - 1, kPeriod - 1, Shown::kBlack}));

TEST_F(ShowTest, NextHandOverErasesTheWindow) {
  WriteSettings(3, 15);
  StartShow();
  EXPECT_EQ(window_->invalidations(), 1);
  TickTimes(kPeriod - 1);
  EXPECT_EQ(window_->invalidations(), 1);
  TickTimes(1);  // tick P: hand-over of picture 4
  EXPECT_EQ(window_->invalidations(), 2);
  EXPECT_EQ(show_->pictureNumber(), 5);
  EXPECT_EQ(CountMismatches(*window_, kArea,
                            std::vector<uint8_t>(testing_pictures::StrideOf(kWidth) * kHeight, 0),
                            kWidth, kHeight),
            0);
  EXPECT_EQ(window_->dcsOut(), 0);
}

struct ShortPeriodCase {
  int32_t seconds;
  int32_t ticks;
};

class PictureTwelve : public ShowTest, public ::testing::WithParamInterface<ShortPeriodCase> {};

TEST_P(PictureTwelve, PeriodIsShortened) {
  WriteSettings(12, GetParam().seconds);
  StartShow();  // picture 12 comes on screen
  ASSERT_EQ(show_->pictureNumber(), 1);
  int32_t ticks = 1;
  while (show_->pictureNumber() == 1 && ticks < 5000) {
    show_->Tick(*window_);
    ++ticks;
  }
  EXPECT_EQ(ticks - 1, GetParam().ticks);
}

INSTANTIATE_TEST_SUITE_P(Intervals, PictureTwelve,
                         ::testing::Values(ShortPeriodCase{15, 225}, ShortPeriodCase{16, 15},
                                           ShortPeriodCase{17, 30}, ShortPeriodCase{18, 45},
                                           ShortPeriodCase{19, 60}, ShortPeriodCase{20, 75},
                                           ShortPeriodCase{30, 113}, ShortPeriodCase{300, 1125}));

TEST_F(ShowTest, PictureTwelveAtSixteenSecondsIsNeverWhole) {
  WriteSettings(12, 16);
  StartShow();
  TickTimes(14);
  const Rect area = Counters().destRect;
  EXPECT_EQ(CountMismatches(*window_, area, ReferenceFrame(kWidth, kHeight, 152, 14, 30), kWidth,
                            kHeight),
            0);
  TickTimes(1);  // hand-over: the worker for picture 1 was never released before it
  EXPECT_EQ(show_->pictureNumber(), 2);
  EXPECT_EQ(source_.loadsStarted(), (std::vector<uint32_t>{152, 140}));
}

TEST_F(ShowTest, StartReadsTheSettings) {
  WriteSettings(7, 300, 1);
  StartShow();
  EXPECT_EQ(show_->periodTicks(), 4500);
  EXPECT_EQ(show_->fitImage(), 1);
  EXPECT_EQ(show_->pictureNumber(), 8);
  EXPECT_EQ(source_.loadsStarted().front(), 147u);
  EXPECT_EQ(window_->timerId(), kShowTimerId);
  EXPECT_EQ(window_->timerMilliseconds(), 66u);
}

TEST_F(ShowTest, OutOfRangeSettingsTakeTheirDefaults) {
  WriteSettings(13, 14, 2);
  StartShow();
  EXPECT_EQ(show_->periodTicks(), 450);
  EXPECT_EQ(show_->fitImage(), 0);
  EXPECT_EQ(source_.loadsStarted().front(), 140u);
}

TEST_F(ShowTest, FitImageScalesToTheWindow) {
  WriteSettings(1, 30, 1);
  source_.SetDefaultSize({471, 353});
  MakeWindow(Size{640, 480});
  StartShow();
  EXPECT_EQ(Counters().destRect, (Rect{0, 0, 640, 480}));
}

TEST_F(ShowTest, OverridesWinOverTheFileAndAreNotWritten) {
  WriteSettings(2, 300, 0);
  const std::string before = settings_.Read();
  MakeWindow(Size{64, 48});
  ShowConfig config;
  config.settingsPath = settings_.path();
  config.intervalSeconds = 20;
  config.fitImage = 1;
  show_ = std::make_unique<SlideShow>(config, source_);
  show_->Start(*window_);
  EXPECT_EQ(show_->periodTicks(), 300);
  EXPECT_EQ(show_->fitImage(), 1);
  config.intervalSeconds = 301;  // clamped as the file's value is
  show_ = std::make_unique<SlideShow>(config, source_);
  show_->Start(*window_);
  EXPECT_EQ(show_->periodTicks(), 450);
  EXPECT_EQ(settings_.Read(), before);
}

TEST_F(ShowTest, DisplayChangeLaysThePictureOutAgain) {
  WriteSettings(1, 30);
  source_.SetDefaultSize({471, 353});
  MakeWindow(Size{640, 480});
  StartShow();
  EXPECT_EQ(Counters().destRect, (Rect{84, 63, 555, 416}));
  SoftwareWindowPort larger(Size{800, 600}, Point{});
  show_->OnMessage(larger, kWmDisplayChange, 0, 0);
  show_->Tick(larger);  // laid out by the next tick at the latest
  EXPECT_EQ(Counters().destRect, (Rect{164, 123, 635, 476}));
  for (int i = 0; i < 40; ++i) show_->Tick(larger);
  const std::vector<uint8_t> full = testing_pictures::PatternBytes(471, 353, 140);
  EXPECT_EQ(CountMismatches(larger, Counters().destRect, full, 471, 353), 0);
}

TEST_F(ShowTest, PictureWithoutPixelsDrawsNothing) {
  WriteSettings(5, 15);
  source_.SetDefaultSize({0, 0});
  StartShow();
  ASSERT_NE(show_->currentImage(), nullptr);
  EXPECT_EQ(Counters().destRect, (Rect{}));
  EXPECT_EQ(TickTimes(40), 1);
  for (int32_t y = 0; y < 48; y += 4) {
    for (int32_t x = 0; x < 64; x += 4) ASSERT_EQ(window_->PixelAt(x, y), 0u);
  }
}

TEST_F(ShowTest, NoTimerNoShow) {
  WriteSettings(1, 30);
  MakeWindow(Size{64, 48});
  window_->SetTimerFails(true);
  StartShow();
  EXPECT_EQ(show_->timerId(), 0u);
  EXPECT_EQ(show_->currentImage(), nullptr);
  EXPECT_TRUE(source_.loadsStarted().empty());
}

TEST_F(ShowTest, OnlyTheFirstShowMessageStarts) {
  WriteSettings(2, 30);
  StartShow();
  show_->OnShowWindow(*window_);
  SlideShow second(source_);
  second.OnShowWindow(*window_);
  EXPECT_EQ(second.timerId(), 0u);
  EXPECT_EQ(source_.loadsStarted(), (std::vector<uint32_t>{142}));
}

// What Stop records: the picture on screen, never for a preview.
struct StopCase {
  int32_t startNumber;
  Point origin;
  int32_t periods;       // full periods run before stopping
  const char* recorded;  // "" when nothing is written
};

class StopRecords : public ShowTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StopRecords, ThePictureOnScreen) {
  const StopCase c = GetParam();
  const std::string original = "[Image]\r\nNO=" + std::to_string(c.startNumber) +
                               "\r\n[Config]\r\n" + std::string(kIntervalKey) + "=15\r\n";
  settings_.Write(original);
  MakeWindow(Size{64, 48}, c.origin);
  StartShow();
  TickTimes(kPeriod * c.periods);
  show_->Stop(*window_);
  const std::string text = settings_.Read();
  if (c.recorded[0] == '\0') {
    EXPECT_EQ(text, original);
  } else {
    EXPECT_EQ(ReadPictureNumber(settings_.path()), std::stoi(c.recorded));
  }
  EXPECT_EQ(window_->timerId(), 0u);
  EXPECT_EQ(show_->currentImage(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StopRecords,
    ::testing::Values(StopCase{1, {0, 0}, 0, "1"}, StopCase{12, {0, 0}, 0, "12"},
                      StopCase{12, {0, 0}, 1, "1"}, StopCase{5, {0, 0}, 2, "7"},
                      StopCase{5, {0, 37}, 1, "6"}, StopCase{5, {37, 0}, 1, "6"},
                      // Client area away from both screen edges: a preview records nothing.
                      StopCase{5, {37, 21}, 1, ""}, StopCase{12, {1, 1}, 0, ""}));

TEST_F(ShowTest, DestroyedBeforeTheFirstShowRecordsNothing) {
  settings_.Write("[Config]\r\nFitImage=0\r\n");
  MakeWindow(Size{64, 48});
  SlideShow show(source_);
  EXPECT_EQ(show.Stop(*window_), 1);
  EXPECT_EQ(settings_.Read(), "[Config]\r\nFitImage=0\r\n");
}

TEST_F(ShowTest, TimerWithAnotherIdentifierIsOnlyPassedOn) {
  WriteSettings(2, 30);
  StartShow();
  const int32_t phase = Counters().tickPhase;
  show_->OnMessage(*window_, kWmTimer, kShowTimerId + 1, 0);
  EXPECT_EQ(Counters().tickPhase, phase);
  show_->OnMessage(*window_, kWmTimer, kShowTimerId, 0);
  EXPECT_EQ(Counters().tickPhase, phase + 1);
  EXPECT_EQ(window_->defaultMessages(), (std::vector<uint32_t>{kWmTimer, kWmTimer}));
}

TEST_F(ShowTest, ProcCreatesStartsAndDeletesTheController) {
  WriteSettings(4, 30);
  MakeWindow(Size{64, 48});
  window_->SetDefaultHook([](uint32_t message, uintptr_t, intptr_t) -> intptr_t {
    return message == kWmCreate ? 0 : 42;
  });
  EXPECT_EQ(SlideShowProc(*window_, kWmTimer, kShowTimerId, 0), 42);  // no controller yet
  EXPECT_EQ(window_->GetUserData(), 0);
  EXPECT_EQ(SlideShowProc(*window_, kWmCreate, 0, 0), 0);
  ASSERT_NE(window_->GetUserData(), 0);
  // A hide message is a show message too: the first one starts the show.
  EXPECT_EQ(SlideShowProc(*window_, kWmShowWindow, 0, 0), 42);
  EXPECT_EQ(window_->timerId(), kShowTimerId);
  EXPECT_EQ(SlideShowProc(*window_, kWmTimer, kShowTimerId, 0), 42);
  EXPECT_EQ(Counters().ticksShown, 2);
  EXPECT_EQ(SlideShowProc(*window_, kWmDestroy, 0, 0), 42);
  EXPECT_EQ(window_->GetUserData(), 0);
  EXPECT_EQ(window_->timerId(), 0u);
  EXPECT_EQ(ReadPictureNumber(settings_.path()), 4);
  EXPECT_EQ(window_->defaultMessages(),
            (std::vector<uint32_t>{kWmTimer, kWmCreate, kWmShowWindow, kWmTimer, kWmDestroy}));
}

}  // namespace
}  // namespace kavrosa
