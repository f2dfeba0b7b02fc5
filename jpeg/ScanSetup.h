// The scan header and the binding of frame components to tables, shared by the reference and
// the fast MCU loops, which both end in the same alignment and the same refusals; and the
// reconstruction of a frame whose coefficients were gathered over several scans.
#pragma once

#include <cstddef>
#include <cstdint>

#include "jpeg/BlockDecoder.h"
#include "jpeg/DecodeContext.h"
#include "jpeg/PixelSink.h"

namespace kavrosa {

// Block slots of one MCU: up to eight luminance blocks (4x2) in decoding order, then Cb, Cr.
constexpr int kCbSlot = 8;
constexpr int kCrSlot = 9;
constexpr int kSlotCount = 10;

struct ScanSetup {
  ComponentTables tables[3];  // frame components bound to the scan's selectors by identifier
  int32_t hRatioCb = 1;
  int32_t vRatioCb = 1;
  int32_t hRatioCr = 1;
  int32_t vRatioCr = 1;
  size_t dataStart = 0;  // first byte of entropy-coded data
  // The frame components the scan names, in the scan's order; whether it names them all, and
  // whether it also names identifiers the frame does not have.
  int32_t count = 0;
  bool complete = false;
  bool unknown = false;
  int32_t order[3] = {0, 0, 0};
  // Spectral selection and successive approximation (progressive scans only).
  int32_t ss = 0;
  int32_t se = 63;
  int32_t ah = 0;
  int32_t al = 0;
};

// One axis of a component's blocks at a decoded scale: a chroma block already covers `ratio`
// times the pixels, so it is reduced by scale / ratio only (by 1 at least), to `samples`
// samples that each cover `repeat` pixels of the decoded scale. At scale 1: the full
// transform, each sample repeated `ratio` times.
struct AxisReduction {
  int32_t scale;
  int32_t repeat;
  int32_t samples;
};

inline AxisReduction ReduceAxis(int32_t scale, int32_t ratio) {
  const int32_t own = scale > ratio ? scale / ratio : 1;
  return AxisReduction{own, ratio * own / scale, 8 / own};
}

// Reads the scan header at q and binds the tables; refuses undefined or out-of-range tables.
JpegError ReadScanHeader(DecodeContext& context, size_t q, ScanSetup& setup);

// The MCU loops: decode every MCU of the frame into `sink`, leaving the bit reader at the end
// of the last MCU.
JpegError DecodeMcusReference(DecodeContext& context, const ScanSetup& setup, PixelSink& sink);
JpegError DecodeMcusFast(DecodeContext& context, const ScanSetup& setup, PixelSink& sink);

// The same transform, sample placement and colour conversion over coefficients that earlier
// scans gathered (quantised, natural order), dequantised with the frame's tables.
JpegError ReconstructReference(DecodeContext& context, PixelSink& sink);
JpegError ReconstructFast(DecodeContext& context, PixelSink& sink);

// The quantisation table of frame component i, or null when it was never defined.
const uint8_t* ComponentQuant(const JpegDecoderState& s, int i);

}  // namespace kavrosa
