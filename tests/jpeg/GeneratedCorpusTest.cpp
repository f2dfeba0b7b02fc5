// The corpus made at build time by make-generated-corpus.sh (native only: it needs cjpeg,
// jpegtran and libjpeg-turbo): every layout and greyscale close to libjpeg-turbo, every
// progressive file exactly its baseline twin, Exif orientations against jpegtran's lossless
// turns, and a 4000x3000 photograph fitted to 1920x1080.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "image/Resample.h"
#include "tests/jpeg/JpegStreams.h"

namespace kavrosa::test {
namespace {

const std::string kDir = KAVROSA_GENERATED_CORPUS;

std::vector<std::vector<std::string>> Manifest(const std::string& kind) {
  std::vector<std::vector<std::string>> entries;
  std::ifstream in(kDir + "/manifest.txt");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::vector<std::string> words;
    for (std::string w; fields >> w;) words.push_back(w);
    if (!words.empty() && words[0] == kind) entries.emplace_back(words.begin() + 1, words.end());
  }
  return entries;
}

Bytes Read(const std::string& name) {
  return ReadFile(kDir + "/" + name);
}

TEST(GeneratedCorpus, EveryLayoutIsCloseToLibjpegTurbo) {
  const auto entries = Manifest("baseline");
  ASSERT_EQ(entries.size(), 24u);
  for (const auto& e : entries) {
    const Bytes stream = Read(e[0]);
    int width = 0, height = 0;
    const Bytes theirs = LibjpegDecode(stream, width, height);
    Decoded fast = Decode(stream, JpegPath::kFast);
    Decoded reference = Decode(stream, JpegPath::kReference);
    ASSERT_EQ(fast.error, JpegError::kNone) << e[0];
    ASSERT_EQ(reference.error, JpegError::kNone) << e[0];
    EXPECT_EQ(fast.Pixels(), reference.Pixels()) << e[0];
    EXPECT_GT(Psnr(fast.Pixels(), theirs, width, height), 40.0) << e[0];
  }
}

TEST(GeneratedCorpus, ProgressiveFilesGiveTheBytesOfTheirBaselineTwins) {
  const auto entries = Manifest("twin");
  ASSERT_EQ(entries.size(), 72u);
  for (const auto& e : entries) {
    Decoded baseline = Decode(Read(e[1]));
    ASSERT_EQ(baseline.error, JpegError::kNone) << e[1];
    for (JpegPath path : {JpegPath::kFast, JpegPath::kReference}) {
      Decoded twin = Decode(Read(e[0]), path);
      ASSERT_EQ(twin.error, JpegError::kNone) << e[0];
      EXPECT_EQ(twin.Pixels(), baseline.Pixels()) << e[0];
    }
  }
}

TEST(GeneratedCorpus, ExifOrientationShowsWhatJpegtransTurnShows) {
  const auto entries = Manifest("orient");
  ASSERT_EQ(entries.size(), 7u);
  for (const auto& e : entries) {
    const int n = std::stoi(e[0]);
    Decoded turned = Decode(Read(e[1]));
    ASSERT_EQ(turned.error, JpegError::kNone);
    for (bool bigEndian : {false, true}) {
      const Bytes tagged = WithSegmentAfterSoi(Read(e[2]), ExifSegment(n, bigEndian));
      Decoded oriented = DecodeFitted(tagged);
      ASSERT_EQ(oriented.error, JpegError::kNone) << n;
      EXPECT_EQ(oriented.state.exifOrientation, n);
      const Size size = PictureSize(oriented);
      ASSERT_EQ(size, PictureSize(turned)) << n;
      // Turning before or after the transform rounds a few samples differently.
      const double psnr = Psnr(oriented.Pixels(), turned.Pixels(), size.cx, size.cy);
      EXPECT_GT(psnr, 40.0) << n;
      std::printf("  orientation %d: %dx%d, PSNR %.1f dB\n", n, size.cx, size.cy, psnr);
    }
  }
}

TEST(GeneratedCorpus, APhotographFittedTo1920x1080IsItsBoxReduction) {
  const auto entries = Manifest("big");
  ASSERT_EQ(entries.size(), 2u);
  for (const auto& e : entries) {
    const Bytes stream = Read(e[0]);
    Decoded fitted = DecodeFitted(stream, Size{1920, 1080});
    ASSERT_EQ(fitted.error, JpegError::kNone);
    ASSERT_EQ(PictureSize(fitted), (Size{1440, 1080}));
    // The full decode reduced by area averaging in one step.
    Decoded full = Decode(stream);
    ASSERT_EQ(PictureSize(full), (Size{4000, 3000}));
    const Bytes pixels = full.Pixels();
    Bytes expected(4320u * 1080u, 0);
    ASSERT_TRUE(Resample24(PixelRows24{pixels.data(), 4000, 3000, 12000},
                           MutablePixelRows24{expected.data(), 1440, 1080, 4320}));
    const double psnr = Psnr(fitted.Pixels(), expected, 1440, 1080);
    EXPECT_GT(psnr, 40.0) << e[0];
    std::printf("  %s at 1440x1080: PSNR %.1f dB against the reduced full decode\n", e[0].c_str(),
                psnr);
  }
}

}  // namespace
}  // namespace kavrosa::test
