// The marker loop and the segment readers: what each marker does to the state and the
// blocks, and the refusals of the parsing stage, on streams written out byte by byte.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/DebugOutput.h"
#include "tests/jpeg/JpegStreams.h"

namespace kavrosa::test {
namespace {

std::string gDebugText;
void CaptureDebug(const char* text) {
  gDebugText += text;
}

class MarkerLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    gDebugText.clear();
    previous_ = SetDebugOutputHook(CaptureDebug);
  }
  void TearDown() override { SetDebugOutputHook(previous_); }
  DebugOutputHook previous_ = nullptr;
};

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

const Bytes kSoi = {0xFF, 0xD8};
const Bytes kEoi = {0xFF, 0xD9};

TEST_F(MarkerLoop, SoiThenEoiSucceedsWithoutBlocks) {
  Decoded d = Decode(Concat({kSoi, kEoi}));
  EXPECT_EQ(d.error, JpegError::kNone);
  EXPECT_FALSE(d.headerBlock);
  EXPECT_FALSE(d.pixelBlock);
}

TEST_F(MarkerLoop, StreamNotStartingWithFfIsRefusedAtOnce) {
  EXPECT_EQ(Decode({0x00, 0xFF, 0xD8, 0xFF, 0xD9}).error, JpegError::kNotAMarker);
  EXPECT_EQ(Decode({0x89, 'P', 'N', 'G'}).error, JpegError::kNotAMarker);
}

TEST_F(MarkerLoop, SoiIsNotRequired) {
  EXPECT_EQ(Decode(Concat({FlatQuantTable(0, 1), kEoi})).error, JpegError::kNone);
  EXPECT_EQ(Decode(kEoi).error, JpegError::kNone);
}

TEST_F(MarkerLoop, GreyscaleFrameIsReadAsOneComponent) {
  const Bytes sof = {0xFF, 0xC0, 0x00, 0x0B,  // length 11: one component
                     0x08,                    // precision
                     0x00, 0x08,              // height 8
                     0x00, 0x11,              // width 17
                     0x01,                    // Nf = 1
                     0x01, 0x22, 0x00};       // id 1, factors 2x2 (one block per MCU anyway)
  Decoded d = Decode(Concat({kSoi, sof, kEoi}));
  EXPECT_EQ(d.error, JpegError::kNone);
  EXPECT_EQ(gDebugText, "");
  EXPECT_EQ(d.state.componentCount, 1);
  EXPECT_EQ(d.state.mcuWidth, 8);
  EXPECT_EQ(d.state.mcusPerRow, 3);
  EXPECT_EQ(d.pixelBlock.Size(), 52u * 8u);
}

TEST_F(MarkerLoop, FrameLengthNotMatchingItsComponentsSendsTheDebugString) {
  Bytes frame = Frame(8, 8);
  frame[9] = 1;  // Nf = 1 in a 17-byte header
  Decoded d = Decode(Concat({kSoi, frame, kEoi}));
  EXPECT_EQ(d.error, JpegError::kFrameHeaderLength);
  EXPECT_EQ(gDebugText, "Base DCT Read ERROR\n");
  EXPECT_FALSE(d.pixelBlock);
}

TEST_F(MarkerLoop, OtherCodingProcessesAreRefusedByName) {
  const std::pair<int, JpegError> cases[] = {
      {0xC3, JpegError::kLossless},          {0xC7, JpegError::kLossless},
      {0xCB, JpegError::kLossless},          {0xCF, JpegError::kLossless},
      {0xC9, JpegError::kArithmeticCoding},  {0xCA, JpegError::kArithmeticCoding},
      {0xCC, JpegError::kArithmeticCoding},  {0xCD, JpegError::kArithmeticCoding},
      {0xCE, JpegError::kArithmeticCoding},  {0xC5, JpegError::kHierarchical},
      {0xC6, JpegError::kHierarchical},      {0xDE, JpegError::kHierarchical},
      {0xDF, JpegError::kHierarchical},      {0xC8, JpegError::kUnsupportedMarker},
      {0xD0, JpegError::kUnsupportedMarker}, {0xDC, JpegError::kUnsupportedMarker},
      {0xFF, JpegError::kUnsupportedMarker}, {0x01, JpegError::kUnsupportedMarker},
  };
  for (const auto& [code, error] : cases) {
    Bytes frame = Frame(8, 8);
    frame[1] = static_cast<uint8_t>(code);
    EXPECT_EQ(Decode(Concat({kSoi, frame, kEoi})).error, error) << std::hex << code;
  }
  // SOF1 and SOF2 frames are read like SOF0.
  for (int code : {0xC1, 0xC2}) {
    Bytes frame = Frame(8, 8);
    frame[1] = static_cast<uint8_t>(code);
    EXPECT_EQ(Decode(Concat({kSoi, frame, kEoi})).error, JpegError::kNone) << std::hex << code;
  }
  EXPECT_EQ(gDebugText, "");
}

