// Two-pass integer inverse DCT. The cosine table is built from its seven magnitudes so that
// every build has the same constants (no libm). The fast versions regroup the exact integer
// sums by the table's symmetries (22 products per 8 outputs instead of 64), in 32 bits only
// where a bound on the block proves that no partial sum can overflow, and vectorised.
#include "jpeg/InverseDct.h"

#include <cstdlib>

#include "platform/CpuFeatures.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(KAVROSA_X86_SIMD)
// x86 builds also carry an AVX2 version (eight 32-bit lanes of the same sums), chosen at run
// time.
#define KAVROSA_AVX2_TRANSFORM 1
#include <immintrin.h>
#endif

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

// Row x of the table at `scale`: the full table's entries at the angle of the centre of the
// pixels scale x .. scale x + scale - 1, i.e. (2x + 1) n scale in units of pi / 16.
constexpr int32_t ReducedEntry(int scale, int x, int n) {
  if (n == 0) return kMagnitude[0];
  int a = ((2 * x + 1) * n * scale) % 32;
  if (a > 16) a = 32 - a;
  return a > 8 ? -kMagnitude[16 - a] : kMagnitude[a];
}

constexpr CosineRows MakeReduced(int scale) {
  CosineRows rows{};
  for (int x = 0; x < 8 / scale; ++x)
    for (int n = 0; n < 8 / scale; ++n) rows.m[x][n] = ReducedEntry(scale, x, n);
  return rows;
}

constexpr CosineRows kReducedRows[4] = {MakeReduced(1), MakeReduced(2), MakeReduced(4),
                                        MakeReduced(8)};

const CosineRows& RowsFor(int32_t scale) {
  return kReducedRows[scale >= 8 ? 3 : scale >= 4 ? 2 : scale >= 2 ? 1 : 0];
}

}  // namespace

void InverseDctReduced(const int32_t coefficients[64], int32_t hScale, int32_t vScale,
                       int32_t samples[64]) {
  const CosineRows& across = RowsFor(hScale);
  const CosineRows& down = RowsFor(vScale);
  const int nh = 8 / hScale;
  const int nv = 8 / vScale;
  int32_t t[64];
  // Columns: T[y][j] = sum_n D[y][n] F[n][j] / 2^20, for the nh lowest columns.
  for (int y = 0; y < nv; ++y) {
    for (int j = 0; j < nh; ++j) {
      int64_t sum = 0;
      for (int n = 0; n < nv; ++n) sum += int64_t{down.m[y][n]} * coefficients[8 * n + j];
      t[nh * y + j] = static_cast<int32_t>(sum / kScale);
    }
  }
  // Rows: S[y][x] = sum_n A[x][n] T[y][n] / 2^20.
  for (int y = 0; y < nv; ++y) {
    for (int x = 0; x < nh; ++x) {
      int64_t sum = 0;
      for (int n = 0; n < nh; ++n) sum += int64_t{across.m[x][n]} * t[nh * y + n];
      samples[nh * y + x] = static_cast<int32_t>(sum / kScale);
    }
  }
}

namespace {

// The reduced transform with 32-bit sums: with S the block's sum of |coefficient|, the bounds
// of kSafeAbsoluteSum hold for the reduced table's entries and fewer terms too. Output rows
// are `step` samples apart.
template <int Across, int Down>
void ReducedSmall(const int32_t coefficients[64], const CosineRows& across, const CosineRows& down,
                  int32_t* samples, int32_t step) {
  constexpr int nh = 8 / Across;
  constexpr int nv = 8 / Down;
  int32_t t[nh * nv];
  for (int y = 0; y < nv; ++y) {
    for (int j = 0; j < nh; ++j) {
      int32_t sum = 0;
      for (int n = 0; n < nv; ++n) sum += down.m[y][n] * coefficients[8 * n + j];
      t[nh * y + j] = Shift20(sum);
    }
  }
  for (int y = 0; y < nv; ++y) {
    for (int x = 0; x < nh; ++x) {
      int32_t sum = 0;
      for (int n = 0; n < nh; ++n) sum += across.m[x][n] * t[nh * y + n];
      samples[step * y + x] = Shift20(sum);
    }
  }
}

}  // namespace

