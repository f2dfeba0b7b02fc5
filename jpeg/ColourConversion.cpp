// The vectorised colour conversion: SSE2 doubles two at a time (AVX four and AVX-512 eight at
// a time, chosen at run time) with separate multiplies and adds (never fused), min/max clamping and
// truncating conversion, which round exactly as the scalar expressions do. Without SSE2 it
// falls back to the scalar pixel.
#include "jpeg/ColourConversion.h"

#include <cstring>

#include "platform/CpuFeatures.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(KAVROSA_X86_SIMD)
// x86 builds also carry AVX and AVX-512 versions (four or eight doubles per operation, still
// no fused multiply-add), chosen at run time.
#define KAVROSA_AVX_CONVERSION 1
#include <immintrin.h>
#endif

namespace kavrosa {

#if defined(__SSE2__)
namespace {

// Two pixels' channel values (as doubles) to two truncated integers, clamped to [-1, 256]
// first (which keeps the conversion defined and gives the same byte).
inline __m128i Truncate2(__m128d v) {
  v = _mm_max_pd(v, _mm_set1_pd(-1.0));
  v = _mm_min_pd(v, _mm_set1_pd(256.0));
  return _mm_cvttpd_epi32(v);  // truncation toward zero, in the low two lanes
}

// Four pixels: the three channels as four clamped integers each.
inline void Convert4(__m128i yi, __m128i cbi, __m128i cri, __m128i& b, __m128i& g, __m128i& r) {
  const __m128d kCbB = _mm_set1_pd(1.7718);
  const __m128d kCrB = _mm_set1_pd(0.0012);
  const __m128d kCbG = _mm_set1_pd(0.3441);
  const __m128d kCrG = _mm_set1_pd(0.7139);
  const __m128d kCrR = _mm_set1_pd(1.402);
  __m128i bh[2], gh[2], rh[2];
  for (int half = 0; half < 2; ++half) {
    const __m128d yd = _mm_cvtepi32_pd(yi);
    const __m128d cbd = _mm_cvtepi32_pd(cbi);
    const __m128d crd = _mm_cvtepi32_pd(cri);
    bh[half] = Truncate2(_mm_sub_pd(_mm_add_pd(_mm_mul_pd(cbd, kCbB), yd), _mm_mul_pd(crd, kCrB)));
    gh[half] = Truncate2(_mm_sub_pd(_mm_sub_pd(yd, _mm_mul_pd(cbd, kCbG)), _mm_mul_pd(crd, kCrG)));
    rh[half] = Truncate2(_mm_add_pd(_mm_mul_pd(crd, kCrR), yd));
    yi = _mm_srli_si128(yi, 8);
    cbi = _mm_srli_si128(cbi, 8);
    cri = _mm_srli_si128(cri, 8);
  }
  b = _mm_unpacklo_epi64(bh[0], bh[1]);
  g = _mm_unpacklo_epi64(gh[0], gh[1]);
  r = _mm_unpacklo_epi64(rh[0], rh[1]);
}

// Stores four pixels' clamped channels as B, G, R triples (n of them).
inline void Store4(__m128i b, __m128i g, __m128i r, int32_t n, uint8_t* o) {
  // -1..256 saturate to 0..255 in the packs: the clamping after truncation.
  alignas(16) uint8_t bytes[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(bytes),
                  _mm_packus_epi16(_mm_packs_epi32(b, g), _mm_packs_epi32(r, r)));
  for (int32_t k = 0; k < n; ++k) {
    o[3 * k + 0] = bytes[k];
    o[3 * k + 1] = bytes[4 + k];
    o[3 * k + 2] = bytes[8 + k];
  }
}

#if defined(KAVROSA_AVX_CONVERSION)
// Values of small samples need no clamping before the conversion (see kSmallSample).
template <bool small>
__attribute__((target("avx"))) inline __m128i Truncate4(__m256d v) {
  if (!small) {
    v = _mm256_max_pd(v, _mm256_set1_pd(-1.0));
    v = _mm256_min_pd(v, _mm256_set1_pd(256.0));
  }
  return _mm256_cvttpd_epi32(v);
}

template <bool small = false>
__attribute__((target("avx"))) void ConvertRowAvx(const int32_t* y, const int32_t* cb,
                                                  const int32_t* cr, int32_t count, int32_t yOffset,
                                                  uint8_t* out) {
  const __m128i offset = _mm_set1_epi32(yOffset);
  const __m256d kCbB = _mm256_set1_pd(1.7718);
  const __m256d kCrB = _mm256_set1_pd(0.0012);
  const __m256d kCbG = _mm256_set1_pd(0.3441);
  const __m256d kCrG = _mm256_set1_pd(0.7139);
  const __m256d kCrR = _mm256_set1_pd(1.402);
  for (int32_t i = 0; i < count; i += 4) {
    const __m256d yd = _mm256_cvtepi32_pd(
        _mm_add_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(y + i)), offset));
    const __m256d cbd =
        _mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cb + i)));
    const __m256d crd =
        _mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cr + i)));
    const __m128i b = Truncate4<small>(
        _mm256_sub_pd(_mm256_add_pd(_mm256_mul_pd(cbd, kCbB), yd), _mm256_mul_pd(crd, kCrB)));
    const __m128i g = Truncate4<small>(
        _mm256_sub_pd(_mm256_sub_pd(yd, _mm256_mul_pd(cbd, kCbG)), _mm256_mul_pd(crd, kCrG)));
    const __m128i r = Truncate4<small>(_mm256_add_pd(_mm256_mul_pd(crd, kCrR), yd));
    const int32_t n = count - i < 4 ? count - i : 4;
    if (n < 4) {
      Store4(b, g, r, n, out + 3 * i);
      continue;
    }
    // Whole groups: one shuffle puts the twelve bytes in B, G, R order.
    const __m128i planar = _mm_packus_epi16(_mm_packs_epi32(b, g), _mm_packs_epi32(r, r));
    const __m128i packed = _mm_shuffle_epi8(
        planar, _mm_setr_epi8(0, 4, 8, 1, 5, 9, 2, 6, 10, 3, 7, 11, -1, -1, -1, -1));
    uint8_t* o = out + 3 * i;
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o), packed);
    const int32_t last = _mm_cvtsi128_si32(_mm_srli_si128(packed, 8));
    std::memcpy(o + 8, &last, 4);
  }
}

