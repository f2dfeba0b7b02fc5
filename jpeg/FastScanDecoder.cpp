// The fast MCU loop. It must produce the reference loop's bytes, positions and refusals: the
// shared buffered reader and symbol decoder (BufferedBits.h, SymbolDecoder.h), whose AC lookup
// resolves a code and its value in one step, the grouped inverse DCT, and colour conversion
// straight from the slots, to which the planes' replication reduces.
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "jpeg/BitReader.h"
#include "jpeg/BufferedBits.h"
#include "jpeg/ColourConversion.h"
#include "jpeg/InverseDct.h"
#include "jpeg/ScanSetup.h"
#include "jpeg/SymbolDecoder.h"

namespace kavrosa {
namespace {

// Where coefficients past the end of a block are put before the block is refused.
constexpr int kSparePosition = 64;

struct FastComponent {
  const ComponentTables* tables;
  HuffmanLookahead dc;
  AcLookup ac;
  // Per zig-zag position: the natural index in the low byte, the quantisation value above.
  // Positions a run can reach past the last (at most 63 + 15) land on a spare coefficient, so
  // the loop needs no check per step: the block is refused once the loop has ended.
  uint32_t placement[kSparePosition + 16];
};

// The DC difference added to the predictor, with the reference's refusals.
inline JpegError DecodeDcFast(BufferedBits& reader, const FastComponent& component,
                              int32_t& predictor) {
  const ComponentTables& t = *component.tables;
  reader.Prime();
  uint8_t s = 0;
  const JpegError error = DecodeSymbol(reader, component.dc, *t.dcTable, t.dcValues, t.dcCount, s);
  if (error != JpegError::kNone) return error;
  if (s > kMaxDcCategory) return JpegError::kCoefficientSize;
  if (s != 0) predictor += ExtendValue(reader.Take(s), s);
  if (predictor > kMaxDcPredictor || predictor < -kMaxDcPredictor) return JpegError::kDcOutOfRange;
  return JpegError::kNone;
}

// An AC step the lookahead could not finish: a long code, or value bits beyond the lookahead.
JpegError DecodeAcSlowly(BufferedBits& reader, const FastComponent& component, AcEntry entry,
                         int32_t& run, int32_t& size, int32_t& value) {
  uint8_t r = static_cast<uint8_t>(entry.symbol());
  if (entry.codeLength() != 0) {
    reader.Consume(entry.codeLength());
  } else {
    const ComponentTables& t = *component.tables;
    const JpegError error = SearchSymbol(reader, *t.acTable, t.acValues, t.acCount, r);
    if (error != JpegError::kNone) return error;
  }
  run = r >> 4;
  size = r & 0x0F;
  if (size > kMaxAcSize) return JpegError::kCoefficientSize;
  // The value's bits are read before the index is checked, as the reference does.
  value = size == 0 ? 0 : ExtendValue(reader.Take(size), size);
  return JpegError::kNone;
}

// Also gathers the block's summary for the transform (each |coefficient| is below 2^24, so
// the sum of 64 stays inside 32 bits).
JpegError DecodeBlockFast(BufferedBits& reader, const FastComponent& component, int32_t& predictor,
                          int32_t coefficients[kSparePosition + 1], BlockSummary& summary) {
  const JpegError dcError = DecodeDcFast(reader, component, predictor);
  if (dcError != JpegError::kNone) return dcError;
  const ComponentTables& t = *component.tables;
  coefficients[0] = predictor * t.quant[0];
  // Kept in registers during the loop (not in `summary`, which the transform reads later).
  uint32_t columnMask = coefficients[0] != 0 ? 1u : 0u;
  int32_t absoluteSum = coefficients[0] < 0 ? -coefficients[0] : coefficients[0];
  // Columns of the AC coefficients only: none means a DC-only block.
  uint32_t acColumns = 0;
  const AcLookup& acEntries = component.ac;
  const uint32_t* const placements = component.placement;
  int32_t k = 1;
  while (k < 64) {
    reader.Prime();
    const AcEntry entry = acEntries.At(reader.Window());
    int32_t run = static_cast<int32_t>(entry.symbol() >> 4);
    int32_t value = entry.value();
    if (value != 0) {
      // The common step: a code and its value bits resolved together (values are never 0).
      reader.SkipPacked(entry.packed);
    } else {
      int32_t size = 0;
      if (entry.totalLength() != 0) {
        reader.Skip(entry.totalLength());  // end of block or a run of zeros
      } else {
        const JpegError error = DecodeAcSlowly(reader, component, entry, run, size, value);
        if (error != JpegError::kNone) return error;
      }
      if (size == 0) {
        if (run == 0) break;  // end of block
        k += run + 1;         // a zero is stored: the block is already zero there
        continue;
      }
    }
    k += run;
    const uint32_t placement = placements[k];
    const uint32_t natural = placement & 0xFF;
    const int32_t c = value * static_cast<int32_t>(placement >> 8);
    coefficients[natural] = c;
    // A zero product (quantisation value 0) only marks more work than needed: the column is
    // cleared and the full transform run, with the same result.
    acColumns |= 1u << (natural & 7);
    absoluteSum += c < 0 ? -c : c;
    ++k;
  }
  // k is one past the last position written; past 64, a run went beyond coefficient 63.
  if (k > 64) return JpegError::kCoefficientOverrun;
  summary.columnMask = columnMask | acColumns;
  summary.absoluteSum = absoluteSum;
  summary.dcOnly = acColumns == 0;
  // The first ten zig-zag positions lie in rows 0-3 and columns 0-3; k is past the last
  // coefficient stored.
  summary.lowFrequency = k <= 10;
  return JpegError::kNone;
}

// How the blocks of one component are transformed and where their samples go, worked out once
// per scan: the transform's reduction on each axis, the distance between rows of samples, and
// each block's place (blocks in MCU order; luminance has up to 4 x 2).
struct BlockPlan {
  int32_t across = 1;
  int32_t down = 1;
  int32_t step = 8;
  int32_t* samples[8] = {};
};

struct FastScan {
  FastComponent components[3];
  BlockPlan plans[3];
  int32_t slots[kSlotCount][64] = {};
  // All zero between blocks: each block's nonzero coefficients lie in the columns of its
  // summary, which are cleared again after the transform.
  int32_t coefficients[kSparePosition + 1] = {};
  // Every block of the MCU gave small samples (see kSmallSample).
  bool small = true;
  // The MCU's pixels are assembled in the slots as 8-sample rows (see AssemblesMcu).
  bool assembled = false;
};

void ClearColumns(int32_t coefficients[64], uint32_t columnMask) {
  if ((columnMask & ~1u) == 0) {
    for (int n = 0; n < 8; ++n) coefficients[8 * n] = 0;
    return;
  }
#if defined(__SSE2__)
  for (int i = 0; i < 64; i += 4)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(coefficients + i), _mm_setzero_si128());
#else
  std::memset(coefficients, 0, 64 * sizeof(int32_t));
#endif
}

// Chroma's transform at a reduced scale; the accepted layouts have 1x1 chroma, so both
// chroma components share it.
struct ChromaReduction {
  AxisReduction across;
  AxisReduction down;
};

ChromaReduction ReduceChroma(const ScanSetup& setup, int32_t scale) {
  return ChromaReduction{ReduceAxis(scale, setup.hRatioCb), ReduceAxis(scale, setup.vRatioCb)};
}

// At a reduced scale an MCU of at most 8 x 8 pixels whose chroma samples stand one for one for
// its pixels can be assembled in the slots themselves: the luminance blocks side by side in
// slot 0 and each chroma block in its own slot, all in rows of 8 samples, which the block
// conversion reads straight.
bool AssemblesMcu(const JpegDecoderState& s, int32_t scale, const ChromaReduction& chroma) {
  return scale > 1 && s.mcuWidth / scale <= 8 && s.mcuHeight / scale <= 8 &&
         chroma.across.repeat == 1 && chroma.down.repeat == 1;
}

// Each block's samples in rows of 8, except reduced blocks outside an assembled MCU, which are
// packed in rows of their own width, as the gathering in WriteMcuFast reads them.
void PlanBlocks(const JpegDecoderState& s, int32_t scale, const ChromaReduction& chroma,
                FastScan& scan) {
  for (int i = 0; i < s.componentCount; ++i) {
    BlockPlan& plan = scan.plans[i];
    plan.across = i == 0 ? scale : chroma.across.scale;
    plan.down = i == 0 ? scale : chroma.down.scale;
    plan.step = scan.assembled ? 8 : 8 / plan.across;
    const int h = s.components[i].h;
    const int n = 8 / scale;
    for (int b = 0; b < s.components[i].h * s.components[i].v; ++b) {
      if (i != 0) {
        plan.samples[b] = scan.slots[kCbSlot + i - 1];
      } else if (scan.assembled) {
        plan.samples[b] = scan.slots[0] + 8 * n * (b / h) + n * (b % h);
      } else {
        plan.samples[b] = scan.slots[b];
      }
    }
  }
}

inline void TransformBlock(const int32_t coefficients[64], const BlockSummary& summary,
                           const BlockPlan& plan, int b) {
  if (plan.across == 1 && plan.down == 1) {
    InverseDctFast(coefficients, summary, plan.samples[b]);
  } else {
    InverseDctReducedFast(coefficients, summary, plan.across, plan.down, plan.samples[b],
                          plan.step);
  }
}

JpegError DecodeMcuFast(const JpegDecoderState& s, BufferedBits& reader, FastScan& scan,
                        int32_t predictors[3]) {
  scan.small = true;
  for (int i = 0; i < s.componentCount; ++i) {
    const int blocks = s.components[i].h * s.components[i].v;
    for (int b = 0; b < blocks; ++b) {
      BlockSummary summary;
      const JpegError error =
          DecodeBlockFast(reader, scan.components[i], predictors[i], scan.coefficients, summary);
      if (error != JpegError::kNone) return error;
      TransformBlock(scan.coefficients, summary, scan.plans[i], b);
      // Samples of such blocks are at most 0.2405 times the sum (see kSafeAbsoluteSum).
      static_assert(kSafeAbsoluteSum / 4 + 128 <= kSmallSample, "small blocks give small samples");
      scan.small = scan.small && summary.absoluteSum <= kSafeAbsoluteSum;
      ClearColumns(scan.coefficients, summary.columnMask);
    }
  }
  return JpegError::kNone;
}

constexpr int Log2Of(int32_t ratio) {
  return ratio >= 4 ? 2 : ratio >= 2 ? 1 : 0;
}

// The chroma samples over the 8 x 8 pixels of luminance block (qx, qy) of a full-size MCU
// whose chroma sample covers 2^hShift pixels across and 2^vShift down (each shift 0 or 1), one
// per pixel in rows of 8.
void SpreadChroma(const int32_t* slot, int qx, int qy, int hShift, int vShift, int32_t out[64]) {
  for (int r = 0; r < 8; ++r) {
    const int32_t* row = slot + 8 * ((8 * qy + r) >> vShift) + ((8 * qx) >> hShift);
    int32_t* o = out + 8 * r;
    if (hShift == 0) {
      std::memcpy(o, row, 8 * sizeof(int32_t));
      continue;
    }
#if defined(__SSE2__)
    const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi32(four, four));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 4), _mm_unpackhi_epi32(four, four));
