// Dissolve frames. The generator d -> (109 d + 1021) mod 32768 has full period on 0..32767, so
// for every steps whose seed and first product stay inside 32 bits the remainders repeat every
// 32768 groups. The fast path keeps, per steps, each byte's remainder over one cycle (98304
// bytes); a frame is then one pass of compare-and-mask over the source, which vectorises.
#include "slideshow/DissolveFrame.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/CpuFeatures.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(KAVROSA_X86_SIMD)
// x86 builds also carry an AVX2 version of the masking, chosen at run time.
#define KAVROSA_AVX2_DISSOLVE 1
#include <immintrin.h>
#endif

namespace kavrosa {
namespace {

constexpr size_t kCycleGroups = 32768;
constexpr size_t kCycleBytes = 3 * kCycleGroups;
// Remainders of up to this many steps fit a byte (and the seed's products fit 32 bits).
constexpr int32_t kMaxTableSteps = 255;

struct CycleTable {
  int32_t steps = 0;
  std::vector<uint8_t> remainders;  // the remainder of each byte's group, one cycle long
};

void FillCycle(CycleTable& table, int32_t steps) {
  table.remainders.resize(kCycleBytes);
  int32_t d = DissolveSeed(steps);
  for (size_t g = 0; g < kCycleGroups; ++g) {
    d = DissolveNext(d);
    const uint8_t r = static_cast<uint8_t>(d % steps);
    table.remainders[3 * g] = r;
    table.remainders[3 * g + 1] = r;
    table.remainders[3 * g + 2] = r;
  }
  table.steps = steps;
}

// The cycle for `steps`. Two tables per thread: the fade-in and the fade-out steps.
const uint8_t* RemainderCycle(int32_t steps) {
  thread_local CycleTable tables[2];
  thread_local size_t nextSlot = 0;
  for (const CycleTable& table : tables) {
    if (table.steps == steps) return table.remainders.data();
  }
  CycleTable& table = tables[nextSlot];
  nextSlot = (nextSlot + 1) % 2;
  FillCycle(table, steps);
  return table.remainders.data();
}

// target[i] = source[i] where the byte's remainder is at most the level, else 0.
void MaskedCopyScalar(const uint8_t* source, const uint8_t* remainders, uint8_t level,
                      uint8_t* target, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) {
    const uint8_t keep = static_cast<uint8_t>(-static_cast<int>(remainders[i] <= level));
    target[i] = source[i] & keep;
  }
}

#if defined(__SSE2__)
// Sixteen bytes at a time: r <= level exactly when max(r, level) == level (unsigned bytes),
// which reads each remainder once.
size_t MaskedCopySse2(const uint8_t* source, const uint8_t* remainders, uint8_t level,
                      uint8_t* target, size_t bytes) {
  const __m128i limit = _mm_set1_epi8(static_cast<char>(level));
  size_t i = 0;
  for (; i + 16 <= bytes; i += 16) {
    const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(remainders + i));
    const __m128i keep = _mm_cmpeq_epi8(_mm_max_epu8(r, limit), limit);
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target + i), _mm_and_si128(s, keep));
  }
  return i;
}
#endif

#if defined(KAVROSA_AVX2_DISSOLVE)
__attribute__((target("avx2"))) size_t MaskedCopyAvx2(const uint8_t* source,
                                                      const uint8_t* remainders, uint8_t level,
                                                      uint8_t* target, size_t bytes) {
  const __m256i limit = _mm256_set1_epi8(static_cast<char>(level));
  const auto masked = [&](size_t i) __attribute__((target("avx2"))) {
    const __m256i r = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(remainders + i));
    const __m256i keep = _mm256_cmpeq_epi8(_mm256_max_epu8(r, limit), limit);
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(target + i), _mm256_and_si256(s, keep));
  };
  size_t i = 0;
  for (; i + 64 <= bytes; i += 64) {
    masked(i);
    masked(i + 32);
  }
  for (; i + 32 <= bytes; i += 32) masked(i);
  return i;
}
#endif

void MaskedCopy(const uint8_t* source, const uint8_t* remainders, uint8_t level, uint8_t* target,
                size_t bytes) {
  size_t done = 0;
#if defined(KAVROSA_AVX2_DISSOLVE)
  if (CpuHas(SimdLevel::kAvx2)) done = MaskedCopyAvx2(source, remainders, level, target, bytes);
#endif
#if defined(__SSE2__)
  done += MaskedCopySse2(source + done, remainders + done, level, target + done, bytes - done);
#endif
  MaskedCopyScalar(source + done, remainders + done, level, target + done, bytes - done);
}

void MaskFromRemainders(const uint8_t* remainders, uint8_t level, uint8_t* mask, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) {
    mask[i] = static_cast<uint8_t>(-static_cast<int>(remainders[i] <= level));
  }
}

}  // namespace

int32_t DissolveSeed(int32_t steps) {
  return static_cast<int32_t>(13u * static_cast<uint32_t>(steps) + 137u);
}

int32_t DissolveNext(int32_t d) {
  const int32_t product = static_cast<int32_t>(109u * static_cast<uint32_t>(d) + 1021u);
  return product % 32768;
}

void DissolveReference(const uint8_t* source, uint8_t* target, size_t size, int32_t level,
                       int32_t steps) {
  int32_t d = DissolveSeed(steps);
  for (size_t j = 0; j < size; j += 3) {
    d = DissolveNext(d);
    const int32_t r = d % steps;
    const size_t count = std::min<size_t>(3, size - j);
    if (r > level) {
      std::memset(target + j, 0, count);
    } else {
      std::memcpy(target + j, source + j, count);
    }
  }
}

void DissolveFast(const uint8_t* source, uint8_t* target, size_t size, int32_t level,
                  int32_t steps) {
  if (steps < 2 || steps > kMaxTableSteps || level < 0 || level >= steps) {
    DissolveReference(source, target, size, level, steps);
    return;
  }
  const uint8_t* remainders = RemainderCycle(steps);
  for (size_t offset = 0; offset < size; offset += kCycleBytes) {
    MaskedCopy(source + offset, remainders, static_cast<uint8_t>(level), target + offset,
               std::min(kCycleBytes, size - offset));
  }
}

void DissolveKeepMask(uint8_t* mask, size_t size, int32_t level, int32_t steps) {
  if (steps < 2 || steps > kMaxTableSteps || level < 0 || level >= steps) {
    int32_t d = DissolveSeed(steps);
    for (size_t j = 0; j < size; j += 3) {
      d = DissolveNext(d);
      const uint8_t value = d % steps > level ? 0 : 0xFF;
      std::memset(mask + j, value, std::min<size_t>(3, size - j));
    }
    return;
  }
  const uint8_t* remainders = RemainderCycle(steps);
  for (size_t offset = 0; offset < size; offset += kCycleBytes) {
    MaskFromRemainders(remainders, static_cast<uint8_t>(level), mask + offset,
                       std::min(kCycleBytes, size - offset));
  }
}

void RenderFadeFrame(const uint8_t* source, uint8_t* target, size_t size, int32_t level,
                     int32_t steps) {
  if (size == 0) return;
  if (level == 0) {
    std::memset(target, 0, size);
  } else if (level == steps) {
    std::memcpy(target, source, size);
  } else {
    DissolveFast(source, target, size, level, steps);
  }
}

}  // namespace kavrosa
