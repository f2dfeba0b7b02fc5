// The controller with the embedded photographs, decoded by the real loader on the prefetch
// thread: sizes and places of pictures 12 and 1 in a 640 x 480 window.
#include <gtest/gtest.h>

#include "tests/slideshow/ShowFixture.h"

namespace kavrosa {
namespace {

class RealPictures : public testing_pictures::ShowTest {
 protected:
  void SetUp() override {
    ShowTest::SetUp();
    SetPictureSourceForTesting(nullptr);
  }
};

TEST_F(RealPictures, TwelveThenOneAtTheirOwnSizes) {
  WriteSettings(12, 30);
  MakeWindow(Size{640, 480});
  show_ = std::make_unique<SlideShow>(CurrentPictureSource());
  show_->OnShowWindow(*window_);
  ASSERT_NE(show_->currentImage(), nullptr);
  EXPECT_EQ(show_->currentImage()->loaded(), 1);
  EXPECT_EQ(show_->currentImage()->GetSize(true), (Size{480, 330}));
  EXPECT_EQ(Counters().destRect, (Rect{80, 75, 560, 405}));
  TickTimes(30);
  EXPECT_NE(window_->PixelAt(320, 240), 0u);  // the whole picture is on screen
  TickTimes(83);                              // picture 12's period is 113 ticks at 30 s
  ASSERT_EQ(show_->pictureNumber(), 2);
  EXPECT_EQ(show_->currentImage()->GetSize(true), (Size{471, 353}));
  EXPECT_EQ(Counters().destRect, (Rect{84, 63, 555, 416}));
}

}  // namespace
}  // namespace kavrosa