#else
    for (int x = 0; x < 8; ++x) o[x] = row[x >> 1];
#endif
  }
}

// The MCU's pixels straight from the slots. The planes of the reference hold, at (ry, cx),
// luminance slot (ry / 8) * h + cx / 8 and chroma sample (ry / vRatio, cx / hRatio). The
// accepted layouts have 1x1 chroma, so both ratios are the luminance factors (1, 2 or 4).
// At a reduced scale the same with blocks of n = 8 / scale samples square, in pixels of the
// decoded scale.
void WriteMcuFast(const JpegDecoderState& s, const ScanSetup& setup, const FastScan& scan,
                  int32_t scale, int32_t mcuX, int32_t mcuY, const PixelTarget& target) {
  const int32_t width = ScaledLength(s.header.biWidth, scale);
  const int32_t height = ScaledLength(s.header.biHeight, scale);
  const int32_t mcuWidth = s.mcuWidth / scale;
  const int32_t mcuHeight = s.mcuHeight / scale;
  const int n = 8 / scale;
  const int32_t x0 = mcuX * mcuWidth;
  const int32_t count = width - x0 < mcuWidth ? width - x0 : mcuWidth;
  if (scale == 1 && s.mcuWidth == 8 && s.mcuHeight == 8) {
    // 1x1 (and greyscale, with both chroma slots zero): the slots' rows are the pixel rows.
    const int32_t y0 = mcuY * 8;
    const int32_t rows = height - y0 < 8 ? height - y0 : 8;
    ConvertBlock(scan.slots[0], scan.slots[kCbSlot], scan.slots[kCrSlot], count, rows, 128,
                 target.Row(y0) + 3 * static_cast<size_t>(x0), target.step, scan.small);
    return;
  }
  if (scan.assembled) {
    const int32_t y0 = mcuY * mcuHeight;
    const int32_t rows = height - y0 < mcuHeight ? height - y0 : mcuHeight;
    ConvertBlock(scan.slots[0], scan.slots[kCbSlot], scan.slots[kCrSlot], count, rows, 128,
                 target.Row(y0) + 3 * static_cast<size_t>(x0), target.step, scan.small);
    return;
  }
  const int h = s.components[0].h;
  const int v = s.components[0].v;
  if (scale == 1 && h <= 2 && v <= 2) {
    // Each luminance block with the chroma samples over it, spread to one per pixel.
    alignas(16) int32_t cb[64];
    alignas(16) int32_t cr[64];
    for (int qy = 0; qy < v; ++qy) {
      const int32_t y0 = mcuY * s.mcuHeight + 8 * qy;
      if (y0 >= height) break;
      const int32_t rows = height - y0 < 8 ? height - y0 : 8;
      for (int qx = 0; qx < h; ++qx) {
        const int32_t x = x0 + 8 * qx;
        if (x >= width) break;
        SpreadChroma(scan.slots[kCbSlot], qx, qy, h - 1, v - 1, cb);
        SpreadChroma(scan.slots[kCrSlot], qx, qy, h - 1, v - 1, cr);
        ConvertBlock(scan.slots[qy * h + qx], cb, cr, width - x < 8 ? width - x : 8, rows, 128,
                     target.Row(y0) + 3 * static_cast<size_t>(x), target.step, scan.small);
      }
    }
    return;
  }
  const ChromaReduction chroma = ReduceChroma(setup, scale);
  const int hShift = Log2Of(chroma.across.repeat);
  const int vShift = Log2Of(chroma.down.repeat);
  const int chromaRow = chroma.across.samples;
  alignas(16) int32_t yRow[32];
  alignas(16) int32_t cbRow[32];
  alignas(16) int32_t crRow[32];
  for (int ry = 0; ry < mcuHeight; ++ry) {
    const int32_t y = mcuY * mcuHeight + ry;
    if (y >= height) break;
    uint8_t* out = target.Row(y) + 3 * static_cast<size_t>(x0);
    const int32_t* yTop = scan.slots[(ry / n) * h] + n * (ry % n);
    const int32_t* cb = scan.slots[kCbSlot] + chromaRow * (ry >> vShift);
    const int32_t* cr = scan.slots[kCrSlot] + chromaRow * (ry >> vShift);
    for (int cx = 0; cx < mcuWidth; ++cx) {
      yRow[cx] = yTop[(cx / n) * 64 + cx % n];
      cbRow[cx] = cb[cx >> hShift];
      crRow[cx] = cr[cx >> hShift];
    }
    ConvertRow(yRow, cbRow, crRow, count, 128, out);
  }
}

}  // namespace

