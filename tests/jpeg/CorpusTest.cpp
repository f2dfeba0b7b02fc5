// The cjpeg corpus: every picture decodes to the pixel hash recorded in
// data/expected-hashes.txt (the same on the native and the Windows builds), the fast path
// matches the reference on each picture and on many damaged copies, and natively each
// picture stays close to libjpeg-turbo's own decode.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <filesystem>
#endif

#include "tests/jpeg/JpegStreams.h"

namespace kavrosa::test {
namespace {

constexpr uint8_t kSof0[] = {0xFF, 0xC0};

struct Expected {
  std::string name;
  uint64_t hash;
};

std::vector<Expected> ExpectedHashes() {
  std::vector<Expected> list;
  std::ifstream in("data/expected-hashes.txt");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    Expected e;
    std::string hex;
    if (fields >> e.name >> hex) {
      e.hash = std::strtoull(hex.c_str(), nullptr, 16);
      list.push_back(e);
    }
  }
  return list;
}

#ifndef _WIN32
// KAVROSA_WRITE_HASHES=1 rewrites the list from the pictures in data/ (native build only).
TEST(Corpus, WriteHashesOnRequest) {
  if (std::getenv("KAVROSA_WRITE_HASHES") == nullptr) GTEST_SKIP();
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator("data"))
    if (entry.path().extension() == ".jpg") names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  std::ofstream out("data/expected-hashes.txt");
  for (const std::string& name : names) {
    Decoded d = Decode(ReadFile("data/" + name), JpegPath::kReference);
    ASSERT_EQ(d.error, JpegError::kNone) << name;
    char hex[17];
    std::snprintf(hex, sizeof(hex), "%016llx", static_cast<unsigned long long>(Fnv1a(d.Pixels())));
    out << name << " " << hex << "\n";
  }
}
#endif

TEST(Corpus, EveryPictureDecodesToItsRecordedBytes) {
  const std::vector<Expected> expected = ExpectedHashes();
  ASSERT_GE(expected.size(), 20u);
  for (const Expected& e : expected) {
    const Bytes stream = ReadFile("data/" + e.name);
    ASSERT_FALSE(stream.empty()) << e.name;
    Decoded reference = Decode(stream, JpegPath::kReference);
    Decoded fast = Decode(stream, JpegPath::kFast);
    ASSERT_EQ(reference.error, JpegError::kNone) << e.name;
    ASSERT_EQ(fast.error, JpegError::kNone) << e.name;
    EXPECT_EQ(Fnv1a(reference.Pixels()), e.hash) << e.name;
    EXPECT_EQ(fast.Pixels(), reference.Pixels()) << e.name;
  }
}

// A 1x1 picture is one MCU, and so is the same stream with the frame made as large as that MCU:
// the picture's pixel is that frame's top-left pixel, at full size (a reduced transform gives
// another colour), with or without a screen to fit.
struct OnePixel {
  const char* name;
  int mcuWidth;
  int mcuHeight;
};

class OnePixelPicture : public testing::TestWithParam<OnePixel> {};

