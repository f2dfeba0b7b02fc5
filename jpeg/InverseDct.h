// The fixed-point inverse DCT: a direct product with an 8x8 integer cosine table in two
// passes, each sum divided by 2^20 with truncation toward zero. The fast version skips zero
// rows and columns and uses 32-bit sums only where they provably cannot overflow.
#pragma once

#include <climits>
#include <cstdint>
#include <cstdlib>

namespace kavrosa {

// M[x][n] = 2^20 * k(n)/2 * cos((2x + 1) n pi / 16), truncated toward zero.
extern const int32_t kCosine[8][8];

// The direct product with 64-bit sums, which equal the 32-bit sums whenever those stay in
// range and stay exact for any coefficients the entropy decoder lets through.
void InverseDctReference(const int32_t coefficients[64], int32_t samples[64]);

// The transform of a block decoded at 1/hScale across and 1/vScale down (each 1, 2, 4 or 8):
// the n = 8 / scale lowest frequencies of each axis give n samples on it (rows of 8 / hScale
// samples), each the 8-point sum taken at the centre of the pixels it stands for, which is the
// n-point inverse DCT. Same table magnitudes, sums and truncation as the full transform, so
// a block with only its first coefficient gives the full transform's flat value, and at
// scale 1 on both axes the full transform's samples.
void InverseDctReduced(const int32_t coefficients[64], int32_t hScale, int32_t vScale,
                       int32_t samples[64]);

// What the fast transform needs to know about a block, gathered while it is decoded.
struct BlockSummary {
  uint32_t columnMask = 0;   // bit j: column j has a nonzero coefficient
  int32_t absoluteSum = 0;   // sum of |coefficient|, saturated
  bool dcOnly = true;        // no nonzero coefficient but the first
  bool lowFrequency = true;  // nonzero coefficients only in rows 0-3 and columns 0-3
};

// With S the sum of |coefficient|, every partial sum of the first pass is at most
// 514213 * S and every one of the second at most 514213 * (514213 / 2^20) * S, so 32-bit sums
// are safe up to this S. Larger blocks go through 64-bit sums.
constexpr int32_t kSafeAbsoluteSum = 4176;

inline BlockSummary SummariseBlock(const int32_t coefficients[64]) {
  // Written without branches on the coefficients, so that it is one straight pass.
  int64_t absoluteSum = 0;
  int32_t columns[8] = {};
  int32_t highRows = 0;
  int32_t columnZeroAc = 0;
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const int32_t c = coefficients[8 * y + x];
      absoluteSum += std::llabs(c);
      columns[x] |= c;
      if (y >= 4) highRows |= c;
    }
    if (y != 0) columnZeroAc |= coefficients[8 * y];
  }
  BlockSummary summary;
  for (int x = 0; x < 8; ++x) summary.columnMask |= columns[x] != 0 ? 1u << x : 0u;
  summary.absoluteSum = absoluteSum > INT32_MAX ? INT32_MAX : static_cast<int32_t>(absoluteSum);
  summary.dcOnly = (summary.columnMask & ~1u) == 0 && columnZeroAc == 0;
  summary.lowFrequency = (highRows | columns[4] | columns[5] | columns[6] | columns[7]) == 0;
  return summary;
}

// Same results as InverseDctReference for every input.
void InverseDctFast(const int32_t coefficients[64], int32_t samples[64]);
void InverseDctFast(const int32_t coefficients[64], const BlockSummary& summary,
                    int32_t samples[64]);
// The same samples as InverseDctReduced, with 32-bit sums where the summary allows, written
// in rows `step` samples apart (8 / hScale for InverseDctReduced's layout).
void InverseDctReducedFast(const int32_t coefficients[64], const BlockSummary& summary,
                           int32_t hScale, int32_t vScale, int32_t* samples, int32_t step);
// The scalar 32-bit grouping that processors without SSE2 use, callable everywhere so that
// it is tested everywhere.
void InverseDctPortable(const int32_t coefficients[64], const BlockSummary& summary,
                        int32_t samples[64]);

}  // namespace kavrosa
