#include <gtest/gtest.h>

#include "platform/PixelGeometry.h"

namespace kavrosa {
namespace {

TEST(PixelGeometry, StrideRoundsRowBitsUpToFourBytes) {
  EXPECT_EQ(RowBytesFor(101, 24), 303);
  EXPECT_EQ(StrideFor(101, 24), 304);
  EXPECT_EQ(RowBytesFor(33, 1), 5);
  EXPECT_EQ(StrideFor(33, 1), 8);
  EXPECT_EQ(RowBytesFor(9, 4), 5);
  EXPECT_EQ(StrideFor(9, 4), 8);
  EXPECT_EQ(StrideFor(471, 24), 1416);
}

TEST(PixelGeometry, CheckedImageBytesRefusesAbsurdSizes) {
  EXPECT_EQ(CheckedImageBytes(101, -50, 24), 15200u);
  EXPECT_FALSE(CheckedImageBytes(0, 10, 24));
  EXPECT_FALSE(CheckedImageBytes(-5, 10, 24));
  EXPECT_FALSE(CheckedImageBytes(10, 0, 24));
  EXPECT_FALSE(CheckedImageBytes(10, 10, 0));
  EXPECT_FALSE(CheckedImageBytes(10, 10, 33));
  EXPECT_FALSE(CheckedImageBytes(kMaxImageDimension + 1, 1, 8));
  EXPECT_FALSE(CheckedImageBytes(30000, 30000, 32));  // 3.6 GB
  EXPECT_FALSE(CheckedImageBytes(INT32_MAX, INT32_MIN, 32));
}

}  // namespace
}  // namespace kavrosa
