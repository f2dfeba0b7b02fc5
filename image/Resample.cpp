// Separable scaling with 14-bit fixed-point weights per axis. Each destination row is built from
// the source rows its vertical taps name, each of those resampled horizontally first; the weights
// of every destination pixel sum to exactly 1 << 14, so a flat colour stays flat and a 2:1
// reduction is the rounded mean of each 2 x 2 box. The horizontal pass keeps 8 fractional bits
// (at most 255 << 8), held as 16-bit values less 32768; as the weights of a destination row sum
// to 1 << 14, the vertical sums of those values are the true sums less 1 << 29, within 32 bits.
//
// Two horizontal passes give the same bytes: a plain one (a loop over each destination pixel's
// taps) and one with a fixed count of taps per pixel, zero weights filling the rest (three at
// most for reductions by up to 2, two for exact halving, enlargement and a copied axis), in
// SSE2 where the build has it and AVX2 where the processor has it. The vertical pass is shared
// by Resample24 and the row stream, plain or in SIMD the same way.
#include "image/Resample.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "platform/CpuFeatures.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(KAVROSA_X86_SIMD)
// x86 builds also carry AVX2 loops, chosen at run time.
#define KAVROSA_AVX2_RESAMPLE 1
#include <immintrin.h>
#define KAVROSA_AVX2 __attribute__((target("avx2")))
#endif

