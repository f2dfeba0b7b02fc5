// The one probe of the processor's vector extensions that every SIMD choice asks. A level
// counts only when the processor has it and the operating system saves its registers on a
// thread switch (XGETBV), so AVX code never runs where the YMM or ZMM state would be lost.
#pragma once

#include <atomic>
#include <cstdint>

// GCC and clang builds for x86 (32- or 64-bit, native or Windows) carry the AVX paths as
// functions with their own target attribute, chosen at run time through UsableSimd().
#if (defined(__i386__) || defined(__x86_64__)) && defined(__SSE2__) && \
    (defined(__GNUC__) || defined(__clang__))
#define KAVROSA_X86_SIMD 1
#endif

namespace kavrosa {

// Each level includes the ones below it. kAvx512 is F, VL and BW together.
enum class SimdLevel : int32_t { kNone = 0, kSse2, kSse41, kAvx, kAvx2, kAvx512 };

namespace cpu_detail {
extern std::atomic<int32_t> usableLevel;  // -1 until probed
int32_t ProbeUsableLevel();
}  // namespace cpu_detail

// The highest level the vector paths may use: the processor's, lowered by any ceiling set
// below. Probed once; a relaxed load afterwards, cheap enough to ask per block.
inline SimdLevel UsableSimd() {
  int32_t level = cpu_detail::usableLevel.load(std::memory_order_relaxed);
  if (level < 0) level = cpu_detail::ProbeUsableLevel();
  return static_cast<SimdLevel>(level);
}

inline bool CpuHas(SimdLevel level) {
  return UsableSimd() >= level;
}

// What the processor and the system offer, ignoring any ceiling.
SimdLevel ProcessorSimd();

// Lets tests run every lower level's code on one machine: the paths chosen from now on use at
// most `ceiling`. Not for use while other threads decode.
void SetSimdCeiling(SimdLevel ceiling);

// The level's name as tests and tools print it ("sse2", "avx512"...).
const char* SimdLevelName(SimdLevel level);

}  // namespace kavrosa
