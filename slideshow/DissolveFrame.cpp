// Dissolve frames. The generator d -> (109 d + 1021) mod 32768 has full period on 0..32767, so
// for every steps whose seed and first product stay inside 32 bits the remainders repeat every
// 32768 groups: one table per steps gives them, and a byte mask over one cycle (98304 bytes)
// turns the frame into a plain AND of source and mask that the compiler vectorises.
#include "slideshow/DissolveFrame.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace kavrosa {
namespace {

constexpr size_t kCycleGroups = 32768;
constexpr size_t kCycleBytes = 3 * kCycleGroups;
// Up to this many steps the seed and 109 x seed fit a signed 32-bit integer, so every d lies in
// 0..32767 and the remainders repeat with the generator's cycle.
constexpr int32_t kMaxTableSteps = 65535;

// The remainders of one cycle for `steps`, kept for the last steps asked for on this thread.
const std::vector<uint16_t>& RemainderCycle(int32_t steps) {
  thread_local std::vector<uint16_t> remainders;
  thread_local int32_t cachedSteps = 0;
  if (cachedSteps != steps || remainders.size() != kCycleGroups) {
    remainders.resize(kCycleGroups);
    int32_t d = DissolveSeed(steps);
    for (size_t g = 0; g < kCycleGroups; ++g) {
      d = DissolveNext(d);
      remainders[g] = static_cast<uint16_t>(d % steps);
    }
    cachedSteps = steps;
  }
  return remainders;
}

// 0xFF for each byte of a copied group, 0 for a cleared one, over `bytes` bytes of one cycle.
void BuildCycleMask(const std::vector<uint16_t>& remainders, int32_t level, uint8_t* mask,
                    size_t bytes) {
  const size_t groups = (bytes + 2) / 3;
  const uint16_t limit = static_cast<uint16_t>(level);
  for (size_t g = 0; g < groups; ++g) {
    const uint8_t keep = remainders[g] <= limit ? 0xFF : 0x00;
    mask[3 * g] = keep;
    mask[3 * g + 1] = keep;
    mask[3 * g + 2] = keep;
  }
}

void AndWithMask(const uint8_t* source, const uint8_t* mask, uint8_t* target, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) target[i] = source[i] & mask[i];
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
  if (steps < 1 || steps > kMaxTableSteps || level < 0 || level >= steps) {
    DissolveReference(source, target, size, level, steps);
    return;
  }
  const std::vector<uint16_t>& remainders = RemainderCycle(steps);
  thread_local std::vector<uint8_t> mask(kCycleBytes + 3);
  const size_t maskBytes = std::min(size, kCycleBytes);
  BuildCycleMask(remainders, level, mask.data(), maskBytes);
  for (size_t offset = 0; offset < size; offset += kCycleBytes) {
    AndWithMask(source + offset, mask.data(), target + offset,
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
