// BMP files: reading with its defaults and refusals, writing with its counts and row order,
// and files round-tripped through disk (natively, and through Win32 file calls under Wine).
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/BmpFile.h"
#include "image/DibImage.h"
#include "platform/SoftwareSurface.h"
#include "tests/image/PictureFixtures.h"

namespace kavrosa {
namespace {

using testing::HeaderOf;
using testing::Install;
using testing::MakeHeader;
using testing::PixelsOf;
using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, size_t at, uint32_t v) {
  b[at] = v & 0xFF;
  b[at + 1] = (v >> 8) & 0xFF;
}
void Put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
}
uint32_t Get32(const Bytes& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t{b[at + 3]} << 24);
}

struct BmpSpec {
  uint32_t bfSize = 0;
  uint32_t bfOffBits = 54;
  int32_t width = 2;
  int32_t height = 2;
  uint16_t bitCount = 24;
  uint32_t sizeImage = 0;
  uint32_t clrUsed = 0;
};

// The 54 header bytes, field by field, followed by `tail` (colour table and pixels).
Bytes MakeBmp(const BmpSpec& s, const Bytes& tail) {
  Bytes b(54 + tail.size(), 0);
  for (size_t i = 0; i < tail.size(); ++i) b[54 + i] = tail[i];
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, s.bfSize);
  Put32(b, 10, s.bfOffBits);
  Put32(b, 14, 40);  // biSize
  Put32(b, 18, static_cast<uint32_t>(s.width));
  Put32(b, 22, static_cast<uint32_t>(s.height));
  Put16(b, 26, 1);  // biPlanes
  Put16(b, 28, s.bitCount);
  Put32(b, 34, s.sizeImage);
  Put32(b, 46, s.clrUsed);
  return b;
}

// The 2 x 2 24-bit picture of the worked example: 16 pixel bytes, rows padded to 8.
const Bytes kTwoByTwoPixels = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};

class BmpFiles : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) {
    const std::string path = ::testing::TempDir() + "kavrosa-bmp-" + name;
    paths_.push_back(path);
    return path;
  }
  std::string Write(const std::string& name, const Bytes& bytes) {
    const std::string path = Path(name);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  static Bytes Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  void TearDown() override {
    for (const std::string& p : paths_) std::remove(p.c_str());
  }

 private:
  std::vector<std::string> paths_;
};

TEST_F(BmpFiles, TwoByTwoWithoutSizeImageTakesItFromBfSize) {
  DibImage image;
  const std::string in = Write("a.bmp", MakeBmp({70, 54}, kTwoByTwoPixels));
  ASSERT_EQ(image.LoadBmp(in), 1);
  EXPECT_EQ(image.loaded(), 1);
  EXPECT_EQ(HeaderOf(image).biSizeImage, 16u);
  EXPECT_EQ(HeaderOf(image).biClrUsed, 0u);
  EXPECT_EQ(image.headerBlock().Size(), 40u);
  EXPECT_EQ(image.stride(), 8);
  EXPECT_EQ(PixelsOf(image), kTwoByTwoPixels);

  const std::string out = Path("a-out.bmp");
  ASSERT_EQ(image.SaveBmp(out), 1);
  const Bytes written = Read(out);
  ASSERT_EQ(written.size(), 70u);
  EXPECT_EQ(Get32(written, 2), 70u);
  EXPECT_EQ(Get32(written, 10), 54u);
  EXPECT_EQ(Bytes(written.begin() + 54, written.end()), kTwoByTwoPixels);
}

TEST_F(BmpFiles, ZeroBfSizeTakesTheFileSize) {
  DibImage image;
  ASSERT_EQ(image.LoadBmp(Write("b.bmp", MakeBmp({0, 54}, kTwoByTwoPixels))), 1);
  EXPECT_EQ(HeaderOf(image).biSizeImage, 16u);
  EXPECT_EQ(PixelsOf(image), kTwoByTwoPixels);
}

TEST_F(BmpFiles, ShortPixelAreaIsZeroFilled) {
  DibImage image;
  const Bytes pixels(kTwoByTwoPixels.begin(), kTwoByTwoPixels.begin() + 5);
  ASSERT_EQ(image.LoadBmp(Write("c.bmp", MakeBmp({0, 54, 2, 2, 24, 16}, pixels))), 1);
  Bytes expected(16, 0);
  std::copy(pixels.begin(), pixels.end(), expected.begin());
  EXPECT_EQ(PixelsOf(image), expected);
}