namespace {

// sum_n M[x][n] v[n] for x = 0..7, exactly, grouped by the table's symmetries: row 7 - x is
// row x with the odd columns negated, and among rows 0..3 the even columns repeat the same
// way. Integer sums do not depend on grouping, so the results equal the direct product as
// long as no partial sum leaves 32 bits (see kSafeAbsoluteSum).
inline void Transform8(int32_t v0, int32_t v1, int32_t v2, int32_t v3, int32_t v4, int32_t v5,
                       int32_t v6, int32_t v7, int32_t out[8]) {
  constexpr auto& m = kRows.m;
  const int32_t ee0 = m[0][0] * (v0 + v4);
  const int32_t ee1 = m[0][0] * (v0 - v4);
  const int32_t eo0 = m[0][2] * v2 + m[0][6] * v6;
  const int32_t eo1 = m[1][2] * v2 + m[1][6] * v6;
  const int32_t e0 = ee0 + eo0;
  const int32_t e3 = ee0 - eo0;
  const int32_t e1 = ee1 + eo1;
  const int32_t e2 = ee1 - eo1;
  const int32_t o0 = m[0][1] * v1 + m[0][3] * v3 + m[0][5] * v5 + m[0][7] * v7;
  const int32_t o1 = m[1][1] * v1 + m[1][3] * v3 + m[1][5] * v5 + m[1][7] * v7;
  const int32_t o2 = m[2][1] * v1 + m[2][3] * v3 + m[2][5] * v5 + m[2][7] * v7;
  const int32_t o3 = m[3][1] * v1 + m[3][3] * v3 + m[3][5] * v5 + m[3][7] * v7;
  out[0] = e0 + o0;
  out[7] = e0 - o0;
  out[1] = e1 + o1;
  out[6] = e1 - o1;
  out[2] = e2 + o2;
  out[5] = e2 - o2;
  out[3] = e3 + o3;
  out[4] = e3 - o3;
}

static_assert(kRows.m[3][0] == kRows.m[0][0] && kRows.m[1][4] == -kRows.m[0][0] &&
                  kRows.m[3][2] == -kRows.m[0][2] && kRows.m[2][6] == -kRows.m[1][6],
              "the grouping in Transform8 relies on these symmetries");

void Transform32(const int32_t f[64], uint32_t columnMask, int32_t samples[64]) {
  int32_t t[64];
  int32_t column[8];
  for (int j = 0; j < 8; ++j) {
    if ((columnMask & (1u << j)) == 0) {
      for (int y = 0; y < 8; ++y) t[8 * y + j] = 0;
      continue;
    }
    Transform8(f[j], f[8 + j], f[16 + j], f[24 + j], f[32 + j], f[40 + j], f[48 + j], f[56 + j],
               column);
    for (int y = 0; y < 8; ++y) t[8 * y + j] = Shift20(column[y]);
  }
  for (int y = 0; y < 8; ++y) {
    const int32_t* r = t + 8 * y;
    int32_t row[8];
    Transform8(r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7], row);
    for (int x = 0; x < 8; ++x) samples[8 * y + x] = Shift20(row[x]);
  }
}

#if defined(__SSE2__)
// The same grouped sums four lanes at a time with 16x16-bit multiply-adds. Each table entry
// is split as high * 2^16 + low with low in int16 range, so a * x + b * y equals
// (madd(high) << 16) + madd(low) modulo 2^32, and so exactly, since the true sum fits in 32
// bits. Inputs fit in 16 bits: |F| <= S <= kSafeAbsoluteSum and |T| <= 0.4904 * S.
struct SplitEntry {
  int16_t high;
  int16_t low;
};

constexpr SplitEntry Split(int32_t m) {
  const int32_t high = (m + 32768) >> 16;
  return SplitEntry{static_cast<int16_t>(high), static_cast<int16_t>(m - high * 65536)};
}

inline __m128i PairOf(int16_t a, int16_t b) {
  return _mm_set1_epi32(static_cast<int32_t>(
      static_cast<uint16_t>(a) | (static_cast<uint32_t>(static_cast<uint16_t>(b)) << 16)));
}

