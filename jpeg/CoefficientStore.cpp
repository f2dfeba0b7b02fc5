#include "jpeg/CoefficientStore.h"

#include <cstdlib>

namespace kavrosa {

bool CoefficientStore::Allocate(const JpegDecoderState& s) {
  Free();
  int32_t hMax = 1, vMax = 1;
  for (int i = 0; i < s.componentCount; ++i) {
    if (s.components[i].h > hMax) hMax = s.components[i].h;
    if (s.components[i].v > vMax) vMax = s.components[i].v;
  }
  uint64_t total = 0;
  for (int i = 0; i < s.componentCount; ++i) {
    ComponentCoefficients& c = components[i];
    c.blocksPerLine = s.mcusPerRow * s.components[i].h;
    c.blockRows = s.mcuRows * s.components[i].v;
    // ceil(ceil(X * h / hMax) / 8): the component's own samples in whole blocks.
    const int64_t width = (int64_t{s.header.biWidth} * s.components[i].h + hMax - 1) / hMax;
    const int64_t height = (int64_t{s.header.biHeight} * s.components[i].v + vMax - 1) / vMax;
    c.scanBlocksPerLine = static_cast<int32_t>((width + 7) / 8);
    c.scanBlockRows = static_cast<int32_t>((height + 7) / 8);
    total += uint64_t{2} * 64 * static_cast<uint64_t>(c.blocksPerLine) *
             static_cast<uint64_t>(c.blockRows);
  }
  if (total > kMaxCoefficientBytes) return false;
  for (int i = 0; i < s.componentCount; ++i) {
    ComponentCoefficients& c = components[i];
    const size_t blocks = static_cast<size_t>(c.blocksPerLine) * static_cast<size_t>(c.blockRows);
    c.values.reset(static_cast<int16_t*>(std::calloc(64 * blocks, sizeof(int16_t))));
    c.nonzero.reset(static_cast<uint64_t*>(std::calloc(blocks, sizeof(uint64_t))));
    if (blocks != 0 && (!c.values || !c.nonzero)) {
      Free();
      return false;
    }
  }
  return true;
}

void CoefficientStore::Free() {
  for (ComponentCoefficients& c : components) c = ComponentCoefficients{};
  ResetApproximation();
}

void CoefficientStore::ResetApproximation() {
  for (auto& component : approximation)
    for (int8_t& al : component) al = -1;
}

}  // namespace kavrosa
