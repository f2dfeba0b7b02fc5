// One scan of a frame gathered in coefficients. Progressive (T.81 G.1.2): DC first and
// refining scans, AC bands with end-of-band runs, and AC refinement, which interleaves
// correction bits for coefficients already nonzero with the new ones. Sequential: whole
// blocks of one component (or some) per scan. The coefficients stay quantised in 16 bits until
// the frame ends. Every step refuses what would leave its band, its 16 bits or its table, and
// a progressive scan must continue the approximation its band has reached. Both paths take the
// same plain steps: the reference over the one-bit reader and the per-bit search, the fast path
// over the shared buffered reader and symbol decoder, with the common AC steps in one lookup.
#include <cstring>

#include "jpeg/BitReader.h"
#include "jpeg/BufferedBits.h"
#include "jpeg/ScanSetup.h"
#include "jpeg/SymbolDecoder.h"

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

 private:
  JpegDecoderState& s_;
  const ScanSetup& setup_;
};

// The lookahead tables of a scan's components: only those the scan's kind of block reads are
// looked at, as the per-bit search looks only at those.
struct ScanLookaheads {
  ScanLookaheads(const JpegDecoderState& s, const ScanSetup& setup) {
    const bool dc = !s.progressive || (setup.ss == 0 && setup.ah == 0);
    const bool ac = !s.progressive || setup.ss != 0;
    for (int n = 0; n < setup.count; ++n) {
      const int i = setup.order[n];
      const ComponentTables& t = setup.tables[i];
      if (dc) BuildLookahead(*t.dcTable, t.dcValues, t.dcCount, this->dc[i]);
      if (ac) BuildLookahead(*t.acTable, t.acValues, t.acCount, this->ac[i]);
    }
  }

  HuffmanLookahead dc[3];
  HuffmanLookahead ac[3];
};

// The fast path's bits: the buffered reader it holds (in locals for a scan) and the symbols
// from the lookahead tables, which consume exactly what the one-bit reader and the per-bit
// search would.
class LookaheadBits {
 public:
  LookaheadBits(BufferedBits& in, const ScanLookaheads& tables, const ScanSetup& setup)
      : in_(in), tables_(tables), setup_(setup) {}

  KAVROSA_ALWAYS_INLINE uint32_t Take(int32_t n) { return in_.Take(n); }
  KAVROSA_ALWAYS_INLINE JpegError Dc(int i, uint8_t& symbol) {
    const ComponentTables& t = setup_.tables[i];
    return DecodeSymbol(in_, tables_.dc[i], *t.dcTable, t.dcValues, t.dcCount, symbol);
  }
  KAVROSA_ALWAYS_INLINE JpegError Ac(int i, uint8_t& symbol) {
    const ComponentTables& t = setup_.tables[i];
    return DecodeSymbol(in_, tables_.ac[i], *t.acTable, t.acValues, t.acCount, symbol);
  }

 private:
  BufferedBits& in_;
  const ScanLookaheads& tables_;
  const ScanSetup& setup_;
};

// The plain steps of one block over either path's bits (Take, Dc, Ac): the reference takes
// every block through them, the fast path the steps its lookups do not resolve. Each step
// refuses what would leave its band, its 16 bits or its table.
class ProgressiveSteps {
 public:
  // A sequential scan's approximation bytes are not read (Al 0).
  ProgressiveSteps(const JpegDecoderState& s, const ScanSetup& setup)
      : progressive_(s.progressive != 0), setup_(setup), al_(s.progressive ? setup.al : 0) {}

  void Restart() {
    predictors_[0] = predictors_[1] = predictors_[2] = 0;
    eobRun_ = 0;
  }

  template <typename Bits>
  JpegError Block(Bits& bits, int i, int16_t* block) {
    if (!progressive_) return Sequential(bits, i, block);
    if (setup_.ss == 0) return setup_.ah == 0 ? DcFirst(bits, i, block) : DcRefine(bits, block);
    return setup_.ah == 0 ? AcFirst(bits, i, block) : AcRefine(bits, i, block);
  }