namespace kavrosa {
namespace {

#if defined(KAVROSA_AVX2_RESAMPLE)
inline bool HasAvx2() {
  return CpuHas(SimdLevel::kAvx2);
}
#endif

constexpr int32_t kWeightBits = 14;
constexpr int32_t kWeightOne = 1 << kWeightBits;
// Horizontal results keep 8 fractional bits: (value << 14) >> 6.
constexpr int32_t kHorizontalShift = 6;
constexpr int32_t kVerticalShift = 2 * kWeightBits - kHorizontalShift;
// The most taps per destination pixel given a fixed layout (reductions by up to about 30).
constexpr int32_t kMostFixedTaps = 32;
// Horizontal results are stored less this, as int16_t; vertical sums are therefore the true
// sums less kScaledBias << kWeightBits.
constexpr int32_t kScaledBias = 32768;
constexpr int32_t kVerticalRound =
    (kScaledBias << kWeightBits) + (int32_t{1} << (kVerticalShift - 1));

struct AxisTaps {
  std::vector<int32_t> first;   // first source index of each destination pixel
  std::vector<int32_t> count;   // number of taps
  std::vector<int32_t> offset;  // where its weights start in `weights`
  std::vector<int32_t> weights;
};

int64_t FloorDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

// Area weights: destination pixel i covers source interval [i n / m, (i + 1) n / m). The
// weights are differences of rounded cumulative coverage, so they sum exactly to kWeightOne.
void ReductionTaps(int32_t n, int32_t m, AxisTaps& taps) {
  for (int32_t i = 0; i < m; ++i) {
    const int64_t start = int64_t{i} * n;  // in units of 1/m source pixel
    const int64_t end = int64_t{i + 1} * n;
    const int32_t j0 = static_cast<int32_t>(start / m);
    const int32_t j1 = static_cast<int32_t>((end - 1) / m);
    taps.first.push_back(j0);
    taps.count.push_back(j1 - j0 + 1);
    taps.offset.push_back(static_cast<int32_t>(taps.weights.size()));
    int64_t previous = 0;
    for (int32_t j = j0; j <= j1; ++j) {
      const int64_t coveredEnd = std::min<int64_t>(end, int64_t{j + 1} * m) - start;
      const int64_t cumulative = (coveredEnd * kWeightOne + n / 2) / n;
      taps.weights.push_back(static_cast<int32_t>(cumulative - previous));
      previous = cumulative;
    }
  }
}

// Bilinear weights with pixel centres aligned: destination centre i + 1/2 maps to source
// position (i + 1/2) n / m - 1/2; positions outside the first or last centre take that pixel.
void EnlargementTaps(int32_t n, int32_t m, AxisTaps& taps) {
  for (int32_t i = 0; i < m; ++i) {
    const int64_t position = FloorDiv((int64_t{2 * i + 1} * n - m) * kWeightOne, int64_t{2} * m);
    int64_t j0 = FloorDiv(position, kWeightOne);
    int64_t fraction = position - j0 * kWeightOne;
    if (j0 < 0) {
      j0 = 0;
      fraction = 0;
    } else if (j0 >= n - 1) {
      j0 = n - 1;
      fraction = 0;
    }
    taps.first.push_back(static_cast<int32_t>(j0));
    taps.offset.push_back(static_cast<int32_t>(taps.weights.size()));
    if (fraction == 0) {
      taps.count.push_back(1);
      taps.weights.push_back(kWeightOne);
    } else {
      taps.count.push_back(2);
      taps.weights.push_back(static_cast<int32_t>(kWeightOne - fraction));
      taps.weights.push_back(static_cast<int32_t>(fraction));
    }
  }
}

void IdentityTaps(int32_t n, AxisTaps& taps) {
  for (int32_t i = 0; i < n; ++i) {
    taps.first.push_back(i);
    taps.count.push_back(1);
    taps.offset.push_back(i);
    taps.weights.push_back(kWeightOne);
  }
}

AxisTaps MakeTaps(int32_t n, int32_t m) {
  AxisTaps taps;
  taps.first.reserve(m);
  taps.count.reserve(m);
  taps.offset.reserve(m);
  if (m == n) {
    IdentityTaps(n, taps);
  } else if (m < n) {
    ReductionTaps(n, m, taps);
  } else {
    EnlargementTaps(n, m, taps);
  }
  return taps;
}

// The horizontal taps again with the same count of taps for every destination pixel: 2 or 3, or
// for larger reductions the most any pixel has rounded up to even; the first moved back where
// the pixel's own taps would run past the row, zero weights for the rest. For the SIMD loops the
// weights are also held as the 16-bit pairs their multiply-adds take, (w0, w1), (w2, w3)... (w3
// being 0 when there are three), each repeated four times, for two destination pixels at a time:
// the first pair of both, then the second pair of both...
struct FixedTaps {
  int32_t count = 0;  // 0: the plain pass only
  // Destination pixels before this one read no further than the row's end with 16-byte loads.
  int32_t vectorEnd = 0;
  std::vector<size_t> start;     // byte offset of the first tap
  std::vector<int16_t> weights;  // `count` per pixel
  std::vector<int32_t> pairs;    // 4 per pair of taps per pixel
};

// Pairs of taps in the multiply-adds.
int32_t PairsOf(int32_t count) {
  return (count + 1) / 2;
}

// The SIMD loops' widest reach from a pixel's first tap: 16-byte loads at the first tap (which
// cover three taps) and, past three, at every second tap.
size_t LoadSpan(int32_t count) {
  return count <= 3 ? 16 : size_t(6) * size_t(PairsOf(count) - 1) + 16;
}

struct Horizontal {
  AxisTaps taps;
  FixedTaps fixed;
  int32_t width = 0;  // destination pixels
};

FixedTaps MakeFixedTaps(const AxisTaps& taps, int32_t n) {
  FixedTaps fixed;
  const int32_t most = *std::max_element(taps.count.begin(), taps.count.end());
  const int32_t count = most <= 3 ? std::max(2, most) : most + most % 2;
  if (count > kMostFixedTaps || n < count) return fixed;
  const size_t m = taps.first.size();
  const size_t stride = size_t(count);
  fixed.count = count;
  fixed.start.resize(m);
  fixed.weights.assign(stride * m, 0);
  for (size_t x = 0; x < m; ++x) {
    const int32_t shift = std::max(0, taps.first[x] + count - n);
    fixed.start[x] = size_t(taps.first[x] - shift) * 3;
    for (int32_t k = 0; k < taps.count[x]; ++k)
      fixed.weights[stride * x + size_t(shift + k)] =
          static_cast<int16_t>(taps.weights[size_t(taps.offset[x] + k)]);
  }
  // fixed.start never decreases, so the pixels whose loads stay in the row come first.
  const size_t span = LoadSpan(count);
  while (size_t(fixed.vectorEnd) < m &&
         fixed.start[size_t(fixed.vectorEnd)] + span <= size_t(n) * 3)
    ++fixed.vectorEnd;
#if defined(__SSE2__)
  const size_t pairs = size_t(PairsOf(count));
  fixed.pairs.resize((m + 1) * pairs * 4);
  for (size_t x = 0; x < m; ++x) {
    const int16_t* w = &fixed.weights[stride * x];
    for (size_t k = 0; k < pairs; ++k) {
      int32_t* pair = &fixed.pairs[((x / 2 * pairs + k) * 2 + x % 2) * 4];
      const int16_t second = 2 * k + 1 < stride ? w[2 * k + 1] : 0;
      std::fill(
          pair, pair + 4,
          static_cast<int32_t>(uint32_t(uint16_t(w[2 * k])) | (uint32_t(uint16_t(second)) << 16)));
    }
  }
#endif
  return fixed;
}

Horizontal MakeHorizontal(int32_t n, int32_t m) {
  Horizontal h;
  h.taps = MakeTaps(n, m);
  h.fixed = MakeFixedTaps(h.taps, n);
  h.width = m;
  return h;
}

int16_t Scaled(uint32_t sum) {
  return static_cast<int16_t>(
      static_cast<int32_t>((sum + (1u << (kHorizontalShift - 1))) >> kHorizontalShift) -
      kScaledBias);
}

// One source row scaled horizontally, with 8 fractional bits, less kScaledBias.
void ScaleRowPlain(const uint8_t* row, const AxisTaps& taps, int32_t width, int16_t* out) {
  for (int32_t x = 0; x < width; ++x) {
    const uint8_t* pixel = row + size_t(taps.first[x]) * 3;
    const int32_t* weight = &taps.weights[taps.offset[x]];
    uint32_t b = 0, g = 0, r = 0;
    for (int32_t k = 0; k < taps.count[x]; ++k, pixel += 3) {
      const uint32_t w = static_cast<uint32_t>(weight[k]);
      b += w * pixel[0];
      g += w * pixel[1];
      r += w * pixel[2];
    }
    out[3 * x] = Scaled(b);
    out[3 * x + 1] = Scaled(g);
    out[3 * x + 2] = Scaled(r);
  }
}

template <int kCount>
void ScaleRowFixed(const uint8_t* row, const FixedTaps& fixed, int32_t begin, int32_t end,
                   int16_t* out) {
  for (int32_t x = begin; x < end; ++x) {
    const uint8_t* p = row + fixed.start[x];
    const int16_t* w16 = &fixed.weights[size_t(kCount) * size_t(x)];
    const uint32_t w0 = static_cast<uint32_t>(w16[0]), w1 = static_cast<uint32_t>(w16[1]);
    uint32_t b = w0 * p[0] + w1 * p[3];
    uint32_t g = w0 * p[1] + w1 * p[4];
    uint32_t r = w0 * p[2] + w1 * p[5];
    if (kCount == 3) {
      const uint32_t w2 = static_cast<uint32_t>(w16[2]);
      b += w2 * p[6];
      g += w2 * p[7];
      r += w2 * p[8];
    }
    out[3 * x] = Scaled(b);
    out[3 * x + 1] = Scaled(g);
    out[3 * x + 2] = Scaled(r);
  }
}

void ScaleRowFixedAny(const uint8_t* row, const FixedTaps& fixed, int32_t begin, int32_t end,
                      int16_t* out) {
  const size_t count = size_t(fixed.count);
  for (int32_t x = begin; x < end; ++x) {
    const uint8_t* p = row + fixed.start[x];
    const int16_t* w16 = &fixed.weights[count * size_t(x)];
    uint32_t b = 0, g = 0, r = 0;
    for (size_t k = 0; k < count; ++k, p += 3) {
      const uint32_t w = static_cast<uint32_t>(w16[k]);
      b += w * p[0];
      g += w * p[1];
      r += w * p[2];
    }
    out[3 * x] = Scaled(b);
    out[3 * x + 1] = Scaled(g);
    out[3 * x + 2] = Scaled(r);
  }
}

#if defined(__SSE2__)
// Each destination pixel from 8-byte loads at its taps: bytes of neighbouring taps interleaved
// into 16-bit pairs for one multiply-add, B, G, R (and a value of the next pixel, overwritten
// by it or lying in the row's spare value) in four 32-bit lanes. kPairs 0: fixed.count taps,
// an even count.
template <int kCount>
inline void ScalePixelSse2(const uint8_t* p, const int32_t* w, int32_t pairs, int16_t* out) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i round =
      _mm_set1_epi32((1 << (kHorizontalShift - 1)) - (kScaledBias << kHorizontalShift));
  const auto pair = [&](const uint8_t* q, const int32_t* weights) {
    const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(q));
    const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(q + 3));
    return _mm_madd_epi16(_mm_unpacklo_epi8(_mm_unpacklo_epi8(a, b), zero),
                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights)));
  };
  __m128i sum = pair(p, w);
  if (kCount == 3) {
    const __m128i c = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 6));
    const __m128i c32 = _mm_unpacklo_epi16(_mm_unpacklo_epi8(c, zero), zero);
    sum = _mm_add_epi32(
        sum, _mm_madd_epi16(c32, _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + 8))));
  } else if (kCount == 0) {
    for (int32_t k = 1; k < pairs; ++k) sum = _mm_add_epi32(sum, pair(p + 6 * k, w + 8 * k));
  }
  sum = _mm_srai_epi32(_mm_add_epi32(sum, round), kHorizontalShift);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packs_epi32(sum, sum));
}

