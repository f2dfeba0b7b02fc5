// The buffered reader of the progressive scans against the one-bit reader it stands in for:
// the same bits, the same symbols and the same position and overrun flag handed back, over
// streams dense with 0xFF, stuffed zeros, marker-like pairs and their ends.
#include <gtest/gtest.h>

#include <random>

#include "jpeg/BitReader.h"
#include "jpeg/BlockDecoder.h"
#include "jpeg/BufferedBits.h"
#include "jpeg/SymbolDecoder.h"
#include "jpeg/HuffmanTables.h"
#include "tests/jpeg/JpegStreams.h"

namespace kavrosa::test {
namespace {

JpegDecoderState ReaderOver(const Bytes& bytes, size_t start) {
  JpegDecoderState s;
  for (int i = 0; i < 8; ++i) s.bitMasks[i] = static_cast<uint8_t>(0x80 >> i);
  s.streamEnd = bytes.data() + bytes.size();
  StartBitReader(s, bytes.data() + start);
  return s;
}

Bytes AwkwardStream(std::mt19937& random, size_t size) {
  Bytes bytes(size);
  for (uint8_t& b : bytes) {
    const uint32_t pick = random() % 8;
    b = pick < 3 ? 0xFF : pick < 5 ? 0x00 : pick == 5 ? 0xD3 : static_cast<uint8_t>(random());
  }
  return bytes;
}

void ExpectSamePosition(const JpegDecoderState& plain, const JpegDecoderState& saved, int step) {
  EXPECT_EQ(saved.bitCursor, plain.bitCursor) << step;
  EXPECT_EQ(saved.bitPosition, plain.bitPosition) << step;
  EXPECT_EQ(saved.bitOverrun, plain.bitOverrun) << step;
}

TEST(BufferedBits, TakesTheOneBitReadersBitsAndHandsBackItsPosition) {
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    const Bytes bytes = AwkwardStream(random, 1 + random() % 40);
    JpegDecoderState plain = ReaderOver(bytes, random() % bytes.size());
    JpegDecoderState saved = plain;
    BufferedBits bits(saved);
    for (int step = 0; step < 40; ++step) {
      const int n = static_cast<int>(random() % 17);
      uint32_t expected = 0;
      ReadBits(plain, expected, n);
      ASSERT_EQ(bits.Take(n), expected) << round << " " << step;
      // The state keeps an overrun noted before a restart; the buffer only its own.
      EXPECT_EQ(bits.Overrun() || saved.bitOverrun != 0, plain.bitOverrun != 0) << step;
      if (random() % 6 == 0) {
        bits.Save(saved);
        ExpectSamePosition(plain, saved, step);
        AlignAtRestart(plain);
        AlignAtRestart(saved);
        bits.Start(saved);
      }
    }
    bits.Save(saved);
    ExpectSamePosition(plain, saved, -1);
    AlignAtScanEnd(plain);
    AlignAtScanEnd(saved);
    EXPECT_EQ(saved.bitCursor, plain.bitCursor);
  }
}

TEST(BufferedBits, WholeWordsGiveTheSameBits) {
  // Mostly plain bytes, so eight at a time load often, with a 0xFF now and then; steps of up
  // to 56 bits after a refill.
  std::mt19937 random(11);
  for (int round = 0; round < 300; ++round) {
    Bytes bytes(1 + random() % 400);
    for (uint8_t& b : bytes) {
      const uint32_t pick = random() % 64;
      b = pick == 0 ? 0xFF : pick == 1 ? 0x00 : static_cast<uint8_t>(random() % 0xFF);
    }
    JpegDecoderState plain = ReaderOver(bytes, random() % bytes.size());
    JpegDecoderState saved = plain;
    BufferedBits bits(saved);
    for (int step = 0; step < 60; ++step) {
      if (random() % 3 == 0) {
        const int n = static_cast<int>(random() % 17);
        uint32_t expected = 0;
        ReadBits(plain, expected, n);
        ASSERT_EQ(bits.Take(n), expected) << round << " " << step;
      } else {
        bits.Refill();
        ASSERT_GE(bits.Count(), 56);
        ASSERT_LE(bits.Count(), 63);
        const int n = static_cast<int>(random() % 57);
        uint64_t expected = 0;
        for (int done = 0; done < n;) {
          const int part = n - done < 16 ? n - done : 16;
          uint32_t v = 0;
          ReadBits(plain, v, part);
          expected = expected << part | v;
          done += part;
        }
        const uint64_t window = n == 0 ? 0 : bits.Window() >> (64 - n);
        ASSERT_EQ(window, expected) << round << " " << step;
        bits.Skip(n);
      }
      EXPECT_EQ(bits.Overrun() || saved.bitOverrun != 0, plain.bitOverrun != 0) << step;
    }
    bits.Save(saved);
    ExpectSamePosition(plain, saved, -1);
  }
}

TEST(BufferedBits, DecodesTheSearchsSymbolsAndRefusals) {
  // Codes of every length up to 16, the last lengths with room left, so some patterns of 16
  // bits match nothing; eleven values for twelve codes, so one code has no value.
  uint8_t counts[16] = {0, 1, 2, 1, 1, 1, 0, 1, 1, 0, 1, 0, 0, 1, 0, 1};
  HuffmanTable table;
  int32_t codes = 0;
  ASSERT_EQ(BuildHuffmanTable(counts, table, codes), JpegError::kNone);
  uint8_t values[16];
  for (int i = 0; i < 16; ++i) values[i] = static_cast<uint8_t>(40 + i);
  const int32_t count = codes - 1;
  HuffmanLookahead lookahead;
  BuildLookahead(table, values, count, lookahead);
  std::mt19937 random(11);
  for (int round = 0; round < 300; ++round) {
    const Bytes bytes = AwkwardStream(random, 1 + random() % 24);
    JpegDecoderState plain = ReaderOver(bytes, 0);
    JpegDecoderState saved = plain;
    BufferedBits bits(saved);
    for (int step = 0; step < 12; ++step) {
      uint8_t expected = 0;
      uint8_t symbol = 0;
      const JpegError e = DecodeHuffman(plain, table, values, count, expected);
      ASSERT_EQ(DecodeSymbol(bits, lookahead, table, values, count, symbol), e) << round;
      if (e == JpegError::kNone) {
        EXPECT_EQ(symbol, expected) << round << " " << step;
      }
      bits.Save(saved);
      ExpectSamePosition(plain, saved, step);
    }
  }
}

}  // namespace
}  // namespace kavrosa::test