template <bool small>
__attribute__((target("avx"))) void ConvertBlockAvx(const int32_t* y, const int32_t* cb,
                                                    const int32_t* cr, int32_t count, int32_t rows,
                                                    int32_t yOffset, uint8_t* out,
                                                    ptrdiff_t outStep) {
  for (int32_t row = 0; row < rows; ++row) {
    ConvertRowAvx<small>(y + 8 * row, cb + 8 * row, cr + 8 * row, count, yOffset,
                         out + row * outStep);
  }
}

#define KAVROSA_AVX512 __attribute__((target("avx2,avx512f,avx512vl,avx512bw")))

// The AVX-512 operations below are the masked forms with every lane set: GCC 12 warns about
// the unmasked ones' undefined source operand. Values of small samples need no clamping
// before the conversion (see kSmallSample).
template <bool small>
KAVROSA_AVX512 inline __m256i Truncate8(__m512d v) {
  if (!small) {
    v = _mm512_maskz_max_pd(0xFF, v, _mm512_set1_pd(-1.0));
    v = _mm512_maskz_min_pd(0xFF, v, _mm512_set1_pd(256.0));
  }
  return _mm512_maskz_cvttpd_epi32(0xFF, v);
}

KAVROSA_AVX512 inline __m512d ToDoubles(__m256i v) {
  return _mm512_maskz_cvtepi32_pd(0xFF, v);
}