// a * x + b * y for interleaved 16-bit pairs (x, y), exact in 32 bits.
inline __m128i MulPair(__m128i pairs, int32_t a, int32_t b) {
  const SplitEntry sa = Split(a);
  const SplitEntry sb = Split(b);
  const __m128i high = _mm_madd_epi16(pairs, PairOf(sa.high, sb.high));
  const __m128i low = _mm_madd_epi16(pairs, PairOf(sa.low, sb.low));
  return _mm_add_epi32(_mm_slli_epi32(high, 16), low);
}

inline __m128i Shift20x4(__m128i sum) {
  const __m128i bias = _mm_and_si128(_mm_srai_epi32(sum, 31), _mm_set1_epi32(0xFFFFF));
  return _mm_srai_epi32(_mm_add_epi32(sum, bias), 20);
}

// Transform8 on four lanes; pXY holds the interleaved inputs X and Y.
inline void Transform8x4(__m128i p04, __m128i p26, __m128i p13, __m128i p57, __m128i out[8]) {
  constexpr auto& m = kRows.m;
  const __m128i ee0 = MulPair(p04, m[0][0], m[0][4]);
  const __m128i ee1 = MulPair(p04, m[1][0], m[1][4]);
  const __m128i eo0 = MulPair(p26, m[0][2], m[0][6]);
  const __m128i eo1 = MulPair(p26, m[1][2], m[1][6]);
  const __m128i e0 = _mm_add_epi32(ee0, eo0);
  const __m128i e3 = _mm_sub_epi32(ee0, eo0);
  const __m128i e1 = _mm_add_epi32(ee1, eo1);
  const __m128i e2 = _mm_sub_epi32(ee1, eo1);
  const __m128i o0 = _mm_add_epi32(MulPair(p13, m[0][1], m[0][3]), MulPair(p57, m[0][5], m[0][7]));
  const __m128i o1 = _mm_add_epi32(MulPair(p13, m[1][1], m[1][3]), MulPair(p57, m[1][5], m[1][7]));
  const __m128i o2 = _mm_add_epi32(MulPair(p13, m[2][1], m[2][3]), MulPair(p57, m[2][5], m[2][7]));
  const __m128i o3 = _mm_add_epi32(MulPair(p13, m[3][1], m[3][3]), MulPair(p57, m[3][5], m[3][7]));
  out[0] = Shift20x4(_mm_add_epi32(e0, o0));
  out[7] = Shift20x4(_mm_sub_epi32(e0, o0));
  out[1] = Shift20x4(_mm_add_epi32(e1, o1));
  out[6] = Shift20x4(_mm_sub_epi32(e1, o1));
  out[2] = Shift20x4(_mm_add_epi32(e2, o2));
  out[5] = Shift20x4(_mm_sub_epi32(e2, o2));
  out[3] = Shift20x4(_mm_add_epi32(e3, o3));
  out[4] = Shift20x4(_mm_sub_epi32(e3, o3));
}

// The transform of eight 16-bit vectors v[n] (lanes are independent columns): lanes 0-3
// into lo[], lanes 4-7 into hi[].
inline void Transform8x8(const __m128i v[8], __m128i lo[8], __m128i hi[8]) {
  Transform8x4(_mm_unpacklo_epi16(v[0], v[4]), _mm_unpacklo_epi16(v[2], v[6]),
               _mm_unpacklo_epi16(v[1], v[3]), _mm_unpacklo_epi16(v[5], v[7]), lo);
  Transform8x4(_mm_unpackhi_epi16(v[0], v[4]), _mm_unpackhi_epi16(v[2], v[6]),
               _mm_unpackhi_epi16(v[1], v[3]), _mm_unpackhi_epi16(v[5], v[7]), hi);
}