  // A whole block of a sequential scan, with the baseline block's rules (T.81 F.2.2).
  template <typename Bits>
  KAVROSA_ALWAYS_INLINE JpegError Sequential(Bits& bits, int i, int16_t* block) {
    JpegError error = DcFirst(bits, i, block);
    if (error != JpegError::kNone) return error;
    for (int32_t k = 1; k < 64;) {
      int32_t run = 0, size = 0;
      error = AcSymbol(bits, i, run, size);
      if (error != JpegError::kNone) return error;
      if (size > kMaxAcSize) return JpegError::kCoefficientSize;
      const int32_t value = ReceiveExtend(bits, size);
      if (run == 0 && size == 0) break;  // end of block
      k += run;
      if (k > 63) return JpegError::kCoefficientOverrun;
      block[kZigzag[k]] = static_cast<int16_t>(value);
      ++k;
    }
    return JpegError::kNone;
  }

  template <typename Bits>
  KAVROSA_ALWAYS_INLINE JpegError DcFirst(Bits& bits, int i, int16_t* block) {
    uint8_t size = 0;
    const JpegError error = bits.Dc(i, size);
    if (error != JpegError::kNone) return error;
    if (size > kMaxDcCategory) return JpegError::kCoefficientSize;
    predictors_[i] += ReceiveExtend(bits, size);
    if (predictors_[i] > kMaxDcPredictor || predictors_[i] < -kMaxDcPredictor)
      return JpegError::kDcOutOfRange;
    const int32_t value = predictors_[i] * (1 << al_);
    if (!FitsInt16(value)) return JpegError::kDcOutOfRange;
    block[0] = static_cast<int16_t>(value);
    return JpegError::kNone;
  }

  template <typename Bits>
  KAVROSA_ALWAYS_INLINE JpegError DcRefine(Bits& bits, int16_t* block) {
    if (bits.Take(1) != 0) block[0] = static_cast<int16_t>(block[0] | (1 << al_));
    return JpegError::kNone;
  }

  template <typename Bits>
  JpegError AcFirst(Bits& bits, int i, int16_t* block) {
    if (eobRun_ > 0) {
      --eobRun_;
      return JpegError::kNone;
    }
    for (int32_t k = setup_.ss; k <= setup_.se; ++k) {
      const FirstStep step = AcFirstStep(bits, i, block, k);
      if (step.error != JpegError::kNone) return step.error;
      if (step.bandEnds) break;
      k = step.k;
    }
    return JpegError::kNone;
  }

  // The coefficients' zero-ness does not change during the block (corrections keep it, and a
  // new value lands where the walk has already passed), so one mask serves the whole band.
  template <typename Bits>
  JpegError AcRefine(Bits& bits, int i, int16_t* block) {
    int32_t k = setup_.ss;
    const int32_t se = setup_.se;
    const uint64_t nonzero = NonzeroByZigzag(block);
    if (eobRun_ == 0) {
      for (; k <= se; ++k) {
        const RefineStep step = AcRefineSymbol(bits, i);
        if (step.error != JpegError::kNone) return step.error;
        if (!step.coefficient) break;  // the rest of the band gets its correction bits below
        int32_t run = step.run;
        // Skip `run` zero coefficients, correcting the nonzero ones passed on the way: the walk
        // stops at the next zero after them, or past the band.
        uint64_t zeros = ~nonzero & BandBits(k, se);
        for (; run > 0 && zeros != 0; --run) zeros &= zeros - 1;
        const int32_t stop = zeros != 0 ? __builtin_ctzll(zeros) : se + 1;
        if (stop > k) {
          const JpegError error = CorrectAll(bits, block, nonzero & BandBits(k, stop - 1));
          if (error != JpegError::kNone) return error;
        }
        k = stop;
        if (step.value != 0) {
          if (k > se) return JpegError::kCoefficientOverrun;
          block[kZigzag[k]] = static_cast<int16_t>(step.value);
        }
      }
    }
    if (eobRun_ > 0) {
      // Only the nonzero coefficients left in the band take a bit.
      if (k <= se) {
        const JpegError error = CorrectAll(bits, block, nonzero & BandBits(k, se));
        if (error != JpegError::kNone) return error;
      }
      --eobRun_;
    }
    return JpegError::kNone;
  }

