// The vectorised colour conversion: SSE2 doubles two at a time with separate multiplies and
// adds (never fused), min/max clamping and truncating conversion, which round exactly as the
// scalar expressions do. Without SSE2 it falls back to the scalar pixel.
#include "jpeg/ColourConversion.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kavrosa {

#if defined(__SSE2__)
namespace {

// Two pixels' channel values (as doubles) to two clamped integers.
inline __m128i TruncateClamp(__m128d v) {
  v = _mm_max_pd(v, _mm_set1_pd(-1.0));
  v = _mm_min_pd(v, _mm_set1_pd(256.0));
  __m128i i = _mm_cvttpd_epi32(v);  // truncation toward zero, in the low two lanes
  i = _mm_max_epi16(i, _mm_setzero_si128());
  return _mm_min_epi16(i, _mm_set1_epi32(255));
}

}  // namespace

void ConvertRow(const int32_t* y, const int32_t* cb, const int32_t* cr, int32_t count,
                uint8_t* out) {
  alignas(16) int32_t b[16];
  alignas(16) int32_t g[16];
  alignas(16) int32_t r[16];
  const __m128d kCbB = _mm_set1_pd(1.7718);
  const __m128d kCrB = _mm_set1_pd(0.0012);
  const __m128d kCbG = _mm_set1_pd(0.3441);
  const __m128d kCrG = _mm_set1_pd(0.7139);
  const __m128d kCrR = _mm_set1_pd(1.402);
  for (int32_t i = 0; i < count; i += 2) {
    const __m128i yi = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(y + i));
    const __m128i cbi = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cb + i));
    const __m128i cri = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cr + i));
    const __m128d yd = _mm_cvtepi32_pd(yi);
    const __m128d cbd = _mm_cvtepi32_pd(cbi);
    const __m128d crd = _mm_cvtepi32_pd(cri);
    const __m128d bd = _mm_sub_pd(_mm_add_pd(_mm_mul_pd(cbd, kCbB), yd), _mm_mul_pd(crd, kCrB));
    const __m128d gd = _mm_sub_pd(_mm_sub_pd(yd, _mm_mul_pd(cbd, kCbG)), _mm_mul_pd(crd, kCrG));
    const __m128d rd = _mm_add_pd(_mm_mul_pd(crd, kCrR), yd);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(b + i), TruncateClamp(bd));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(g + i), TruncateClamp(gd));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(r + i), TruncateClamp(rd));
  }
  for (int32_t i = 0; i < count; ++i) {
    out[3 * i + 0] = static_cast<uint8_t>(b[i]);
    out[3 * i + 1] = static_cast<uint8_t>(g[i]);
    out[3 * i + 2] = static_cast<uint8_t>(r[i]);
  }
}

#else

void ConvertRow(const int32_t* y, const int32_t* cb, const int32_t* cr, int32_t count,
                uint8_t* out) {
  for (int32_t i = 0; i < count; ++i) {
    const Bgr p = ConvertPixel(y[i], cb[i], cr[i]);
    out[3 * i + 0] = p.b;
    out[3 * i + 1] = p.g;
    out[3 * i + 2] = p.r;
  }
}

#endif

}  // namespace kavrosa