inline void Transpose8x16(const __m128i r[8], __m128i c[8]) {
  const __m128i a0 = _mm_unpacklo_epi16(r[0], r[1]);
  const __m128i a1 = _mm_unpackhi_epi16(r[0], r[1]);
  const __m128i a2 = _mm_unpacklo_epi16(r[2], r[3]);
  const __m128i a3 = _mm_unpackhi_epi16(r[2], r[3]);
  const __m128i a4 = _mm_unpacklo_epi16(r[4], r[5]);
  const __m128i a5 = _mm_unpackhi_epi16(r[4], r[5]);
  const __m128i a6 = _mm_unpacklo_epi16(r[6], r[7]);
  const __m128i a7 = _mm_unpackhi_epi16(r[6], r[7]);
  const __m128i b0 = _mm_unpacklo_epi32(a0, a2);
  const __m128i b1 = _mm_unpackhi_epi32(a0, a2);
  const __m128i b2 = _mm_unpacklo_epi32(a1, a3);
  const __m128i b3 = _mm_unpackhi_epi32(a1, a3);
  const __m128i b4 = _mm_unpacklo_epi32(a4, a6);
  const __m128i b5 = _mm_unpackhi_epi32(a4, a6);
  const __m128i b6 = _mm_unpacklo_epi32(a5, a7);
  const __m128i b7 = _mm_unpackhi_epi32(a5, a7);
  c[0] = _mm_unpacklo_epi64(b0, b4);
  c[1] = _mm_unpackhi_epi64(b0, b4);
  c[2] = _mm_unpacklo_epi64(b1, b5);
  c[3] = _mm_unpackhi_epi64(b1, b5);
  c[4] = _mm_unpacklo_epi64(b2, b6);
  c[5] = _mm_unpackhi_epi64(b2, b6);
  c[6] = _mm_unpacklo_epi64(b3, b7);
  c[7] = _mm_unpackhi_epi64(b3, b7);
}

// Stores the 4x4 int32 block whose columns are c0..c3 as four rows of `out` (stride 8).
inline void StoreTransposed4x4(__m128i c0, __m128i c1, __m128i c2, __m128i c3, int32_t* out) {
  const __m128i t0 = _mm_unpacklo_epi32(c0, c1);
  const __m128i t1 = _mm_unpacklo_epi32(c2, c3);
  const __m128i t2 = _mm_unpackhi_epi32(c0, c1);
  const __m128i t3 = _mm_unpackhi_epi32(c2, c3);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi64(t0, t1));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi64(t0, t1));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_unpacklo_epi64(t2, t3));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 24), _mm_unpackhi_epi64(t2, t3));
}

void TransformSse2(const int32_t f[64], int32_t samples[64]) {
  // Rows of F as 16-bit vectors: lanes are the columns j.
  __m128i rows[8];
  for (int n = 0; n < 8; ++n) {
    const __m128i left = _mm_loadu_si128(reinterpret_cast<const __m128i*>(f + 8 * n));
    const __m128i right = _mm_loadu_si128(reinterpret_cast<const __m128i*>(f + 8 * n + 4));
    rows[n] = _mm_packs_epi32(left, right);
  }
  __m128i lo[8];
  __m128i hi[8];
  Transform8x8(rows, lo, hi);  // lo[y]: T[y][0..3], hi[y]: T[y][4..7]
  __m128i t[8];
  for (int y = 0; y < 8; ++y) t[y] = _mm_packs_epi32(lo[y], hi[y]);
  __m128i columns[8];
  Transpose8x16(t, columns);      // columns[n]: T[0..7][n]
  Transform8x8(columns, lo, hi);  // lo[x]: S[0..3][x], hi[x]: S[4..7][x]
  StoreTransposed4x4(lo[0], lo[1], lo[2], lo[3], samples);
  StoreTransposed4x4(lo[4], lo[5], lo[6], lo[7], samples + 4);
  StoreTransposed4x4(hi[0], hi[1], hi[2], hi[3], samples + 32);
  StoreTransposed4x4(hi[4], hi[5], hi[6], hi[7], samples + 36);
}
#if defined(KAVROSA_AVX2_TRANSFORM)
#define KAVROSA_AVX2 __attribute__((target("avx2")))
#define KAVROSA_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