// The lookup tables of component i; chroma components usually share their Huffman tables, and
// then the tables already built are copied.
void PrepareComponent(const ScanSetup& setup, int i, FastScan& scan) {
  const ComponentTables& t = setup.tables[i];
  FastComponent& component = scan.components[i];
  component.tables = &t;
  bool dcDone = false;
  bool acDone = false;
  for (int j = 0; j < i; ++j) {
    const ComponentTables& u = setup.tables[j];
    if (!dcDone && u.dcTable == t.dcTable && u.dcValues == t.dcValues && u.dcCount == t.dcCount) {
      component.dc = scan.components[j].dc;
      dcDone = true;
    }
    if (!acDone && u.acTable == t.acTable && u.acValues == t.acValues && u.acCount == t.acCount) {
      component.ac = scan.components[j].ac;
      acDone = true;
    }
  }
  if (!dcDone) BuildLookahead(*t.dcTable, t.dcValues, t.dcCount, component.dc);
  if (!acDone) BuildAcLookup(t, component.ac);
  for (int k = 0; k < 64; ++k)
    component.placement[k] = static_cast<uint32_t>(kZigzag[k]) | uint32_t{t.quant[k]} << 8;
  for (int k = 64; k < kSparePosition + 16; ++k) component.placement[k] = kSparePosition;
}