// Destination pixels [0, end), end even.
template <int kCount>
void ScaleRowSse2(const uint8_t* row, const FixedTaps& fixed, int32_t end, int16_t* out) {
  const int32_t pairs = PairsOf(fixed.count);
  const int32_t* w = fixed.pairs.data();
  for (int32_t x = 0; x < end; x += 2, w += 8 * pairs) {
    ScalePixelSse2<kCount>(row + fixed.start[x], w, pairs, out + 3 * size_t(x));
    ScalePixelSse2<kCount>(row + fixed.start[x + 1], w + 4, pairs, out + 3 * size_t(x) + 3);
  }
}
#endif

#if defined(KAVROSA_AVX2_RESAMPLE)
// Two destination pixels at a time, one in each 128-bit half: a 16-byte load from each first
// tap (and every second tap after, kCount 0), its bytes shuffled into the same 16-bit pairs.
template <int kCount>
KAVROSA_AVX2 void ScaleRowAvx2(const uint8_t* row, const FixedTaps& fixed, int32_t end,
                               int16_t* out) {
  constexpr char Z = char(0x80);
  const __m256i pairs01 = _mm256_setr_epi8(0, Z, 3, Z, 1, Z, 4, Z, 2, Z, 5, Z, Z, Z, Z, Z,  //
                                           0, Z, 3, Z, 1, Z, 4, Z, 2, Z, 5, Z, Z, Z, Z, Z);
  const __m256i pairs2 = _mm256_setr_epi8(6, Z, Z, Z, 7, Z, Z, Z, 8, Z, Z, Z, Z, Z, Z, Z,  //
                                          6, Z, Z, Z, 7, Z, Z, Z, 8, Z, Z, Z, Z, Z, Z, Z);
  const __m256i round =
      _mm256_set1_epi32((1 << (kHorizontalShift - 1)) - (kScaledBias << kHorizontalShift));
  const int32_t pairs = PairsOf(fixed.count);
  const int32_t* w = fixed.pairs.data();
  for (int32_t x = 0; x < end; x += 2, w += 8 * pairs) {
    const uint8_t* p = row + fixed.start[x];
    const uint8_t* q = row + fixed.start[x + 1];
    const auto load = [&](int32_t at) KAVROSA_AVX2 {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + at));
      return _mm256_inserti128_si256(_mm256_castsi128_si256(a), b, 1);
    };
    const __m256i v = load(0);
    __m256i sum = _mm256_madd_epi16(_mm256_shuffle_epi8(v, pairs01),
                                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w)));
    if (kCount == 3) {
      sum = _mm256_add_epi32(
          sum, _mm256_madd_epi16(_mm256_shuffle_epi8(v, pairs2),
                                 _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w + 8))));
    } else if (kCount == 0) {
      for (int32_t k = 1; k < pairs; ++k) {
        sum = _mm256_add_epi32(
            sum,
            _mm256_madd_epi16(_mm256_shuffle_epi8(load(6 * k), pairs01),
                              _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w + 8 * k))));
      }
    }
    sum = _mm256_srai_epi32(_mm256_add_epi32(sum, round), kHorizontalShift);
    const __m256i packed = _mm256_packs_epi32(sum, sum);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 3 * size_t(x)),
                     _mm256_castsi256_si128(packed));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 3 * size_t(x) + 3),
                     _mm256_extracti128_si256(packed, 1));
  }
}
#endif