// One row of eight pixels with eight doubles per operation: the same multiplies, adds and
// truncations as the scalar pixel, lane by lane.
template <bool small>
KAVROSA_AVX512 inline void Convert8Avx512(const int32_t* y, const int32_t* cb, const int32_t* cr,
                                          int32_t count, __m256i offset, uint8_t* out) {
  const __m512d yd =
      ToDoubles(_mm256_add_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(y)), offset));
  const __m512d cbd = ToDoubles(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(cb)));
  const __m512d crd = ToDoubles(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(cr)));
  const __m256i b =
      Truncate8<small>(_mm512_sub_pd(_mm512_add_pd(_mm512_mul_pd(cbd, _mm512_set1_pd(1.7718)), yd),
                                     _mm512_mul_pd(crd, _mm512_set1_pd(0.0012))));
  const __m256i g =
      Truncate8<small>(_mm512_sub_pd(_mm512_sub_pd(yd, _mm512_mul_pd(cbd, _mm512_set1_pd(0.3441))),
                                     _mm512_mul_pd(crd, _mm512_set1_pd(0.7139))));
  const __m256i r = Truncate8<small>(_mm512_add_pd(_mm512_mul_pd(crd, _mm512_set1_pd(1.402)), yd));
  // Per 128-bit half: B, G, R of four pixels as bytes (saturating packs clamp -1 and 256),
  // then shuffled into B, G, R order: twelve bytes per half.
  const __m256i planar = _mm256_packus_epi16(_mm256_packs_epi32(b, g), _mm256_packs_epi32(r, r));
  const __m256i packed = _mm256_shuffle_epi8(
      planar, _mm256_setr_epi8(0, 4, 8, 1, 5, 9, 2, 6, 10, 3, 7, 11, -1, -1, -1, -1, 0, 4, 8, 1, 5,
                               9, 2, 6, 10, 3, 7, 11, -1, -1, -1, -1));
  if (count == 8) {
    // The two twelve-byte halves side by side, stored as 16 + 8 bytes.
    const __m256i joined =
        _mm256_permutevar8x32_epi32(packed, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(joined));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), _mm256_extracti128_si256(joined, 1));
    return;
  }
  const int32_t first = count < 4 ? count : 4;
  const int32_t second = count - first;
  _mm_mask_storeu_epi8(out, static_cast<__mmask16>((1u << (3 * first)) - 1u),
                       _mm256_castsi256_si128(packed));
  if (second > 0) {
    _mm_mask_storeu_epi8(out + 12, static_cast<__mmask16>((1u << (3 * second)) - 1u),
                         _mm256_extracti128_si256(packed, 1));
  }
}

template <bool small>
KAVROSA_AVX512 void ConvertBlockAvx512(const int32_t* y, const int32_t* cb, const int32_t* cr,
                                       int32_t count, int32_t rows, int32_t yOffset, uint8_t* out,
                                       ptrdiff_t outStep) {
  const __m256i offset = _mm256_set1_epi32(yOffset);
  for (int32_t row = 0; row < rows; ++row) {
    Convert8Avx512<small>(y + 8 * row, cb + 8 * row, cr + 8 * row, count, offset,
                          out + row * outStep);
  }
}

#endif

}  // namespace

void ConvertRow(const int32_t* y, const int32_t* cb, const int32_t* cr, int32_t count,
                int32_t yOffset, uint8_t* out) {
#if defined(KAVROSA_AVX_CONVERSION)
  if (CpuHas(SimdLevel::kAvx)) {
    ConvertRowAvx(y, cb, cr, count, yOffset, out);
    return;
  }
#endif
  const __m128i offset = _mm_set1_epi32(yOffset);
  for (int32_t i = 0; i < count; i += 4) {
    const __m128i yi =
        _mm_add_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(y + i)), offset);
    const __m128i cbi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cb + i));
    const __m128i cri = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cr + i));
    __m128i b, g, r;
    Convert4(yi, cbi, cri, b, g, r);
    Store4(b, g, r, count - i < 4 ? count - i : 4, out + 3 * i);
  }
}

#else

void ConvertRow(const int32_t* y, const int32_t* cb, const int32_t* cr, int32_t count,
                int32_t yOffset, uint8_t* out) {
  for (int32_t i = 0; i < count; ++i) {
    const Bgr p = ConvertPixel(y[i] + yOffset, cb[i], cr[i]);
    out[3 * i + 0] = p.b;
    out[3 * i + 1] = p.g;
    out[3 * i + 2] = p.r;
  }
}

#endif

void ConvertBlock(const int32_t* y, const int32_t* cb, const int32_t* cr, int32_t count,
                  int32_t rows, int32_t yOffset, uint8_t* out, ptrdiff_t outStep, bool small) {
#if defined(KAVROSA_AVX_CONVERSION)
  if (CpuHas(SimdLevel::kAvx512)) {
    if (small) {
      ConvertBlockAvx512<true>(y, cb, cr, count, rows, yOffset, out, outStep);
    } else {
      ConvertBlockAvx512<false>(y, cb, cr, count, rows, yOffset, out, outStep);
    }
    return;
  }
  if (CpuHas(SimdLevel::kAvx)) {
    if (small) {
      ConvertBlockAvx<true>(y, cb, cr, count, rows, yOffset, out, outStep);
    } else {
      ConvertBlockAvx<false>(y, cb, cr, count, rows, yOffset, out, outStep);
    }
    return;
  }
#endif
  (void)small;
  for (int32_t row = 0; row < rows; ++row)
    ConvertRow(y + 8 * row, cb + 8 * row, cr + 8 * row, count, yOffset, out + row * outStep);
}

}  // namespace kavrosa