TEST_P(OnePixelPicture, IsTheTopLeftPixelOfItsWholeMcu) {
  const Bytes stream = ReadFile(std::string("data/") + GetParam().name);
  ASSERT_FALSE(stream.empty());
  Bytes widened = stream;
  const size_t sof = static_cast<size_t>(
      std::search(widened.begin(), widened.end(), std::begin(kSof0), std::end(kSof0)) -
      widened.begin());
  ASSERT_LT(sof + 9, widened.size());
  widened[sof + 6] = static_cast<uint8_t>(GetParam().mcuHeight);  // height, low byte
  widened[sof + 8] = static_cast<uint8_t>(GetParam().mcuWidth);   // width, low byte
  for (JpegPath path : {JpegPath::kReference, JpegPath::kFast}) {
    Decoded whole = Decode(widened, path);
    ASSERT_EQ(whole.error, JpegError::kNone);
    const Bytes all = whole.Pixels();
    const size_t stride = (3 * static_cast<size_t>(GetParam().mcuWidth) + 3) & ~size_t{3};
    const Bytes topLeft(all.end() - static_cast<std::ptrdiff_t>(stride),
                        all.end() - static_cast<std::ptrdiff_t>(stride) + 3);
    for (Size bound : {Size{}, Size{1920, 1080}, Size{1, 1}}) {
      Decoded one = DecodeFitted(stream, bound, path);
      ASSERT_EQ(one.error, JpegError::kNone);
      const Bytes pixel = one.Pixels();
      ASSERT_EQ(pixel.size(), 4u);
      EXPECT_EQ(Bytes(pixel.begin(), pixel.begin() + 3), topLeft)
          << GetParam().name << " bound " << bound.cx << "x" << bound.cy;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, OnePixelPicture,
                         testing::Values(OnePixel{"rose_1x1_s1x1_mcu.jpg", 8, 8},
                                         OnePixel{"rose_1x1_s2x1_mcu.jpg", 16, 8},
                                         OnePixel{"rose_1x1_s2x2_mcu.jpg", 16, 16}));

// Deterministic damage: flipped bytes, inserted markers, cut-off ends.
class Damage {
 public:
  explicit Damage(uint32_t seed) : state_(seed | 1u) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  Bytes Apply(Bytes s) {
    if (s.empty()) return s;
    const int kind = static_cast<int>(Next() % 5);
    const int edits = 1 + static_cast<int>(Next() % 4);
    for (int i = 0; i < edits && !s.empty(); ++i) {
      const size_t at = Next() % s.size();
      switch (kind) {
        case 0:
          s[at] = static_cast<uint8_t>(Next());
          break;
        case 1:
          s[at] ^= static_cast<uint8_t>(1u << (Next() % 8));
          break;
        case 2:
          s.insert(s.begin() + static_cast<long>(at),
                   {0xFF, static_cast<uint8_t>(0xD0 + Next() % 8)});
          break;
        case 3:
          s.resize(at);
          break;
        default:
          s.erase(s.begin() + static_cast<long>(at));
          break;
      }
    }
    return s;
  }

 private:
  uint32_t state_;
};

TEST(Corpus, FastPathMatchesReferenceOnDamagedStreams) {
  const std::vector<Expected> expected = ExpectedHashes();
  ASSERT_FALSE(expected.empty());
  Damage damage(2024);
  int decodedAnyway = 0;
  for (const Expected& e : expected) {
    const Bytes original = ReadFile("data/" + e.name);
    for (int trial = 0; trial < 150; ++trial) {
      const Bytes stream = damage.Apply(original);
      Decoded reference = Decode(stream, JpegPath::kReference);
      Decoded fast = Decode(stream, JpegPath::kFast);
      ASSERT_EQ(fast.error, reference.error) << e.name << " trial " << trial;
      ASSERT_EQ(fast.pixelBlock.Size(), reference.pixelBlock.Size());
      if (reference.pixelBlock) {
        ASSERT_EQ(fast.Pixels(), reference.Pixels()) << e.name << " " << trial;
      }
      if (reference.error == JpegError::kNone) ++decodedAnyway;
    }
  }
  EXPECT_GT(decodedAnyway, 0);  // some damage lands in the entropy data and still decodes
}

TEST(Corpus, EveryTruncationIsRefusedCleanly) {
  for (const char* name :
       {"data/rose_101x77_s2x2_q85_r5.jpg", "data/plasma_45x29_s4x1_q80_scans.jpg"}) {
    const Bytes original = ReadFile(name);
    ASSERT_FALSE(original.empty());
    for (size_t size = 0; size + 2 < original.size(); size += 7) {
      const Bytes stream(original.begin(), original.begin() + static_cast<long>(size));
      Decoded reference = Decode(stream, JpegPath::kReference);
      Decoded fast = Decode(stream, JpegPath::kFast);
      EXPECT_NE(reference.error, JpegError::kNone) << name << " " << size;
      ASSERT_EQ(fast.error, reference.error) << size;
      ASSERT_EQ(fast.Pixels(), reference.Pixels()) << size;
    }
  }
}

TEST(Corpus, FuzzerFindingsStayFixed) {
  std::ifstream list("crashers/list.txt");
  std::string name;
  while (list >> name) {
    const Bytes stream = ReadFile("crashers/" + name);
    Decoded reference = Decode(stream, JpegPath::kReference);
    Decoded fast = Decode(stream, JpegPath::kFast);
    EXPECT_EQ(fast.error, reference.error) << name;
  }
}

#ifndef _WIN32
// The IDCT and colour constants differ from libjpeg-turbo's and Y, Cb, Cr are converted
// without clamping, so single pixels at hard edges may differ by tens of levels; the picture
// as a whole must stay above this. libjpeg-turbo replicates chroma here too (no fancy
// upsampling), so that the bound measures the transform and the conversion.
constexpr double kMinimumPsnr = 40.0;

TEST(Corpus, CloseToLibjpegTurbo) {
  for (const Expected& e : ExpectedHashes()) {
    const Bytes stream = ReadFile("data/" + e.name);
    int width = 0, height = 0;
    const Bytes theirs = LibjpegDecode(stream, width, height);
    Decoded ours = Decode(stream);
    ASSERT_EQ(ours.error, JpegError::kNone);
    const Bytes mine = ours.Pixels();
    ASSERT_EQ(mine.size(), theirs.size()) << e.name;
    double squared = 0;
    const size_t stride = (3 * static_cast<size_t>(width) + 3) & ~size_t{3};
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < 3 * width; ++x) {
        const size_t i = stride * static_cast<size_t>(y) + static_cast<size_t>(x);
        const double d = double(mine[i]) - double(theirs[i]);
        squared += d * d;
      }
    const double mse = squared / (3.0 * width * height);
    const double psnr = mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
    EXPECT_GT(psnr, kMinimumPsnr) << e.name;
    std::printf("  %-36s PSNR %.1f dB\n", e.name.c_str(), psnr);
  }
}
#endif

}  // namespace
}  // namespace kavrosa::test