#if defined(__SSE2__)
template <int kCount>
void ScaleRowVector(ResampleLoops loops, const uint8_t* row, const FixedTaps& fixed, int32_t end,
                    int16_t* out) {
#if defined(KAVROSA_AVX2_RESAMPLE)
  if (loops == ResampleLoops::kFastest && HasAvx2()) {
    ScaleRowAvx2<kCount>(row, fixed, end, out);
    return;
  }
#endif
  static_cast<void>(loops);
  ScaleRowSse2<kCount>(row, fixed, end, out);
}
#endif

// `out` holds ScaledValues(width) values.
void ScaleRow(ResampleLoops loops, const uint8_t* row, const Horizontal& h, int16_t* out) {
  const FixedTaps& fixed = h.fixed;
  if (loops == ResampleLoops::kPlain || fixed.count == 0) {
    ScaleRowPlain(row, h.taps, h.width, out);
    return;
  }
  int32_t begin = 0;
#if defined(__SSE2__)
  begin = fixed.vectorEnd & ~1;
  if (fixed.count == 2) {
    ScaleRowVector<2>(loops, row, fixed, begin, out);
  } else if (fixed.count == 3) {
    ScaleRowVector<3>(loops, row, fixed, begin, out);
  } else {
    ScaleRowVector<0>(loops, row, fixed, begin, out);
  }
#endif
  if (fixed.count == 2) {
    ScaleRowFixed<2>(row, fixed, begin, h.width, out);
  } else if (fixed.count == 3) {
    ScaleRowFixed<3>(row, fixed, begin, h.width, out);
  } else {
    ScaleRowFixedAny(row, fixed, begin, h.width, out);
  }
}

