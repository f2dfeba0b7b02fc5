// Separable scaling with 14-bit fixed-point weights per axis. Each destination row is built from
// the source rows its vertical taps name, each of those resampled horizontally first; the weights
// of every destination pixel sum to exactly 1 << 14, so a flat colour stays flat and a 2:1
// reduction is the rounded mean of each 2 x 2 box. The horizontal pass keeps 8 fractional bits,
// which lets the vertical sums stay within 32 bits.
#include "image/Resample.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace kavrosa {
namespace {

constexpr int32_t kWeightBits = 14;
constexpr int32_t kWeightOne = 1 << kWeightBits;
// Horizontal results keep 8 fractional bits: (value << 14) >> 6.
constexpr int32_t kHorizontalShift = 6;
constexpr int32_t kVerticalShift = 2 * kWeightBits - kHorizontalShift;

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

// One source row scaled horizontally, with 8 fractional bits.
void ResampleRow(const uint8_t* row, const AxisTaps& taps, int32_t width, uint32_t* out) {
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
    out[3 * x] = (b + (1u << (kHorizontalShift - 1))) >> kHorizontalShift;
    out[3 * x + 1] = (g + (1u << (kHorizontalShift - 1))) >> kHorizontalShift;
    out[3 * x + 2] = (r + (1u << (kHorizontalShift - 1))) >> kHorizontalShift;
  }
}

// Keeps the two most recently scaled source rows: an enlargement's neighbouring destination rows
// share their source rows, and a reduction's boundary row serves two destination rows.
class RowCache {
 public:
  RowCache(const PixelRows24& source, const AxisTaps& horizontal, int32_t width)
      : source_(source), horizontal_(horizontal), width_(width) {
    for (auto& slot : slots_) slot.values.resize(size_t(width) * 3);
  }

  const uint32_t* Row(int32_t index) {
    for (auto& slot : slots_) {
      if (slot.index == index) return slot.values.data();
    }
    Slot& slot = slots_[next_];
    next_ ^= 1;
    slot.index = index;
    ResampleRow(source_.data + size_t(index) * source_.stride, horizontal_, width_,
                slot.values.data());
    return slot.values.data();
  }

 private:
  struct Slot {
    int32_t index = -1;
    std::vector<uint32_t> values;
  };
  const PixelRows24& source_;
  const AxisTaps& horizontal_;
  int32_t width_;
  Slot slots_[2];
  int next_ = 0;
};

bool Valid(int32_t width, int32_t height, size_t stride, const void* data) {
  return data != nullptr && width > 0 && height > 0 && stride >= size_t(width) * 3;
}

}  // namespace

bool Resample24(const PixelRows24& source, const MutablePixelRows24& target) {
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
    const AxisTaps horizontal = MakeTaps(source.width, target.width);
    const AxisTaps vertical = MakeTaps(source.height, target.height);
    RowCache rows(source, horizontal, target.width);
    std::vector<uint32_t> sum(rowBytes);
    for (int32_t y = 0; y < target.height; ++y) {
      std::fill(sum.begin(), sum.end(), 0u);
      const int32_t* weight = &vertical.weights[vertical.offset[y]];
      for (int32_t k = 0; k < vertical.count[y]; ++k) {
        const uint32_t* row = rows.Row(vertical.first[y] + k);
        const uint32_t w = static_cast<uint32_t>(weight[k]);
        for (size_t i = 0; i < rowBytes; ++i) sum[i] += w * row[i];
      }
      uint8_t* out = target.data + size_t(y) * target.stride;
      for (size_t i = 0; i < rowBytes; ++i) {
        out[i] = static_cast<uint8_t>(
            std::min<uint32_t>(255, (sum[i] + (1u << (kVerticalShift - 1))) >> kVerticalShift));
      }
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

}  // namespace kavrosa

namespace kavrosa {

// Source row j of the bottom-up block (pushed rows count down from the top) adds into the
// one or two target rows whose vertical taps name it; a target row is written when its last
// tap has come. The sums are those of the whole-block pass, added in another order.
struct RowStreamResampler::State {
  int32_t sourceHeight = 0;
  int32_t targetWidth = 0;
  int32_t pushed = 0;
  AxisTaps horizontal;
  AxisTaps vertical;
  std::vector<int32_t> firstTarget;  // per source row: the lowest target row naming it
  std::vector<uint32_t> scaled;      // the pushed row, scaled horizontally
  std::vector<uint32_t> sums[2];     // target row i sums in sums[i & 1]
  int32_t sumRow[2] = {-1, -1};
  int32_t tapsIn[2] = {0, 0};
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
    state->targetWidth = targetWidth;
    state->horizontal = MakeTaps(sourceWidth, targetWidth);
    state->vertical = MakeTaps(sourceHeight, targetHeight);
    state->firstTarget.assign(sourceHeight, -1);
    for (int32_t i = targetHeight - 1; i >= 0; --i) {
      for (int32_t k = 0; k < state->vertical.count[i]; ++k)
        state->firstTarget[state->vertical.first[i] + k] = i;
    }
    const size_t values = size_t(targetWidth) * 3;
    state->scaled.resize(values);
    for (auto& sum : state->sums) sum.resize(values);
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
  ResampleRow(row, s.horizontal, s.targetWidth, s.scaled.data());
  const size_t values = s.scaled.size();
  for (int32_t i = s.firstTarget[j]; i < int32_t(s.vertical.first.size()); ++i) {
    const int32_t first = s.vertical.first[i];
    if (j < first || j >= first + s.vertical.count[i]) break;
    const int slot = i & 1;
    std::vector<uint32_t>& sum = s.sums[slot];
    if (s.sumRow[slot] != i) {
      std::fill(sum.begin(), sum.end(), 0u);
      s.sumRow[slot] = i;
      s.tapsIn[slot] = 0;
    }
    const uint32_t w = static_cast<uint32_t>(s.vertical.weights[s.vertical.offset[i] + j - first]);
    for (size_t v = 0; v < values; ++v) sum[v] += w * s.scaled[v];
    if (++s.tapsIn[slot] < s.vertical.count[i]) continue;
    uint8_t* out = target.data + size_t(i) * target.stride;
    for (size_t v = 0; v < values; ++v) {
      out[v] = static_cast<uint8_t>(
          std::min<uint32_t>(255, (sum[v] + (1u << (kVerticalShift - 1))) >> kVerticalShift));
    }
  }
}

}  // namespace kavrosa