// Products in 32-bit lanes: the sums wrap modulo 2^32 exactly as the scalar ones would, and
// the final sums fit (see kSafeAbsoluteSum), so they equal the 64-bit sums.
KAVROSA_AVX2 inline __m256i Times(__m256i v, int32_t m) {
  return _mm256_mullo_epi32(v, _mm256_set1_epi32(m));
}

// Truncating division by 2^20 as sign(sum) * (|sum| >> 20); the absolute value of INT32_MIN
// stays 2^31 when read unsigned, which still gives -2048.
KAVROSA_AVX2 inline __m256i Shift20x8(__m256i sum) {
  return _mm256_sign_epi32(_mm256_srli_epi32(_mm256_abs_epi32(sum), 20), sum);
}

KAVROSA_AVX2 inline __m256i Add8(__m256i a, __m256i b) {
  return _mm256_add_epi32(a, b);
}
KAVROSA_AVX2 inline __m256i Sub8(__m256i a, __m256i b) {
  return _mm256_sub_epi32(a, b);
}

// Transform8 on eight lanes of 32-bit inputs v[0..7]; out[x] holds the eight lanes' results.
// With `low`, v[4..7] are zero: their products are skipped, and the two even sums of v[0]
// agree.
template <bool low>
KAVROSA_AVX2_INLINE void Transform8x8Avx2(const __m256i v[8], __m256i out[8]) {
  constexpr auto& m = kRows.m;
  const __m256i ee0 = Times(low ? v[0] : Add8(v[0], v[4]), m[0][0]);
  const __m256i ee1 = low ? ee0 : Times(Sub8(v[0], v[4]), m[0][0]);
  __m256i eo0 = Times(v[2], m[0][2]);
  __m256i eo1 = Times(v[2], m[1][2]);
  __m256i o0 = Add8(Times(v[1], m[0][1]), Times(v[3], m[0][3]));
  __m256i o1 = Add8(Times(v[1], m[1][1]), Times(v[3], m[1][3]));
  __m256i o2 = Add8(Times(v[1], m[2][1]), Times(v[3], m[2][3]));
  __m256i o3 = Add8(Times(v[1], m[3][1]), Times(v[3], m[3][3]));
  if (!low) {
    eo0 = Add8(eo0, Times(v[6], m[0][6]));
    eo1 = Add8(eo1, Times(v[6], m[1][6]));
    o0 = Add8(o0, Add8(Times(v[5], m[0][5]), Times(v[7], m[0][7])));
    o1 = Add8(o1, Add8(Times(v[5], m[1][5]), Times(v[7], m[1][7])));
    o2 = Add8(o2, Add8(Times(v[5], m[2][5]), Times(v[7], m[2][7])));
    o3 = Add8(o3, Add8(Times(v[5], m[3][5]), Times(v[7], m[3][7])));
  }
  const __m256i e0 = Add8(ee0, eo0);
  const __m256i e3 = Sub8(ee0, eo0);
  const __m256i e1 = Add8(ee1, eo1);
  const __m256i e2 = Sub8(ee1, eo1);
  out[0] = Shift20x8(Add8(e0, o0));
  out[7] = Shift20x8(Sub8(e0, o0));
  out[1] = Shift20x8(Add8(e1, o1));
  out[6] = Shift20x8(Sub8(e1, o1));
  out[2] = Shift20x8(Add8(e2, o2));
  out[5] = Shift20x8(Sub8(e2, o2));
  out[3] = Shift20x8(Add8(e3, o3));
  out[4] = Shift20x8(Sub8(e3, o3));
}

static_assert(kRows.m[1][0] == kRows.m[0][0] && kRows.m[1][4] == -kRows.m[0][0],
              "the even sums of v[0] and v[4] share one factor");

