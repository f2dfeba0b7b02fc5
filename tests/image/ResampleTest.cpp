// The resampler against values worked out by hand: flat colours stay flat, a 2:1 reduction is
// the mean of each box, a checkerboard reduces to an even grey, an enlargement keeps its corner
// pixels. Buffers are sized exactly, so the sanitizer builds catch any read past a row.
#include "image/Resample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

namespace kavrosa {
namespace {

struct Picture {
  Picture(int32_t w, int32_t h, size_t pad = 0) : width(w), height(h), stride(size_t(w) * 3 + pad) {
    bytes.resize(stride * size_t(h));
  }
  uint8_t* At(int32_t x, int32_t y) { return &bytes[size_t(y) * stride + size_t(x) * 3]; }
  PixelRows24 View() const { return {bytes.data(), width, height, stride}; }
  MutablePixelRows24 Target() { return {bytes.data(), width, height, stride}; }
  int32_t width, height;
  size_t stride;
  std::vector<uint8_t> bytes;
};

Picture Flat(int32_t w, int32_t h, uint8_t b, uint8_t g, uint8_t r) {
  Picture p(w, h, 1);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* px = p.At(x, y);
      px[0] = b, px[1] = g, px[2] = r;
    }
  return p;
}

TEST(Resample, FlatColourStaysFlatAtEveryScale) {
  const Picture source = Flat(37, 23, 12, 200, 255);
  for (const auto& size : std::vector<std::pair<int, int>>{
           {1, 1}, {5, 3}, {18, 11}, {37, 23}, {38, 24}, {74, 46}, {111, 7}, {3, 100}}) {
    Picture target(size.first, size.second, 2);
    ASSERT_TRUE(Resample24(source.View(), target.Target()));
    for (int32_t y = 0; y < target.height; ++y)
      for (int32_t x = 0; x < target.width; ++x) {
        const uint8_t* px = target.At(x, y);
        ASSERT_EQ(px[0], 12);
        ASSERT_EQ(px[1], 200);
        ASSERT_EQ(px[2], 255) << size.first << "x" << size.second << " at " << x << "," << y;
      }
    // Fill bytes at the end of each row are not written.
    EXPECT_EQ(target.bytes[size_t(target.width) * 3], 0);
  }
}

TEST(Resample, HalvingGivesTheRoundedMeanOfEachBox) {
  Picture source(4, 2);
  const uint8_t values[2][4] = {{10, 20, 0, 255}, {30, 41, 255, 0}};
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 4; ++x)
      for (int c = 0; c < 3; ++c) source.At(x, y)[c] = static_cast<uint8_t>(values[y][x] + c);
  Picture target(2, 1);
  ASSERT_TRUE(Resample24(source.View(), target.Target()));
  EXPECT_EQ(target.At(0, 0)[0], 25);   // (10 + 20 + 30 + 41 + 2) / 4
  EXPECT_EQ(target.At(0, 0)[2], 27);   // (12 + 22 + 32 + 43 + 2) / 4
  EXPECT_EQ(target.At(1, 0)[0], 128);  // (0 + 255 + 255 + 0 + 2) / 4
}

TEST(Resample, ReducedCheckerboardIsEvenGrey) {
  Picture source(64, 48);
  for (int32_t y = 0; y < 48; ++y)
    for (int32_t x = 0; x < 64; ++x)
      for (int c = 0; c < 3; ++c) source.At(x, y)[c] = ((x + y) & 1) ? 255 : 0;
  Picture target(16, 12);
  ASSERT_TRUE(Resample24(source.View(), target.Target()));
  for (uint8_t v : target.bytes) ASSERT_EQ(v, 128);
  Picture odd(21, 13);  // not a whole number of source pixels per destination pixel
  ASSERT_TRUE(Resample24(source.View(), odd.Target()));
  for (int32_t y = 1; y + 1 < odd.height; ++y)
    for (int32_t x = 1; x + 1 < odd.width; ++x) ASSERT_NEAR(odd.At(x, y)[1], 128, 24);
}

TEST(Resample, EnlargementKeepsCornersAndInterpolatesBetween) {
  Picture source(2, 2);
  const uint8_t corner[4] = {0, 90, 180, 255};
  for (int i = 0; i < 4; ++i)
    for (int c = 0; c < 3; ++c) source.At(i % 2, i / 2)[c] = corner[i];
  Picture target(7, 5);
  ASSERT_TRUE(Resample24(source.View(), target.Target()));
  EXPECT_EQ(target.At(0, 0)[0], 0);
  EXPECT_EQ(target.At(6, 0)[0], 90);
  EXPECT_EQ(target.At(0, 4)[0], 180);
  EXPECT_EQ(target.At(6, 4)[0], 255);
  // Along the top row values rise monotonically from one corner to the other.
  for (int32_t x = 1; x < 7; ++x) EXPECT_GE(target.At(x, 0)[0], target.At(x - 1, 0)[0]);
  EXPECT_GT(target.At(3, 0)[0], 0);
  EXPECT_LT(target.At(3, 0)[0], 90);
}

