// The dissolve: the generator's first remainders, which groups a frame copies, the fast path
// against the reference loop, and FadeDraw's refusals and frames as drawn through the seam.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "slideshow/DissolveFrame.h"
#include "tests/slideshow/FakePictures.h"

namespace kavrosa {

std::vector<uint8_t> testing_pictures::ReferenceFrame(int32_t width, int32_t height, uint32_t seed,
                                                      int32_t level, int32_t steps) {
  const std::vector<uint8_t> source = PatternBytes(width, height, seed);
  std::vector<uint8_t> frame(source.size(), 0xEE);
  if (level == 0) {
    std::fill(frame.begin(), frame.end(), 0);
  } else if (level == steps) {
    frame = source;
  } else {
    DissolveReference(source.data(), frame.data(), frame.size(), level, steps);
  }
  return frame;
}

namespace {

using testing_pictures::CountMismatches;
using testing_pictures::InstallPattern;
using testing_pictures::PatternBytes;
using testing_pictures::ReferenceFrame;

std::vector<int32_t> FirstRemainders(int32_t steps, int count) {
  std::vector<int32_t> remainders;
  int32_t d = DissolveSeed(steps);
  for (int i = 0; i < count; ++i) {
    d = DissolveNext(d);
    remainders.push_back(d % steps);
  }
  return remainders;
}

TEST(DissolveGenerator, ThirtyStepsStartAt527) {
  EXPECT_EQ(DissolveSeed(30), 527);
  EXPECT_EQ(FirstRemainders(30, 8), (std::vector<int32_t>{16, 15, 26, 23, 0, 15, 0, 25}));
}

TEST(DissolveGenerator, FifteenStepsStartAt332) {
  EXPECT_EQ(DissolveSeed(15), 332);
  EXPECT_EQ(FirstRemainders(15, 8), (std::vector<int32_t>{1, 13, 2, 4, 0, 4, 12, 8}));
}

TEST(DissolveFrame, LevelFifteenOfThirtyCopiesTheLowRemainderGroups) {
  std::vector<uint8_t> source(24);
  for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(0x80 + i);
  for (auto render : {&DissolveReference, &DissolveFast}) {
    std::vector<uint8_t> target(24, 0xEE);
    render(source.data(), target.data(), target.size(), 15, 30);
    for (size_t i = 0; i < 24; ++i) {
      const bool copied = (i >= 3 && i <= 5) || (i >= 12 && i <= 20);
      EXPECT_EQ(target[i], copied ? source[i] : 0) << "byte " << i;
    }
  }
}

TEST(DissolveFrame, LastGroupIsCutAtTheSize) {
  const std::vector<uint8_t> source(8, 0x55);
  for (auto render : {&DissolveReference, &DissolveFast}) {
    std::vector<uint8_t> target(10, 0xEE);
    render(source.data(), target.data(), 8, 29, 30);
    EXPECT_EQ(target[7], 0x55);
    EXPECT_EQ(target[8], 0xEE);  // beyond the size: untouched
    EXPECT_EQ(target[9], 0xEE);
  }
}

struct FastCase {
  size_t size;
  int32_t steps;
};

class FastPath : public ::testing::TestWithParam<FastCase> {};

TEST_P(FastPath, GivesTheReferenceBytesAtEveryLevel) {
  const FastCase c = GetParam();
  std::vector<uint8_t> source(c.size);
  for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(1 + i % 253);
  const int32_t lastLevel = c.steps > 40 ? 3 : c.steps - 1;
  for (int32_t level = 1; level <= lastLevel; ++level) {
    std::vector<uint8_t> reference(c.size + 1, 0xEE), fast(c.size + 1, 0xEE);
    DissolveReference(source.data(), reference.data(), c.size, level, c.steps);
    DissolveFast(source.data(), fast.data(), c.size, level, c.steps);
    ASSERT_EQ(reference, fast) << "level " << level;
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, FastPath,
                         ::testing::Values(FastCase{1, 30}, FastCase{2, 30}, FastCase{3, 30},
                                           FastCase{4, 15}, FastCase{1060 * 2, 30},
                                           FastCase{98303, 30}, FastCase{98304, 15},
                                           FastCase{98305, 30}, FastCase{482 * 3 * 353 + 1, 30},
                                           FastCase{300001, 15}, FastCase{5000, 2},
                                           FastCase{5000, 7}, FastCase{5000, 1000},
                                           FastCase{5000, 70000}, FastCase{5000, 2000000000}));

TEST(DissolveFrame, CopiedGroupsOnlyGrowWithTheLevel) {
  const std::vector<uint8_t> source(3000, 0x77);
  std::vector<uint8_t> lower(3000), higher(3000);
  for (int32_t level = 1; level < 29; ++level) {
    DissolveFast(source.data(), lower.data(), 3000, level, 30);
    DissolveFast(source.data(), higher.data(), 3000, level + 1, 30);
    for (size_t i = 0; i < 3000; ++i) ASSERT_LE(lower[i], higher[i]);
  }
}

// FadeDraw through the drawing seam: each frame is blitted unscaled into a software window.
class FadeDraw : public ::testing::Test {
 protected:
  static constexpr int32_t kWidth = 21;  // 63 row bytes, stride 64: groups straddle pixels
  static constexpr int32_t kHeight = 6;
  static constexpr uint32_t kSeed = 9;

  void SetUp() override {
    ASSERT_TRUE(window_.ok());
    InstallPattern(image_, kWidth, kHeight, kSeed);
    ASSERT_EQ(image_.loaded(), 1);
  }
  // The window after blitting the image's current DIB section at (2, 3).
  void Show() {
    window_.InvalidateAll(true);
    image_.Blit(window_.GetDc(), area_, Rect{0, 0, kWidth, kHeight}, kSrcCopy);
    window_.ReleaseDc(nullptr);
  }
  int Mismatches(const std::vector<uint8_t>& frame) {
    return CountMismatches(window_, area_, frame, kWidth, kHeight);
  }

  SoftwareWindowPort window_{Size{30, 12}, Point{0, 0}};
  DibImage image_;
  Rect area_{2, 3, 2 + kWidth, 3 + kHeight};
};

// Every frame after the first is written into the same section, whole.
TEST_F(FadeDraw, RendersTheDissolveFrame) {
  BitmapHandle first = nullptr;
  for (int32_t level : {1, 7, 15, 22, 28, 0, 30, 4}) {
    ASSERT_EQ(image_.FadeDraw(window_.GetDc(), level, 30), 1);
    if (first == nullptr) first = image_.dibSection();
    EXPECT_EQ(image_.dibSection(), first) << level;
    Show();
    EXPECT_EQ(Mismatches(ReferenceFrame(kWidth, kHeight, kSeed, level, 30)), 0) << level;
  }
}

TEST_F(FadeDraw, LevelTwentyNineOfThirtyIsThePicture) {
  ASSERT_EQ(image_.FadeDraw(window_.GetDc(), 29, 30), 1);
  Show();
  EXPECT_EQ(Mismatches(PatternBytes(kWidth, kHeight, kSeed)), 0);
  ASSERT_EQ(image_.FadeDraw(window_.GetDc(), 14, 15), 1);
  Show();
  EXPECT_EQ(Mismatches(PatternBytes(kWidth, kHeight, kSeed)), 0);
}

TEST_F(FadeDraw, LevelZeroIsBlackEvenWithZeroSteps) {
  ASSERT_EQ(image_.FadeDraw(window_.GetDc(), 0, 0), 1);
  Show();
  EXPECT_EQ(Mismatches(std::vector<uint8_t>(64 * kHeight, 0)), 0);
}

TEST_F(FadeDraw, RefusedLevelsKeepThePreviousFrame) {
  ASSERT_EQ(image_.FadeDraw(window_.GetDc(), 5, 15), 1);
  const BitmapHandle section = image_.dibSection();
  ASSERT_NE(section, nullptr);
  EXPECT_EQ(image_.FadeDraw(window_.GetDc(), -1, 15), 0);
  EXPECT_EQ(image_.FadeDraw(window_.GetDc(), 16, 15), 0);
  EXPECT_EQ(image_.dibSection(), section);
  Show();
  EXPECT_EQ(Mismatches(ReferenceFrame(kWidth, kHeight, kSeed, 5, 15)), 0);
}

TEST_F(FadeDraw, EqualLevelsGiveEqualFrames) {
  ASSERT_EQ(image_.FadeDraw(window_.GetDc(), 11, 30), 1);
  ASSERT_EQ(image_.FadeDraw(window_.GetDc(), 3, 15), 1);
  ASSERT_EQ(image_.FadeDraw(window_.GetDc(), 11, 30), 1);
  Show();
  EXPECT_EQ(Mismatches(ReferenceFrame(kWidth, kHeight, kSeed, 11, 30)), 0);
}

TEST_F(FadeDraw, HeaderClaimingMoreBytesWritesOnlyTheSection) {
  {
    BlockLock header(image_.headerBlock());
    ASSERT_TRUE(header);
    BitmapInfoHeader info;
    std::memcpy(&info, header.data(), sizeof info);
    info.biSizeImage = 50000000;  // far beyond both blocks and the section
    std::memcpy(header.data(), &info, sizeof info);
  }
  for (int32_t level : {0, 9, 30}) {
    ASSERT_EQ(image_.FadeDraw(window_.GetDc(), level, 30), 1);
    Show();
    EXPECT_EQ(Mismatches(ReferenceFrame(kWidth, kHeight, kSeed, level, 30)), 0) << level;
  }
}

TEST(FadeDrawEmpty, NeverLoadedIsRefused) {
  SoftwareWindowPort window(Size{4, 4}, Point{});
  DibImage image;
  EXPECT_EQ(image.FadeDraw(window.GetDc(), 1, 30), 0);
  EXPECT_EQ(image.FadeDraw(window.GetDc(), 0, 30), 0);
  EXPECT_EQ(image.dibSection(), nullptr);
}

TEST(FadeDrawStraddle, RowsWithFillBytesSplitPixels) {
  // 353 pixels: 1059 row bytes, stride 1060. Bottom row: groups are pixels. Next row: a group
  // holds one pixel's red and the following pixel's blue and green.
  constexpr int32_t kWidth = 353;
  SoftwareWindowPort window(Size{kWidth, 2}, Point{});
  DibImage image;
  InstallPattern(image, kWidth, 2, 0);
  ASSERT_EQ(image.FadeDraw(window.GetDc(), 15, 30), 1);
  image.Blit(window.GetDc(), Rect{0, 0, kWidth, 2}, Rect{0, 0, kWidth, 2}, kSrcCopy);
  int splitBottom = 0, splitNext = 0;
  for (int32_t x = 0; x < kWidth; ++x) {
    const Bgr bottom = window.surface().Pixel(x, 1);
    const Bgr next = window.surface().Pixel(x, 0);
    const int zerosBottom = (bottom.blue == 0) + (bottom.green == 0) + (bottom.red == 0);
    const int zerosNext = (next.blue == 0) + (next.green == 0) + (next.red == 0);
    splitBottom += zerosBottom == 1 || zerosBottom == 2;
    splitNext += zerosNext == 1 || zerosNext == 2;
  }
  EXPECT_EQ(splitBottom, 0);
  EXPECT_GT(splitNext, 0);
}

}  // namespace
}  // namespace kavrosa