// The 8x8 transpose of 32-bit lanes: column j (lane j of every r[i]) goes to sink(j, c).
// The final transpose stores each column as soon as it is formed: collected in an array
// first, the copy to the samples may be widened into loads that wait on the narrower stores.
template <typename Sink>
KAVROSA_AVX2_INLINE void Transpose8x8(const __m256i r[8], Sink sink) {
  const __m256i t0 = _mm256_unpacklo_epi32(r[0], r[1]);
  const __m256i t1 = _mm256_unpackhi_epi32(r[0], r[1]);
  const __m256i t2 = _mm256_unpacklo_epi32(r[2], r[3]);
  const __m256i t3 = _mm256_unpackhi_epi32(r[2], r[3]);
  const __m256i t4 = _mm256_unpacklo_epi32(r[4], r[5]);
  const __m256i t5 = _mm256_unpackhi_epi32(r[4], r[5]);
  const __m256i t6 = _mm256_unpacklo_epi32(r[6], r[7]);
  const __m256i t7 = _mm256_unpackhi_epi32(r[6], r[7]);
  const __m256i u0 = _mm256_unpacklo_epi64(t0, t2);
  const __m256i u1 = _mm256_unpackhi_epi64(t0, t2);
  const __m256i u2 = _mm256_unpacklo_epi64(t1, t3);
  const __m256i u3 = _mm256_unpackhi_epi64(t1, t3);
  const __m256i u4 = _mm256_unpacklo_epi64(t4, t6);
  const __m256i u5 = _mm256_unpackhi_epi64(t4, t6);
  const __m256i u6 = _mm256_unpacklo_epi64(t5, t7);
  const __m256i u7 = _mm256_unpackhi_epi64(t5, t7);
  sink(0, _mm256_permute2x128_si256(u0, u4, 0x20));
  sink(1, _mm256_permute2x128_si256(u1, u5, 0x20));
  sink(2, _mm256_permute2x128_si256(u2, u6, 0x20));
  sink(3, _mm256_permute2x128_si256(u3, u7, 0x20));
  sink(4, _mm256_permute2x128_si256(u0, u4, 0x31));
  sink(5, _mm256_permute2x128_si256(u1, u5, 0x31));
  sink(6, _mm256_permute2x128_si256(u2, u6, 0x31));
  sink(7, _mm256_permute2x128_si256(u3, u7, 0x31));
}

// A low-frequency block has zero rows 4-7, and so zero columns 4-7 after the first pass:
// both passes skip those inputs.
template <bool low>
KAVROSA_AVX2_INLINE void TransformBlockAvx2(const int32_t f[64], int32_t samples[64]) {
  __m256i rows[8];
  for (int n = 0; n < 8; ++n) {
    rows[n] = low && n >= 4 ? _mm256_setzero_si256()
                            : _mm256_loadu_si256(reinterpret_cast<const __m256i*>(f + 8 * n));
  }
  __m256i t[8];
  Transform8x8Avx2<low>(rows, t);  // t[y]: T[y][0..7]
  __m256i columns[8];
  Transpose8x8(t, [&](int n, __m256i c) KAVROSA_AVX2 { columns[n] = c; });  // T[0..7][n]
  __m256i s[8];
  Transform8x8Avx2<low>(columns, s);  // s[x]: S[0..7][x]
  Transpose8x8(s, [samples](int y, __m256i row) KAVROSA_AVX2 {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(samples + 8 * y), row);
  });
}

template <bool low>
KAVROSA_AVX2 void TransformAvx2(const int32_t f[64], int32_t samples[64]) {
  TransformBlockAvx2<low>(f, samples);
}

// The same instructions with the sixteen more vector registers of AVX-512, so that the
// constants and partial sums need not be spilled.
template <bool low>
__attribute__((target("avx2,avx512f,avx512vl"))) void TransformAvx512(const int32_t f[64],
                                                                      int32_t samples[64]) {
  TransformBlockAvx2<low>(f, samples);
}