struct DefaultCountCase {
  uint16_t bitCount;
  uint32_t loadCount;
};

class BmpDefaultCounts : public BmpFiles, public ::testing::WithParamInterface<DefaultCountCase> {};

TEST_P(BmpDefaultCounts, ReaderDefaultsTheColourCount) {
  const DefaultCountCase& c = GetParam();
  const uint32_t offBits = 54 + 4 * c.loadCount;
  Bytes tail(4 * c.loadCount + 32, 0);
  if (c.loadCount > 0) tail[4 * (c.loadCount - 1) + 2] = 0xAB;  // red of the last entry
  DibImage image;
  ASSERT_EQ(LoadBmpChecked(image, Write("d.bmp", MakeBmp({0, offBits, 8, 4, c.bitCount}, tail))),
            BmpError::kNone);
  EXPECT_EQ(HeaderOf(image).biClrUsed, c.loadCount);
  EXPECT_EQ(image.headerBlock().Size(), 40u + 4 * c.loadCount);
  EXPECT_EQ(image.palette() != nullptr, c.loadCount > 0);
  if (c.loadCount > 0) {
    BlockLock lock(image.headerBlock());
    EXPECT_EQ(lock.data()[40 + 4 * (c.loadCount - 1) + 2], 0xAB);
  }
}

INSTANTIATE_TEST_SUITE_P(BitCounts, BmpDefaultCounts,
                         ::testing::Values(DefaultCountCase{1, 2}, DefaultCountCase{4, 16},
                                           DefaultCountCase{8, 256}, DefaultCountCase{16, 0},
                                           DefaultCountCase{24, 0}, DefaultCountCase{32, 0}));

TEST_F(BmpFiles, SavingFourBitsWritesSixteenEntries) {
  DibImage image;
  std::vector<RgbQuad> colours(16);
  for (uint8_t i = 0; i < 16; ++i) colours[i] = RgbQuad{i, 0, 0, 0};
  Install(image, MakeHeader(9, 1, 4, 0), colours, Bytes(8, 0x12));
  const std::string out = Path("e.bmp");
  ASSERT_EQ(SaveBmpChecked(image, out), BmpError::kNone);
  const Bytes written = Read(out);
  EXPECT_EQ(Get32(written, 10), 118u);
  EXPECT_EQ(Get32(written, 2), 126u);
  EXPECT_EQ(Get32(written, 46), 16u);
  EXPECT_EQ(written[54 + 4 * 15], 15);
  EXPECT_EQ(HeaderOf(image).biClrUsed, 16u);
}

TEST_F(BmpFiles, SavingOneBitWithoutCountWritesNoTable) {
  DibImage image;
  Install(image, MakeHeader(8, 1, 1, 0), {}, Bytes(4, 0xF0));
  const std::string out = Path("f.bmp");
  ASSERT_EQ(SaveBmpChecked(image, out), BmpError::kNone);
  const Bytes written = Read(out);
  EXPECT_EQ(Get32(written, 10), 54u);
  EXPECT_EQ(written.size(), 58u);
}

TEST_F(BmpFiles, SavingNeverReadsPastTheColourTable) {
  DibImage image;
  // 8 bits, biClrUsed 0: the writer's count is 256, the block holds 2 entries.
  Install(image, MakeHeader(4, 1, 8, 0), {{1, 2, 3, 0}, {4, 5, 6, 0}}, Bytes(4, 1));
  const std::string out = Path("g.bmp");
  ASSERT_EQ(SaveBmpChecked(image, out), BmpError::kNone);
  const Bytes written = Read(out);
  ASSERT_EQ(written.size(), 54u + 1024u + 4u);
  EXPECT_EQ(written[54 + 4], 4);
  EXPECT_EQ(written[54 + 8], 0);
}

TEST_F(BmpFiles, SavingTopDownReversesRows) {
  DibImage image;
  Bytes pixels(24);
  for (uint8_t i = 0; i < 24; ++i) pixels[i] = i;
  Install(image, MakeHeader(3, -2, 24), {}, pixels);
  const std::string out = Path("h.bmp");
  ASSERT_EQ(image.SaveBmp(out), 1);
  const Bytes written = Read(out);
  ASSERT_EQ(written.size(), 54u + 24u);
  EXPECT_EQ(static_cast<int32_t>(Get32(written, 22)), 2);
  Bytes expected(pixels.begin() + 12, pixels.end());
  expected.insert(expected.end(), pixels.begin(), pixels.begin() + 12);
  EXPECT_EQ(Bytes(written.begin() + 54, written.end()), expected);
  EXPECT_EQ(HeaderOf(image).biHeight, -2) << "the object keeps its top-down rows";
}