 protected:
  // One step of an AC first band at k: where the band goes on from and the value written there
  // (0: none), or its end, or a refusal.
  struct FirstStep {
    JpegError error = JpegError::kNone;
    int32_t k = 0;
    int32_t value = 0;
    bool bandEnds = false;
  };
  template <typename Bits>
  FirstStep AcFirstStep(Bits& bits, int i, int16_t* block, int32_t k) {
    FirstStep r;
    int32_t run = 0, size = 0;
    r.error = AcSymbol(bits, i, run, size);
    if (r.error != JpegError::kNone) return r;
    if (size == 0 && run != 15) {
      eobRun_ = EobRun(bits, run) - 1;
      r.bandEnds = true;
      return r;
    }
    if (size > kMaxAcSize) {
      r.error = JpegError::kCoefficientSize;
      return r;
    }
    k += run;  // a run of 15 with size 0 skips sixteen zeros
    if (k > setup_.se) {
      r.error = JpegError::kCoefficientOverrun;
      return r;
    }
    r.k = k;
    if (size != 0) {
      const int32_t value = ReceiveExtend(bits, size) * (1 << al_);
      if (!FitsInt16(value)) {
        r.error = JpegError::kCoefficientSize;
        return r;
      }
      block[kZigzag[k]] = static_cast<int16_t>(value);
      r.value = value;
    }
    return r;
  }

  // One symbol of a refining scan: a new coefficient (`value` +-p1) or sixteen zeros (`value`
  // 0) after `run` zeros; otherwise an end of band (eobRun_ set) or a refusal. Returned by
  // value, so that a caller's run and value stay out of memory.
  struct RefineStep {
    int32_t run = 0;
    int32_t value = 0;
    JpegError error = JpegError::kNone;
    bool coefficient = false;
  };
  template <typename Bits>
  RefineStep AcRefineSymbol(Bits& bits, int i) {
    RefineStep r;
    int32_t size = 0;
    r.error = AcSymbol(bits, i, r.run, size);
    if (r.error != JpegError::kNone) return r;
    if (size != 0) {
      if (size != 1) {
        r.error = JpegError::kCoefficientSize;
        return r;
      }
      r.value = bits.Take(1) != 0 ? (1 << al_) : -(1 << al_);
    } else if (r.run != 15) {
      eobRun_ = EobRun(bits, r.run);
      return r;
    }
    r.coefficient = true;
    return r;
  }

  template <typename Bits>
  static KAVROSA_ALWAYS_INLINE int32_t ReceiveExtend(Bits& bits, int32_t size) {
    return size == 0 ? 0 : ExtendValue(bits.Take(size), size);
  }

  // An end-of-band run: 2^r + (r extra bits) bands, this one included.
  template <typename Bits>
  static int32_t EobRun(Bits& bits, int32_t r) {
    return (1 << r) + static_cast<int32_t>(bits.Take(r));
  }

  template <typename Bits>
  static KAVROSA_ALWAYS_INLINE JpegError AcSymbol(Bits& bits, int i, int32_t& run, int32_t& size) {
    uint8_t rs = 0;
    const JpegError error = bits.Ac(i, rs);
    if (error != JpegError::kNone) return error;
    run = rs >> 4;
    size = rs & 0x0F;
    return JpegError::kNone;
  }

  // A correction bit for each nonzero coefficient among `which`, in zig-zag order: a set bit
  // moves a coefficient whose bit Al is clear one step away from zero.
  template <typename Bits>
  JpegError CorrectAll(Bits& bits, int16_t* block, uint64_t which) {
    const int32_t p1 = 1 << al_;
    for (; which != 0; which &= which - 1) {
      int16_t& coefficient = block[kZigzag[__builtin_ctzll(which)]];
      if (bits.Take(1) == 0 || (coefficient & p1) != 0) continue;
      const int32_t value = coefficient >= 0 ? coefficient + p1 : coefficient - p1;
      if (!FitsInt16(value)) return JpegError::kCoefficientSize;
      coefficient = static_cast<int16_t>(value);
    }
    return JpegError::kNone;
  }

  const bool progressive_;
  const ScanSetup& setup_;
  const int32_t al_;
  int32_t predictors_[3] = {0, 0, 0};
  int32_t eobRun_ = 0;
};