// Room for a row's values, one spare (the SIMD horizontal passes write four at a time) and
// padding to whole blocks of sixteen for the vertical pass.
size_t ScaledValues(int32_t width) {
  return (size_t(width) * 3 + 1 + 15) & ~size_t{15};
}

// The vertical pass. A destination row's taps are taken in pairs (the first two start the sums,
// later pairs add to them) and the last one or two give the bytes, so a row of one or two taps
// needs no sums at all. Rows of scaled values are padded to blocks of sixteen; only `values`
// bytes are written.
struct Tap {
  const int16_t* row = nullptr;
  int32_t weight = 0;
};

uint8_t ToByte(int32_t sum) {
  return static_cast<uint8_t>(std::min(255, (sum + kVerticalRound) >> kVerticalShift));
}

// kRows taps (1 or 2) into the sums (kAdd: added to them) or, kBytes, into the output bytes
// (kAdd: with the sums).
template <int kRows, bool kAdd, bool kBytes>
void CombinePlain(const Tap* taps, int32_t* sums, uint8_t* out, size_t values) {
  for (size_t i = 0; i < values; ++i) {
    int32_t sum = kAdd ? sums[i] : 0;
    sum += taps[0].weight * int32_t{taps[0].row[i]};
    if (kRows == 2) sum += taps[1].weight * int32_t{taps[1].row[i]};
    if (kBytes) {
      out[i] = ToByte(sum);
    } else {
      sums[i] = sum;
    }
  }
}