TEST_F(MarkerLoop, PrecisionOtherThanEightFailsSilently) {
  Bytes frame = Frame(8, 8);
  frame[4] = 12;
  EXPECT_EQ(Decode(Concat({kSoi, frame, kEoi})).error, JpegError::kSamplePrecision);
  EXPECT_EQ(gDebugText, "");
}

TEST_F(MarkerLoop, FrameHeaderSetsGeometryAndBlocks) {
  Decoded d = Decode(Concat({kSoi, Frame(471, 353), kEoi}));
  ASSERT_EQ(d.error, JpegError::kNone);
  EXPECT_EQ(d.state.rowStride, 1416);
  EXPECT_EQ(d.state.mcusPerRow, 59);
  EXPECT_EQ(d.state.mcuRows, 45);
  EXPECT_EQ(d.state.mcuWidth, 8);
  EXPECT_EQ(d.state.mcuHeight, 8);
  EXPECT_EQ(d.state.header.biSizeImage, 1416u * 353u);
  ASSERT_TRUE(d.headerBlock);
  ASSERT_TRUE(d.pixelBlock);
  EXPECT_EQ(d.pixelBlock.Size(), 1416u * 353u);
  ASSERT_EQ(d.headerBlock.Size(), 44u);
  BlockLock header(d.headerBlock);
  BitmapInfoHeader h;
  std::memcpy(&h, header.data(), sizeof(h));
  EXPECT_EQ(h.biSize, 40u);
  EXPECT_EQ(h.biWidth, 471);
  EXPECT_EQ(h.biHeight, 353);
  EXPECT_EQ(h.biPlanes, 1);
  EXPECT_EQ(h.biBitCount, 24);
  EXPECT_EQ(h.biCompression, 0u);
  EXPECT_EQ(h.biXPelsPerMeter, 72);
  EXPECT_EQ(h.biYPelsPerMeter, 72);
  EXPECT_EQ(h.biClrUsed, 0u);
  for (int i = 40; i < 44; ++i) EXPECT_EQ(header.data()[i], 0) << i;
}

TEST_F(MarkerLoop, SubsampledFramesHaveLargerMcus) {
  Decoded wide = Decode(Concat({kSoi, Frame(33, 17, 2, 1), kEoi}));
  EXPECT_EQ(wide.state.mcuWidth, 16);
  EXPECT_EQ(wide.state.mcuHeight, 8);
  EXPECT_EQ(wide.state.mcusPerRow, 3);
  EXPECT_EQ(wide.state.mcuRows, 3);
  Decoded square = Decode(Concat({kSoi, Frame(32, 16, 2, 2), kEoi}));
  EXPECT_EQ(square.state.mcusPerRow, 2);
  EXPECT_EQ(square.state.mcuRows, 1);
}

TEST_F(MarkerLoop, QuantSegmentWithTwoTablesDefinesBoth) {
  Bytes dqt = {0xFF, 0xDB, 0x00, 132};  // length 132: two 65-byte records
  for (int t = 0; t < 2; ++t) {
    dqt.push_back(static_cast<uint8_t>(t));
    for (int i = 0; i < 64; ++i) dqt.push_back(static_cast<uint8_t>(t * 100 + i));
  }
  const Bytes stream = Concat({kSoi, dqt, kEoi});
  Decoded d = Decode(stream);
  ASSERT_EQ(d.error, JpegError::kNone);
  EXPECT_EQ(d.state.quantTables[0], stream.data() + 7);
  EXPECT_EQ(d.state.quantTables[1], stream.data() + 7 + 65);
  EXPECT_EQ(d.state.quantTables[1][63], 163);
  EXPECT_EQ(d.state.quantTables[2], nullptr);
}

TEST_F(MarkerLoop, QuantSegmentReadsWholeRecordsAndContinuesAtItsEnd) {
  Bytes dqt = FlatQuantTable(2, 9);
  dqt[3] = 2 + 65 + 10;  // ten more bytes than one record
  dqt.insert(dqt.end(), 10, 0xEE);
  const Bytes stream = Concat({kSoi, dqt, kEoi});  // the tables point into it
  Decoded d = Decode(stream);
  ASSERT_EQ(d.error, JpegError::kNone);
  ASSERT_NE(d.state.quantTables[2], nullptr);
  EXPECT_EQ(d.state.quantTables[2][0], 9);
}