// The reference path's scan: every block through the plain steps, on the state's reader.
class PlainDecoder : public ProgressiveSteps {
 public:
  PlainDecoder(JpegDecoderState& s, const ScanSetup& setup)
      : ProgressiveSteps(s, setup), s_(s), bits_(s, setup) {}

  JpegError Block(int i, int16_t* block) { return ProgressiveSteps::Block(bits_, i, block); }
  void Restart() {
    ProgressiveSteps::Restart();
    AlignAtRestart(s_);
  }
  bool Overrun() const { return s_.bitOverrun != 0; }
  void Finish() {}

 private:
  JpegDecoderState& s_;
  PlainBits bits_;
};

// For each byte value: the positions of its set bits, in order (zero-padded to eight), and
// how many there are.
struct BitsOfByte {
  uint8_t at[256][8];
  uint8_t count[256];
  BitsOfByte() {
    for (int v = 0; v < 256; ++v) {
      int n = 0;
      for (int b = 0; b < 8; ++b) at[v][b] = 0;
      for (int b = 0; b < 8; ++b)
        if ((v >> b) & 1) at[v][n++] = static_cast<uint8_t>(b);
      count[v] = static_cast<uint8_t>(n);
    }
  }
};
const BitsOfByte& SetBitsOfBytes() {
  static const BitsOfByte table;
  return table;
}

// The positions of the set bits of x in increasing order, eight bytes at a time (`at` has
// room for 16 more); returns how many.
inline int32_t ListSetBits(uint64_t x, const BitsOfByte& bits, uint8_t (&at)[80]) {
  int32_t n = 0;
  for (int b = 0; b < 8; ++b) {
    const uint32_t v = static_cast<uint32_t>(x >> (8 * b)) & 0xFF;
    uint64_t positions = 0;
    std::memcpy(&positions, bits.at[v], 8);
    positions += 0x0808080808080808u * static_cast<uint64_t>(b);  // no byte carries: all < 64
    std::memcpy(at + n, &positions, 8);
    n += bits.count[v];
  }
  return n;
}

// A refining scan's entries, from the AC lookup's: kRefineStep for a new coefficient (its sign
// bit included, the value +-p1 in the top 16 bits) or a run of sixteen zeros (value 0),
// kRefineEnd for an end of band (its extra bits not included), with the bits to consume in
// bits 0-4 and the run in bits 8-11; 0 for anything else, left to the per-bit search.
constexpr uint32_t kRefineStep = 1u << 5;
constexpr uint32_t kRefineEnd = 1u << 6;

struct RefineCodes {
  uint32_t entries[1 << kAcBits];
};

void MakeRefineCodes(int32_t p1, const AcLookup& lookup, RefineCodes& codes) {
  for (uint32_t pattern = 0; pattern < (1u << kAcBits); ++pattern) {
    const AcEntry entry = lookup.entries[pattern];
    const uint32_t length = static_cast<uint32_t>(entry.totalLength());
    const uint32_t run = static_cast<uint32_t>(entry.run());
    const int32_t value = entry.value() < 0 ? -p1 : p1;
    uint32_t refined = 0;
    if (length != 0 && entry.size() == 1) {
      refined = kRefineStep | length | run << 8 | static_cast<uint32_t>(value) << 16;
    } else if (length != 0 && entry.size() == 0) {
      refined = (run == 15 ? kRefineStep : kRefineEnd) | length | run << 8;
    }
    codes.entries[pattern] = refined;
  }
}