#if defined(__SSE2__)
template <int kRows, bool kAdd, bool kBytes>
void CombineSse2(const Tap* taps, int32_t* sums, uint8_t* out, size_t values) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i round = _mm_set1_epi32(kVerticalRound);
  const uint32_t w0 = uint16_t(taps[0].weight), w1 = kRows == 2 ? uint16_t(taps[1].weight) : 0;
  const __m128i weights = _mm_set1_epi32(static_cast<int32_t>(w0 | (w1 << 16)));
  for (size_t i = 0; i < values; i += 8) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(taps[0].row + i));
    const __m128i b =
        kRows == 2 ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(taps[1].row + i)) : zero;
    __m128i lo = _mm_madd_epi16(_mm_unpacklo_epi16(a, b), weights);
    __m128i hi = _mm_madd_epi16(_mm_unpackhi_epi16(a, b), weights);
    if (kAdd) {
      lo = _mm_add_epi32(lo, _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + i)));
      hi = _mm_add_epi32(hi, _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + i + 4)));
    }
    if (!kBytes) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + i), lo);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + i + 4), hi);
      continue;
    }
    // The sums plus the bias are 0 to 2^30, so the shifted values, 0 to 1023, pack exactly
    // to 16 bits and then saturate to bytes as min(255, value) does.
    lo = _mm_srai_epi32(_mm_add_epi32(lo, round), kVerticalShift);
    hi = _mm_srai_epi32(_mm_add_epi32(hi, round), kVerticalShift);
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(lo, hi), zero);
    if (i + 8 <= values) {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), bytes);
    } else {
      uint8_t last[16];
      _mm_storeu_si128(reinterpret_cast<__m128i*>(last), bytes);
      std::memcpy(out + i, last, values - i);
    }
  }
}
#endif

#if defined(KAVROSA_AVX2_RESAMPLE)
// Sixteen values at a time. The sums of a block are kept in the order the 128-bit halves give
// them (values 0-3, 8-11, 4-7, 12-15), which packing to 16 bits puts back.
template <int kRows, bool kAdd, bool kBytes>
KAVROSA_AVX2 void CombineAvx2(const Tap* taps, int32_t* sums, uint8_t* out, size_t values) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i round = _mm256_set1_epi32(kVerticalRound);
  const uint32_t w0 = uint16_t(taps[0].weight), w1 = kRows == 2 ? uint16_t(taps[1].weight) : 0;
  const __m256i weights = _mm256_set1_epi32(static_cast<int32_t>(w0 | (w1 << 16)));
  for (size_t i = 0; i < values; i += 16) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(taps[0].row + i));
    const __m256i b =
        kRows == 2 ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(taps[1].row + i)) : zero;
    __m256i lo = _mm256_madd_epi16(_mm256_unpacklo_epi16(a, b), weights);
    __m256i hi = _mm256_madd_epi16(_mm256_unpackhi_epi16(a, b), weights);
    if (kAdd) {
      lo = _mm256_add_epi32(lo, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums + i)));
      hi = _mm256_add_epi32(hi, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums + i + 8)));
    }
    if (!kBytes) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + i), lo);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + i + 8), hi);
      continue;
    }
    lo = _mm256_srai_epi32(_mm256_add_epi32(lo, round), kVerticalShift);
    hi = _mm256_srai_epi32(_mm256_add_epi32(hi, round), kVerticalShift);
    const __m256i packed = _mm256_packus_epi16(_mm256_packs_epi32(lo, hi), zero);
    const __m128i bytes = _mm256_castsi256_si128(_mm256_permute4x64_epi64(packed, 0x08));
    if (i + 16 <= values) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), bytes);
    } else {
      uint8_t last[16];
      _mm_storeu_si128(reinterpret_cast<__m128i*>(last), bytes);
      std::memcpy(out + i, last, values - i);
    }
  }
}
#endif

