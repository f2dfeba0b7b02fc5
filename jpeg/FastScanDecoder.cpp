// The fast MCU loop. It must produce the reference loop's bytes, positions and refusals:
// a 64-bit bit buffer that remembers where each buffered byte came from (so restart and
// end-of-scan alignment land where the one-bit reader would), a lookahead table for short
// codes with the per-bit search behind it, the pruned inverse DCT, and colour conversion
// straight from the slots, which the planes' replication reduces to an index division.
#include <cstring>

#include "jpeg/BitReader.h"
#include "jpeg/ColourConversion.h"
#include "jpeg/HuffmanTables.h"
#include "jpeg/InverseDct.h"
#include "jpeg/ScanSetup.h"

namespace kavrosa {
namespace {

class FastBitReader {
 public:
  FastBitReader(ByteView stream, size_t start) : stream_(stream), pos_(start) {}

  // At least 57 bits buffered afterwards (zero bits past the end of the stream).
  void Fill() {
    while (count_ <= 56) LoadByte();
  }
  uint32_t Peek(int n) const { return static_cast<uint32_t>(bits_ >> (64 - n)); }
  void Consume(int n) {
    bits_ <<= n;
    count_ -= n;
  }
  uint32_t Take(int n) {
    const uint32_t v = Peek(n);
    Consume(n);
    return v;
  }
  // True once a bit from past the end of the stream has been consumed.
  bool Overrun() const { return count_ < 8 * padBytes_; }

  // Where the one-bit reader would stand: the byte holding the next unread bit and the
  // bit's position in it.
  void SavePosition(JpegDecoderState& state) const {
    const int unread = count_ / 8;
    const int partial = count_ % 8;
    size_t cursor = pos_;
    if (partial != 0) {
      cursor = origins_[(loads_ - unread - 1) & 15];
    } else if (unread > 0) {
      cursor = origins_[(loads_ - unread) & 15];
    }
    state.bitCursor = stream_.data + cursor;
    state.bitPosition = partial != 0 ? 8 - partial : 0;
  }

 private:
  void LoadByte() {
    uint32_t byte = 0;
    origins_[loads_ & 15] = pos_;
    ++loads_;
    if (pos_ < stream_.size) {
      byte = stream_.data[pos_++];
      // A stuffed 0x00 after a 0xFF data byte is dropped with it.
      if (byte == 0xFF && pos_ < stream_.size && stream_.data[pos_] == 0x00) ++pos_;
    } else {
      ++padBytes_;
    }
    bits_ |= uint64_t{byte} << (56 - count_);
    count_ += 8;
  }

