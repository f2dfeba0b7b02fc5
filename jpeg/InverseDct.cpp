// Two-pass integer inverse DCT. The cosine table is built from its seven magnitudes so that
// every build has the same constants (no libm in the loop). The fast pass finds the nonzero
// rows and columns first: a zero input row adds nothing to a column sum, and a zero column of
// the first pass leaves a zero column for the second.
#include "jpeg/InverseDct.h"

#include <cstdlib>

namespace kavrosa {
namespace {

constexpr int64_t kScale = int64_t{1} << 20;

// 2^19 * cos(a pi / 16) truncated, for a = 0..7; a = 0 is replaced by the n = 0 value
// 2^19 / sqrt(2), which equals the a = 4 magnitude.
constexpr int32_t kMagnitude[8] = {370727, 514213, 484378, 435929, 370727, 291278, 200636, 102283};

constexpr int32_t CosineEntry(int x, int n) {
  if (n == 0) return kMagnitude[0];
  int a = ((2 * x + 1) * n) % 32;  // angle in units of pi / 16
  if (a > 16) a = 32 - a;          // cos(2 pi - t) = cos(t)
  return a > 8 ? -kMagnitude[16 - a] : kMagnitude[a];
}

struct CosineRows {
  int32_t m[8][8];
};

constexpr CosineRows MakeCosines() {
  CosineRows rows{};
  for (int x = 0; x < 8; ++x)
    for (int n = 0; n < 8; ++n) rows.m[x][n] = CosineEntry(x, n);
  return rows;
}

constexpr CosineRows kRows = MakeCosines();

// Truncating division of a 32-bit sum by 2^20, as the 64-bit division does.
inline int32_t Shift20(int32_t sum) {
  return (sum + ((sum >> 31) & 0xFFFFF)) >> 20;
}

// Largest magnitude that keeps any 8-term sum of table entries times it below 2^31: the
// largest row sum of |M| is 2770171.
constexpr int32_t kSafe32 = 775;

}  // namespace

const int32_t kCosine[8][8] = {
    {kRows.m[0][0], kRows.m[0][1], kRows.m[0][2], kRows.m[0][3], kRows.m[0][4], kRows.m[0][5],
     kRows.m[0][6], kRows.m[0][7]},
    {kRows.m[1][0], kRows.m[1][1], kRows.m[1][2], kRows.m[1][3], kRows.m[1][4], kRows.m[1][5],
     kRows.m[1][6], kRows.m[1][7]},
    {kRows.m[2][0], kRows.m[2][1], kRows.m[2][2], kRows.m[2][3], kRows.m[2][4], kRows.m[2][5],
     kRows.m[2][6], kRows.m[2][7]},
    {kRows.m[3][0], kRows.m[3][1], kRows.m[3][2], kRows.m[3][3], kRows.m[3][4], kRows.m[3][5],
     kRows.m[3][6], kRows.m[3][7]},
    {kRows.m[4][0], kRows.m[4][1], kRows.m[4][2], kRows.m[4][3], kRows.m[4][4], kRows.m[4][5],
     kRows.m[4][6], kRows.m[4][7]},
    {kRows.m[5][0], kRows.m[5][1], kRows.m[5][2], kRows.m[5][3], kRows.m[5][4], kRows.m[5][5],
     kRows.m[5][6], kRows.m[5][7]},
    {kRows.m[6][0], kRows.m[6][1], kRows.m[6][2], kRows.m[6][3], kRows.m[6][4], kRows.m[6][5],
     kRows.m[6][6], kRows.m[6][7]},
    {kRows.m[7][0], kRows.m[7][1], kRows.m[7][2], kRows.m[7][3], kRows.m[7][4], kRows.m[7][5],
     kRows.m[7][6], kRows.m[7][7]},
};

void InverseDctReference(const int32_t coefficients[64], int32_t samples[64]) {
  int32_t t[64];
  // Columns: T[y][j] = sum_n M[y][n] F[n][j] / 2^20.
  for (int y = 0; y < 8; ++y) {
    for (int j = 0; j < 8; ++j) {
      int64_t sum = 0;
      for (int n = 0; n < 8; ++n) sum += int64_t{kRows.m[y][n]} * coefficients[8 * n + j];
      t[8 * y + j] = static_cast<int32_t>(sum / kScale);
    }
  }
  // Rows: S[y][x] = sum_n M[x][n] T[y][n] / 2^20.
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      int64_t sum = 0;
      for (int n = 0; n < 8; ++n) sum += int64_t{kRows.m[x][n]} * t[8 * y + n];
      samples[8 * y + x] = static_cast<int32_t>(sum / kScale);
    }
  }
}

