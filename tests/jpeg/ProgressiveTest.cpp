// Progressive and other newly read frames on hand-made streams: each progressive stream gives
// the bytes of the baseline stream holding the same coefficients (DC in two steps, an AC band
// with an end-of-band run, an AC refinement with a correction bit and a new coefficient),
// greyscale and SOF1 frames, and the refusals of scans that do not follow the progression.
#include <gtest/gtest.h>

#include <vector>

#include "tests/jpeg/JpegStreams.h"

namespace kavrosa::test {
namespace {

struct Scan {
  std::vector<int> ids;
  int ss, se, ah, al;
  Bytes entropy;
};

Bytes ScanHeaderFor(const Scan& scan) {
  Bytes s = {0xFF, 0xDA};
  Append16(s, static_cast<int>(6 + 2 * scan.ids.size()));
  s.push_back(static_cast<uint8_t>(scan.ids.size()));
  for (int id : scan.ids) Append(s, {id, 0x00});
  Append(s, {scan.ss, scan.se, (scan.ah << 4) | scan.al});
  return s;
}

// SOI, flat quantisation 1, the test tables, SOF2 of three 1x1 components, the scans, EOI.
Bytes ProgressiveStream(int width, int height, const std::vector<Scan>& scans, bool eoi = true) {
  Bytes s = {0xFF, 0xD8};
  Bytes frame = Frame(width, height);
  frame[1] = 0xC2;
  for (const Bytes& part : {FlatQuantTable(0, 1), TestDcTable(), TestAcTable(), frame})
    s.insert(s.end(), part.begin(), part.end());
  for (const Scan& scan : scans) {
    const Bytes header = ScanHeaderFor(scan);
    s.insert(s.end(), header.begin(), header.end());
    s.insert(s.end(), scan.entropy.begin(), scan.entropy.end());
  }
  if (eoi) Append(s, {0xFF, 0xD9});
  return s;
}

void ExpectSameAsBaseline(const Bytes& progressive, const Bytes& baseline) {
  Decoded expected = Decode(baseline, JpegPath::kReference);
  ASSERT_EQ(expected.error, JpegError::kNone);
  for (JpegPath path : {JpegPath::kReference, JpegPath::kFast}) {
    Decoded d = Decode(progressive, path);
    ASSERT_EQ(d.error, JpegError::kNone);
    EXPECT_EQ(d.Pixels(), expected.Pixels());
  }
}

// DC differences of the three components, 4-bit category codes and their bits.
Bytes DcBits(std::initializer_list<int> diffs) {
  BitWriter bits;
  for (int diff : diffs) {
    const int size = BitWriter::SizeOf(diff);
    bits.Put(static_cast<uint32_t>(size), 4);
    bits.Put(BitWriter::Magnitude(diff, size), size);
  }
  return bits.Finish();
}

TEST(Progressive, DcInTwoStepsGivesTheFullDc) {
  BitWriter refine;
  refine.Put(0b100, 3);  // Y gains the low bit, Cb and Cr do not
  const Bytes stream = ProgressiveStream(
      8, 8,
      {{{1, 2, 3}, 0, 0, 0, 1, DcBits({40, -3, 5})}, {{1, 2, 3}, 0, 0, 1, 0, refine.Finish()}});
  BitWriter baseline;
  baseline.Block(81);
  baseline.Block(-6);
  baseline.Block(10);
  ExpectSameAsBaseline(stream, TestStream(8, 8, baseline.Finish()));
}

TEST(Progressive, EndOfBandRunCoversTheFollowingBlocks) {
  // 24 x 8: three MCUs. Y band 1..63: a 5 at k = 1, then EOB1 with bit 1 (3 bands: this one
  // and the next two).
  BitWriter band;
  band.Put(AcSymbolIndex(0, 3), 8);
  band.Put(5, 3);
  band.Put(AcSymbolIndex(1, 0), 8);
  band.Put(1, 1);
  const Bytes stream =
      ProgressiveStream(24, 8,
                        {{{1, 2, 3}, 0, 0, 0, 0, DcBits({7, 0, 0, 1, 0, 0, -2, 0, 0})},
                         {{1}, 1, 63, 0, 0, band.Finish()}});
  BitWriter baseline;
  for (const auto& [y, ac] : std::vector<std::pair<int, std::vector<std::pair<int, int>>>>{
           {7, {{0, 5}}}, {1, {}}, {-2, {}}}) {  // DC differences
    baseline.Block(y, ac);
    baseline.Block(0);
    baseline.Block(0);
  }
  ExpectSameAsBaseline(stream, TestStream(24, 8, baseline.Finish()));
}

TEST(Progressive, RefinementCorrectsOldCoefficientsAndAddsNewOnes) {
  BitWriter first;  // Y band 1..63 at Al 1: 3 at k = 1 (stored as 6), end of band
  first.Put(AcSymbolIndex(0, 2), 8);
  first.Put(3, 2);
  first.Put(AcSymbolIndex(0, 0), 8);
  BitWriter refine;  // Al 0: a new +1 after no zeros, passing k = 1 (correction bit 1)
  refine.Put(AcSymbolIndex(0, 1), 8);
  refine.Put(1, 1);  // sign: +1
  refine.Put(1, 1);  // correction of k = 1: 6 becomes 7
  refine.Put(AcSymbolIndex(0, 0), 8);
  const Bytes stream = ProgressiveStream(8, 8,
                                         {{{1, 2, 3}, 0, 0, 0, 0, DcBits({0, 0, 0})},
                                          {{1}, 1, 63, 0, 1, first.Finish()},
                                          {{1}, 1, 63, 1, 0, refine.Finish()}});
  BitWriter baseline;
  baseline.Block(0, {{0, 7}, {0, 1}});
  baseline.Block(0);
  baseline.Block(0);
  ExpectSameAsBaseline(stream, TestStream(8, 8, baseline.Finish()));
}

TEST(Progressive, RefinementsRefusedInsideABlockAreRefusedAlikeOnBothPaths) {
  // Y band 1..63 (or 1..4) first coded at Al: `values` from k = 1 on (0: none), end of band.
  auto first = [](int al, std::initializer_list<int> values, int se = 63) {
    BitWriter bits;
    int run = 0;
    for (int v : values) {
      if (v == 0) {
        ++run;
        continue;
      }
      const int size = BitWriter::SizeOf(v);
      bits.Put(AcSymbolIndex(run, size), 8);
      bits.Put(BitWriter::Magnitude(v, size), size);
      run = 0;
    }
    bits.Put(AcSymbolIndex(0, 0), 8);
    return Scan{{1}, 1, se, 0, al, bits.Finish()};
  };
  const Scan dc{{1, 2, 3}, 0, 0, 0, 0, DcBits({0, 0, 0})};
  BitWriter passThenBadCode;  // a new +1 after one zero, correcting k = 1 and 3; no such code
  passThenBadCode.Put(AcSymbolIndex(1, 1), 8);
  passThenBadCode.Put(1, 1);
  passThenBadCode.Put(0b11, 2);
  passThenBadCode.Put(0xFF, 8);
  BitWriter passThenOverrun;  // a new +1 after two zeros where only one is left in 1..4
  passThenOverrun.Put(AcSymbolIndex(2, 1), 8);
  passThenOverrun.Put(1, 1);
  passThenOverrun.Put(0b11, 2);
  BitWriter correctBoth;  // end of band: correction bits for k = 1 and 2
  correctBoth.Put(AcSymbolIndex(0, 0), 8);
  correctBoth.Put(0b11, 2);
  BitWriter correctSecond;
  correctSecond.Put(AcSymbolIndex(0, 0), 8);
  correctSecond.Put(0b01, 2);
  const std::pair<std::vector<Scan>, JpegError> cases[] = {
      {{dc, first(1, {3, 0, 1}), {{1}, 1, 63, 1, 0, passThenBadCode.Finish()}},
       JpegError::kHuffmanCode},
      {{dc, first(1, {3, 0, 1}, 4), {{1}, 1, 4, 1, 0, passThenOverrun.Finish()}},
       JpegError::kCoefficientOverrun},
      // -512 at Al 6 is -32768: one step further leaves 16 bits.
      {{dc, first(6, {-512, 3}), {{1}, 1, 63, 6, 5, correctBoth.Finish()}},
       JpegError::kCoefficientSize},
      {{dc, first(6, {-512, 3}), {{1}, 1, 63, 6, 5, correctSecond.Finish()}}, JpegError::kNone},
  };
  int n = 0;
  for (const auto& [scans, error] : cases) {
    const Bytes stream = ProgressiveStream(8, 8, scans);
    Decoded reference = Decode(stream, JpegPath::kReference);
    Decoded fast = Decode(stream, JpegPath::kFast);
    EXPECT_EQ(reference.error, error) << n;
    EXPECT_EQ(fast.error, error) << n;
    ASSERT_TRUE(reference.pixelBlock && fast.pixelBlock) << n;
    EXPECT_EQ(reference.Pixels(), fast.Pixels()) << n;
    ++n;
  }
}

TEST(Progressive, FrameWithoutScansOrEoi) {
  Decoded empty = Decode(ProgressiveStream(8, 8, {}));
  EXPECT_EQ(empty.error, JpegError::kNone);
  EXPECT_EQ(empty.Pixels(), Bytes(24 * 8, 0));  // a frame without scans, as in baseline
  EXPECT_EQ(
      Decode(ProgressiveStream(8, 8, {{{1, 2, 3}, 0, 0, 0, 0, DcBits({0, 0, 0})}}, false)).error,
      JpegError::kTruncated);
  EXPECT_EQ(Decode(ProgressiveStream(8, 8, {{{1, 2, 3}, 0, 0, 0, 0, {}}}, false)).error,
            JpegError::kTruncated);
}

TEST(Progressive, ScansOutsideTheProgressionAreRefused) {
  const Scan dc{{1, 2, 3}, 0, 0, 0, 0, DcBits({0, 0, 0})};
  BitWriter eob;
  eob.Put(AcSymbolIndex(0, 0), 8);
  const Bytes end = eob.Finish();
  BitWriter overrun;  // a run of 15 zeros then a value, in a band of four coefficients
  overrun.Put(AcSymbolIndex(15, 1), 8);
  overrun.Put(1, 1);
  const std::pair<std::vector<Scan>, JpegError> cases[] = {
      {{dc, {{1, 2}, 1, 63, 0, 0, end}}, JpegError::kProgressiveScan},  // AC interleaved
      {{dc, {{1}, 5, 4, 0, 0, end}}, JpegError::kProgressiveScan},      // empty band
      {{dc, {{1}, 0, 5, 0, 0, end}}, JpegError::kProgressiveScan},      // DC with AC
      {{dc, {{1}, 1, 64, 0, 0, end}}, JpegError::kProgressiveScan},     // past 63
      {{dc, dc}, JpegError::kProgressiveScan},                          // DC twice
      {{{{1}, 1, 63, 0, 0, end}}, JpegError::kProgressiveScan},         // AC before DC
      {{dc, {{1}, 1, 63, 1, 0, end}}, JpegError::kProgressiveScan},     // refining nothing
      {{dc, {{1}, 0, 0, 2, 1, {0x00}}}, JpegError::kProgressiveScan},   // Ah not Al + 1 of DC
      {{dc, {{1}, 1, 4, 0, 0, overrun.Finish()}}, JpegError::kCoefficientOverrun},
      {{dc, {{4}, 1, 63, 0, 0, end}}, JpegError::kScanComponents},
  };
  int n = 0;
  for (const auto& [scans, error] : cases) {
    const Bytes stream = ProgressiveStream(8, 8, scans);
    EXPECT_EQ(Decode(stream, JpegPath::kReference).error, error) << n;
    EXPECT_EQ(Decode(stream, JpegPath::kFast).error, error) << n;
    ++n;
  }
}

TEST(Progressive, MoreThanSixtyFourScansAreRefused) {
  BitWriter eob;
  eob.Put(AcSymbolIndex(0, 0), 8);
  std::vector<Scan> scans = {{{1, 2, 3}, 0, 0, 0, 0, DcBits({0, 0, 0})}};
  for (int k = 1; k <= 63; ++k) scans.push_back({{1}, k, k, 0, 0, eob.Finish()});
  EXPECT_EQ(Decode(ProgressiveStream(8, 8, scans)).error, JpegError::kNone);  // 64 scans
  scans.push_back({{2}, 1, 63, 0, 0, eob.Finish()});
  EXPECT_EQ(Decode(ProgressiveStream(8, 8, scans)).error, JpegError::kTooManyScans);
}

TEST(Greyscale, OneComponentConvertsToItsLuminance) {
  Bytes s = {0xFF, 0xD8};
  const Bytes sof = {0xFF, 0xC0, 0x00, 0x0B, 8, 0x00, 0x02, 0x00, 0x09, 0x01, 0x01, 0x11, 0x00};
  Bytes sos = {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00};
  BitWriter bits;
  bits.Block(80);    // 9 in every sample: 137
  bits.Block(-160);  // DC -80 gives -9: 119
  for (const Bytes& part : {FlatQuantTable(0, 1), TestDcTable(), TestAcTable(), sof, sos,
                            bits.Finish(), Bytes{0xFF, 0xD9}})
    s.insert(s.end(), part.begin(), part.end());
  for (JpegPath path : {JpegPath::kReference, JpegPath::kFast}) {
    Decoded d = Decode(s, path);
    ASSERT_EQ(d.error, JpegError::kNone);
    // Each row: eight pixels of 137, one of 119, one fill byte.
    Bytes row(24, 137);
    Append(row, {119, 119, 119, 0});
    const Bytes pixels = d.Pixels();
    ASSERT_EQ(pixels.size(), 2u * 28u);
    EXPECT_EQ(Bytes(pixels.begin(), pixels.begin() + 28), row);
    EXPECT_EQ(Bytes(pixels.begin() + 28, pixels.end()), row);
  }
}

TEST(ExtendedSequential, Sof1DecodesAsBaseline) {
  const Bytes baseline = ReadFile("data/rose_101x77_s2x1_q85_r1.jpg");
  Bytes extended = baseline;
  for (size_t i = 0; i + 1 < extended.size(); ++i)
    if (extended[i] == 0xFF && extended[i + 1] == 0xC0) {
      extended[i + 1] = 0xC1;
      break;
    }
  ASSERT_NE(extended, baseline);
  EXPECT_EQ(Decode(extended).Pixels(), Decode(baseline).Pixels());
  EXPECT_EQ(Decode(extended).error, JpegError::kNone);
}

}  // namespace
}  // namespace kavrosa::test