// The fast path's blocks: the plain steps over the buffered reader, except that the common AC
// steps are resolved in one lookup (code and value bits together), the correction bits of a
// refinement taken a word at a time and applied at the block's end, and each block's nonzero
// coefficients kept in the store instead of found again.
class FastProgressiveDecoder : public ProgressiveSteps {
 public:
  FastProgressiveDecoder(JpegDecoderState& s, const ScanSetup& setup, CoefficientStore& store)
      : ProgressiveSteps(s, setup),
        s_(s),
        store_(store),
        p1_(1 << al_),
        lookaheads_(s, setup),
        buffer_(s),
        setBits_(SetBitsOfBytes()) {
    for (int i = 0; i < 3; ++i) smallest_[i] = store.components[i].smallest;
    if (s.progressive && setup.ss != 0) {
      for (int n = 0; n < setup.count; ++n) {
        const int i = setup.order[n];
        BuildAcLookup(setup.tables[i], acCodes_[i]);
        if (setup.ah != 0) {
          MakeRefineCodes(p1_, acCodes_[i], refineCodes_[i]);
          // A correction moves a coefficient by p1 at most once per scan and a new one is
          // +-p1: when none can leave 16 bits, the corrections wait for the block's end.
          if (smallest_[i] - p1_ < -32768) gatherCorrections_ = false;
          smallest_[i] = smallest_[i] - p1_ < -p1_ ? smallest_[i] - p1_ : -p1_;
        }
      }
    }
  }
  ~FastProgressiveDecoder() {
    for (int i = 0; i < 3; ++i) store_.components[i].smallest = smallest_[i];
  }
  FastProgressiveDecoder(const FastProgressiveDecoder&) = delete;
  FastProgressiveDecoder& operator=(const FastProgressiveDecoder&) = delete;

  // The blocks read from the caller's copy of Reader(), held in locals for the scan and handed
  // back before these. At a restart marker the state's reader is aligned past it and the
  // buffer starts anew.
  void Restart() {
    ProgressiveSteps::Restart();
    buffer_.Save(s_);
    AlignAtRestart(s_);
    buffer_.Start(s_);
  }
  // Hands the position back to the state, where the scan's end is aligned.
  void Finish() { buffer_.Save(s_); }
  BufferedBits& Reader() { return buffer_; }

  // The plain steps' bits over a reader.
  LookaheadBits Source(BufferedBits& in) const { return LookaheadBits(in, lookaheads_, setup_); }

  // Blocks of an AC first scan inside the current end-of-band run: up to `most` of them are
  // passed over at once (they read no bits). Returns how many.
  int32_t SkipBands(int32_t most) {
    const int32_t n = eobRun_ < most ? eobRun_ : most;
    eobRun_ -= n;
    return n;
  }

  // An AC first band with the common steps resolved in one lookup each.
  KAVROSA_ALWAYS_INLINE JpegError AcFirstFast(BufferedBits& in, int i, int16_t* block,
                                              uint64_t& nonzero) {
    if (eobRun_ > 0) {
      --eobRun_;
      return JpegError::kNone;
    }
    const AcLookup& codes = acCodes_[i];
    const int32_t se = setup_.se;
    // Kept in registers for the block.
    uint64_t mask = nonzero;
    int32_t least = smallest_[i];
    JpegError error = JpegError::kNone;
    for (int32_t k = setup_.ss; k <= se; ++k) {
      in.Refill();
      const AcEntry entry = codes.At(in.Window());
      const int32_t length = entry.totalLength();
      const int32_t run = entry.run();
      const int32_t size = entry.size();
      if (length != 0) {
        if (size != 0) {
          const int32_t value = entry.value() * p1_;
          if (k + run <= se && FitsInt16(value)) {
            in.Skip(length);
            k += run;
            block[kZigzag[k]] = static_cast<int16_t>(value);
            mask |= uint64_t{1} << k;
            least = value < least ? value : least;
            continue;
          }
        } else if (run == 15) {
          if (k + 15 <= se) {
            in.Skip(length);
            k += 15;
            continue;
          }
        } else {
          in.Skip(length);
          eobRun_ = (1 << run) + static_cast<int32_t>(in.Take(run)) - 1;
          break;
        }
      }
      // Anything else takes the plain step, from the same bits.
      buffer_ = in;
      LookaheadBits bits = Source(buffer_);
      const FirstStep step = AcFirstStep(bits, i, block, k);
      in = buffer_;
      error = step.error;
      if (error != JpegError::kNone) break;
      k = step.k;
      if (step.value != 0) {
        mask |= uint64_t{1} << k;
        least = step.value < least ? step.value : least;
      }
      if (step.bandEnds) break;
    }
    nonzero = mask;
    smallest_[i] = least;
    return error;
  }