namespace {

// First pass over the nonzero input rows only, for the columns in `columnMask`.
template <typename Sum>
void ColumnPass(const int32_t f[64], uint32_t rowMask, uint32_t columnMask, int32_t t[64]) {
  for (int y = 0; y < 8; ++y) {
    for (int j = 0; j < 8; ++j) {
      if ((columnMask & (1u << j)) == 0) {
        t[8 * y + j] = 0;
        continue;
      }
      Sum sum = 0;
      for (int n = 0; n < 8; ++n)
        if (rowMask & (1u << n)) sum += Sum{kRows.m[y][n]} * f[8 * n + j];
      t[8 * y + j] = static_cast<int32_t>(sum / static_cast<Sum>(kScale));
    }
  }
}

// Second pass over the nonzero columns of the first pass only.
template <typename Sum>
void RowPass(const int32_t t[64], uint32_t columnMask, int32_t s[64]) {
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      Sum sum = 0;
      for (int n = 0; n < 8; ++n)
        if (columnMask & (1u << n)) sum += Sum{kRows.m[x][n]} * t[8 * y + n];
      s[8 * y + x] = static_cast<int32_t>(sum / static_cast<Sum>(kScale));
    }
  }
}

// The common case: 32-bit sums, vectorisable, with the shift form of truncating division.
void ColumnPass32(const int32_t f[64], uint32_t rowMask, int32_t t[64]) {
  for (int y = 0; y < 8; ++y) {
    int32_t sum[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    for (int n = 0; n < 8; ++n) {
      if ((rowMask & (1u << n)) == 0) continue;
      const int32_t m = kRows.m[y][n];
      for (int j = 0; j < 8; ++j) sum[j] += m * f[8 * n + j];
    }
    for (int j = 0; j < 8; ++j) t[8 * y + j] = Shift20(sum[j]);
  }
}

void RowPass32(const int32_t t[64], uint32_t columnMask, int32_t s[64]) {
  for (int y = 0; y < 8; ++y) {
    int32_t sum[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    for (int n = 0; n < 8; ++n) {
      if ((columnMask & (1u << n)) == 0) continue;
      const int32_t v = t[8 * y + n];
      for (int x = 0; x < 8; ++x) sum[x] += kRows.m[x][n] * v;
    }
    for (int x = 0; x < 8; ++x) s[8 * y + x] = Shift20(sum[x]);
  }
}

}  // namespace

void InverseDctFast(const int32_t coefficients[64], int32_t samples[64]) {
  uint32_t rowMask = 0;
  uint32_t columnMask = 0;
  int32_t largest = 0;
  for (int n = 0; n < 8; ++n) {
    for (int j = 0; j < 8; ++j) {
      const int32_t c = coefficients[8 * n + j];
      if (c == 0) continue;
      rowMask |= 1u << n;
      columnMask |= 1u << j;
      const int32_t magnitude = std::abs(c);
      if (magnitude > largest) largest = magnitude;
    }
  }
  if (rowMask == 1 && columnMask == 1) {
    // DC only: every column sum is M[y][0] F[0][0] with the same M, and so is every row sum.
    const int32_t t = static_cast<int32_t>(int64_t{kMagnitude[0]} * coefficients[0] / kScale);
    const int32_t s = static_cast<int32_t>(int64_t{kMagnitude[0]} * t / kScale);
    for (int i = 0; i < 64; ++i) samples[i] = s;
    return;
  }
  int32_t t[64];
  if (largest <= kSafe32) {
    ColumnPass32(coefficients, rowMask, t);
  } else {
    ColumnPass<int64_t>(coefficients, rowMask, columnMask, t);
  }
  int32_t largestT = 0;
  for (int i = 0; i < 64; ++i) {
    const int32_t magnitude = std::abs(t[i]);
    if (magnitude > largestT) largestT = magnitude;
  }
  if (largestT <= kSafe32) {
    RowPass32(t, columnMask, samples);
  } else {
    RowPass<int64_t>(t, columnMask, samples);
  }
}

}  // namespace kavrosa
