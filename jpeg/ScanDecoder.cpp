// DecodeScan and the reference MCU loop: block slots, three planes with chroma replication,
// the level shift on luminance only, double-precision conversion per pixel and B, G, R bytes
// in bottom-up rows, clipped at the picture's right and bottom edges. Greyscale is the same
// with both chroma slots left at zero, which converts each pixel to its luminance.
#include "jpeg/ScanSetup.h"

#include "jpeg/BitReader.h"
#include "jpeg/ColourConversion.h"
#include "jpeg/InverseDct.h"

namespace kavrosa {
namespace {

struct Selectors {
  bool named = false;
  int32_t dc = 0;
  int32_t ac = 0;
};

// Binds the tables a scan uses: DC and AC for a sequential scan, only the one the band needs
// for a progressive scan (whose quantisation is applied once the frame is complete).
JpegError BindComponent(const JpegDecoderState& s, int i, const Selectors& selectors,
                        const ScanSetup& setup, ComponentTables& tables) {
  if (!selectors.named) return JpegError::kScanComponents;
  if (selectors.dc > 3 || selectors.ac > 3) return JpegError::kTableNumber;
  const int32_t q = s.components[i].quantTable;
  if (q < 0 || q > 3) return JpegError::kTableNumber;
  tables.dcTable = &s.dcTables[selectors.dc];
  tables.dcValues = s.dcValues[selectors.dc];
  tables.dcCount = s.dcValueCounts[selectors.dc];
  tables.acTable = &s.acTables[selectors.ac];
  tables.acValues = s.acValues[selectors.ac];
  tables.acCount = s.acValueCounts[selectors.ac];
  tables.quant = s.quantTables[q];
  const bool needsDc = !s.progressive || (setup.ss == 0 && setup.ah == 0);
  // Sequential scans are bound whole, as they are decoded at once.
  const bool needsAc = !s.progressive || setup.ss != 0;
  const bool needsQuant = !s.progressive;
  if ((needsDc && tables.dcValues == nullptr) || (needsAc && tables.acValues == nullptr) ||
      (needsQuant && tables.quant == nullptr))
    return JpegError::kUndefinedTable;
  return JpegError::kNone;
}

// T.81 G.1.1.1: a DC scan may interleave components, an AC scan names one component and
// a band within 1..63, and a refinement adds the one bit below the previous approximation.
JpegError CheckProgression(const ScanSetup& setup) {
  const bool dc = setup.ss == 0;
  if (dc && setup.se != 0) return JpegError::kProgressiveScan;
  if (!dc && (setup.se < setup.ss || setup.se > 63 || setup.count != 1))
    return JpegError::kProgressiveScan;
  if (setup.al > 13 || (setup.ah != 0 && setup.ah != setup.al + 1))
    return JpegError::kProgressiveScan;
  return JpegError::kNone;
}

}  // namespace

const uint8_t* ComponentQuant(const JpegDecoderState& s, int i) {
  const int32_t q = s.components[i].quantTable;
  return q >= 0 && q <= 3 ? s.quantTables[q] : nullptr;
}

JpegError ReadScanHeader(DecodeContext& c, size_t q, ScanSetup& setup) {
  const JpegDecoderState& s = c.state;
  if (!c.stream.Has(q, 3)) return JpegError::kTruncated;
  const size_t ns = c.stream.At(q + 2);
  // Ns selector pairs, then spectral selection and successive approximation.
  if (!c.stream.Has(q + 3, 2 * ns + 3)) return JpegError::kTruncated;
  Selectors selectors[3];
  for (size_t k = 0; k < ns; ++k) {
    const uint8_t id = c.stream.At(q + 3 + 2 * k);
    const uint8_t tables = c.stream.At(q + 4 + 2 * k);
    bool known = false;
    for (int i = 0; i < s.componentCount; ++i) {
      if (s.components[i].id != id) continue;
      if (!selectors[i].named && setup.count < 3) setup.order[setup.count++] = i;
      selectors[i] = Selectors{true, tables >> 4, tables & 0x0F};
      known = true;
    }
    if (!known) setup.unknown = true;
  }
  setup.complete = setup.count == s.componentCount;
  const size_t band = q + 3 + 2 * ns;
  setup.ss = c.stream.At(band);
  setup.se = c.stream.At(band + 1);
  setup.ah = c.stream.At(band + 2) >> 4;
  setup.al = c.stream.At(band + 2) & 0x0F;
  if (s.progressive || c.gathered || (!setup.complete && !setup.unknown)) {
    // A scan of some of the components: each must be the frame's.
    if (setup.count == 0 || setup.unknown) return JpegError::kScanComponents;
    if (s.progressive) {
      const JpegError error = CheckProgression(setup);
      if (error != JpegError::kNone) return error;
    }
    for (int k = 0; k < setup.count; ++k) {
      const int i = setup.order[k];
      const JpegError bound = BindComponent(s, i, selectors[i], setup, setup.tables[i]);
      if (bound != JpegError::kNone) return bound;
    }
  } else {
    // A sequential scan carries every component of the frame, in the frame's order.
    for (int i = 0; i < s.componentCount; ++i) {
      const JpegError error = BindComponent(s, i, selectors[i], setup, setup.tables[i]);
      if (error != JpegError::kNone) return error;
    }
  }
  if (s.componentCount == 3) {
    const ComponentSpec* comp = s.components;
    setup.hRatioCb = comp[0].h / comp[1].h;
    setup.vRatioCb = comp[0].v / comp[1].v;
    setup.hRatioCr = comp[0].h / comp[2].h;
    setup.vRatioCr = comp[0].v / comp[2].v;
  }
  setup.dataStart = band + 3;
  return JpegError::kNone;
}

size_t DecodeScan(DecodeContext& c, size_t q) {
  if (!c.frameRead) return c.Stop(JpegError::kScanBeforeFrame, q);
  ScanSetup setup;
  JpegError error = ReadScanHeader(c, q, setup);
  if (error != JpegError::kNone) return c.Stop(error, q);
  StartBitReader(c.state, c.stream.data + setup.dataStart);
  c.state.bitOverrun = 0;
  if (!c.gathered && !setup.complete) {
    // Sequential with one component (or some) per scan: gathered like a progressive frame.
    if (!c.coefficients.Allocate(c.state)) return c.Stop(JpegError::kImageSize, q);
    c.gathered = true;
    c.scans = 0;
  }
  if (c.gathered) {
    error = DecodeProgressiveScan(c, setup);
  } else {
    BlockLock pixels(c.pixelBlock);
    if (!pixels) return c.Stop(JpegError::kOutOfMemory, q);
    PixelSink sink(c.state, pixels.data(), c.scale, c.strip, c.resampler.get(), c.resampled.cx,
                   c.resampled.cy);
    error = c.path == JpegPath::kReference ? DecodeMcusReference(c, setup, sink)
                                           : DecodeMcusFast(c, setup, sink);
  }
  if (error != JpegError::kNone) return c.Stop(error, q);
  AlignAtScanEnd(c.state);
  return static_cast<size_t>(c.state.bitCursor - c.stream.data);
}

JpegError FinishFrame(DecodeContext& c) {
  // A frame without scans keeps its zero-filled block, as a sequential one does.
  if (!c.frameRead || !c.gathered || c.scans == 0) return JpegError::kNone;
  for (int i = 0; i < c.state.componentCount; ++i)
    if (ComponentQuant(c.state, i) == nullptr) return JpegError::kUndefinedTable;
  BlockLock pixels(c.pixelBlock);
  if (!pixels) return JpegError::kOutOfMemory;
  PixelSink sink(c.state, pixels.data(), c.scale, c.strip, c.resampler.get(), c.resampled.cx,
                 c.resampled.cy);
  const JpegError error =
      c.path == JpegPath::kReference ? ReconstructReference(c, sink) : ReconstructFast(c, sink);
  c.coefficients.Free();
  return error;
}

namespace {

struct Planes {
  int32_t slots[kSlotCount][64] = {};
  double yPlane[16][32] = {};
  double cbPlane[16][32] = {};
  double crPlane[16][32] = {};
};

// Decodes the blocks of one MCU into the slots: luminance in 0..7 in decoding order, Cb and Cr
// in their own slots (a later chroma block replacing an earlier one). `source(i, bx, by, c)`
// gives the dequantised coefficients of block (bx, by) of component i within the MCU.
// At a reduced scale each slot holds the block's n x n reduced samples instead.
template <typename BlockSource>
JpegError FillSlots(const JpegDecoderState& s, const ScanSetup& setup, BlockSource& source,
                    int32_t scale, Planes& planes) {
  int32_t coefficients[64];
  for (int i = 0; i < s.componentCount; ++i) {
    int slot = i == 0 ? 0 : kCbSlot + i - 1;
    for (int by = 0; by < s.components[i].v; ++by) {
      for (int bx = 0; bx < s.components[i].h; ++bx) {
        const JpegError error = source(i, bx, by, coefficients);
        if (error != JpegError::kNone) return error;
        const AxisReduction across = ReduceAxis(scale, i == 0   ? 1
                                                       : i == 1 ? setup.hRatioCb
                                                                : setup.hRatioCr);
        const AxisReduction down = ReduceAxis(scale, i == 0   ? 1
                                                     : i == 1 ? setup.vRatioCb
                                                              : setup.vRatioCr);
        if (across.scale == 1 && down.scale == 1) {
          InverseDctReference(coefficients, planes.slots[slot]);
        } else {
          InverseDctReduced(coefficients, across.scale, down.scale, planes.slots[slot]);
        }
        if (i == 0) ++slot;
      }
    }
  }
  return JpegError::kNone;
}

void FillChroma(const AxisReduction& across, const AxisReduction& down, const int32_t* slot,
                double plane[16][32]) {
  for (int r = 0; r < down.samples; ++r)
    for (int j = 0; j < across.samples; ++j)
      for (int dy = 0; dy < down.repeat; ++dy)
        for (int dx = 0; dx < across.repeat; ++dx)
          plane[r * down.repeat + dy][j * across.repeat + dx] = slot[across.samples * r + j];
}

// Luminance block b of an MCU h blocks wide sits at block row b / h, block column b % h; each
// chroma sample covers its repeats (hRatio x vRatio at full size). Luminance blocks are
// n = 8 / scale samples square.
void FillPlanes(const JpegDecoderState& s, const ScanSetup& setup, int32_t scale, Planes& p) {
  const int n = 8 / scale;
  const int h = s.components[0].h;
  const int lumaBlocks = h * s.components[0].v;
  for (int b = 0; b < lumaBlocks; ++b) {
    const int top = n * (b / h);
    const int left = n * (b % h);
    for (int r = 0; r < n; ++r)
      for (int j = 0; j < n; ++j) p.yPlane[top + r][left + j] = p.slots[b][n * r + j] + 128;
  }
  FillChroma(ReduceAxis(scale, setup.hRatioCb), ReduceAxis(scale, setup.vRatioCb), p.slots[kCbSlot],
             p.cbPlane);
  FillChroma(ReduceAxis(scale, setup.hRatioCr), ReduceAxis(scale, setup.vRatioCr), p.slots[kCrSlot],
             p.crPlane);
}

// In pixels of the decoded scale, clipped at the reduced picture's edges.
void WriteMcuPixels(const JpegDecoderState& s, const Planes& p, int32_t scale, int32_t mcuX,
                    int32_t mcuY, const PixelTarget& target) {
  const int32_t width = ScaledLength(s.header.biWidth, scale);
  const int32_t height = ScaledLength(s.header.biHeight, scale);
  const int32_t mcuWidth = s.mcuWidth / scale;
  const int32_t mcuHeight = s.mcuHeight / scale;
  for (int ry = 0; ry < mcuHeight; ++ry) {
    const int32_t y = mcuY * mcuHeight + ry;
    if (y >= height) continue;
    uint8_t* row = target.Row(y);
    for (int cx = 0; cx < mcuWidth; ++cx) {
      const int32_t x = mcuX * mcuWidth + cx;
      if (x >= width) continue;
      const Bgr bgr = ConvertPixel(p.yPlane[ry][cx], p.cbPlane[ry][cx], p.crPlane[ry][cx]);
      row[3 * x + 0] = bgr.b;
      row[3 * x + 1] = bgr.g;
      row[3 * x + 2] = bgr.r;
    }
  }
}

// Ratios for the planes: the scan's for a sequential frame, the frame's own otherwise.
ScanSetup FrameRatios(const JpegDecoderState& s) {
  ScanSetup setup;
  if (s.componentCount == 3) {
    setup.hRatioCb = s.components[0].h / s.components[1].h;
    setup.vRatioCb = s.components[0].v / s.components[1].v;
    setup.hRatioCr = s.components[0].h / s.components[2].h;
    setup.vRatioCr = s.components[0].v / s.components[2].v;
  }
  return setup;
}

}  // namespace

JpegError DecodeMcusReference(DecodeContext& c, const ScanSetup& setup, PixelSink& sink) {
  JpegDecoderState& s = c.state;
  Planes planes;
  int32_t predictors[3] = {0, 0, 0};
  int32_t mcuCounter = 0;
  auto decode = [&](int i, int, int, int32_t coefficients[64]) {
    return DecodeBlock(s, setup.tables[i], predictors[i], coefficients);
  };
  for (int32_t mcuY = 0; mcuY < s.mcuRows; ++mcuY) {
    const PixelTarget target = sink.Target(mcuY);
    for (int32_t mcuX = 0; mcuX < s.mcusPerRow; ++mcuX) {
      if (s.restartInterval != 0 && mcuCounter == s.restartInterval) {
        predictors[0] = predictors[1] = predictors[2] = 0;
        mcuCounter = 0;
        AlignAtRestart(s);
      }
      const JpegError error = FillSlots(s, setup, decode, sink.Scale(), planes);
      // Data that ran past the end of the stream is reported as such, whatever it decoded to.
      if (s.bitOverrun) return JpegError::kTruncated;
      if (error != JpegError::kNone) return error;
      FillPlanes(s, setup, sink.Scale(), planes);
      WriteMcuPixels(s, planes, sink.Scale(), mcuX, mcuY, target);
      ++mcuCounter;
    }
    sink.RowDone(mcuY);
  }
  return JpegError::kNone;
}

JpegError ReconstructReference(DecodeContext& c, PixelSink& sink) {
  const JpegDecoderState& s = c.state;
  const ScanSetup setup = FrameRatios(s);
  Planes planes;
  int32_t mcuX = 0, mcuY = 0;
  auto fetch = [&](int i, int bx, int by, int32_t coefficients[64]) {
    const int16_t* block = c.coefficients.components[i].Block(mcuX * s.components[i].h + bx,
                                                              mcuY * s.components[i].v + by);
    const uint8_t* quant = ComponentQuant(s, i);
    for (int k = 0; k < 64; ++k)
      coefficients[kZigzag[k]] = int32_t{block[kZigzag[k]]} * int32_t{quant[k]};
    return JpegError::kNone;
  };
  for (mcuY = 0; mcuY < s.mcuRows; ++mcuY) {
    const PixelTarget target = sink.Target(mcuY);
    for (mcuX = 0; mcuX < s.mcusPerRow; ++mcuX) {
      FillSlots(s, setup, fetch, sink.Scale(), planes);
      FillPlanes(s, setup, sink.Scale(), planes);
      WriteMcuPixels(s, planes, sink.Scale(), mcuX, mcuY, target);
    }
    sink.RowDone(mcuY);
  }
  return JpegError::kNone;
}

}  // namespace kavrosa
