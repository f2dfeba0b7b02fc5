// CPUID and XGETBV by hand rather than __builtin_cpu_supports, which needs libgcc's start-up
// probe (absent from some static mingw links) and does not check that the system saves the
// AVX-512 state. The XCR0 read is an instruction of its own so no -mxsave is needed.
#include "platform/CpuFeatures.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace kavrosa {
namespace cpu_detail {
std::atomic<int32_t> usableLevel{-1};
}  // namespace cpu_detail

namespace {

std::atomic<int32_t> ceilingLevel{static_cast<int32_t>(SimdLevel::kAvx512)};

#if defined(__i386__) || defined(__x86_64__)
uint64_t ReadXcr0() {
  uint32_t low = 0;
  uint32_t high = 0;
  __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  return (uint64_t{high} << 32) | low;
}

SimdLevel Probe() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return SimdLevel::kNone;
  if ((edx & bit_SSE2) == 0) return SimdLevel::kNone;
  if ((ecx & bit_SSE4_1) == 0) return SimdLevel::kSse2;
  // AVX needs the processor's flag, XGETBV enabled by the system, and XMM and YMM saved.
  if ((ecx & bit_AVX) == 0 || (ecx & bit_OSXSAVE) == 0) return SimdLevel::kSse41;
  const uint64_t xcr0 = ReadXcr0();
  if ((xcr0 & 0x6) != 0x6) return SimdLevel::kSse41;
  unsigned maxLeaf = __get_cpuid_max(0, nullptr);
  if (maxLeaf < 7) return SimdLevel::kAvx;
  __cpuid_count(7, 0, eax, ebx, ecx, edx);
  if ((ebx & bit_AVX2) == 0) return SimdLevel::kAvx;
  // AVX-512: F, VL and BW, with the opmask and both halves of the ZMM state saved.
  const unsigned avx512 = bit_AVX512F | bit_AVX512VL | bit_AVX512BW;
  if ((ebx & avx512) != avx512 || (xcr0 & 0xE0) != 0xE0) return SimdLevel::kAvx2;
  return SimdLevel::kAvx512;
}
#else
SimdLevel Probe() {
  return SimdLevel::kNone;
}
#endif

}  // namespace

SimdLevel ProcessorSimd() {
  static const SimdLevel level = Probe();
  return level;
}

int32_t cpu_detail::ProbeUsableLevel() {
  const int32_t processor = static_cast<int32_t>(ProcessorSimd());
  const int32_t ceiling = ceilingLevel.load(std::memory_order_relaxed);
  const int32_t level = processor < ceiling ? processor : ceiling;
  usableLevel.store(level, std::memory_order_relaxed);
  return level;
}

void SetSimdCeiling(SimdLevel ceiling) {
  ceilingLevel.store(static_cast<int32_t>(ceiling), std::memory_order_relaxed);
  cpu_detail::ProbeUsableLevel();
}

const char* SimdLevelName(SimdLevel level) {
  switch (level) {
    case SimdLevel::kNone:
      return "none";
    case SimdLevel::kSse2:
      return "sse2";
    case SimdLevel::kSse41:
      return "sse4.1";
    case SimdLevel::kAvx:
      return "avx";
    case SimdLevel::kAvx2:
      return "avx2";
    case SimdLevel::kAvx512:
      return "avx512";
  }
  return "?";
}

}  // namespace kavrosa