TEST_F(MarkerLoop, RestartIntervalIsRead) {
  Decoded d = Decode(Concat({kSoi, RestartInterval(59), kEoi}));
  ASSERT_EQ(d.error, JpegError::kNone);
  EXPECT_EQ(d.state.restartInterval, 59);
}

TEST_F(MarkerLoop, AppAndCommentSegmentsAreSkipped) {
  const Bytes app0 = {0xFF, 0xE0, 0x00, 0x07, 'J', 'F', 'I', 'F', 0x00};
  const Bytes app14 = {0xFF, 0xEE, 0x00, 0x08, 'A', 'd', 'o', 'b', 'e', 0x01};
  const Bytes com = {0xFF, 0xFE, 0x00, 0x05, 0xFF, 0xD9, 0x00};  // an EOI inside a comment
  const Bytes jpg = {0xFF, 0xF3, 0x00, 0x02};
  Decoded d = Decode(Concat({kSoi, app0, app14, com, jpg, FlatQuantTable(1, 3), kEoi}));
  ASSERT_EQ(d.error, JpegError::kNone);
  EXPECT_NE(d.state.quantTables[1], nullptr);
}

TEST_F(MarkerLoop, HuffmanSegmentWithSeveralTablesEndsAtItsLength) {
  Bytes dht = {0xFF, 0xC4, 0x00, 0x00};
  for (const Bytes& t : {TestDcTable(1), TestAcTable(3)})
    dht.insert(dht.end(), t.begin() + 4, t.end());
  dht[2] = static_cast<uint8_t>((dht.size() - 2) >> 8);
  dht[3] = static_cast<uint8_t>((dht.size() - 2) & 0xFF);
  Decoded d = Decode(Concat({kSoi, dht, kEoi}));
  ASSERT_EQ(d.error, JpegError::kNone);
  EXPECT_NE(d.state.dcValues[1], nullptr);
  EXPECT_NE(d.state.acValues[3], nullptr);
  EXPECT_EQ(d.state.dcValueCounts[1], 16);
  EXPECT_EQ(d.state.acValueCounts[3], 176);
  EXPECT_EQ(d.state.dcValues[0], nullptr);
}

TEST_F(MarkerLoop, TablesFromAnEarlierDecodeAreForgotten) {
  JpegDecoderState state;
  LocalBlock header, pixels;
  const Bytes tables = Concat({kSoi, FlatQuantTable(0, 1), TestDcTable(), TestAcTable(), kEoi});
  ASSERT_EQ(DecodeJpegStream(state, header, pixels, tables.data(), tables.size()),
            JpegError::kNone);
  BitWriter bits;
  bits.Block(0);
  bits.Block(0);
  bits.Block(0);
  const Bytes scanOnly = Concat({kSoi, Frame(8, 8), ScanHeader(), bits.Finish(), kEoi});
  EXPECT_EQ(DecodeJpegStream(state, header, pixels, scanOnly.data(), scanOnly.size()),
            JpegError::kUndefinedTable);
}

// Refusals of the parsing stage, one stream each.
struct Refusal {
  const char* name;
  Bytes stream;
  JpegError error;
};

Bytes WithFrameByte(int index, int value) {
  Bytes frame = Frame(16, 16);
  frame[static_cast<size_t>(index)] = static_cast<uint8_t>(value);
  return Concat({kSoi, frame, kEoi});
}

Bytes WithFrameSize(int width, int height) {
  return Concat({kSoi, Frame(width, height), kEoi});
}

Bytes HuffmanCounts(std::initializer_list<std::pair<int, int>> lengthCounts, int values) {
  Bytes s = {0xFF, 0xC4, 0x00, 0x00, 0x00};
  uint8_t counts[16] = {};
  for (auto [l, n] : lengthCounts) counts[l - 1] = static_cast<uint8_t>(n);
  s.insert(s.end(), counts, counts + 16);
  for (int i = 0; i < values; ++i) s.push_back(static_cast<uint8_t>(i));
  s[2] = static_cast<uint8_t>((s.size() - 2) >> 8);
  s[3] = static_cast<uint8_t>((s.size() - 2) & 0xFF);
  return Concat({kSoi, s, kEoi});
}