template <int kRows, bool kAdd, bool kBytes>
void Combine(ResampleLoops loops, const Tap* taps, int32_t* sums, uint8_t* out, size_t values) {
#if defined(KAVROSA_AVX2_RESAMPLE)
  if (loops == ResampleLoops::kFastest && HasAvx2()) {
    CombineAvx2<kRows, kAdd, kBytes>(taps, sums, out, values);
    return;
  }
#endif
#if defined(__SSE2__)
  if (loops != ResampleLoops::kPlain) {
    CombineSse2<kRows, kAdd, kBytes>(taps, sums, out, values);
    return;
  }
#endif
  static_cast<void>(loops);
  CombinePlain<kRows, kAdd, kBytes>(taps, sums, out, values);
}

// Tap t of a destination row's `count` has come (`current`; `previous` is tap t - 1): starts or
// adds to the sums on every second tap, writes the bytes on the last.
void TakeTap(ResampleLoops loops, int32_t t, int32_t count, Tap previous, Tap current,
             int32_t* sums, uint8_t* out, size_t values) {
  const Tap pair[2] = {previous, current};
  if (t + 1 < count) {
    if (t == 1) {
      Combine<2, false, false>(loops, pair, sums, out, values);
    } else if (t % 2 == 1) {
      Combine<2, true, false>(loops, pair, sums, out, values);
    }
  } else if (count == 1) {
    Combine<1, false, true>(loops, &current, sums, out, values);
  } else if (count == 2) {
    Combine<2, false, true>(loops, pair, sums, out, values);
  } else if (t % 2 == 1) {
    Combine<2, true, true>(loops, pair, sums, out, values);
  } else {
    Combine<1, true, true>(loops, &current, sums, out, values);
  }
}

// Keeps the two most recently used scaled source rows: an enlargement's neighbouring destination
// rows share their source rows, and a reduction's boundary row serves two destination rows.
class RowCache {
 public:
  RowCache(ResampleLoops loops, const PixelRows24& source, const Horizontal& horizontal)
      : loops_(loops), source_(source), horizontal_(horizontal) {
    for (auto& slot : slots_) slot.values.resize(ScaledValues(horizontal.width));
  }

  const int16_t* Row(int32_t index) {
    for (int s = 0; s < 2; ++s) {
      if (slots_[s].index == index) {
        next_ = s ^ 1;
        return slots_[s].values.data();
      }
    }
    Slot& slot = slots_[next_];
    next_ ^= 1;
    slot.index = index;
    ScaleRow(loops_, source_.data + size_t(index) * source_.stride, horizontal_,
             slot.values.data());
    return slot.values.data();
  }

 private:
  struct Slot {
    int32_t index = -1;
    std::vector<int16_t> values;
  };
  ResampleLoops loops_;
  const PixelRows24& source_;
  const Horizontal& horizontal_;
  Slot slots_[2];
  int next_ = 0;
};

bool Valid(int32_t width, int32_t height, size_t stride, const void* data) {
  return data != nullptr && width > 0 && height > 0 && stride >= size_t(width) * 3;
}