TEST(Resample, EqualSizesCopyAndBadArgumentsAreRefused) {
  Picture source = Flat(9, 4, 1, 2, 3);
  source.At(4, 2)[1] = 77;
  Picture target(9, 4, 3);
  ASSERT_TRUE(Resample24(source.View(), target.Target()));
  EXPECT_EQ(target.At(4, 2)[1], 77);
  EXPECT_EQ(target.At(8, 3)[2], 3);

  Picture small(3, 3);
  EXPECT_FALSE(Resample24({nullptr, 9, 4, 27}, small.Target()));
  EXPECT_FALSE(Resample24({source.bytes.data(), 9, 4, 26}, small.Target()));  // stride < row
  EXPECT_FALSE(Resample24(source.View(), {small.bytes.data(), 0, 3, 9}));
  EXPECT_FALSE(Resample24(source.View(), {small.bytes.data(), 3, -1, 9}));
}

// Rows pushed one at a time from the top give Resample24's bytes for the bottom-up block.
TEST(RowStreamResampler, EqualsTheWholeBlockPassForEveryReduction) {
  uint32_t seed = 7;
  const auto next = [&seed] { return seed = seed * 1103515245u + 12345u, uint8_t(seed >> 16); };
  for (const auto& c : std::vector<std::array<int, 4>>{{37, 23, 37, 23},
                                                       {37, 23, 18, 11},
                                                       {37, 23, 36, 22},
                                                       {101, 77, 50, 38},
                                                       {64, 48, 1, 1},
                                                       {5, 200, 5, 3},
                                                       {200, 5, 3, 5},
                                                       {1621, 1081, 1620, 1080}}) {
    Picture source(c[0], c[1], 3);
    for (uint8_t& b : source.bytes) b = next();
    Picture whole(c[2], c[3], 1), streamed(c[2], c[3], 1);
    ASSERT_TRUE(Resample24(source.View(), whole.Target()));
    auto resampler = RowStreamResampler::Make(c[0], c[1], c[2], c[3]);
    ASSERT_NE(resampler, nullptr);
    for (int32_t y = c[1] - 1; y >= 0; --y) resampler->Push(source.At(0, y), streamed.Target());
    EXPECT_EQ(streamed.bytes, whole.bytes) << c[0] << "x" << c[1] << " to " << c[2] << "x" << c[3];
  }
  EXPECT_EQ(RowStreamResampler::Make(10, 10, 11, 10), nullptr);  // reductions only
  EXPECT_EQ(RowStreamResampler::Make(10, 10, 0, 10), nullptr);
}

// The fixed tap layouts (reductions by up to 2 and by more, halving, enlargement, a copied axis)
// and the SIMD loops (baseline and fastest), with the row ends where the wide loads stop, give the
// plain loops' bytes, and so does the stream. Sources end at their last row's last byte.
TEST(Resample, EveryTapLayoutGivesThePlainBytes) {
  uint32_t seed = 11;
  const auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
  std::vector<std::array<int, 4>> sizes{{2000, 6, 1440, 4}, {2000, 7, 1000, 3}, {640, 5, 1474, 9},
                                        {1, 3, 7, 2},       {2, 2, 1, 1},       {3, 9, 2, 4},
                                        {2, 4, 3, 2},       {9, 9, 9, 4},       {12, 3, 12, 6}};
  for (int n = 0; n < 300; ++n) {
    const int w = 1 + int(next() % 90), h = 1 + int(next() % 12);
    int tw = 1 + int(next() % (3 * w)), th = 1 + int(next() % (3 * h));
    if (n % 3 == 0) tw = std::max(1, w * 2 / 3 + int(next() % (w / 3 + 1)));  // up to 2:1
    if (n % 5 == 0 && w % 2 == 0) tw = w / 2;
    sizes.push_back({w, h, tw, th});
  }
  for (const auto& c : sizes) {
    Picture source(c[0], c[1], size_t(c[0] % 3));
    source.bytes.resize(source.stride * size_t(c[1] - 1) + size_t(c[0]) * 3);
    for (uint8_t& b : source.bytes) b = uint8_t(next());
    if (next() % 4 == 0) std::fill(source.bytes.begin(), source.bytes.end(), 255);
    Picture plain(c[2], c[3], 1);
    ASSERT_TRUE(Resample24Using(ResampleLoops::kPlain, source.View(), plain.Target()));
    for (const ResampleLoops loops : {ResampleLoops::kBaseline, ResampleLoops::kFastest}) {
      Picture fast(c[2], c[3], 1);
      ASSERT_TRUE(Resample24Using(loops, source.View(), fast.Target()));
      ASSERT_EQ(fast.bytes, plain.bytes) << c[0] << "x" << c[1] << " to " << c[2] << "x" << c[3];
    }
    auto resampler = RowStreamResampler::Make(c[0], c[1], c[2], c[3]);
    if (resampler == nullptr) continue;
    Picture streamed(c[2], c[3], 1);
    for (int32_t y = c[1] - 1; y >= 0; --y) resampler->Push(source.At(0, y), streamed.Target());
    ASSERT_EQ(streamed.bytes, plain.bytes) << c[0] << "x" << c[1] << " to " << c[2] << "x" << c[3];
  }
}

}  // namespace
}  // namespace kavrosa
