// Entropy decoding: Huffman table generation, the bit reader's stuffing rule and bound,
// EXTEND, the block loop, restart and end-of-scan alignment, and the refusals of this stage.
#include <gtest/gtest.h>

#include <algorithm>

#include "jpeg/BitReader.h"
#include "jpeg/BlockDecoder.h"
#include "jpeg/HuffmanTables.h"
#include "jpeg/InverseDct.h"
#include "tests/jpeg/JpegStreams.h"

namespace kavrosa::test {
namespace {

JpegDecoderState ReaderOver(const Bytes& bytes) {
  JpegDecoderState s;
  for (int i = 0; i < 8; ++i) s.bitMasks[i] = static_cast<uint8_t>(0x80 >> i);
  s.streamEnd = bytes.data() + bytes.size();
  StartBitReader(s, bytes.data());
  return s;
}

TEST(ExtendValue, MatchesTheDefinitionForEverySizeAndValue) {
  // EXTEND as T.81 F.2.2.1 writes it: below half the range, the value is negative.
  for (int32_t s = 1; s <= 16; ++s) {
    for (uint32_t v = 0; v < (uint32_t{1} << s); ++v) {
      const int32_t expected = v < (uint32_t{1} << (s - 1)) ? static_cast<int32_t>(v) - (1 << s) + 1
                                                            : static_cast<int32_t>(v);
      ASSERT_EQ(ExtendValue(v, s), expected) << s << " " << v;
    }
  }
}

TEST(ExtendValue, MatchesTheWorkedCases) {
  EXPECT_EQ(ExtendValue(0b010, 3), -5);
  EXPECT_EQ(ExtendValue(0b110, 3), 6);
  EXPECT_EQ(ExtendValue(0, 1), -1);
  EXPECT_EQ(ExtendValue(1, 1), 1);
  EXPECT_EQ(ExtendValue(0, 11), -2047);
  EXPECT_EQ(ExtendValue(2047, 11), 2047);
  EXPECT_EQ(ExtendValue(1023, 10), 1023);
  EXPECT_EQ(ExtendValue(0, 10), -1023);
}

TEST(BitReader, StuffedZeroAfterFfIsConsumedWithIt) {
  const Bytes bytes = {0xFF, 0x00, 0x80};
  JpegDecoderState s = ReaderOver(bytes);
  uint32_t acc = 0;
  ReadBits(s, acc, 8);
  EXPECT_EQ(acc, 0xFFu);
  EXPECT_EQ(s.bitCursor, bytes.data() + 2);
  EXPECT_EQ(s.bitPosition, 0);
  acc = 0;
  ReadBits(s, acc, 1);
  EXPECT_EQ(acc, 1u);
}

TEST(BitReader, FfBeforeAnotherByteIsReadAsData) {
  const Bytes bytes = {0xFF, 0xD0, 0x12};
  JpegDecoderState s = ReaderOver(bytes);
  uint32_t acc = 0;
  ReadBits(s, acc, 16);
  EXPECT_EQ(acc, 0xFFD0u);
  EXPECT_EQ(s.bitCursor, bytes.data() + 2);
}

TEST(BitReader, GivesZeroBitsPastTheEndAndNotesIt) {
  const Bytes bytes = {0xA5};
  JpegDecoderState s = ReaderOver(bytes);
  uint32_t acc = 0;
  ReadBits(s, acc, 8);
  EXPECT_EQ(acc, 0xA5u);
  EXPECT_EQ(s.bitOverrun, 0);
  ReadBits(s, acc, 12);
  EXPECT_EQ(acc, 0xA5000u);
  EXPECT_EQ(s.bitOverrun, 1);
  EXPECT_EQ(s.bitCursor, bytes.data() + 1);
}

TEST(Alignment, RestartInsideAByteDropsItsRestAndTheMarker) {
  const Bytes bytes = {0x12, 0xFF, 0xD0, 0x34};
  JpegDecoderState s = ReaderOver(bytes);
  uint32_t acc = 0;
  ReadBits(s, acc, 3);
  AlignAtRestart(s);
  EXPECT_EQ(s.bitCursor, bytes.data() + 3);
  EXPECT_EQ(s.bitPosition, 0);
}

TEST(Alignment, RestartOnAByteBoundarySkipsOnlyTheMarker) {
  const Bytes bytes = {0x12, 0xFF, 0xD1, 0x34};
  JpegDecoderState s = ReaderOver(bytes);
  uint32_t acc = 0;
  ReadBits(s, acc, 8);
  AlignAtRestart(s);
  EXPECT_EQ(s.bitCursor, bytes.data() + 3);
}

TEST(Alignment, RestartAfterAPartlyReadStuffedFf) {
  const Bytes bytes = {0xFF, 0x00, 0xFF, 0xD2, 0x34};
  JpegDecoderState s = ReaderOver(bytes);
  uint32_t acc = 0;
  ReadBits(s, acc, 5);
  AlignAtRestart(s);
  EXPECT_EQ(s.bitCursor, bytes.data() + 4);
}

TEST(Alignment, ScanEndSkipsAPartlyReadFfWithItsZero) {
  const Bytes bytes = {0xFF, 0x00, 0xFF, 0xD9};
  JpegDecoderState s = ReaderOver(bytes);
  uint32_t acc = 0;
  ReadBits(s, acc, 4);
  AlignAtScanEnd(s);
  EXPECT_EQ(s.bitCursor, bytes.data() + 2);
}

TEST(Alignment, ScanEndOnAByteBoundaryStays) {
  const Bytes bytes = {0x55, 0xFF, 0xD9};
  JpegDecoderState s = ReaderOver(bytes);
  uint32_t acc = 0;
  ReadBits(s, acc, 8);
  AlignAtScanEnd(s);
  EXPECT_EQ(s.bitCursor, bytes.data() + 1);
}

TEST(HuffmanTable, LengthsWithoutCodesHaveMaxCodeFfff) {
  uint8_t counts[16] = {0, 2, 3};  // two codes of length 2, three of length 3
  HuffmanTable t;
  int32_t n = 0;
  ASSERT_EQ(BuildHuffmanTable(counts, t, n), JpegError::kNone);
  EXPECT_EQ(n, 5);
  EXPECT_EQ(t.entries[1].maxCode, 0xFFFFu);
  EXPECT_EQ(t.entries[2].minCode, 0u);
  EXPECT_EQ(t.entries[2].maxCode, 1u);
  EXPECT_EQ(t.entries[2].valueIndex, 0);
  EXPECT_EQ(t.entries[3].minCode, 4u);
  EXPECT_EQ(t.entries[3].maxCode, 6u);
  EXPECT_EQ(t.entries[3].valueIndex, 2);
  for (int l = 4; l <= 16; ++l) EXPECT_EQ(t.entries[l].maxCode, 0xFFFFu) << l;
}

TEST(HuffmanTable, StandardLuminanceDcTable) {
  uint8_t counts[16] = {0, 1, 5, 1, 1, 1, 1, 1, 1};
  HuffmanTable t;
  int32_t n = 0;
  ASSERT_EQ(BuildHuffmanTable(counts, t, n), JpegError::kNone);
  EXPECT_EQ(n, 12);
  EXPECT_EQ(t.entries[2].minCode, 0u);    // 00
  EXPECT_EQ(t.entries[3].minCode, 2u);    // 010
  EXPECT_EQ(t.entries[3].maxCode, 6u);    // 110
  EXPECT_EQ(t.entries[4].minCode, 14u);   // 1110
  EXPECT_EQ(t.entries[9].minCode, 510u);  // 111111110
  EXPECT_EQ(t.entries[9].valueIndex, 11);
}

TEST(HuffmanTable, DecodeReadsAtLeastTheShortestLength) {
  uint8_t counts[16] = {0, 2, 3};
  HuffmanTable t;
  int32_t n = 0;
  ASSERT_EQ(BuildHuffmanTable(counts, t, n), JpegError::kNone);
  const uint8_t values[5] = {10, 11, 12, 13, 14};
  const Bytes bytes = {0b01110000};  // 01 -> 11, 110 -> 14
  JpegDecoderState s = ReaderOver(bytes);
  uint8_t symbol = 0;
  ASSERT_EQ(DecodeHuffman(s, t, values, n, symbol), JpegError::kNone);
  EXPECT_EQ(symbol, 11);
  ASSERT_EQ(DecodeHuffman(s, t, values, n, symbol), JpegError::kNone);
  EXPECT_EQ(symbol, 14);
  EXPECT_EQ(s.bitPosition, 5);
}

TEST(HuffmanTable, SearchStopsAtSixteenBits) {
  uint8_t counts[16] = {1};  // one code: "0"
  HuffmanTable t;
  int32_t n = 0;
  ASSERT_EQ(BuildHuffmanTable(counts, t, n), JpegError::kNone);
  const uint8_t values[1] = {0};
  const Bytes bytes = {0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00};
  JpegDecoderState s = ReaderOver(bytes);
  uint8_t symbol = 0;
  EXPECT_EQ(DecodeHuffman(s, t, values, n, symbol), JpegError::kHuffmanCode);
}

TEST(HuffmanTable, LookaheadAgreesWithTheSearch) {
  uint8_t counts[16] = {0, 1, 5, 1, 1, 1, 1, 1, 1};
  HuffmanTable t;
  int32_t n = 0;
  ASSERT_EQ(BuildHuffmanTable(counts, t, n), JpegError::kNone);
  uint8_t values[12];
  for (int i = 0; i < 12; ++i) values[i] = static_cast<uint8_t>(100 + i);
  HuffmanLookahead look;
  BuildLookahead(t, values, n, look);
  for (uint32_t pattern = 0; pattern < 512; ++pattern) {
    // The low bit of the second byte keeps it nonzero, so a leading 0xFF is plain data.
    const Bytes bytes = {static_cast<uint8_t>(pattern >> 1),
                         static_cast<uint8_t>(((pattern & 1u) << 7) | 1u)};
    JpegDecoderState s = ReaderOver(bytes);
    uint8_t symbol = 0;
    const JpegError e = DecodeHuffman(s, t, values, n, symbol);
    const uint16_t entry = look.entries[pattern];
    if (entry == 0) {
      EXPECT_TRUE(e != JpegError::kNone || s.bitCursor - bytes.data() > 1 || s.bitPosition > 1)
          << pattern;
      continue;
    }
    ASSERT_EQ(e, JpegError::kNone);
    EXPECT_EQ(entry & 0xFF, symbol) << pattern;
    EXPECT_EQ(entry >> 8, (s.bitCursor - bytes.data()) * 8 + s.bitPosition) << pattern;
  }
}

// Whole streams through both paths: the block loop and restart alignment.
void ExpectSameOnBothPaths(const Bytes& stream, JpegError expected) {
  Decoded reference = Decode(stream, JpegPath::kReference);
  Decoded fast = Decode(stream, JpegPath::kFast);
  EXPECT_EQ(reference.error, expected);
  EXPECT_EQ(fast.error, expected);
  if (reference.pixelBlock && fast.pixelBlock) {
    EXPECT_EQ(reference.Pixels(), fast.Pixels());
  }
}

// The luminance of pixel (x, y) from the top of the picture.
int LumaAt(Decoded& d, int x, int y) {
  const Bytes pixels = d.Pixels();
  const int height = d.state.header.biHeight;
  return pixels[static_cast<size_t>(d.state.rowStride) * static_cast<size_t>(height - 1 - y) +
                3 * static_cast<size_t>(x)];
}

TEST(BlockLoop, DcSymbolZeroKeepsThePredictor) {
  BitWriter bits;
  bits.Block(80);  // Y of MCU 0
  bits.Block(0);
  bits.Block(0);
  bits.Block(0);  // Y of MCU 1: difference 0, so DC 80 again
  bits.Block(0);
  bits.Block(0);
  const Bytes stream = TestStream(16, 8, bits.Finish());
  ExpectSameOnBothPaths(stream, JpegError::kNone);
  Decoded d = Decode(stream);
  EXPECT_EQ(LumaAt(d, 0, 0), 137);
  EXPECT_EQ(LumaAt(d, 15, 7), 137);
}

TEST(BlockLoop, LastCoefficientCodedDirectlyNeedsNoEndOfBlock) {
  BitWriter bits;
  // Three runs of sixteen zeros reach k = 49, run 14 puts 200 at k = 63: the block is full.
  bits.Block(0, {{15, 0}, {15, 0}, {15, 0}, {14, 200}}, false);
  bits.Block(0);
  bits.Block(0);
  const Bytes stream = TestStream(8, 8, bits.Finish());
  ExpectSameOnBothPaths(stream, JpegError::kNone);
  int32_t coefficients[64] = {};
  coefficients[63] = 200;
  int32_t samples[64];
  InverseDctReference(coefficients, samples);
  Decoded d = Decode(stream);
  EXPECT_EQ(LumaAt(d, 0, 0), std::min(255, std::max(0, samples[0] + 128)));
  EXPECT_EQ(LumaAt(d, 7, 7), std::min(255, std::max(0, samples[63] + 128)));
}

TEST(BlockLoop, ZeroRunSymbolsAdvanceTheIndex) {
  BitWriter bits;
  bits.Block(0, {}, false);
  bits.Put(AcSymbolIndex(15, 0), 8);  // sixteen zeros: k = 17
  bits.Put(AcSymbolIndex(3, 0), 8);   // four zeros: k = 21
  bits.Put(AcSymbolIndex(0, 1), 8);   // coefficient 21 = 1
  bits.Put(1, 1);
  bits.Put(AcSymbolIndex(0, 0), 8);
  bits.Block(0);
  bits.Block(0);
  ExpectSameOnBothPaths(TestStream(8, 8, bits.Finish()), JpegError::kNone);
}

TEST(BlockLoop, RestartEveryRowResetsPredictorsAndSkipsMarkers) {
  // 16 x 16, 1x1 sampling: two MCUs per row, restart interval 2.
  BitWriter bits;
  for (int row = 0; row < 2; ++row) {
    if (row == 1) bits.Restart(0);
    bits.Block(row == 0 ? 80 : 160);  // absolute after the restart
    bits.Block(0);
    bits.Block(0);
    bits.Block(0);
    bits.Block(0);
    bits.Block(0);
  }
  const Bytes stream = TestStream(16, 16, bits.Finish(), 1, 1, 2);
  ExpectSameOnBothPaths(stream, JpegError::kNone);
  Decoded d = Decode(stream);
  EXPECT_EQ(LumaAt(d, 0, 0), 137);
  EXPECT_EQ(LumaAt(d, 15, 0), 137);
  EXPECT_EQ(LumaAt(d, 0, 8), 128 + 19);  // 160: 370727 * 160 >> 20 = 56, then 19
  EXPECT_EQ(LumaAt(d, 15, 15), 128 + 19);
}

TEST(BlockLoop, RestartCounterRunsAcrossRows) {
  // 24 x 16: three MCUs per row, restart every 2 MCUs: restarts before MCUs 2 and 4.
  BitWriter bits;
  for (int mcu = 0; mcu < 6; ++mcu) {
    if (mcu == 2 || mcu == 4) bits.Restart(mcu / 2 - 1);
    bits.Block(mcu % 2 == 0 ? 80 : 0);  // DC 80 in every MCU
    bits.Block(0);
    bits.Block(0);
  }
  const Bytes stream = TestStream(24, 16, bits.Finish(), 1, 1, 2);
  ExpectSameOnBothPaths(stream, JpegError::kNone);
  Decoded d = Decode(stream);
  for (int y : {0, 15})
    for (int x : {0, 8, 16, 23}) EXPECT_EQ(LumaAt(d, x, y), 137) << x << "," << y;
}

TEST(BlockLoop, RestartMarkerCodeIsNotChecked) {
  BitWriter bits;
  bits.Block(80);
  bits.Block(0);
  bits.Block(0);
  bits.Restart(5);  // RST5 where RST0 belongs
  bits.Block(80);
  bits.Block(0);
  bits.Block(0);
  ExpectSameOnBothPaths(TestStream(16, 8, bits.Finish(), 1, 1, 1), JpegError::kNone);
}

// Refusals of the entropy-decoding stage.
TEST(EntropyRefusal, RunPastCoefficient63) {
  BitWriter bits;
  bits.Block(0, {{15, 0}, {15, 0}, {15, 0}, {15, 1}});  // k = 49 + 15 = 64
  bits.Block(0);
  bits.Block(0);
  ExpectSameOnBothPaths(TestStream(8, 8, bits.Finish()), JpegError::kCoefficientOverrun);
}

TEST(EntropyRefusal, ZeroRunPastCoefficient63) {
  BitWriter bits;
  bits.Block(0, {}, false);
  for (int i = 0; i < 4; ++i) bits.Put(AcSymbolIndex(15, 0), 8);  // k = 65
  bits.Block(0);
  bits.Block(0);
  ExpectSameOnBothPaths(TestStream(8, 8, bits.Finish()), JpegError::kCoefficientOverrun);
}

TEST(EntropyRefusal, DcCategoryAboveEleven) {
  BitWriter bits;
  bits.Put(12, 4);
  bits.Put(0, 12);
  bits.Put(0, 8);
  ExpectSameOnBothPaths(TestStream(8, 8, bits.Finish()), JpegError::kCoefficientSize);
}

TEST(EntropyRefusal, AcSizeAboveTen) {
  // An AC table whose only symbol is size 11.
  Bytes stream = TestStream(8, 8, {0x00, 0x00, 0x00, 0x00});
  Bytes ac = {0xFF, 0xC4, 0x00, 2 + 17 + 1, 0x11, 1};
  ac.insert(ac.end(), 15, 0);
  ac.push_back(0x0B);
  stream.insert(stream.begin() + 2, ac.begin(), ac.end());
  // Scan using AC table 1 for luminance.
  for (size_t i = 0; i + 5 < stream.size(); ++i) {
    if (stream[i] == 0xFF && stream[i + 1] == 0xDA) {
      stream[i + 6] = 0x01;
      break;
    }
  }
  ExpectSameOnBothPaths(stream, JpegError::kCoefficientSize);
}

TEST(EntropyRefusal, DcPredictorBeyondEightBitRange) {
  BitWriter bits;
  for (int mcu = 0; mcu < 40; ++mcu) {
    bits.Block(2047);
    bits.Block(0);
    bits.Block(0);
  }
  ExpectSameOnBothPaths(TestStream(8 * 40, 8, bits.Finish()), JpegError::kDcOutOfRange);
}

TEST(EntropyRefusal, CodeMissingFromTheTable) {
  // A DC table with the single code "0": a run of ones matches nothing.
  Bytes stream = TestStream(8, 8, {0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00});
  Bytes dc = {0xFF, 0xC4, 0x00, 2 + 17 + 1, 0x01, 1};
  dc.insert(dc.end(), 15, 0);
  dc.push_back(0x00);
  stream.insert(stream.begin() + 2, dc.begin(), dc.end());
  for (size_t i = 0; i + 5 < stream.size(); ++i) {
    if (stream[i] == 0xFF && stream[i + 1] == 0xDA) {
      stream[i + 6] = 0x10;  // component 1: DC table 1
      break;
    }
  }
  ExpectSameOnBothPaths(stream, JpegError::kHuffmanCode);
}

TEST(EntropyRefusal, DataRunningPastTheEndOfTheStream) {
  // Zero bytes decode as all-zero blocks (DC code 0000, end of block 00000000) until the
  // data runs out, long before the 64 MCUs of the frame are complete.
  Bytes stream = TestStream(64, 64, Bytes(4, 0x00));
  stream.resize(stream.size() - 2);  // no EOI either
  ExpectSameOnBothPaths(stream, JpegError::kTruncated);
}

TEST(EntropyRefusal, ScanWithoutEoiAfterIt) {
  BitWriter bits;
  bits.Block(0);
  bits.Block(0);
  bits.Block(0);
  Bytes stream = TestStream(8, 8, bits.Finish());
  stream.resize(stream.size() - 2);
  ExpectSameOnBothPaths(stream, JpegError::kTruncated);
}

// Refusals of the scan header.
TEST(ScanRefusal, ScanBeforeFrame) {
  Bytes stream = {0xFF, 0xD8};
  const Bytes scan = ScanHeader();
  stream.insert(stream.end(), scan.begin(), scan.end());
  ExpectSameOnBothPaths(stream, JpegError::kScanBeforeFrame);
}

TEST(ScanRefusal, ScanNotNamingAllThreeComponents) {
  Bytes stream = TestStream(8, 8, {0x00});
  for (size_t i = 0; i + 5 < stream.size(); ++i) {
    if (stream[i] == 0xFF && stream[i + 1] == 0xDA) {
      stream[i + 9] = 4;  // third selector names component 4
      break;
    }
  }
  ExpectSameOnBothPaths(stream, JpegError::kScanComponents);
}

TEST(ScanRefusal, ScanTableNumberAboveThree) {
  Bytes stream = TestStream(8, 8, {0x00});
  for (size_t i = 0; i + 5 < stream.size(); ++i) {
    if (stream[i] == 0xFF && stream[i + 1] == 0xDA) {
      stream[i + 8] = 0x40;
      break;
    }
  }
  ExpectSameOnBothPaths(stream, JpegError::kTableNumber);
}

TEST(ScanRefusal, UndefinedQuantisationTable) {
  Bytes stream = TestStream(8, 8, {0x00});
  stream[6] = 2;  // the DQT defines table 2; the frame uses table 0
  ExpectSameOnBothPaths(stream, JpegError::kUndefinedTable);
}

TEST(ScanRefusal, ScanHeaderCutShort) {
  Bytes stream = TestStream(8, 8, {});
  for (size_t i = 0; i + 1 < stream.size(); ++i) {
    if (stream[i] == 0xFF && stream[i + 1] == 0xDA) {
      stream.resize(i + 8);
      break;
    }
  }
  ExpectSameOnBothPaths(stream, JpegError::kTruncated);
}

}  // namespace
}  // namespace kavrosa::test
