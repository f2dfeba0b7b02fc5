// One scan of a frame gathered in coefficients. Progressive (T.81 G.1.2): DC first and
// refining scans, AC bands with end-of-band runs, and AC refinement, which interleaves
// correction bits for coefficients already nonzero with the new ones. Sequential: whole
// blocks of one component (or some) per scan. The coefficients stay quantised in 16 bits until
// the frame ends. Every step refuses what would leave its band, its 16 bits or its table, and
// a progressive scan must continue the approximation its band has reached. The reference path
// reads with the one-bit reader and the per-bit search; the fast path reads the same bits from a
// buffer and resolves symbols through lookahead tables.
#include "jpeg/BitReader.h"
#include "jpeg/BufferedBits.h"
#include "jpeg/ScanSetup.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kavrosa {
namespace {

// The zig-zag position of each natural index.
struct ZigzagPositions {
  uint8_t of[64];
  ZigzagPositions() {
    for (int k = 0; k < 64; ++k) of[kZigzag[k]] = static_cast<uint8_t>(k);
  }
};
const uint8_t* ZigzagPositionOf() {
  static const ZigzagPositions positions;
  return positions.of;
}

// Bit k set when the coefficient at zig-zag position k is nonzero.
uint64_t NonzeroByZigzag(const int16_t* block) {
  uint64_t natural = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (int part = 0; part < 4; ++part) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * part));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * part + 8));
    const __m128i zeros = _mm_packs_epi16(_mm_cmpeq_epi16(a, zero), _mm_cmpeq_epi16(b, zero));
    natural |= uint64_t{static_cast<uint16_t>(~_mm_movemask_epi8(zeros))} << (16 * part);
  }
#else
  for (int n = 0; n < 64; ++n) natural |= uint64_t{block[n] != 0} << n;
#endif
  const uint8_t* position = ZigzagPositionOf();
  uint64_t zigzag = 0;
  for (; natural != 0; natural &= natural - 1)
    zigzag |= uint64_t{1} << position[__builtin_ctzll(natural)];
  return zigzag;
}

// Bits first..last (first <= last < 64).
uint64_t BandBits(int32_t first, int32_t last) {
  return (~uint64_t{0} >> (63 - last)) & (~uint64_t{0} << first);
}

// More scans than any encoder writes (jpegtran's default script has ten, a sequential frame
// one per component).
constexpr int32_t kMaxProgressiveScans = 64;

bool FitsInt16(int32_t v) {
  return v >= -32768 && v <= 32767;
}

// The bits of the reference path: the one-bit reader and the per-bit search, on the state.
class PlainBits {
 public:
  PlainBits(JpegDecoderState& s, const ScanSetup& setup) : s_(s), setup_(setup) {}

  uint32_t Take(int32_t n) {
    uint32_t v = 0;
    ReadBits(s_, v, n);
    return v;
  }
  JpegError Dc(int i, uint8_t& symbol) {
    const ComponentTables& t = setup_.tables[i];
    return DecodeHuffman(s_, *t.dcTable, t.dcValues, t.dcCount, symbol);
  }
  JpegError Ac(int i, uint8_t& symbol) {
    const ComponentTables& t = setup_.tables[i];
    return DecodeHuffman(s_, *t.acTable, t.acValues, t.acCount, symbol);
  }
  void Restart() { AlignAtRestart(s_); }
  bool Overrun() const { return s_.bitOverrun != 0; }
  void Finish() {}

 private:
  JpegDecoderState& s_;
  const ScanSetup& setup_;
};

// The same bits from the buffered reader and the symbols from lookahead tables, which consume
// exactly what the one-bit reader and the per-bit search would.
class LookaheadBits {
 public:
  LookaheadBits(JpegDecoderState& s, const ScanSetup& setup) : s_(s), setup_(setup), bits_(s) {
    // Only the tables the scan's kind of block reads are looked at, as the per-bit search does.
    const bool dc = !s.progressive || (setup.ss == 0 && setup.ah == 0);
    const bool ac = !s.progressive || setup.ss != 0;
    for (int n = 0; n < setup.count; ++n) {
      const int i = setup.order[n];
      const ComponentTables& t = setup.tables[i];
      if (dc) BuildLookahead(*t.dcTable, t.dcValues, t.dcCount, dcLookahead_[i]);
      if (ac) BuildLookahead(*t.acTable, t.acValues, t.acCount, acLookahead_[i]);
    }
  }