JpegError DecodeMcusFast(DecodeContext& c, const ScanSetup& setup, PixelSink& sink) {
  JpegDecoderState& s = c.state;
  FastScan scan;
  for (int i = 0; i < s.componentCount; ++i) PrepareComponent(setup, i, scan);
  BufferedBits reader(s);  // at the scan's first byte
  int32_t predictors[3] = {0, 0, 0};
  int32_t mcuCounter = 0;
  const ChromaReduction chroma = ReduceChroma(setup, sink.Scale());
  scan.assembled = AssemblesMcu(s, sink.Scale(), chroma);
  PlanBlocks(s, sink.Scale(), chroma, scan);
  for (int32_t mcuY = 0; mcuY < s.mcuRows; ++mcuY) {
    const PixelTarget target = sink.Target(mcuY);
    for (int32_t mcuX = 0; mcuX < s.mcusPerRow; ++mcuX) {
      if (s.restartInterval != 0 && mcuCounter == s.restartInterval) {
        predictors[0] = predictors[1] = predictors[2] = 0;
        mcuCounter = 0;
        reader.Save(s);
        AlignAtRestart(s);
        reader.Start(s);
      }
      const JpegError error = DecodeMcuFast(s, reader, scan, predictors);
      if (reader.Overrun()) return JpegError::kTruncated;
      if (error != JpegError::kNone) return error;
      WriteMcuFast(s, setup, scan, sink.Scale(), mcuX, mcuY, target);
      ++mcuCounter;
    }
    sink.RowDone(mcuY);
  }
  reader.Save(s);
  return JpegError::kNone;
}