TEST_F(BmpFiles, SavingPadsAShortPixelBlock) {
  DibImage image;
  Install(image, MakeHeader(2, 2, 24, 0, 0), {}, Bytes(5, 9));
  const std::string out = Path("i.bmp");
  ASSERT_EQ(SaveBmpChecked(image, out), BmpError::kNone);
  const Bytes written = Read(out);
  ASSERT_EQ(written.size(), 70u);
  EXPECT_EQ(written[58], 9);
  EXPECT_EQ(written[59], 0);
}

TEST_F(BmpFiles, SavingWithoutBlocksLeavesAnExistingFileAlone) {
  const std::string out = Write("j.bmp", Bytes{1, 2, 3});
  DibImage empty;
  EXPECT_EQ(empty.SaveBmp(out), 0);
  EXPECT_EQ(SaveBmpChecked(empty, out), BmpError::kNothingToSave);
  EXPECT_EQ(Read(out), (Bytes{1, 2, 3}));
}

TEST_F(BmpFiles, SixteenBitSaveKeepsBiSizeImageZero) {
  DibImage image;
  Install(image, MakeHeader(5, 3, 16), {}, Bytes(36, 7));
  const std::string out = Path("k.bmp");
  ASSERT_EQ(SaveBmpChecked(image, out), BmpError::kNone);
  const Bytes written = Read(out);
  EXPECT_EQ(Get32(written, 34), 0u);
  EXPECT_EQ(Get32(written, 2), 54u + 36u);
  EXPECT_EQ(written.size(), 90u);
}

TEST_F(BmpFiles, RoundTripThroughDisk) {
  DibImage image;
  std::vector<RgbQuad> colours(256);
  for (int i = 0; i < 256; ++i) colours[i] = RgbQuad{uint8_t(i), uint8_t(255 - i), 7, 0};
  Bytes pixels(12 * 5);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 7);
  Install(image, MakeHeader(10, 5, 8, 256), colours, pixels);
  const std::string first = Path("l1.bmp");
  ASSERT_EQ(image.SaveBmp(first), 1);
  DibImage again;
  ASSERT_EQ(again.LoadBmp(first), 1);
  EXPECT_EQ(PixelsOf(again), pixels);
  const std::string second = Path("l2.bmp");
  ASSERT_EQ(again.SaveBmp(second), 1);
  EXPECT_EQ(Read(first), Read(second));
}

TEST_F(BmpFiles, SurfaceDumpIsABottomUpBmp) {
  SoftwareSurface surface(3, 2);
  DibImage dot;
  Install(dot, MakeHeader(1, 1, 24), {}, {10, 20, 30, 0});
  dot.DrawAt(surface.dc(), 2, 0, kSrcCopy);  // top-right pixel
  const std::string out = Path("m.bmp");
  ASSERT_EQ(SaveSurfaceBmp(surface, out), BmpError::kNone);
  const Bytes written = Read(out);
  ASSERT_EQ(written.size(), 54u + 24u);
  EXPECT_EQ(static_cast<int32_t>(Get32(written, 22)), 2);
  // The top row is the file's second row.
  EXPECT_EQ(written[54 + 12 + 6], 10);
  EXPECT_EQ(written[54 + 12 + 8], 30);
  EXPECT_EQ(written[54 + 6], 0);
}

// Refused files, grouped by what is wrong with them.
struct RefusalCase {
  const char* name;
  Bytes bytes;
  BmpError error;
};

Bytes WithByte(Bytes b, size_t at, uint8_t v) {
  b[at] = v;
  return b;
}
Bytes With32(Bytes b, size_t at, uint32_t v) {
  Put32(b, at, v);
  return b;
}