std::vector<Refusal> ParsingRefusals() {
  Bytes dqtTable4 = FlatQuantTable(4, 1);
  Bytes dqt16 = FlatQuantTable(0, 1);
  dqt16[4] = 0x10;
  Bytes dht5 = TestDcTable(5);
  Bytes dhtOverlong = TestDcTable();
  dhtOverlong[3] = static_cast<uint8_t>(dhtOverlong[3] + 40);
  Bytes dhtShort = TestAcTable();
  dhtShort[3] = 2 + 17 + 100;  // fewer bytes than the 176 values
  dhtShort.resize(dhtShort.size() - 76);
  Bytes frameCut = Frame(8, 8);
  frameCut.resize(10);
  return {
      {"OnlySoi", kSoi, JpegError::kTruncated},
      {"LoneFf", {0xFF, 0xD8, 0xFF}, JpegError::kTruncated},
      {"SegmentPastEnd", {0xFF, 0xE0, 0x00, 0x10, 0x00}, JpegError::kSegmentLength},
      {"SegmentLengthZero", {0xFF, 0xE1, 0x00, 0x00, 0xFF, 0xD9}, JpegError::kSegmentLength},
      {"SegmentLengthOne", {0xFF, 0xFE, 0x00, 0x01, 0xFF, 0xD9}, JpegError::kSegmentLength},
      {"RestartSegmentTooShort", {0xFF, 0xDD, 0x00, 0x02, 0xFF, 0xD9}, JpegError::kSegmentLength},
      {"FrameCutShort", frameCut, JpegError::kTruncated},
      {"FourComponents", WithFrameByte(9, 4), JpegError::kFourComponents},
      {"TwoComponents", WithFrameByte(9, 2), JpegError::kComponentCount},
      {"ZeroHorizontalFactor", WithFrameByte(11, 0x01), JpegError::kSamplingFactorZero},
      {"ZeroVerticalChroma", WithFrameByte(14, 0x10), JpegError::kSamplingFactorZero},
      {"LumaThreeByOne", WithFrameByte(11, 0x31), JpegError::kSamplingLayout},
      {"LumaOneByFour", WithFrameByte(11, 0x14), JpegError::kSamplingLayout},
      {"LumaFourByFour", WithFrameByte(11, 0x44), JpegError::kSamplingLayout},
      {"ChromaTwoByTwo", WithFrameByte(14, 0x22), JpegError::kSamplingLayout},
      {"FrameQuantTable4", WithFrameByte(12, 4), JpegError::kTableNumber},
      {"WidthZero", WithFrameSize(0, 8), JpegError::kImageSize},
      {"HeightZero", WithFrameSize(8, 0), JpegError::kImageSize},
      {"WidthBeyondCap", WithFrameSize(40000, 8), JpegError::kImageSize},
      {"PixelBlockBeyondCap", WithFrameSize(32768, 32768), JpegError::kImageSize},
      {"QuantTable4", Concat({kSoi, dqtTable4, kEoi}), JpegError::kTableNumber},
      {"QuantSixteenBit", Concat({kSoi, dqt16, kEoi}), JpegError::kQuantTablePrecision},
      {"HuffmanTable5", Concat({kSoi, dht5, kEoi}), JpegError::kTableNumber},
      {"HuffmanNoCodes", HuffmanCounts({}, 0), JpegError::kHuffmanTableCounts},
      {"HuffmanTooManyCodes", HuffmanCounts({{9, 255}, {10, 2}}, 257),
       JpegError::kHuffmanTableCounts},
      {"HuffmanThreeOneBitCodes", HuffmanCounts({{1, 3}}, 3), JpegError::kHuffmanTableCounts},
      {"HuffmanOverflowAtLength3", HuffmanCounts({{2, 3}, {3, 3}}, 6),
       JpegError::kHuffmanTableCounts},
      {"HuffmanValuesPastSegment", Concat({kSoi, dhtShort, kEoi}), JpegError::kSegmentLength},
      {"HuffmanSegmentPastStream", Concat({kSoi, dhtOverlong}), JpegError::kSegmentLength},
  };
}

class ParsingRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(ParsingRefusal, IsRefusedWithItsCode) {
  const Refusal& r = GetParam();
  EXPECT_EQ(Decode(r.stream, JpegPath::kReference).error, r.error);
  EXPECT_EQ(Decode(r.stream, JpegPath::kFast).error, r.error);
}

INSTANTIATE_TEST_SUITE_P(Segments, ParsingRefusal, ::testing::ValuesIn(ParsingRefusals()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(JpegErrorMessages, EveryCodeHasItsOwnLine) {
  for (int e = 0; e <= static_cast<int>(JpegError::kTooManyScans); ++e) {
    const std::string message = JpegErrorMessage(static_cast<JpegError>(e));
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(message.find('\n'), std::string::npos);
    EXPECT_NE(message, "unknown JPEG error") << e;
  }
}

}  // namespace
}  // namespace kavrosa::test
