// One scan of a progressive frame (T.81 G.1.2): DC first and refining scans, AC bands with
// end-of-band runs, and AC refinement, which interleaves correction bits for coefficients
// already nonzero with the new ones. The coefficients stay quantised in 16 bits until the
// frame ends. Every step refuses what would leave its band, its 16 bits or its table, and a
// scan must continue the approximation its band has reached, which also bounds the work a
// short hostile stream can ask for.
#include "jpeg/BitReader.h"
#include "jpeg/ScanSetup.h"

namespace kavrosa {
namespace {

// More scans than any encoder writes (jpegtran's default script has ten).
constexpr int32_t kMaxProgressiveScans = 64;

bool FitsInt16(int32_t v) {
  return v >= -32768 && v <= 32767;
}

class ProgressiveDecoder {
 public:
  ProgressiveDecoder(JpegDecoderState& s, const ScanSetup& setup) : s_(s), setup_(setup) {}

  void Restart() {
    predictors_[0] = predictors_[1] = predictors_[2] = 0;
    eobRun_ = 0;
  }

  JpegError Block(int i, int16_t* block) {
    if (setup_.ss == 0) return setup_.ah == 0 ? DcFirst(i, block) : DcRefine(block);
    return setup_.ah == 0 ? AcFirst(i, block) : AcRefine(i, block);
  }

 private:
  uint32_t Bits(int32_t n) {
    uint32_t v = 0;
    ReadBits(s_, v, n);
    return v;
  }

  int32_t ReceiveExtend(int32_t size) { return size == 0 ? 0 : ExtendValue(Bits(size), size); }

  JpegError DcFirst(int i, int16_t* block) {
    const ComponentTables& t = setup_.tables[i];
    uint8_t size = 0;
    const JpegError error = DecodeHuffman(s_, *t.dcTable, t.dcValues, t.dcCount, size);
    if (error != JpegError::kNone) return error;
    if (size > kMaxDcCategory) return JpegError::kCoefficientSize;
    predictors_[i] += ReceiveExtend(size);
    if (predictors_[i] > kMaxDcPredictor || predictors_[i] < -kMaxDcPredictor)
      return JpegError::kDcOutOfRange;
    const int32_t value = predictors_[i] * (1 << setup_.al);
    if (!FitsInt16(value)) return JpegError::kDcOutOfRange;
    block[0] = static_cast<int16_t>(value);
    return JpegError::kNone;
  }

  JpegError DcRefine(int16_t* block) {
    if (Bits(1) != 0) block[0] = static_cast<int16_t>(block[0] | (1 << setup_.al));
    return JpegError::kNone;
  }

  JpegError AcSymbol(int i, int32_t& run, int32_t& size) {
    const ComponentTables& t = setup_.tables[i];
    uint8_t rs = 0;
    const JpegError error = DecodeHuffman(s_, *t.acTable, t.acValues, t.acCount, rs);
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
        const int32_t value = ReceiveExtend(size) * (1 << setup_.al);
        if (!FitsInt16(value)) return JpegError::kCoefficientSize;
        block[kZigzag[k]] = static_cast<int16_t>(value);
      }
    }
    return JpegError::kNone;
  }

  // A correction bit for a coefficient already nonzero: moves it one step away from zero.
  JpegError Correct(int16_t& coefficient) {
    if (Bits(1) == 0) return JpegError::kNone;
    const int32_t p1 = 1 << setup_.al;
    if ((coefficient & p1) != 0) return JpegError::kNone;
    const int32_t value = coefficient >= 0 ? coefficient + p1 : coefficient - p1;
    if (!FitsInt16(value)) return JpegError::kCoefficientSize;
    coefficient = static_cast<int16_t>(value);
    return JpegError::kNone;
  }

  JpegError AcRefine(int i, int16_t* block) {
    int32_t k = setup_.ss;
    if (eobRun_ == 0) {
      for (; k <= setup_.se; ++k) {
        int32_t run = 0, size = 0;
        JpegError error = AcSymbol(i, run, size);
        if (error != JpegError::kNone) return error;
        int32_t value = 0;
        if (size != 0) {
          if (size != 1) return JpegError::kCoefficientSize;
          value = Bits(1) != 0 ? (1 << setup_.al) : -(1 << setup_.al);
        } else if (run != 15) {
          eobRun_ = EobRun(run);
          break;  // the rest of the band gets its correction bits below
        }
        // Skip `run` zero coefficients, correcting the nonzero ones passed on the way.
        for (; k <= setup_.se; ++k) {
          int16_t& coefficient = block[kZigzag[k]];
          if (coefficient != 0) {
            error = Correct(coefficient);
            if (error != JpegError::kNone) return error;
          } else if (run-- == 0) {
            break;
          }
        }
        if (value != 0) {
          if (k > setup_.se) return JpegError::kCoefficientOverrun;
          block[kZigzag[k]] = static_cast<int16_t>(value);
        }
      }
    }
    if (eobRun_ > 0) {
      for (; k <= setup_.se; ++k) {
        int16_t& coefficient = block[kZigzag[k]];
        if (coefficient == 0) continue;
        const JpegError error = Correct(coefficient);
        if (error != JpegError::kNone) return error;
      }
      --eobRun_;
    }
    return JpegError::kNone;
  }

  JpegDecoderState& s_;
  const ScanSetup& setup_;
  int32_t predictors_[3] = {0, 0, 0};
  int32_t eobRun_ = 0;
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

}  // namespace

JpegError DecodeProgressiveScan(DecodeContext& c, const ScanSetup& setup) {
  if (++c.scans > kMaxProgressiveScans) return JpegError::kTooManyScans;
  const JpegError order = AdvanceApproximation(c.coefficients, setup);
  if (order != JpegError::kNone) return order;
  JpegDecoderState& s = c.state;
  ProgressiveDecoder decoder(s, setup);
  int32_t mcuCounter = 0;
  auto restart = [&]() {
    if (s.restartInterval != 0 && mcuCounter == s.restartInterval) {
      decoder.Restart();
      mcuCounter = 0;
      AlignAtRestart(s);
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
        if (s.bitOverrun) return JpegError::kTruncated;
        if (error != JpegError::kNone) return error;
        ++mcuCounter;
      }
    }
    return JpegError::kNone;
  }
  for (int32_t mcuY = 0; mcuY < s.mcuRows; ++mcuY) {
    for (int32_t mcuX = 0; mcuX < s.mcusPerRow; ++mcuX) {
      restart();
      for (int n = 0; n < setup.count; ++n) {
        const int i = setup.order[n];
        const ComponentSpec& spec = s.components[i];
        for (int32_t by = 0; by < spec.v; ++by) {
          for (int32_t bx = 0; bx < spec.h; ++bx) {
            int16_t* block =
                c.coefficients.components[i].Block(mcuX * spec.h + bx, mcuY * spec.v + by);
            const JpegError error = decoder.Block(i, block);
            if (s.bitOverrun) return JpegError::kTruncated;
            if (error != JpegError::kNone) return error;
          }
        }
      }
      ++mcuCounter;
    }
  }
  return JpegError::kNone;
}

}  // namespace kavrosa