// The half-scale (4 x 4) reduced transform, two rows of four per vector: the same products,
// 32-bit sums and truncations as ReducedSmall<2, 2>.
KAVROSA_AVX2 void ReducedHalfAvx2(const int32_t coefficients[64], int32_t* samples, int32_t step) {
  constexpr auto& m = kReducedRows[1].m;
  // Columns: lanes (y, j) of T[y][j] = sum_n m[y][n] F[n][j], for rows 0-1 and 2-3.
  __m256i t01 = _mm256_setzero_si256();
  __m256i t23 = _mm256_setzero_si256();
  for (int n = 0; n < 4; ++n) {
    const __m256i f = _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(coefficients + 8 * n)));
    t01 = Add8(t01, _mm256_mullo_epi32(f, _mm256_setr_epi32(m[0][n], m[0][n], m[0][n], m[0][n],
                                                            m[1][n], m[1][n], m[1][n], m[1][n])));
    t23 = Add8(t23, _mm256_mullo_epi32(f, _mm256_setr_epi32(m[2][n], m[2][n], m[2][n], m[2][n],
                                                            m[3][n], m[3][n], m[3][n], m[3][n])));
  }
  t01 = Shift20x8(t01);
  t23 = Shift20x8(t23);
  // Rows: lanes (y, x) of S[y][x] = sum_n m[x][n] T[y][n], T[y][n] spread along each row.
  const auto across = [&m](int n) KAVROSA_AVX2 {
    return _mm256_setr_epi32(m[0][n], m[1][n], m[2][n], m[3][n], m[0][n], m[1][n], m[2][n],
                             m[3][n]);
  };
  __m256i s01 = _mm256_mullo_epi32(_mm256_shuffle_epi32(t01, 0x00), across(0));
  __m256i s23 = _mm256_mullo_epi32(_mm256_shuffle_epi32(t23, 0x00), across(0));
  s01 = Add8(s01, _mm256_mullo_epi32(_mm256_shuffle_epi32(t01, 0x55), across(1)));
  s23 = Add8(s23, _mm256_mullo_epi32(_mm256_shuffle_epi32(t23, 0x55), across(1)));
  s01 = Add8(s01, _mm256_mullo_epi32(_mm256_shuffle_epi32(t01, 0xAA), across(2)));
  s23 = Add8(s23, _mm256_mullo_epi32(_mm256_shuffle_epi32(t23, 0xAA), across(2)));
  s01 = Add8(s01, _mm256_mullo_epi32(_mm256_shuffle_epi32(t01, 0xFF), across(3)));
  s23 = Add8(s23, _mm256_mullo_epi32(_mm256_shuffle_epi32(t23, 0xFF), across(3)));
  s01 = Shift20x8(s01);
  s23 = Shift20x8(s23);
  auto* out = samples;
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(s01));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + step), _mm256_extracti128_si256(s01, 1));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * step), _mm256_castsi256_si128(s23));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * step), _mm256_extracti128_si256(s23, 1));
}

inline bool HasAvx2() {
  return CpuHas(SimdLevel::kAvx2);
}
// In 32-bit code AVX-512 has no more vector registers than AVX2: there it is not worth a
// version of its own.
inline bool HasAvx512Registers() {
#if defined(__x86_64__)
  return CpuHas(SimdLevel::kAvx512);
#else
  return false;
#endif
}
#endif
#endif

#if defined(KAVROSA_AVX2_TRANSFORM)
// Whole rows in 32-byte stores, as the colour conversion reads them: narrower stores would
// keep those loads waiting until the stores have gone to the cache.
KAVROSA_AVX2 void FillRowsAvx2(const int32_t rowValues[8], int32_t samples[64]) {
  for (int y = 0; y < 8; ++y) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(samples + 8 * y),
                        _mm256_set1_epi32(rowValues[y]));
  }
}
#endif

// Row y of the samples is rowValues[y] throughout.
void FillRows(const int32_t rowValues[8], int32_t samples[64]) {
#if defined(KAVROSA_AVX2_TRANSFORM)
  if (HasAvx2()) {
    FillRowsAvx2(rowValues, samples);
    return;
  }
#endif
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) samples[8 * y + x] = rowValues[y];
}

// Only column 0 has nonzero coefficients: the first pass leaves T[y][0] alone nonzero, and
// every row sum M[x][0] T[y][0] has the same M[x][0], so each row is one value. The sums are
// the reference's own, in 64 bits.
void ColumnZeroOnly(const int32_t f[64], int32_t samples[64]) {
  int32_t rowValues[8];
  for (int y = 0; y < 8; ++y) {
    int64_t sum = 0;
    for (int n = 0; n < 8; ++n) sum += int64_t{kRows.m[y][n]} * f[8 * n];
    const int32_t t = static_cast<int32_t>(sum / kScale);
    rowValues[y] = static_cast<int32_t>(int64_t{kMagnitude[0]} * t / kScale);
  }
  FillRows(rowValues, samples);
}