  uint32_t Take(int32_t n) { return bits_.Take(n); }
  JpegError Dc(int i, uint8_t& symbol) {
    const ComponentTables& t = setup_.tables[i];
    return DecodeSymbol(bits_, dcLookahead_[i], *t.dcTable, t.dcValues, t.dcCount, symbol);
  }
  JpegError Ac(int i, uint8_t& symbol) {
    const ComponentTables& t = setup_.tables[i];
    return DecodeSymbol(bits_, acLookahead_[i], *t.acTable, t.acValues, t.acCount, symbol);
  }
  // At a restart marker the state's reader is aligned past it and the buffer starts anew.
  void Restart() {
    bits_.Save(s_);
    AlignAtRestart(s_);
    bits_.Start(s_);
  }
  bool Overrun() const { return bits_.Overrun() || s_.bitOverrun != 0; }
  // Hands the position back to the state, where the scan's end is aligned.
  void Finish() { bits_.Save(s_); }

 private:
  JpegDecoderState& s_;
  const ScanSetup& setup_;
  BufferedBits bits_;
  HuffmanLookahead dcLookahead_[3];
  HuffmanLookahead acLookahead_[3];
};

template <typename BitSource>
class ProgressiveDecoder {
 public:
  // A sequential scan's approximation bytes are not read (Al 0).
  ProgressiveDecoder(JpegDecoderState& s, const ScanSetup& setup)
      : s_(s), setup_(setup), al_(s.progressive ? setup.al : 0), bits_(s, setup) {}

  void Restart() {
    predictors_[0] = predictors_[1] = predictors_[2] = 0;
    eobRun_ = 0;
    bits_.Restart();
  }

  bool Overrun() const { return bits_.Overrun(); }
  void Finish() { bits_.Finish(); }

  JpegError Block(int i, int16_t* block) {
    if (!s_.progressive) return Sequential(i, block);
    if (setup_.ss == 0) return setup_.ah == 0 ? DcFirst(i, block) : DcRefine(block);
    return setup_.ah == 0 ? AcFirst(i, block) : AcRefine(i, block);
  }

 private:
  uint32_t Bits(int32_t n) { return bits_.Take(n); }

  int32_t ReceiveExtend(int32_t size) { return size == 0 ? 0 : ExtendValue(Bits(size), size); }

  // A whole block of a sequential scan, with the baseline block's rules (T.81 F.2.2).
  JpegError Sequential(int i, int16_t* block) {
    JpegError error = DcFirst(i, block);
    if (error != JpegError::kNone) return error;
    for (int32_t k = 1; k < 64;) {
      int32_t run = 0, size = 0;
      error = AcSymbol(i, run, size);
      if (error != JpegError::kNone) return error;
      if (size > kMaxAcSize) return JpegError::kCoefficientSize;
      const int32_t value = ReceiveExtend(size);
      if (run == 0 && size == 0) break;  // end of block
      k += run;
      if (k > 63) return JpegError::kCoefficientOverrun;
      block[kZigzag[k]] = static_cast<int16_t>(value);
      ++k;
    }
    return JpegError::kNone;
  }

  JpegError DcFirst(int i, int16_t* block) {
    uint8_t size = 0;
    const JpegError error = bits_.Dc(i, size);
    if (error != JpegError::kNone) return error;
    if (size > kMaxDcCategory) return JpegError::kCoefficientSize;
    predictors_[i] += ReceiveExtend(size);
    if (predictors_[i] > kMaxDcPredictor || predictors_[i] < -kMaxDcPredictor)
      return JpegError::kDcOutOfRange;
    const int32_t value = predictors_[i] * (1 << al_);
    if (!FitsInt16(value)) return JpegError::kDcOutOfRange;
    block[0] = static_cast<int16_t>(value);
    return JpegError::kNone;
  }

