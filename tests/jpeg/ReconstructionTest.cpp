// Scan reconstruction to the exact byte: the cosine table, the two truncating passes, the
// level shift, the colour conversion's order of operations, chroma replication and the
// placement of pixels in bottom-up rows with their fill bytes.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>

#include "jpeg/ColourConversion.h"
#include "jpeg/InverseDct.h"
#include "tests/jpeg/JpegStreams.h"

namespace kavrosa::test {
namespace {

TEST(CosineTable, RowZeroAndMagnitudes) {
  const int32_t row0[8] = {370727, 514213, 484378, 435929, 370727, 291278, 200636, 102283};
  for (int n = 0; n < 8; ++n) EXPECT_EQ(kCosine[0][n], row0[n]) << n;
  const std::vector<int32_t> magnitudes = {370727, 514213, 484378, 435929, 291278, 200636, 102283};
  for (int x = 0; x < 8; ++x) {
    for (int n = 0; n < 8; ++n) {
      const int32_t m = std::abs(kCosine[x][n]);
      EXPECT_NE(std::find(magnitudes.begin(), magnitudes.end(), m), magnitudes.end());
    }
  }
}

TEST(CosineTable, MatchesTheDefiningFormula) {
  const double pi = 3.14159265358979323846;
  for (int x = 0; x < 8; ++x) {
    for (int n = 0; n < 8; ++n) {
      const double k = n == 0 ? 1.0 / std::sqrt(2.0) : 1.0;
      const double value = 1048576.0 * k / 2.0 * std::cos((2 * x + 1) * n * pi / 16.0);
      EXPECT_EQ(kCosine[x][n], static_cast<int32_t>(value)) << x << "," << n;  // truncation
    }
  }
  EXPECT_EQ(kCosine[0][4], 370727);
  EXPECT_EQ(kCosine[1][4], -370727);  // not -370728
}

void ExpectConstantBlock(const int32_t samples[64], int32_t value) {
  for (int i = 0; i < 64; ++i) ASSERT_EQ(samples[i], value) << i;
}

TEST(InverseDct, DcOnlyBlocks) {
  struct Case {
    int32_t dc;
    int32_t sample;
  };
  for (const Case c :
       {Case{80, 9}, Case{-80, -9}, Case{1016, 126}, Case{0, 0}, Case{-1024, -127}}) {
    int32_t f[64] = {};
    f[0] = c.dc;
    int32_t reference[64];
    int32_t fast[64];
    InverseDctReference(f, reference);
    InverseDctFast(f, fast);
    ExpectConstantBlock(reference, c.sample);
    ExpectConstantBlock(fast, c.sample);
  }
}

TEST(InverseDct, TruncatesTowardZeroAfterEachPass) {
  // One AC coefficient: each output is computed from truncated intermediates.
  int32_t f[64] = {};
  f[1] = -100;
  int32_t s[64];
  InverseDctReference(f, s);
  // Column 0 of the first pass: M[y][0] * F[0][j] only for j = 1; the row pass then gives
  // S[y][x] = M[x][1] * T / 2^20 with T = 370727 * -100 / 2^20 = -35 (not -36).
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(s[8 * y + x], static_cast<int32_t>(int64_t{kCosine[x][1]} * -35 / 1048576));
}

TEST(InverseDct, FastMatchesReferenceOnRandomBlocks) {
  std::mt19937 random(1234);
  for (int trial = 0; trial < 20000; ++trial) {
    int32_t f[64] = {};
    const int shape = trial % 4;
    const int32_t limit = shape == 3 ? 65535 * 255 : (shape == 2 ? 1023 * 255 : 2000);
    std::uniform_int_distribution<int32_t> value(-limit, limit);
    std::uniform_int_distribution<int> index(0, 63);
    const int count = 1 + trial % 12;
    for (int i = 0; i < count; ++i)
      f[shape == 0 ? index(random) % 20 : index(random)] = value(random);
    if (shape == 3) {
      for (int i = 1; i < 64; ++i) f[i] = f[i] % (1023 * 255);
    }
    int32_t reference[64];
    int32_t fast[64];
    int32_t portable[64];
    InverseDctReference(f, reference);
    InverseDctFast(f, fast);
    InverseDctPortable(f, SummariseBlock(f), portable);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(fast[i], reference[i]) << "trial " << trial;
    for (int i = 0; i < 64; ++i) ASSERT_EQ(portable[i], reference[i]) << "trial " << trial;
  }
}

TEST(InverseDct, ColumnZeroBlocksMatchTheReference) {
  // Nonzero coefficients in column 0 only, small and as large as dequantisation allows.
  std::mt19937 random(4321);
  for (int trial = 0; trial < 4000; ++trial) {
    const int32_t limit = trial % 2 == 0 ? 300 : 1023 * 255;
    std::uniform_int_distribution<int32_t> value(-limit, limit);
    int32_t f[64] = {};
    for (int n = 0; n < 8; ++n) f[8 * n] = trial % 3 == 0 && n > 2 ? 0 : value(random);
    int32_t reference[64];
    int32_t fast[64];
    InverseDctReference(f, reference);
    InverseDctFast(f, fast);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(fast[i], reference[i]) << "trial " << trial;
  }
}

TEST(InverseDct, FastMatchesReferenceAtTheThirtyTwoBitBound) {
  // Blocks whose absolute sum is exactly the bound, signed to follow a cosine row so that the
  // partial sums grow as large as they can, and single coefficients at the bound.
  for (int i = 0; i < 64; ++i) {
    for (int sign : {1, -1}) {
      int32_t f[64] = {};
      f[i] = sign * kSafeAbsoluteSum;
      int32_t reference[64];
      int32_t fast[64];
      InverseDctReference(f, reference);
      InverseDctFast(f, fast);
      for (int k = 0; k < 64; ++k) ASSERT_EQ(fast[k], reference[k]) << i;
    }
  }
  for (int x = 0; x < 8; ++x) {
    int32_t f[64] = {};
    int32_t left = kSafeAbsoluteSum;
    for (int n = 0; n < 8 && left > 0; ++n) {
      const int32_t share = n == 7 ? left : kSafeAbsoluteSum / 8;
      f[8 * n + x] = kCosine[x][n] < 0 ? -share : share;
      left -= share;
    }
    ASSERT_EQ(SummariseBlock(f).absoluteSum, kSafeAbsoluteSum);
    int32_t reference[64];
    int32_t fast[64];
    InverseDctReference(f, reference);
    InverseDctFast(f, fast);
    for (int k = 0; k < 64; ++k) ASSERT_EQ(fast[k], reference[k]) << x;
  }
}

TEST(ColourConversion, WorkedCases) {
  struct Case {
    double y, cb, cr;
    int b, g, r;
  };
  const Case cases[] = {
      {100, 20, -30, 135, 114, 57},  // 135.472, 114.535, 57.94
      {128, 0, 0, 128, 128, 128},   {254, 0, 0, 254, 254, 254},
      {255, 0, 127, 254, 164, 255},  // R = 433.054 clamps; B = 254.8476
      {10, 0, -20, 10, 24, 0},       // R = -18.04 truncates to -18, then clamps
      {0, -128, 0, 0, 44, 0},       {137, 0, 0, 137, 137, 137},
  };
  for (const Case& c : cases) {
    const Bgr p = ConvertPixel(c.y, c.cb, c.cr);
    EXPECT_EQ(p.b, c.b) << c.y << " " << c.cb << " " << c.cr;
    EXPECT_EQ(p.g, c.g) << c.y << " " << c.cb << " " << c.cr;
    EXPECT_EQ(p.r, c.r) << c.y << " " << c.cb << " " << c.cr;
  }
}

TEST(ColourConversion, TruncationIsTowardZeroBeforeClamping) {
  EXPECT_EQ(TruncateToByte(-0.9), 0);
  EXPECT_EQ(TruncateToByte(255.99), 255);
  EXPECT_EQ(TruncateToByte(1e12), 255);
  EXPECT_EQ(TruncateToByte(-1e12), 0);
  EXPECT_EQ(TruncateToByte(57.94), 57);
}

TEST(ColourConversion, RowConversionMatchesThePixelConversion) {
  std::mt19937 random(99);
  std::uniform_int_distribution<int32_t> small(-400, 700);
  std::uniform_int_distribution<int32_t> large(-200000000, 200000000);
  for (int trial = 0; trial < 4000; ++trial) {
    alignas(16) int32_t y[16], cb[16], cr[16];
    for (int i = 0; i < 16; ++i) {
      y[i] = trial % 10 == 0 ? large(random) : small(random);
      cb[i] = trial % 10 == 1 ? large(random) : small(random);
      cr[i] = small(random);
    }
    const int count = 1 + trial % 16;
    uint8_t out[48] = {};
    const int32_t offset = trial % 2 == 0 ? 128 : 0;
    ConvertRow(y, cb, cr, count, offset, out);
    for (int i = 0; i < count; ++i) {
      const Bgr p = ConvertPixel(y[i] + offset, cb[i], cr[i]);
      ASSERT_EQ(out[3 * i + 0], p.b) << trial;
      ASSERT_EQ(out[3 * i + 1], p.g) << trial;
      ASSERT_EQ(out[3 * i + 2], p.r) << trial;
    }
  }
}

TEST(ColourConversion, SmallBlocksConvertWithoutClampingToTheSameBytes) {
  // Samples anywhere within the small bound, the extremes included: the block conversion
  // that leaves out the clamping of the doubles gives the per-pixel bytes.
  std::mt19937 random(7);
  std::uniform_int_distribution<int32_t> any(-kSmallSample, kSmallSample);
  std::uniform_int_distribution<int32_t> edge(0, 5);
  const auto pick = [&](int32_t limit) {
    const int e = edge(random);
    return e == 0 ? -limit : (e == 1 ? limit : any(random) % (limit + 1));
  };
  for (int trial = 0; trial < 2000; ++trial) {
    alignas(16) int32_t y[64], cb[64], cr[64];
    for (int i = 0; i < 64; ++i) {
      y[i] = pick(kSmallSample - 128);
      cb[i] = pick(kSmallSample);
      cr[i] = pick(kSmallSample);
    }
    const int count = 1 + trial % 8;
    const int rows = 1 + (trial / 8) % 8;
    uint8_t out[8 * 24] = {};
    ConvertBlock(y, cb, cr, count, rows, 128, out, 24, true);
    for (int r = 0; r < rows; ++r) {
      for (int i = 0; i < count; ++i) {
        const int k = 8 * r + i;
        const Bgr p = ConvertPixel(y[k] + 128, cb[k], cr[k]);
        ASSERT_EQ(out[24 * r + 3 * i + 0], p.b) << trial;
        ASSERT_EQ(out[24 * r + 3 * i + 1], p.g) << trial;
        ASSERT_EQ(out[24 * r + 3 * i + 2], p.r) << trial;
      }
    }
  }
}

TEST(ColourConversion, BlockConversionMatchesThePixelConversionAndStaysInItsRows) {
  // Any samples, far outside 8 bits too, through the clamping block conversion; the bytes
  // after each row's `count` pixels are left alone.
  std::mt19937 random(17);
  std::uniform_int_distribution<int32_t> small(-400, 700);
  std::uniform_int_distribution<int32_t> large(-200000000, 200000000);
  for (int trial = 0; trial < 2000; ++trial) {
    alignas(16) int32_t y[64], cb[64], cr[64];
    for (int i = 0; i < 64; ++i) {
      y[i] = trial % 5 == 0 ? large(random) : small(random);
      cb[i] = trial % 5 == 1 ? large(random) : small(random);
      cr[i] = trial % 5 == 2 ? large(random) : small(random);
    }
    const int count = 1 + trial % 8;
    const int rows = 1 + (trial / 8) % 8;
    uint8_t out[8 * 32];
    std::memset(out, 0xA5, sizeof(out));
    ConvertBlock(y, cb, cr, count, rows, 128, out, 32, false);
    for (int r = 0; r < rows; ++r) {
      for (int i = 0; i < count; ++i) {
        const int k = 8 * r + i;
        const Bgr p = ConvertPixel(static_cast<double>(y[k]) + 128, cb[k], cr[k]);
        ASSERT_EQ(out[32 * r + 3 * i + 0], p.b) << trial;
        ASSERT_EQ(out[32 * r + 3 * i + 1], p.g) << trial;
        ASSERT_EQ(out[32 * r + 3 * i + 2], p.r) << trial;
      }
      for (int b = 3 * count; b < 32; ++b) ASSERT_EQ(out[32 * r + b], 0xA5) << trial;
    }
  }
}

// Whole pictures.
Decoded DecodeBoth(const Bytes& stream) {
  Decoded reference = Decode(stream, JpegPath::kReference);
  Decoded fast = Decode(stream, JpegPath::kFast);
  EXPECT_EQ(reference.error, JpegError::kNone);
  EXPECT_EQ(fast.error, JpegError::kNone);
  EXPECT_EQ(reference.Pixels(), fast.Pixels());
  return fast;
}

// MCUs of the given luminance DC differences and zero chroma, 1x1 sampling.
Bytes LumaDcStream(int width, int height, const std::vector<int>& diffs) {
  BitWriter bits;
  for (int d : diffs) {
    bits.Block(d);
    bits.Block(0);
    bits.Block(0);
  }
  return TestStream(width, height, bits.Finish());
}

TEST(Picture, AllZeroBlocksGiveGrey128) {
  Decoded d = DecodeBoth(LumaDcStream(8, 8, {0}));
  for (uint8_t b : d.Pixels()) ASSERT_EQ(b, 128);
}

TEST(Picture, DcOf80Gives137AndWhiteGives254) {
  for (auto [dc, byte] : {std::pair<int, int>{80, 137}, {-80, 119}, {1016, 254}}) {
    Decoded d = DecodeBoth(LumaDcStream(8, 8, {dc}));
    for (uint8_t b : d.Pixels()) ASSERT_EQ(b, byte) << dc;
  }
}

TEST(Picture, Width471WritesSevenColumnsInTheLastMcuAndKeepsFillBytes) {
  std::vector<int> diffs(59, 0);
  diffs[0] = 80;  // every MCU then has DC 80
  Decoded d = DecodeBoth(LumaDcStream(471, 1, diffs));
  ASSERT_EQ(d.state.rowStride, 1416);
  const Bytes pixels = d.Pixels();
  ASSERT_EQ(pixels.size(), 1416u);
  for (size_t i = 0; i < 1413; ++i) ASSERT_EQ(pixels[i], 137) << i;
  for (size_t i = 1413; i < 1416; ++i) EXPECT_EQ(pixels[i], 0) << i;
}

TEST(Picture, Height353WritesOneRowInTheLastMcuRow) {
  std::vector<int> diffs(45, 0);
  diffs[44] = 80;  // only the last MCU row is brighter
  Decoded d = DecodeBoth(LumaDcStream(8, 353, diffs));
  EXPECT_EQ(d.state.mcuRows, 45);
  const Bytes pixels = d.Pixels();
  ASSERT_EQ(pixels.size(), 24u * 353u);
  // Bottom-up: the picture's last row (352, from MCU row 44) is the block's first row.
  for (size_t i = 0; i < 24; ++i) EXPECT_EQ(pixels[i], 137);
  for (size_t i = 24; i < 48; ++i) EXPECT_EQ(pixels[i], 128);
}

TEST(Picture, FirstDecodedRowIsTheLastRowOfTheBlock) {
  Decoded d = DecodeBoth(LumaDcStream(8, 16, {80, -80}));  // top MCU 137, bottom MCU 128
  const Bytes pixels = d.Pixels();
  const size_t stride = 24;
  for (size_t i = 0; i < stride; ++i) {
    EXPECT_EQ(pixels[pixels.size() - stride + i], 137);
    EXPECT_EQ(pixels[i], 128);
  }
}

TEST(Picture, ChromaOnlyShiftsColourNotLuminanceLevel) {
  BitWriter bits;
  bits.Block(0);
  bits.Block(160);  // Cb samples 19: no level shift
  bits.Block(0);
  Decoded d = DecodeBoth(TestStream(8, 8, bits.Finish()));
  const Bgr expected = ConvertPixel(128, 19, 0);
  const Bytes pixels = d.Pixels();
  EXPECT_EQ(pixels[0], expected.b);
  EXPECT_EQ(pixels[1], expected.g);
  EXPECT_EQ(pixels[2], expected.r);
}

// Chroma with a horizontal and vertical pattern: pixel (x, y) of a subsampled MCU takes
// chroma sample (y / vRatio, x / hRatio).
void ExpectReplication(int lumaH, int lumaV) {
  BitWriter bits;
  for (int i = 0; i < lumaH * lumaV; ++i) bits.Block(i == 0 ? 40 : 0, {{0, 30}, {0, -25}});
  bits.Block(0, {{0, 90}, {0, 70}, {2, -33}});  // Cb
  bits.Block(0, {{1, -50}});                    // Cr
  const int width = 8 * lumaH;
  const int height = 8 * lumaV;
  Decoded d = DecodeBoth(TestStream(width, height, bits.Finish(), lumaH, lumaV));
  // Expected from the transform and conversion functions.
  auto block = [](std::initializer_list<std::pair<int, int>> coefficients) {
    int32_t f[64] = {};
    for (auto [index, value] : coefficients) f[index] = value;
    std::vector<int32_t> s(64);
    InverseDctReference(f, s.data());
    return s;
  };
  const std::vector<int32_t> y = block({{0, 40}, {1, 30}, {8, -25}});
  const std::vector<int32_t> cb = block({{0, 0}, {1, 90}, {8, 70}, {2, -33}});
  const std::vector<int32_t> cr = block({{8, -50}});
  const Bytes pixels = d.Pixels();
  const int stride = d.state.rowStride;
  for (int py = 0; py < height; ++py) {
    for (int px = 0; px < width; ++px) {
      // Every luminance block has the same coefficients (DC 40 repeated by prediction).
      const double luma = y[8 * (py % 8) + px % 8] + 128;
      const double cbValue = cb[8 * (py / lumaV) + px / lumaH];
      const double crValue = cr[8 * (py / lumaV) + px / lumaH];
      const Bgr e = ConvertPixel(luma, cbValue, crValue);
      const size_t at = static_cast<size_t>(stride) * (height - 1 - py) + 3 * px;
      ASSERT_EQ(pixels[at], e.b) << px << "," << py;
      ASSERT_EQ(pixels[at + 1], e.g) << px << "," << py;
      ASSERT_EQ(pixels[at + 2], e.r) << px << "," << py;
    }
  }
}

TEST(Picture, ChromaIsReplicatedAcrossFor2x1) {
  ExpectReplication(2, 1);
}
TEST(Picture, ChromaIsReplicatedAcrossAndDownFor2x2) {
  ExpectReplication(2, 2);
}
TEST(Picture, ChromaHasItsOwnSampleFor1x1) {
  ExpectReplication(1, 1);
}

}  // namespace
}  // namespace kavrosa::test