std::vector<RefusalCase> RefusalCases() {
  const Bytes good = MakeBmp({70, 54}, kTwoByTwoPixels);
  return {
      {"Empty", {}, BmpError::kTruncatedHeaders},
      {"OneByte", {'B'}, BmpError::kTruncatedHeaders},
      {"MB", WithByte(WithByte(good, 0, 'M'), 1, 'B'), BmpError::kNotBmp},
      {"CoreHeader12", With32(good, 14, 12), BmpError::kUnsupportedHeader},
      {"V4Header108", With32(good, 14, 108), BmpError::kUnsupportedHeader},
      {"CutInFileHeader", Bytes(good.begin(), good.begin() + 10), BmpError::kTruncatedHeaders},
      {"CutInInfoHeader", Bytes(good.begin(), good.begin() + 40), BmpError::kTruncatedHeaders},
      {"ZeroWidth", With32(good, 18, 0), BmpError::kBadDimensions},
      {"NegativeWidth", With32(good, 18, 0xFFFFFFF0u), BmpError::kBadDimensions},
      {"HugeHeight", With32(good, 22, 0x80000000u), BmpError::kBadDimensions},
      {"ZeroBitCount", WithByte(good, 28, 0), BmpError::kBadDimensions},
      {"HugeBitCount", WithByte(good, 28, 64), BmpError::kBadDimensions},
      {"OffsetPastEnd", With32(good, 10, 71), BmpError::kOffsetPastEnd},
      {"BfSizeBelowOffset", With32(good, 2, 20), BmpError::kFileSizeBeforeOffset},
      {"HugeSizeImage", With32(good, 34, 0xFFFFFFF0u), BmpError::kPixelAreaTooLarge},
      {"ColourTablePastEnd", With32(good, 46, 5), BmpError::kColourTablePastEnd},
      {"ColourCountOverflow", With32(good, 46, 0x40000000u), BmpError::kColourTablePastEnd},
      {"OneBitWithoutTable", MakeBmp({0, 54, 8, 1, 1}, {}), BmpError::kColourTablePastEnd},
  };
}

class BmpRefusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(BmpRefusals, RefusedWithItsReasonAndNotLoaded) {
  DibImage image;
  Install(image, MakeHeader(1, 1, 24), {}, {1, 2, 3, 0});
  EXPECT_EQ(LoadBmpFromMemory(image, GetParam().bytes.data(), GetParam().bytes.size()),
            GetParam().error);
  EXPECT_EQ(image.loaded(), 0);
  // The old blocks stay.
  EXPECT_EQ(PixelsOf(image), (Bytes{1, 2, 3, 0}));
  EXPECT_NE(std::string(BmpErrorMessage(GetParam().error)), "unknown error");
}

INSTANTIATE_TEST_SUITE_P(Malformed, BmpRefusals, ::testing::ValuesIn(RefusalCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BmpFiles, MissingFileLeavesTheObjectUnchanged) {
  DibImage image;
  Install(image, MakeHeader(1, 1, 24), {}, {1, 2, 3, 0});
  EXPECT_EQ(image.LoadBmp(Path("does-not-exist.bmp")), 0);
  EXPECT_EQ(image.loaded(), 1);
}

TEST_F(BmpFiles, RefusedFileFromDisk) {
  DibImage image;
  const Bytes bad = WithByte(MakeBmp({70, 54}, kTwoByTwoPixels), 0, 'M');
  EXPECT_EQ(image.LoadBmp(Write("n.bmp", bad)), 0);
  EXPECT_EQ(LoadBmpChecked(image, Write("o.bmp", Bytes(30, 'B'))), BmpError::kNotBmp);
}

TEST_F(BmpFiles, LoadingDoesNotTouchTheSection) {
  SoftwareSurface surface(4, 4);
  DibImage image;
  Install(image, MakeHeader(1, 1, 24), {}, {1, 2, 3, 0});
  image.DrawAt(surface.dc(), 0, 0, kSrcCopy);
  const BitmapHandle section = image.dibSection();
  ASSERT_EQ(image.LoadBmp(Write("p.bmp", MakeBmp({70, 54}, kTwoByTwoPixels))), 1);
  EXPECT_EQ(image.dibSection(), section);
}

TEST(BmpErrors, EveryCodeHasItsOwnMessage) {
  std::vector<std::string> seen;
  for (int32_t e = 0; e <= static_cast<int32_t>(BmpError::kWriteFailed); ++e) {
    const std::string message = BmpErrorMessage(static_cast<BmpError>(e));
    EXPECT_EQ(std::count(seen.begin(), seen.end(), message), 0) << message;
    seen.push_back(message);
  }
}

}  // namespace
}  // namespace kavrosa
