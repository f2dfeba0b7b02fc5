// Exif orientation: the tag read in both byte orders, damaged blocks read as no orientation
// (and never stop a decode), the eight orientations on a 3x2 picture, and a decode that
// applies the tag while the plain decode leaves the picture as stored.
#include <gtest/gtest.h>

#include <string>

#include "image/Orientation.h"
#include "jpeg/ExifOrientation.h"
#include "tests/jpeg/JpegStreams.h"

namespace kavrosa::test {
namespace {

// The APP1 body (after the length field) of ExifSegment.
Bytes ExifBody(int orientation, bool bigEndian) {
  const Bytes segment = ExifSegment(orientation, bigEndian);
  return Bytes(segment.begin() + 4, segment.end());
}

int32_t Orientation(const Bytes& body) {
  return ReadExifOrientation(ByteView{body.data(), body.size()});
}

TEST(ExifOrientation, EveryValueInBothByteOrders) {
  for (bool bigEndian : {false, true})
    for (int n = 1; n <= 8; ++n) EXPECT_EQ(Orientation(ExifBody(n, bigEndian)), n) << n;
}

TEST(ExifOrientation, DamagedOrAbsurdBlocksReadAsNone) {
  const Bytes good = ExifBody(6, true);  // "Exif\0\0", TIFF header at 6, IFD0 at 6 + 8
  auto with = [&](size_t at, std::initializer_list<int> bytes) {
    Bytes b = good;
    for (int v : bytes) b[at++] = static_cast<uint8_t>(v);
    return b;
  };
  const std::pair<const char*, Bytes> cases[] = {
      {"NotExif", with(0, {'E', 'x', 'i', 'x'})},
      {"NoByteOrder", with(6, {'M', 'I'})},
      {"Not42", with(8, {0, 43})},
      {"IfdPastTheEnd", with(10, {0, 0, 1, 0})},
      {"IfdOffsetHuge", with(10, {0xFF, 0xFF, 0xFF, 0xF0})},
      {"MoreEntriesThanBytes", with(14, {0xFF, 0xFF})},
      {"TagLong", with(18, {0, 4})},
      {"CountTwo", with(20, {0, 0, 0, 2})},
      {"ValueZero", with(24, {0, 0})},
      {"ValueNine", with(24, {0, 9})},
      {"Empty", Bytes{}},
  };
  for (const auto& [name, body] : cases) EXPECT_EQ(Orientation(body), 0) << name;
  // Every cut-off copy short of the entry's end reads nothing; none reads past its end.
  for (size_t n = 0; n < 6 + 8 + 2 + 12; ++n)
    EXPECT_EQ(Orientation(Bytes(good.begin(), good.begin() + static_cast<long>(n))), 0) << n;
}

TEST(ExifOrientation, DecodeAppliesTheFirstUsableTagAndIgnoresDamage) {
  const Bytes plain = ReadFile("data/rose_64x48_s2x2_q75.jpg");
  Bytes damaged = ExifSegment(6, false);
  damaged[4 + 6 + 4] = 0xEE;  // IFD0 offset far past the segment
  Decoded d = DecodeFitted(WithSegmentAfterSoi(plain, damaged));
  ASSERT_EQ(d.error, JpegError::kNone);
  EXPECT_EQ(d.state.exifOrientation, 1);
  EXPECT_EQ(d.Pixels(), Decode(plain).Pixels());

  const Bytes twice =
      WithSegmentAfterSoi(WithSegmentAfterSoi(plain, ExifSegment(3, true)), ExifSegment(6, false));
  Decoded turned = DecodeFitted(twice);
  ASSERT_EQ(turned.error, JpegError::kNone);
  EXPECT_EQ(turned.state.exifOrientation, 6);
  EXPECT_EQ(PictureSize(turned), (Size{48, 64}));
  // The design's decode reads the tag but leaves the picture as stored.
  Decoded stored = Decode(twice);
  EXPECT_EQ(PictureSize(stored), (Size{64, 48}));
  EXPECT_EQ(stored.Pixels(), Decode(plain).Pixels());
}

// A picture of one-letter pixels, top row first, into bottom-up rows (stride rounded to 4).
Bytes Picture(const std::vector<std::string>& rows) {
  const size_t w = rows[0].size();
  const size_t stride = (3 * w + 3) & ~size_t{3};
  Bytes out(stride * rows.size(), 0);
  for (size_t y = 0; y < rows.size(); ++y)
    for (size_t x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c)
        out[stride * (rows.size() - 1 - y) + 3 * x + c] = static_cast<uint8_t>(rows[y][x]);
  return out;
}

TEST(OrientPixels24, EachOrientationShowsThePictureUpright) {
  const Bytes source = Picture({"abc", "def"});
  const std::vector<std::string> expected[9] = {
      {},
      {"abc", "def"},
      {"cba", "fed"},
      {"fed", "cba"},
      {"def", "abc"},
      {"ad", "be", "cf"},  // transpose
      {"da", "eb", "fc"},  // a quarter turn clockwise
      {"fc", "eb", "da"},  // transverse
      {"cf", "be", "ad"},  // a quarter turn anticlockwise
  };
  for (int n = 1; n <= 8; ++n) {
    const Size size = OrientedSize(Size{3, 2}, n);
    Bytes target(((3 * static_cast<size_t>(size.cx) + 3) & ~size_t{3}) * size.cy, 0);
    ASSERT_TRUE(
        OrientPixels24(PixelRows24{source.data(), 3, 2, 12}, n,
                       MutablePixelRows24{target.data(), size.cx, size.cy,
                                          (3 * static_cast<size_t>(size.cx) + 3) & ~size_t{3}}));
    EXPECT_EQ(target, Picture(expected[n])) << n;
  }
  Bytes target(24, 0);
  EXPECT_FALSE(OrientPixels24(PixelRows24{source.data(), 3, 2, 12}, 6,
                              MutablePixelRows24{target.data(), 3, 2, 12}));  // wrong size
  EXPECT_FALSE(OrientPixels24(PixelRows24{source.data(), 3, 2, 12}, 9,
                              MutablePixelRows24{target.data(), 3, 2, 12}));
}

}  // namespace
}  // namespace kavrosa::test