  ByteView stream_;
  size_t pos_;
  uint64_t bits_ = 0;
  int count_ = 0;
  int padBytes_ = 0;
  uint32_t loads_ = 0;
  size_t origins_[16] = {};
};

struct FastComponent {
  const ComponentTables* tables;
  HuffmanLookahead dc;
  HuffmanLookahead ac;
};

// The per-bit search of DecodeHuffman over the buffered bits.
JpegError SearchSymbol(FastBitReader& reader, const HuffmanTable& table, const uint8_t* values,
                       int32_t count, uint8_t& symbol) {
  uint32_t code = reader.Take(1);
  int32_t l = 1;
  while (table.entries[l].maxCode == 0xFFFF || code > table.entries[l].maxCode) {
    if (++l > 16) return JpegError::kHuffmanCode;
    code = (code << 1) | reader.Take(1);
  }
  const HuffmanLengthEntry& entry = table.entries[l];
  const uint32_t index = entry.valueIndex + code - entry.minCode;
  if (index >= static_cast<uint32_t>(count)) return JpegError::kHuffmanCode;
  symbol = values[index];
  return JpegError::kNone;
}

inline JpegError DecodeSymbol(FastBitReader& reader, const HuffmanLookahead& lookahead,
                              const HuffmanTable& table, const uint8_t* values, int32_t count,
                              uint8_t& symbol) {
  const uint16_t entry = lookahead.entries[reader.Peek(kLookaheadBits)];
  if (entry != 0) {
    reader.Consume(entry >> 8);
    symbol = static_cast<uint8_t>(entry);
    return JpegError::kNone;
  }
  return SearchSymbol(reader, table, values, count, symbol);
}

// Also gathers the block's summary for the transform (each |coefficient| is below 2^24, so
// the sum of 64 stays inside 32 bits).
JpegError DecodeBlockFast(FastBitReader& reader, const FastComponent& component, int32_t& predictor,
                          int32_t coefficients[64], BlockSummary& summary) {
  const ComponentTables& t = *component.tables;
  std::memset(coefficients, 0, 64 * sizeof(int32_t));
  reader.Fill();
  uint8_t s = 0;
  JpegError error = DecodeSymbol(reader, component.dc, *t.dcTable, t.dcValues, t.dcCount, s);
  if (error != JpegError::kNone) return error;
  if (s > kMaxDcCategory) return JpegError::kCoefficientSize;
  if (s != 0) predictor += ExtendValue(reader.Take(s), s);
  if (predictor > kMaxDcPredictor || predictor < -kMaxDcPredictor) return JpegError::kDcOutOfRange;
  coefficients[0] = predictor * t.quant[0];
  summary = BlockSummary{};
  summary.columnMask = coefficients[0] != 0 ? 1u : 0u;
  summary.absoluteSum = coefficients[0] < 0 ? -coefficients[0] : coefficients[0];
  for (int32_t k = 1; k < 64;) {
    reader.Fill();
    uint8_t r = 0;
    error = DecodeSymbol(reader, component.ac, *t.acTable, t.acValues, t.acCount, r);
    if (error != JpegError::kNone) return error;
    const int32_t run = r >> 4;
    const int32_t size = r & 0x0F;
    if (size > kMaxAcSize) return JpegError::kCoefficientSize;
    if (size == 0) {
      if (run == 0) break;  // end of block
      k += run;
      if (k > 63) return JpegError::kCoefficientOverrun;
      ++k;  // a zero is stored: the block is already zero there
      continue;
    }
    // The value's bits are read before the index is checked, as the reference does.
    const int32_t value = ExtendValue(reader.Take(size), size);
    k += run;
    if (k > 63) return JpegError::kCoefficientOverrun;
    const int32_t natural = kZigzag[k];
    const int32_t c = value * t.quant[k];
    coefficients[natural] = c;
    if (c != 0) {
      summary.dcOnly = false;
      summary.columnMask |= 1u << (natural & 7);
      summary.absoluteSum += c < 0 ? -c : c;
    }
    ++k;
  }
  return JpegError::kNone;
}

struct FastScan {
  FastComponent components[3];
  int32_t slots[6][64] = {};
};

JpegError DecodeMcuFast(const JpegDecoderState& s, FastBitReader& reader, FastScan& scan,
                        int32_t predictors[3]) {
  int32_t coefficients[64];
  int slot = 0;
  for (int i = 0; i < 3; ++i) {
    const int blocks = s.components[i].h * s.components[i].v;
    for (int b = 0; b < blocks; ++b) {
      if (i != 0) slot = i + 3;
      BlockSummary summary;
      const JpegError error =
          DecodeBlockFast(reader, scan.components[i], predictors[i], coefficients, summary);
      if (error != JpegError::kNone) return error;
      InverseDctFast(coefficients, summary, scan.slots[slot]);
      ++slot;
    }
  }
  return JpegError::kNone;
}

// The MCU's pixels straight from the slots. The planes of the reference hold, at (ry, cx),
// luminance slot (ry / 8) * 2 + cx / 8 and chroma sample (ry / vRatio, cx / hRatio).
void WriteMcuFast(const JpegDecoderState& s, const ScanSetup& setup, const FastScan& scan,
                  int32_t mcuX, int32_t mcuY, uint8_t* pixels) {
  const int32_t width = s.header.biWidth;
  const int32_t height = s.header.biHeight;
  const int32_t x0 = mcuX * s.mcuWidth;
  const int32_t count = width - x0 < s.mcuWidth ? width - x0 : s.mcuWidth;
  alignas(16) int32_t yRow[16];
  alignas(16) int32_t cbRow[16];
  alignas(16) int32_t crRow[16];
  for (int ry = 0; ry < s.mcuHeight; ++ry) {
    const int32_t y = mcuY * s.mcuHeight + ry;
    if (y >= height) break;
    const int32_t* yTop = scan.slots[(ry / 8) * 2] + 8 * (ry % 8);
    const int32_t* cb = scan.slots[4] + 8 * (ry / setup.vRatioCb);
    const int32_t* cr = scan.slots[5] + 8 * (ry / setup.vRatioCr);
    for (int cx = 0; cx < s.mcuWidth; ++cx) {
      yRow[cx] = yTop[(cx / 8) * 64 + cx % 8] + 128;
      cbRow[cx] = cb[cx / setup.hRatioCb];
      crRow[cx] = cr[cx / setup.hRatioCr];
    }
    uint8_t* row = pixels + static_cast<size_t>(s.rowStride) * static_cast<size_t>(height - 1 - y);
    ConvertRow(yRow, cbRow, crRow, count, row + 3 * static_cast<size_t>(x0));
  }
}

}  // namespace

JpegError DecodeMcusFast(DecodeContext& c, const ScanSetup& setup, uint8_t* pixels) {
  JpegDecoderState& s = c.state;
  FastScan scan;
  for (int i = 0; i < 3; ++i) {
    const ComponentTables& t = setup.tables[i];
    scan.components[i].tables = &t;
    BuildLookahead(*t.dcTable, t.dcValues, t.dcCount, scan.components[i].dc);
    BuildLookahead(*t.acTable, t.acValues, t.acCount, scan.components[i].ac);
  }
  FastBitReader reader(c.stream, setup.dataStart);
  int32_t predictors[3] = {0, 0, 0};
  int32_t mcuCounter = 0;
  for (int32_t mcuY = 0; mcuY < s.mcuRows; ++mcuY) {
    for (int32_t mcuX = 0; mcuX < s.mcusPerRow; ++mcuX) {
      if (s.restartInterval != 0 && mcuCounter == s.restartInterval) {
        predictors[0] = predictors[1] = predictors[2] = 0;
        mcuCounter = 0;
        reader.SavePosition(s);
        AlignAtRestart(s);
        reader = FastBitReader(c.stream, static_cast<size_t>(s.bitCursor - c.stream.data));
      }
      const JpegError error = DecodeMcuFast(s, reader, scan, predictors);
      if (reader.Overrun()) return JpegError::kTruncated;
      if (error != JpegError::kNone) return error;
      WriteMcuFast(s, setup, scan, mcuX, mcuY, pixels);
      ++mcuCounter;
    }
  }
  reader.SavePosition(s);
  return JpegError::kNone;
}

}  // namespace kavrosa