  // A refining band; when a correction might leave 16 bits, through the plain step, which
  // checks each one.
  KAVROSA_ALWAYS_INLINE JpegError AcRefineFast(BufferedBits& in, int i, int16_t* block,
                                               uint64_t& nonzero) {
    if (gatherCorrections_) return AcRefineGathered(in, i, block, nonzero);
    buffer_ = in;
    LookaheadBits bits = Source(buffer_);
    const JpegError error = AcRefine(bits, i, block);
    in = buffer_;
    nonzero |= NonzeroByZigzag(block) & BandBits(setup_.ss, setup_.se);
    return error;
  }

  // The refinement with the correction bits gathered as they come and applied once the block
  // is read (or refused: those read so far), in the same zig-zag order: they touch only
  // coefficients nonzero before the block, the new ones only zeros. The zero the walk stops at
  // is looked up by its rank among the block's zeros.
  KAVROSA_ALWAYS_INLINE JpegError AcRefineGathered(BufferedBits& in, int i, int16_t* block,
                                                   uint64_t& nonzero) {
    const int32_t ss = setup_.ss;
    const int32_t se = setup_.se;
    const uint64_t band = BandBits(ss, se);
    const uint64_t before = nonzero & band;
    // The band's zeros in order, then sixteen made-up ones past se: a run reaching past the
    // band's last zero stops there, having passed every nonzero coefficient left.
    uint8_t zeroAt[80];
    const int32_t zeroCount = ListSetBits(~nonzero & band, setBits_, zeroAt);
    const uint64_t past = static_cast<uint64_t>(se + 1) * 0x0101010101010101u;
    const uint64_t pastLow = past + 0x0706050403020100u;
    const uint64_t pastHigh = past + 0x0F0E0D0C0B0A0908u;
    std::memcpy(zeroAt + zeroCount, &pastLow, 8);
    std::memcpy(zeroAt + zeroCount + 8, &pastHigh, 8);
    const int32_t nonzeroCount = se - ss + 1 - zeroCount;
    int32_t k = ss;
    int32_t zerosPassed = 0;   // the band's zeros below k (made-up ones included)
    uint64_t corrections = 0;  // one bit per nonzero coefficient passed, the latest lowest
    int32_t taken = 0;         // the nonzero coefficients below k
    uint64_t placed = 0;
    JpegError error = JpegError::kNone;
    if (eobRun_ == 0) {
      while (k <= se) {
        int32_t run = 0;
        int32_t value = 0;
        if (!RefineSymbol(i, in, run, value, error)) break;
        // The walk stops at the run-th zero from k; the positions before it that are not zeros
        // are the nonzero coefficients it passes, each with its correction bit.
        const int32_t rank = zerosPassed + run;
        const int32_t stop = zeroAt[rank];
        const int32_t below = stop - ss - rank;  // nonzero coefficients below stop
        const int32_t passed = below - taken;
        corrections = corrections << passed | TakeUpTo63(in, passed);
        taken = below;
        zerosPassed = rank + 1;
        k = stop;
        if (value != 0) {
          if (k > se) {
            error = JpegError::kCoefficientOverrun;
            break;
          }
          block[kZigzag[k]] = static_cast<int16_t>(value);
          placed |= uint64_t{1} << k;
        }
        ++k;
      }
    }
    if (error == JpegError::kNone && eobRun_ > 0) {
      const int32_t rest = nonzeroCount - taken;
      corrections = corrections << rest | TakeUpTo63(in, rest);
      taken += rest;
      --eobRun_;
    }
    if (taken > 0) {
      // Each set bit moves a coefficient whose bit Al is clear one step away from zero.
      uint64_t bits = corrections << (64 - taken);
      uint64_t which = before;
      for (int32_t n = 0; n < taken; ++n, which &= which - 1) {
        int16_t& coefficient = block[kZigzag[__builtin_ctzll(which)]];
        const int32_t c = coefficient;
        const int32_t bit = static_cast<int32_t>(bits >> 63);
        bits <<= 1;
        const int32_t step = ((c & p1_) ^ p1_) & -bit;
        const int32_t sign = c >> 31;
        coefficient = static_cast<int16_t>(c + ((step ^ sign) - sign));
      }
    }
    nonzero |= placed;
    return error;
  }