bool Resample(ResampleLoops loops, const PixelRows24& source, const MutablePixelRows24& target) {
  if (!Valid(source.width, source.height, source.stride, source.data) ||
      !Valid(target.width, target.height, target.stride, target.data)) {
    return false;
  }
  const size_t rowBytes = size_t(target.width) * 3;
  if (source.width == target.width && source.height == target.height) {
    for (int32_t y = 0; y < target.height; ++y) {
      std::memcpy(target.data + size_t(y) * target.stride, source.data + size_t(y) * source.stride,
                  rowBytes);
    }
    return true;
  }
  try {
    const Horizontal horizontal = MakeHorizontal(source.width, target.width);
    const AxisTaps vertical = MakeTaps(source.height, target.height);
    RowCache rows(loops, source, horizontal);
    std::vector<int32_t> sums(ScaledValues(target.width));
    for (int32_t y = 0; y < target.height; ++y) {
      const int32_t first = vertical.first[y];
      const int32_t count = vertical.count[y];
      const int32_t* weight = &vertical.weights[vertical.offset[y]];
      uint8_t* out = target.data + size_t(y) * target.stride;
      for (int32_t t = 0; t < count; ++t) {
        if (t + 1 < count && t % 2 == 0) continue;  // taken with the next tap
        Tap previous;
        if (t % 2 == 1) previous = Tap{rows.Row(first + t - 1), weight[t - 1]};
        const Tap current{rows.Row(first + t), weight[t]};
        TakeTap(loops, t, count, previous, current, sums.data(), out, rowBytes);
      }
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

}  // namespace

bool Resample24(const PixelRows24& source, const MutablePixelRows24& target) {
  return Resample(ResampleLoops::kFastest, source, target);
}

bool Resample24Using(ResampleLoops loops, const PixelRows24& source,
                     const MutablePixelRows24& target) {
  return Resample(loops, source, target);
}

}  // namespace kavrosa

namespace kavrosa {

// Source row j of the bottom-up block (pushed rows count down from the top) is a tap of the one
// or two target rows whose vertical taps name it; it comes as the last tap of the higher one and
// the first of the lower, so only one target row has sums at a time. Each target row takes its
// taps as Resample24 does, in pairs, but from the top down: the same sums added in another order.
struct RowStreamResampler::State {
  int32_t sourceHeight = 0;
  int32_t pushed = 0;
  Horizontal horizontal;
  AxisTaps vertical;
  std::vector<int32_t> firstTarget;  // per source row: the lowest target row naming it
  std::vector<int16_t> scaled[2];    // the pushed row, scaled horizontally, and the one before
  std::vector<int32_t> sums;
};

std::unique_ptr<RowStreamResampler> RowStreamResampler::Make(int32_t sourceWidth,
                                                             int32_t sourceHeight,
                                                             int32_t targetWidth,
                                                             int32_t targetHeight) {
  if (targetWidth <= 0 || targetHeight <= 0 || targetWidth > sourceWidth ||
      targetHeight > sourceHeight) {
    return nullptr;
  }
  try {
    auto state = std::make_unique<State>();
    state->sourceHeight = sourceHeight;
    state->horizontal = MakeHorizontal(sourceWidth, targetWidth);
    state->vertical = MakeTaps(sourceHeight, targetHeight);
    state->firstTarget.assign(sourceHeight, -1);
    for (int32_t i = targetHeight - 1; i >= 0; --i) {
      for (int32_t k = 0; k < state->vertical.count[i]; ++k)
        state->firstTarget[state->vertical.first[i] + k] = i;
    }
    const size_t values = ScaledValues(targetWidth);
    for (auto& row : state->scaled) row.resize(values);
    state->sums.resize(values);
    return std::unique_ptr<RowStreamResampler>(new RowStreamResampler(std::move(state)));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

RowStreamResampler::RowStreamResampler(std::unique_ptr<State> state) : state_(std::move(state)) {}
RowStreamResampler::~RowStreamResampler() = default;

void RowStreamResampler::Push(const uint8_t* row, const MutablePixelRows24& target) {
  State& s = *state_;
  if (s.pushed >= s.sourceHeight) return;
  const int32_t j = s.sourceHeight - 1 - s.pushed++;
  std::swap(s.scaled[0], s.scaled[1]);  // scaled[0]: the row before this one
  ScaleRow(ResampleLoops::kFastest, row, s.horizontal, s.scaled[1].data());
  const size_t values = size_t(s.horizontal.width) * 3;
  const AxisTaps& v = s.vertical;
  for (int32_t i = s.firstTarget[j]; i < int32_t(v.first.size()); ++i) {
    const int32_t first = v.first[i];
    const int32_t count = v.count[i];
    if (j < first || j >= first + count) break;
    const int32_t t = first + count - 1 - j;  // taps come from the top
    const int32_t* weight = &v.weights[v.offset[i]];
    const Tap previous{s.scaled[0].data(), t > 0 ? weight[j + 1 - first] : 0};
    const Tap current{s.scaled[1].data(), weight[j - first]};
    TakeTap(ResampleLoops::kFastest, t, count, previous, current, s.sums.data(),
            target.data + size_t(i) * target.stride, values);
  }
}

}  // namespace kavrosa
