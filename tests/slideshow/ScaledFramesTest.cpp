// Scaled fade frames: at the picture's own size they are FadeDraw's bytes, enlarged the black
// cells are the picture's byte groups enlarged, and what cannot be scaled is refused.
#include <gtest/gtest.h>

#include <vector>

#include "image/Resample.h"
#include "slideshow/DissolveFrame.h"
#include "slideshow/ScaledFrames.h"
#include "tests/image/PictureFixtures.h"
#include "tests/slideshow/FakePictures.h"

namespace kavrosa {
namespace {

using testing_pictures::CountMismatches;
using testing_pictures::InstallPattern;
using testing_pictures::PatternBytes;
using testing_pictures::ReferenceFrame;
using testing_pictures::StrideOf;

TEST(DissolveKeepMask, IsTheFrameOfAWhitePicture) {
  const size_t size = 3 * 40000 + 2;  // past one cycle of the table, last group cut
  const std::vector<uint8_t> white(size, 0xFF);
  std::vector<uint8_t> mask(size), frame(size);
  for (int32_t steps : {15, 30, 7, 300}) {
    for (int32_t level : {1, steps / 2, steps - 2}) {
      DissolveKeepMask(mask.data(), size, level, steps);
      DissolveReference(white.data(), frame.data(), size, level, steps);
      ASSERT_EQ(mask, frame) << level << " of " << steps;
    }
  }
}

// 21 pixels: 63 row bytes in a stride of 64, so groups straddle pixels from the second row on.
TEST(ScaledFrames, AtTheOwnSizeTheyAreFadeDrawsBytes) {
  SoftwareWindowPort window(Size{30, 12}, Point{});
  DibImage image;
  InstallPattern(image, 21, 6, 9);
  ScaledFrames frames;
  ASSERT_TRUE(frames.Prepare(image, window.GetDc(), Size{21, 6}));
  const Rect area{2, 3, 23, 9};
  for (int32_t level : {0, 1, 7, 15, 28, 29, 30}) {
    ASSERT_TRUE(frames.Render(level, 30));
    window.InvalidateAll(true);
    ASSERT_TRUE(frames.Draw(window.GetDc(), area, kSrcCopy));
    EXPECT_EQ(CountMismatches(window, area, ReferenceFrame(21, 6, 9, level, 30), 21, 6), 0)
        << level;
  }
}

// 20 pixels: a stride of 60 without fill bytes, so every group is one pixel.
TEST(ScaledFrames, DoubledFrameKeepsTheSourceGroupsAsTwoByTwoBlocks) {
  constexpr int32_t kWidth = 20, kHeight = 10;
  SoftwareWindowPort window(Size{2 * kWidth, 2 * kHeight}, Point{});
  DibImage image;
  InstallPattern(image, kWidth, kHeight, 4);
  ScaledFrames frames;
  ASSERT_TRUE(frames.Prepare(image, window.GetDc(), Size{2 * kWidth, 2 * kHeight}));
  ASSERT_TRUE(frames.Render(15, 30));
  ASSERT_TRUE(frames.Draw(window.GetDc(), Rect{0, 0, 2 * kWidth, 2 * kHeight}, kSrcCopy));

  const std::vector<uint8_t> source = PatternBytes(kWidth, kHeight, 4);
  std::vector<uint8_t> smooth(static_cast<size_t>(StrideOf(2 * kWidth)) * 2 * kHeight);
  ASSERT_TRUE(Resample24(
      PixelRows24{source.data(), kWidth, kHeight, size_t(StrideOf(kWidth))},
      MutablePixelRows24{smooth.data(), 2 * kWidth, 2 * kHeight, size_t(StrideOf(2 * kWidth))}));
  const std::vector<uint8_t> frame = ReferenceFrame(kWidth, kHeight, 4, 15, 30);
  int blackSource = 0, blackShown = 0;
  for (int32_t row = 0; row < kHeight; ++row) {  // rows in memory order, bottom-up
    for (int32_t x = 0; x < kWidth; ++x) blackSource += frame[row * StrideOf(kWidth) + 3 * x] == 0;
  }
  for (int32_t row = 0; row < 2 * kHeight; ++row) {
    for (int32_t x = 0; x < 2 * kWidth; ++x) {
      const uint8_t* kept = &frame[(row / 2) * StrideOf(kWidth) + 3 * (x / 2)];
      const uint8_t* value = &smooth[row * StrideOf(2 * kWidth) + 3 * x];
      const Bgr expected = kept[0] == 0 ? Bgr{} : Bgr{value[0], value[1], value[2]};
      const Bgr shown = window.surface().Pixel(x, 2 * kHeight - 1 - row);
      ASSERT_EQ(shown, expected) << x << "," << row;
      blackShown += shown == Bgr{};
    }
  }
  EXPECT_GT(blackSource, 0);
  EXPECT_EQ(blackShown, 4 * blackSource);
}

TEST(ScaledFrames, RefusesWhatItCannotScale) {
  SoftwareWindowPort window(Size{8, 8}, Point{});
  ScaledFrames frames;
  DibImage palettised;
  testing::Install(palettised, testing::MakeHeader(2, 2, 8, 2), {{1, 1, 1, 0}, {2, 2, 2, 0}},
                   {0, 1, 0, 0, 1, 0, 0, 0});
  EXPECT_FALSE(frames.Prepare(palettised, window.GetDc(), Size{4, 4}));
  DibImage never;
  EXPECT_FALSE(frames.Prepare(never, window.GetDc(), Size{4, 4}));
  DibImage picture;
  InstallPattern(picture, 2, 2, 1);
  EXPECT_FALSE(frames.Prepare(picture, window.GetDc(), Size{0, 4}));
  EXPECT_FALSE(frames.Prepare(picture, window.GetDc(), Size{40000, 4}));
  ASSERT_TRUE(frames.Prepare(picture, window.GetDc(), Size{4, 4}));
  ASSERT_TRUE(frames.Prepare(picture, window.GetDc(), Size{4, 4}));
  EXPECT_EQ(frames.surfaces(), 1u);
  EXPECT_FALSE(frames.Draw(window.GetDc(), Rect{0, 0, 3, 3}, kSrcCopy));
  EXPECT_FALSE(frames.Render(-1, 15));
  EXPECT_FALSE(frames.Render(16, 15));
}

}  // namespace
}  // namespace kavrosa