  JpegError DcRefine(int16_t* block) {
    if (Bits(1) != 0) block[0] = static_cast<int16_t>(block[0] | (1 << al_));
    return JpegError::kNone;
  }

  JpegError AcSymbol(int i, int32_t& run, int32_t& size) {
    uint8_t rs = 0;
    const JpegError error = bits_.Ac(i, rs);
    if (error != JpegError::kNone) return error;
    run = rs >> 4;
    size = rs & 0x0F;
    return JpegError::kNone;
  }

  // An end-of-band run: 2^r + (r extra bits) bands, this one included.
  int32_t EobRun(int32_t r) { return (1 << r) + static_cast<int32_t>(Bits(r)); }

  JpegError AcFirst(int i, int16_t* block) {
    if (eobRun_ > 0) {
      --eobRun_;
      return JpegError::kNone;
    }
    for (int32_t k = setup_.ss; k <= setup_.se; ++k) {
      int32_t run = 0, size = 0;
      const JpegError error = AcSymbol(i, run, size);
      if (error != JpegError::kNone) return error;
      if (size == 0 && run != 15) {
        eobRun_ = EobRun(run) - 1;
        break;
      }
      if (size > kMaxAcSize) return JpegError::kCoefficientSize;
      k += run;  // a run of 15 with size 0 skips sixteen zeros
      if (k > setup_.se) return JpegError::kCoefficientOverrun;
      if (size != 0) {
        const int32_t value = ReceiveExtend(size) * (1 << al_);
        if (!FitsInt16(value)) return JpegError::kCoefficientSize;
        block[kZigzag[k]] = static_cast<int16_t>(value);
      }
    }
    return JpegError::kNone;
  }

  // A correction bit for a coefficient already nonzero: moves it one step away from zero.
  JpegError Correct(int16_t& coefficient) {
    if (Bits(1) == 0) return JpegError::kNone;
    const int32_t p1 = 1 << al_;
    if ((coefficient & p1) != 0) return JpegError::kNone;
    const int32_t value = coefficient >= 0 ? coefficient + p1 : coefficient - p1;
    if (!FitsInt16(value)) return JpegError::kCoefficientSize;
    coefficient = static_cast<int16_t>(value);
    return JpegError::kNone;
  }

  // Correction bits for the nonzero coefficients among `nonzero`, in zig-zag order.
  JpegError CorrectAll(int16_t* block, uint64_t nonzero) {
    for (; nonzero != 0; nonzero &= nonzero - 1) {
      const JpegError error = Correct(block[kZigzag[__builtin_ctzll(nonzero)]]);
      if (error != JpegError::kNone) return error;
    }
    return JpegError::kNone;
  }

  // The coefficients' zero-ness does not change during the block (corrections keep it, and a
  // new value lands where the walk has already passed), so one mask serves the whole band.
  JpegError AcRefine(int i, int16_t* block) {
    int32_t k = setup_.ss;
    const int32_t se = setup_.se;
    const uint64_t nonzero = NonzeroByZigzag(block);
    if (eobRun_ == 0) {
      for (; k <= se; ++k) {
        int32_t run = 0, size = 0;
        JpegError error = AcSymbol(i, run, size);
        if (error != JpegError::kNone) return error;
        int32_t value = 0;
        if (size != 0) {
          if (size != 1) return JpegError::kCoefficientSize;
          value = Bits(1) != 0 ? (1 << al_) : -(1 << al_);
        } else if (run != 15) {
          eobRun_ = EobRun(run);
          break;  // the rest of the band gets its correction bits below
        }
        // Skip `run` zero coefficients, correcting the nonzero ones passed on the way: the walk
        // stops at the next zero after them, or past the band.
        uint64_t zeros = ~nonzero & BandBits(k, se);
        for (; run > 0 && zeros != 0; --run) zeros &= zeros - 1;
        const int32_t stop = zeros != 0 ? __builtin_ctzll(zeros) : se + 1;
        if (stop > k) {
          error = CorrectAll(block, nonzero & BandBits(k, stop - 1));
          if (error != JpegError::kNone) return error;
        }
        k = stop;
        if (value != 0) {
          if (k > se) return JpegError::kCoefficientOverrun;
          block[kZigzag[k]] = static_cast<int16_t>(value);
        }
      }
    }
    if (eobRun_ > 0) {
      // Only the nonzero coefficients left in the band take a bit.
      if (k <= se) {
        const JpegError error = CorrectAll(block, nonzero & BandBits(k, se));
        if (error != JpegError::kNone) return error;
      }
      --eobRun_;
    }
    return JpegError::kNone;
  }