namespace {

// A component's quantisation values in natural order, as the gathered coefficients are kept,
// so that a block dequantises in one straight pass.
void NaturalQuant(const uint8_t* quant, int16_t natural[64]) {
  for (int k = 0; k < 64; ++k) natural[kZigzag[k]] = quant != nullptr ? quant[k] : 0;
}

// The whole block dequantised, and its summary.
BlockSummary DequantiseBlock(const int16_t* block, const int16_t quant[64],
                             int32_t coefficients[64]) {
  for (int i = 0; i < 64; ++i) coefficients[i] = int32_t{block[i]} * quant[i];
  return SummariseBlock(coefficients);
}

// Only what a reduced transform reads: the nh lowest columns of the nv lowest rows, dequantised,
// and their summary; the rest of `coefficients` is left as it was.
BlockSummary DequantiseLowFrequencies(const int16_t* block, const int16_t quant[64], int nh, int nv,
                                      int32_t coefficients[64]) {
  BlockSummary summary;
  int32_t absoluteSum = 0;  // at most 16 products below 2^23 each
  int32_t ac = 0;
  for (int n = 0; n < nv; ++n) {
    for (int j = 0; j < nh; ++j) {
      const int natural = 8 * n + j;
      const int32_t c = int32_t{block[natural]} * quant[natural];
      coefficients[natural] = c;
      ac |= natural != 0 ? c : 0;
      absoluteSum += c < 0 ? -c : c;
    }
  }
  summary.dcOnly = ac == 0;
  summary.absoluteSum = absoluteSum;
  return summary;
}

}  // namespace

JpegError ReconstructFast(DecodeContext& c, PixelSink& sink) {
  const JpegDecoderState& s = c.state;
  ScanSetup setup;
  if (s.componentCount == 3) {
    setup.hRatioCb = s.components[0].h / s.components[1].h;
    setup.vRatioCb = s.components[0].v / s.components[1].v;
  }
  FastScan scan;
  const int32_t scale = sink.Scale();
  const ChromaReduction chroma = ReduceChroma(setup, scale);
  scan.assembled = AssemblesMcu(s, scale, chroma);
  PlanBlocks(s, scale, chroma, scan);
  int16_t quant[3][64];
  for (int i = 0; i < s.componentCount; ++i) NaturalQuant(ComponentQuant(s, i), quant[i]);
  for (int32_t mcuY = 0; mcuY < s.mcuRows; ++mcuY) {
    const PixelTarget target = sink.Target(mcuY);
    for (int32_t mcuX = 0; mcuX < s.mcusPerRow; ++mcuX) {
      scan.small = true;
      for (int i = 0; i < s.componentCount; ++i) {
        const ComponentSpec& component = s.components[i];
        for (int by = 0; by < component.v; ++by) {
          for (int bx = 0; bx < component.h; ++bx) {
            const int16_t* block = c.coefficients.components[i].Block(mcuX * component.h + bx,
                                                                      mcuY * component.v + by);
            int32_t coefficients[64];
            const BlockPlan& plan = scan.plans[i];
            const BlockSummary summary =
                plan.across == 1 && plan.down == 1
                    ? DequantiseBlock(block, quant[i], coefficients)
                    : DequantiseLowFrequencies(block, quant[i], 8 / plan.across, 8 / plan.down,
                                               coefficients);
            TransformBlock(coefficients, summary, plan, by * component.h + bx);
            scan.small = scan.small && summary.absoluteSum <= kSafeAbsoluteSum;
          }
        }
      }
      WriteMcuFast(s, setup, scan, sink.Scale(), mcuX, mcuY, target);
    }
    sink.RowDone(mcuY);
  }
  return JpegError::kNone;
}

}  // namespace kavrosa