static_assert(kRows.m[0][0] == kMagnitude[0] && kRows.m[7][0] == kMagnitude[0],
              "column 0 of the table is one value");

}  // namespace

void InverseDctFast(const int32_t coefficients[64], int32_t samples[64]) {
  InverseDctFast(coefficients, SummariseBlock(coefficients), samples);
}

void InverseDctFast(const int32_t coefficients[64], const BlockSummary& summary,
                    int32_t samples[64]) {
  if (summary.dcOnly) {
    // Every column sum is M[y][0] F[0][0] with the same M, and so is every row sum.
    const int32_t t = static_cast<int32_t>(int64_t{kMagnitude[0]} * coefficients[0] / kScale);
    const int32_t s = static_cast<int32_t>(int64_t{kMagnitude[0]} * t / kScale);
    const int32_t rowValues[8] = {s, s, s, s, s, s, s, s};
    FillRows(rowValues, samples);
    return;
  }
  if (summary.columnMask == 1) {
    ColumnZeroOnly(coefficients, samples);
    return;
  }
  if (summary.absoluteSum <= kSafeAbsoluteSum) {
#if defined(__SSE2__)
#if defined(KAVROSA_AVX2_TRANSFORM)
    if (HasAvx512Registers()) {
      if (summary.lowFrequency) {
        TransformAvx512<true>(coefficients, samples);
      } else {
        TransformAvx512<false>(coefficients, samples);
      }
      return;
    }
    if (HasAvx2()) {
      if (summary.lowFrequency) {
        TransformAvx2<true>(coefficients, samples);
      } else {
        TransformAvx2<false>(coefficients, samples);
      }
      return;
    }
#endif
    TransformSse2(coefficients, samples);
#else
    Transform32(coefficients, summary.columnMask, samples);
#endif
  } else {
    InverseDctReference(coefficients, samples);
  }
}

void InverseDctPortable(const int32_t coefficients[64], const BlockSummary& summary,
                        int32_t samples[64]) {
  if (summary.absoluteSum <= kSafeAbsoluteSum) {
    Transform32(coefficients, summary.columnMask, samples);
  } else {
    InverseDctReference(coefficients, samples);
  }
}

void InverseDctReducedFast(const int32_t coefficients[64], const BlockSummary& summary,
                           int32_t hScale, int32_t vScale, int32_t* samples, int32_t step) {
  const int nh = 8 / hScale;
  const int nv = 8 / vScale;
  if (summary.dcOnly) {
    // Both passes of the first row and column, as the 64-bit sums give them.
    const int32_t t = static_cast<int32_t>(int64_t{kMagnitude[0]} * coefficients[0] / kScale);
    const int32_t flat = static_cast<int32_t>(int64_t{kMagnitude[0]} * t / kScale);
    for (int y = 0; y < nv; ++y)
      for (int x = 0; x < nh; ++x) samples[step * y + x] = flat;
    return;
  }
  const CosineRows& across = RowsFor(hScale);
  const CosineRows& down = RowsFor(vScale);
  if (summary.absoluteSum <= kSafeAbsoluteSum) {
    if (hScale == 2 && vScale == 2) {
#if defined(KAVROSA_AVX2_TRANSFORM)
      if (HasAvx2()) return ReducedHalfAvx2(coefficients, samples, step);
#endif
      return ReducedSmall<2, 2>(coefficients, across, down, samples, step);
    }
    if (hScale == 4 && vScale == 4)
      return ReducedSmall<4, 4>(coefficients, across, down, samples, step);
    if (hScale == 8 && vScale == 8)
      return ReducedSmall<8, 8>(coefficients, across, down, samples, step);
  }
  int32_t packed[64];
  InverseDctReduced(coefficients, hScale, vScale, packed);
  for (int y = 0; y < nv; ++y)
    for (int x = 0; x < nh; ++x) samples[step * y + x] = packed[nh * y + x];
}

}  // namespace kavrosa
