// Where a picture goes in the window, and picture 12's shortened period start.
#include <gtest/gtest.h>

#include "slideshow/SlideShow.h"

namespace kavrosa {
namespace {

struct LayoutCase {
  Size client;
  Size picture;
  bool fitImage;
  Rect expected;
};

class Layout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(Layout, PlacesThePicture) {
  const LayoutCase c = GetParam();
  const Rect r = LayoutPicture(c.client, c.picture, c.fitImage);
  EXPECT_EQ(r, c.expected) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Layout,
    ::testing::Values(
        // Own size, centred, when there is a margin in both directions.
        LayoutCase{{640, 480}, {471, 353}, false, {84, 63, 555, 416}},
        LayoutCase{{640, 480}, {480, 330}, false, {80, 75, 560, 405}},
        // Taller than the window: the height fills it.
        LayoutCase{{640, 480}, {353, 482}, false, {144, 0, 495, 480}},
        LayoutCase{{640, 480}, {354, 487}, false, {146, 0, 494, 480}},
        // Fitting on.
        LayoutCase{{640, 480}, {471, 353}, true, {0, 0, 640, 480}},
        LayoutCase{{640, 480}, {482, 353}, true, {0, 6, 640, 474}},
        LayoutCase{{640, 480}, {353, 482}, true, {144, 0, 495, 480}},
        // As wide as the window, or one pixel narrower: no margin, so the fit rule applies.
        LayoutCase{{640, 480}, {640, 300}, false, {0, 90, 640, 390}},
        LayoutCase{{640, 480}, {639, 300}, false, {0, 90, 640, 390}},
        LayoutCase{{640, 480}, {638, 300}, false, {1, 90, 639, 390}},
        // Enlarging a small picture when fitting.
        LayoutCase{{1024, 768}, {100, 50}, true, {0, 128, 1024, 640}},
        // Empty pictures and windows draw nothing and divide by nothing.
        LayoutCase{{640, 480}, {0, 0}, false, {0, 0, 0, 0}},
        LayoutCase{{640, 480}, {0, 353}, true, {0, 0, 0, 0}},
        LayoutCase{{640, 480}, {471, 0}, false, {0, 0, 0, 0}},
        LayoutCase{{0, 0}, {471, 353}, false, {0, 0, 0, 0}}));

TEST(ShortPeriod, ThreeQuartersOfThePeriodButAtLeast225) {
  EXPECT_EQ(ShortPeriodPhase(225), 225);
  EXPECT_EQ(ShortPeriodPhase(240), 225);
  EXPECT_EQ(ShortPeriodPhase(285), 225);
  EXPECT_EQ(ShortPeriodPhase(300), 225);
  EXPECT_EQ(ShortPeriodPhase(450), 337);
  EXPECT_EQ(ShortPeriodPhase(4500), 3375);
}

TEST(PictureTable, ResourceIdsOfTheTwelvePictures) {
  const uint32_t expected[] = {140, 142, 155, 144, 145, 146, 147, 148, 149, 150, 151, 152};
  for (int32_t n = 1; n <= 12; ++n) EXPECT_EQ(PictureResourceId(n), expected[n - 1]) << n;
  EXPECT_EQ(PictureResourceId(0), 0u);
  EXPECT_EQ(PictureResourceId(13), 0u);
  EXPECT_EQ(PictureResourceId(-1), 0u);
}

}  // namespace
}  // namespace kavrosa
