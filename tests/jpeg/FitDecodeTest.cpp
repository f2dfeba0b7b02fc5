// Decoding to a screen's size: the fit rule's integer steps, and DecodeJpegToFit leaving a
// picture that fits at its own size and reducing one that does not to its fit size.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "image/DibImage.h"
#include "image/FitSize.h"
#include "image/Resample.h"
#include "tests/jpeg/JpegStreams.h"

namespace kavrosa::test {
namespace {

TEST(FitSize, HeightFirstThenWidth) {
  EXPECT_EQ(FitSize(Size{1920, 1080}, Size{4000, 3000}), (Size{1440, 1080}));
  EXPECT_EQ(FitSize(Size{640, 480}, Size{353, 482}), (Size{351, 480}));
  EXPECT_EQ(FitSize(Size{50, 50}, Size{101, 77}), (Size{50, 38}));  // 65 too wide: 50 x 38
  EXPECT_EQ(FitSize(Size{1080, 1920}, Size{3000, 4000}), (Size{1080, 1440}));
  EXPECT_EQ(FitSize(Size{10, 10}, Size{0, 5}), (Size{0, 0}));
}

BitmapInfoHeader HeaderOf(DibImage& image) {
  BitmapInfoHeader header{};
  BlockLock lock(image.headerBlock());
  if (lock.size() >= sizeof(header)) std::memcpy(&header, lock.data(), sizeof(header));
  return header;
}

Bytes PixelsOf(DibImage& image) {
  BlockLock lock(image.pixelBlock());
  return Bytes(lock.data(), lock.data() + lock.size());
}

TEST(DecodeJpegToFit, PictureInsideTheBoundKeepsItsOwnSizeAndBytes) {
  const Bytes stream = ReadFile("data/rose_101x77_s2x2_q85_r5.jpg");
  ASSERT_FALSE(stream.empty());
  Decoded plain = Decode(stream);
  for (const Size bound : {Size{0, 0}, Size{-5, 100}, Size{101, 77}, Size{2000, 80}}) {
    DibImage image;
    ASSERT_EQ(image.DecodeJpegToFit(stream.data(), stream.size(), bound), 1);
    EXPECT_EQ(HeaderOf(image).biWidth, 101);
    EXPECT_EQ(HeaderOf(image).biHeight, 77);
    EXPECT_EQ(PixelsOf(image), plain.Pixels());
  }
}

TEST(DecodeJpegToFit, LargerPictureIsReducedToItsFitSize) {
  const Bytes stream = ReadFile("data/rose_101x77_s2x2_q85_r5.jpg");
  DibImage image;
  ASSERT_EQ(image.DecodeJpegToFit(stream.data(), stream.size(), Size{50, 50}), 1);
  const BitmapInfoHeader header = HeaderOf(image);
  EXPECT_EQ(header.biWidth, 50);
  EXPECT_EQ(header.biHeight, 38);
  EXPECT_EQ(header.biSizeImage, 152u * 38u);
  EXPECT_EQ(image.pixelBlock().Size(), 152u * 38u);
  EXPECT_EQ(image.Width(), 50);
  EXPECT_EQ(image.loaded(), 0);

  // Decoded at half size (51 x 39 still covers 50 x 38), then resampled: near the resampling
  // of the full decode (a detailed picture this small shifts visibly by the half pixel).
  Decoded plain = Decode(stream);
  const Bytes full = plain.Pixels();
  Bytes expected(152u * 38u, 0);
  ASSERT_TRUE(Resample24(PixelRows24{full.data(), 101, 77, 304},
                         MutablePixelRows24{expected.data(), 50, 38, 152}));
  EXPECT_GT(Psnr(PixelsOf(image), expected, 50, 38), 25.0);
}

// Scaling as the rows are decoded gives the bytes of scaling the whole decoded picture after.
TEST(DecodeJpegToFit, ResamplingAsDecodedEqualsResamplingAfter) {
  for (const char* name :
       {"data/rose_101x77_s2x2_q85_r5.jpg", "data/rose_41x27_s1x2_q80_r1_prog.jpg",
        "data/rose_33x21_grey_q80.jpg"}) {
    const Bytes stream = ReadFile(name);
    for (const Size bound : {Size{50, 50}, Size{30, 12}, Size{7, 7}, Size{100, 76}}) {
      Decoded atBound;
      atBound.error = DecodeJpegAtBound(atBound.state, atBound.headerBlock, atBound.pixelBlock,
                                        stream.data(), stream.size(), bound);
      ASSERT_EQ(atBound.error, JpegError::kNone);
      const Size from{atBound.state.header.biWidth, atBound.state.header.biHeight};
      BitmapInfoHeader reduced{};
      {
        BlockLock lock(atBound.headerBlock);
        std::memcpy(&reduced, lock.data(), sizeof reduced);
      }
      const Size to = FitTarget(bound, from);
      const Bytes source = atBound.Pixels();
      const auto stride = [](int32_t width) {
        return (3 * static_cast<size_t>(width) + 3) & ~size_t{3};
      };
      Bytes expected(stride(to.cx) * to.cy, 0);
      ASSERT_TRUE(Resample24(
          PixelRows24{source.data(), reduced.biWidth, reduced.biHeight, stride(reduced.biWidth)},
          MutablePixelRows24{expected.data(), to.cx, to.cy, stride(to.cx)}));
      DibImage image;
      ASSERT_EQ(image.DecodeJpegToFit(stream.data(), stream.size(), bound), 1);
      EXPECT_EQ(HeaderOf(image).biWidth, to.cx);
      EXPECT_EQ(PixelsOf(image), expected) << name << " in " << bound.cx << "x" << bound.cy;
    }
  }
}

// The mean of each scale x scale box (fewer pixels at the right and bottom edges), rounded.
Bytes BoxReduce(const Bytes& full, int width, int height, int scale) {
  const int w = (width + scale - 1) / scale, h = (height + scale - 1) / scale;
  const size_t stride = (3 * static_cast<size_t>(width) + 3) & ~size_t{3};
  const size_t outStride = (3 * static_cast<size_t>(w) + 3) & ~size_t{3};
  Bytes out(outStride * static_cast<size_t>(h), 0);
  for (int oy = 0; oy < h; ++oy)
    for (int ox = 0; ox < w; ++ox)
      for (int ch = 0; ch < 3; ++ch) {
        unsigned sum = 0, n = 0;
        for (int y = oy * scale; y < height && y < oy * scale + scale; ++y)
          for (int x = ox * scale; x < width && x < ox * scale + scale; ++x, ++n)
            sum += full[stride * static_cast<size_t>(height - 1 - y) + 3 * x + ch];
        out[outStride * static_cast<size_t>(h - 1 - oy) + 3 * ox + ch] =
            static_cast<uint8_t>((sum + n / 2) / n);
      }
  return out;
}

// The reduced transform keeps each block's lowest frequencies, so a reduced decode is close
// to the box mean of the full decode but not equal to it (least so for small detailed
// pictures); both paths give the same bytes.
TEST(DecodeJpegToFit, ReducedScaleIsNearTheBoxMeanOfTheFullDecode) {
  for (const char* name : {"data/rose_101x77_s2x2_q85_r5.jpg", "data/rose_101x77_s1x1_q85_r3.jpg",
                           "data/plasma_97x61_s2x1_q70_opt_r7.jpg",
                           "data/rose_41x27_s1x2_q80_r1_prog.jpg", "data/rose_33x21_grey_q80.jpg",
                           "data/plasma_45x29_s4x1_q80.jpg", "data/plasma_45x29_s4x2_q80_r2.jpg"}) {
    const Bytes stream = ReadFile(name);
    Decoded plain = Decode(stream);
    const BitmapInfoHeader full = plain.state.header;
    for (int scale : {2, 4, 8}) {
      const int w = (full.biWidth + scale - 1) / scale, h = (full.biHeight + scale - 1) / scale;
      const Size bound = FitSize(Size{w, h}, Size{full.biWidth, full.biHeight});
      if (!(bound == Size{w, h})) continue;  // the fit rule asks for another size here
      Decoded reference = DecodeFitted(stream, bound, JpegPath::kReference);
      Decoded fast = DecodeFitted(stream, bound, JpegPath::kFast);
      ASSERT_EQ(fast.error, JpegError::kNone);
      EXPECT_EQ(fast.Pixels(), reference.Pixels()) << name << " 1/" << scale;
      const double psnr =
          Psnr(fast.Pixels(), BoxReduce(plain.Pixels(), full.biWidth, full.biHeight, scale), w, h);
      EXPECT_GT(psnr, scale == 2 ? 34.0 : 30.0) << name << " 1/" << scale;
    }
  }
}

// Blocks with only their DC coefficient are flat, in the reduced transform too, at the full
// transform's value: the reduced decode is exactly the box mean of the full one.
TEST(DecodeJpegToFit, FlatBlocksKeepTheirValueAtEveryScale) {
  BitWriter bits;
  const int diffs[4][4] = {{40, -70, 12, -9}, {-5, 90, -30, 25}, {0, -130, 7, 3}, {60, 1, -2, 0}};
  for (const auto& mcu : diffs) {
    bits.Block(mcu[0]);  // two luminance blocks (2x1), then Cb and Cr
    bits.Block(mcu[1]);
    bits.Block(mcu[2]);
    bits.Block(mcu[3]);
  }
  const Bytes stream = TestStream(32, 16, bits.Finish(), 2, 1, 0, 4);
  Decoded plain = Decode(stream);
  ASSERT_EQ(plain.error, JpegError::kNone);
  for (int scale : {2, 4, 8}) {
    const Size bound{32 / scale, 16 / scale};
    for (JpegPath path : {JpegPath::kReference, JpegPath::kFast}) {
      Decoded d = DecodeFitted(stream, bound, path);
      ASSERT_EQ(d.error, JpegError::kNone);
      EXPECT_EQ(d.Pixels(), BoxReduce(plain.Pixels(), 32, 16, scale)) << "1/" << scale;
    }
  }
}

// Every picture of the corpus (each sampling layout, restart intervals, progressive and
// greyscale), whole and cut short, at each reduced scale: the fast path gives the reference
// path's bytes and refusals.
TEST(DecodeJpegAtBound, FastPathMatchesTheReferenceAtEveryScale) {
  std::ifstream list("data/expected-hashes.txt");
  std::string name, hash;
  int pictures = 0;
  while (list >> name >> hash) {
    const Bytes stream = ReadFile("data/" + name);
    Decoded plain = Decode(stream);
    ASSERT_EQ(plain.error, JpegError::kNone) << name;
    const int32_t w = plain.state.header.biWidth, h = plain.state.header.biHeight;
    for (const size_t length : {stream.size(), stream.size() * 2 / 3}) {
      const Bytes cut(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(length));
      for (int32_t scale : {2, 4, 8}) {
        const Size bound{(w + scale - 1) / scale, (h + scale - 1) / scale};
        Decoded at[2];
        const JpegPath paths[2] = {JpegPath::kReference, JpegPath::kFast};
        for (int p = 0; p < 2; ++p) {
          at[p].error = DecodeJpegAtBound(at[p].state, at[p].headerBlock, at[p].pixelBlock,
                                          cut.data(), cut.size(), bound, paths[p]);
        }
        EXPECT_EQ(at[1].error, at[0].error) << name << " " << length << " 1/" << scale;
        EXPECT_EQ(at[1].Pixels(), at[0].Pixels()) << name << " " << length << " 1/" << scale;
      }
    }
    ++pictures;
  }
  EXPECT_GE(pictures, 20);
}

TEST(DecodeJpegAtBound, PicksTheSmallestScaleThatStillCovers) {
  const Bytes stream = ReadFile("data/rose_101x77_s2x2_q85_r5.jpg");
  struct Case {
    Size bound;
    int32_t scale;
  };
  // 101 x 77 at 1/2: 51 x 39, at 1/4: 26 x 20, at 1/8: 13 x 10.
  for (const Case c :
       {Case{Size{}, 1}, Case{Size{100, 100}, 1}, Case{Size{51, 51}, 2}, Case{Size{26, 80}, 4},
        Case{Size{27, 80}, 2}, Case{Size{13, 10}, 8}, Case{Size{1, 1}, 8}}) {
    Decoded d;
    d.error = DecodeJpegAtBound(d.state, d.headerBlock, d.pixelBlock, stream.data(), stream.size(),
                                c.bound);
    ASSERT_EQ(d.error, JpegError::kNone);
    BlockLock lock(d.headerBlock);
    BitmapInfoHeader header;
    std::memcpy(&header, lock.data(), sizeof(header));
    EXPECT_EQ(header.biWidth, (101 + c.scale - 1) / c.scale) << c.bound.cx;
    EXPECT_EQ(header.biHeight, (77 + c.scale - 1) / c.scale) << c.bound.cx;
  }
}

TEST(DecodeJpegToFit, RefusalReturnsZero) {
  DibImage image;
  const Bytes junk = {0x00, 0x01};
  EXPECT_EQ(image.DecodeJpegToFit(junk.data(), junk.size(), Size{10, 10}), 0);
  const Bytes empty = {0xFF, 0xD8, 0xFF, 0xD9};
  EXPECT_EQ(image.DecodeJpegToFit(empty.data(), empty.size(), Size{10, 10}), 1);
  EXPECT_FALSE(image.pixelBlock());
}

}  // namespace
}  // namespace kavrosa::test