 private:
  // One symbol of a refining scan read from `in` (the reader itself, or a copy of it in
  // locals): true for a new coefficient (`value` +-p1) or sixteen zeros (`value` 0) after `run`
  // zeros; false at an end of band (eobRun_ set) or when refused (`error` set).
  KAVROSA_ALWAYS_INLINE bool RefineSymbol(int i, BufferedBits& in, int32_t& run, int32_t& value,
                                          JpegError& error) {
    in.Refill();
    const uint32_t entry = refineCodes_[i].entries[in.Window() >> (64 - kAcBits)];
    run = static_cast<int32_t>((entry >> 8) & 0x0F);
    if ((entry & kRefineStep) != 0) {
      in.Skip(static_cast<int>(entry & 0x1F));
      value = static_cast<int32_t>(entry) >> 16;
      return true;
    }
    if ((entry & kRefineEnd) != 0) {
      in.Skip(static_cast<int>(entry & 0x1F));
      eobRun_ = (1 << run) + static_cast<int32_t>(in.Take(run));
      return false;
    }
    buffer_ = in;
    LookaheadBits bits = Source(buffer_);
    const RefineStep plain = AcRefineSymbol(bits, i);
    in = buffer_;
    run = plain.run;
    value = plain.value;
    error = plain.error;
    return plain.coefficient;
  }

  // The next n bits of `in` (n < 64), most significant first.
  static uint64_t TakeUpTo63(BufferedBits& in, int32_t n) {
    if (n > in.Count()) {
      in.Refill();
      if (n > in.Count()) {
        const uint64_t high = (in.Window() >> 32);
        in.Skip(32);
        in.Refill();
        const uint64_t low = (in.Window() >> 1) >> (63 - (n - 32));
        in.Skip(n - 32);
        return high << (n - 32) | low;
      }
    }
    const uint64_t v = (in.Window() >> 1) >> (63 - n);
    in.Skip(n);
    return v;
  }