  JpegDecoderState& s_;
  const ScanSetup& setup_;
  const int32_t al_;
  int32_t predictors_[3] = {0, 0, 0};
  int32_t eobRun_ = 0;
  BitSource bits_;
};

// The scan must start each coefficient of its band (Ah = 0 on a coefficient never coded, and
// for AC only after the component's DC) or refine it by exactly the next bit.
JpegError AdvanceApproximation(CoefficientStore& store, const ScanSetup& setup) {
  for (int n = 0; n < setup.count; ++n) {
    int8_t* reached = store.approximation[setup.order[n]];
    if (setup.ss != 0 && reached[0] < 0) return JpegError::kProgressiveScan;
    for (int32_t k = setup.ss; k <= setup.se; ++k) {
      if (setup.ah == 0 ? reached[k] >= 0 : reached[k] != setup.ah)
        return JpegError::kProgressiveScan;
      reached[k] = static_cast<int8_t>(setup.al);
    }
  }
  return JpegError::kNone;
}

template <typename Decoder>
JpegError Truncated(Decoder& decoder) {
  decoder.Finish();
  return JpegError::kTruncated;
}

template <typename BitSource>
JpegError DecodeBlocks(DecodeContext& c, const ScanSetup& setup) {
  JpegDecoderState& s = c.state;
  ProgressiveDecoder<BitSource> decoder(s, setup);
  int32_t mcuCounter = 0;
  auto restart = [&]() {
    if (s.restartInterval != 0 && mcuCounter == s.restartInterval) {
      decoder.Restart();
      mcuCounter = 0;
    }
  };
  if (setup.count == 1) {
    // Non-interleaved: the component's own blocks inside the picture, row by row.
    const int i = setup.order[0];
    ComponentCoefficients& component = c.coefficients.components[i];
    for (int32_t by = 0; by < component.scanBlockRows; ++by) {
      for (int32_t bx = 0; bx < component.scanBlocksPerLine; ++bx) {
        restart();
        const JpegError error = decoder.Block(i, component.Block(bx, by));
        if (decoder.Overrun()) return Truncated(decoder);
        if (error != JpegError::kNone) return error;
        ++mcuCounter;
      }
    }
    decoder.Finish();
    return JpegError::kNone;
  }
  for (int32_t mcuY = 0; mcuY < s.mcuRows; ++mcuY) {
    for (int32_t mcuX = 0; mcuX < s.mcusPerRow; ++mcuX) {
      restart();
      for (int n = 0; n < setup.count; ++n) {
        const int i = setup.order[n];
        const ComponentSpec& sampling = s.components[i];
        for (int32_t by = 0; by < sampling.v; ++by) {
          for (int32_t bx = 0; bx < sampling.h; ++bx) {
            int16_t* block =
                c.coefficients.components[i].Block(mcuX * sampling.h + bx, mcuY * sampling.v + by);
            const JpegError error = decoder.Block(i, block);
            if (decoder.Overrun()) return Truncated(decoder);
            if (error != JpegError::kNone) return error;
          }
        }
      }
      ++mcuCounter;
    }
  }
  decoder.Finish();
  return JpegError::kNone;
}

}  // namespace

JpegError DecodeProgressiveScan(DecodeContext& c, const ScanSetup& setup) {
  if (++c.scans > kMaxProgressiveScans) return JpegError::kTooManyScans;
  if (c.state.progressive) {
    const JpegError order = AdvanceApproximation(c.coefficients, setup);
    if (order != JpegError::kNone) return order;
  }
  return c.path == JpegPath::kReference ? DecodeBlocks<PlainBits>(c, setup)
                                        : DecodeBlocks<LookaheadBits>(c, setup);
}

}  // namespace kavrosa