  JpegDecoderState& s_;
  CoefficientStore& store_;
  const int32_t p1_;
  ScanLookaheads lookaheads_;
  BufferedBits buffer_;
  const BitsOfByte& setBits_;
  bool gatherCorrections_ = true;
  int32_t smallest_[3];
  AcLookup acCodes_[3];
  RefineCodes refineCodes_[3];
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

JpegError DecodeBlocksReference(DecodeContext& c, const ScanSetup& setup) {
  JpegDecoderState& s = c.state;
  PlainDecoder decoder(s, setup);
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

constexpr int32_t kPrefetchBlocks = 8;
constexpr int32_t kPrefetchMcus = 4;

// Both cache lines of a block, for writing.
inline void Prefetch(const int16_t* block) {
#if defined(__GNUC__)
  __builtin_prefetch(block, 1);
  __builtin_prefetch(block + 32, 1);
#else
  (void)block;
#endif
}

enum class BlockKind { kSequential, kDcFirst, kDcRefine, kAcFirst, kAcRefine };

template <BlockKind kind>
KAVROSA_ALWAYS_INLINE JpegError FastBlock(FastProgressiveDecoder& decoder, BufferedBits& in, int i,
                                          int16_t* block, uint64_t* nonzero) {
  LookaheadBits bits = decoder.Source(in);
  switch (kind) {
    case BlockKind::kSequential:
      return decoder.Sequential(bits, i, block);
    case BlockKind::kDcFirst:
      return decoder.DcFirst(bits, i, block);
    case BlockKind::kDcRefine:
      return decoder.DcRefine(bits, block);
    case BlockKind::kAcFirst:
      return decoder.AcFirstFast(in, i, block, *nonzero);
    case BlockKind::kAcRefine:
      return decoder.AcRefineFast(in, i, block, *nonzero);
  }
  return JpegError::kNone;
}

// DecodeBlocks on the fast path, for one kind of block.
template <BlockKind kind>
JpegError DecodeBlocksFast(DecodeContext& c, const ScanSetup& setup) {
  JpegDecoderState& s = c.state;
  FastProgressiveDecoder decoder(s, setup, c.coefficients);
  // The reader's state in locals for the whole scan.
  BufferedBits in = decoder.Reader();
  int32_t mcuCounter = 0;
  auto restart = [&]() {
    if (s.restartInterval != 0 && mcuCounter == s.restartInterval) {
      decoder.Reader() = in;
      decoder.Restart();
      in = decoder.Reader();
      mcuCounter = 0;
    }
  };
  auto overrun = [&]() { return in.Overrun() || s.bitOverrun != 0; };
  auto finish = [&]() {
    decoder.Reader() = in;
    decoder.Finish();
  };
  if (setup.count == 1) {
    const int i = setup.order[0];
    ComponentCoefficients& component = c.coefficients.components[i];
    for (int32_t by = 0; by < component.scanBlockRows; ++by) {
      for (int32_t bx = 0; bx < component.scanBlocksPerLine;) {
        restart();
        if (kind == BlockKind::kAcFirst) {
          // Blocks inside an end-of-band run read nothing, up to the row's end or the next
          // restart.
          int32_t most = component.scanBlocksPerLine - bx;
          if (s.restartInterval != 0 && s.restartInterval - mcuCounter < most)
            most = s.restartInterval - mcuCounter;
          const int32_t skipped = decoder.SkipBands(most);
          if (skipped > 0) {
            bx += skipped;
            mcuCounter += skipped;
            continue;
          }
        }
        int16_t* const block = component.Block(bx, by);
        // The store is far larger than the caches: ask for the blocks a little ahead.
        if (bx + kPrefetchBlocks < component.scanBlocksPerLine)
          Prefetch(block + 64 * kPrefetchBlocks);
        const JpegError error = FastBlock<kind>(decoder, in, i, block, component.Nonzero(bx, by));
        if (overrun()) {
          finish();
          return JpegError::kTruncated;
        }
        if (error != JpegError::kNone) return error;
        ++mcuCounter;
        ++bx;
      }
    }
    finish();
    return JpegError::kNone;
  }
  for (int32_t mcuY = 0; mcuY < s.mcuRows; ++mcuY) {
    for (int32_t mcuX = 0; mcuX < s.mcusPerRow; ++mcuX) {
      restart();
      for (int n = 0; n < setup.count; ++n) {
        const int i = setup.order[n];
        const ComponentSpec& sampling = s.components[i];
        ComponentCoefficients& component = c.coefficients.components[i];
        for (int32_t by = 0; by < sampling.v; ++by) {
          for (int32_t bx = 0; bx < sampling.h; ++bx) {
            const int32_t x = mcuX * sampling.h + bx;
            const int32_t y = mcuY * sampling.v + by;
            if (mcuX + kPrefetchMcus < s.mcusPerRow)
              Prefetch(component.Block(x + kPrefetchMcus * sampling.h, y));
            const JpegError error =
                FastBlock<kind>(decoder, in, i, component.Block(x, y), component.Nonzero(x, y));
            if (overrun()) {
              finish();
              return JpegError::kTruncated;
            }
            if (error != JpegError::kNone) return error;
          }
        }
      }
      ++mcuCounter;
    }
  }
  finish();
  return JpegError::kNone;
}

JpegError DecodeFast(DecodeContext& c, const ScanSetup& setup) {
  if (!c.state.progressive) return DecodeBlocksFast<BlockKind::kSequential>(c, setup);
  if (setup.ss == 0)
    return setup.ah == 0 ? DecodeBlocksFast<BlockKind::kDcFirst>(c, setup)
                         : DecodeBlocksFast<BlockKind::kDcRefine>(c, setup);
  return setup.ah == 0 ? DecodeBlocksFast<BlockKind::kAcFirst>(c, setup)
                       : DecodeBlocksFast<BlockKind::kAcRefine>(c, setup);
}

}  // namespace

JpegError DecodeProgressiveScan(DecodeContext& c, const ScanSetup& setup) {
  if (++c.scans > kMaxProgressiveScans) return JpegError::kTooManyScans;
  if (c.state.progressive) {
    const JpegError order = AdvanceApproximation(c.coefficients, setup);
    if (order != JpegError::kNone) return order;
  }
  return c.path == JpegPath::kReference ? DecodeBlocksReference(c, setup) : DecodeFast(c, setup);
}

}  // namespace kavrosa
