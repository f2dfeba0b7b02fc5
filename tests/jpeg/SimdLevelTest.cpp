// Each vector level the processor has, in turn: the corpus decodes to its recorded bytes,
// reduced decodes match the scalar reference, and fitted decodes (the resampler's loops) match
// those of the SSE2 floor. Under Wine this runs the Windows builds' AVX2 and AVX-512 code,
// where a vector spill to a misaligned stack slot would fault.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/CpuFeatures.h"
#include "tests/jpeg/JpegStreams.h"

namespace kavrosa::test {
namespace {

struct Picture {
  std::string name;
  uint64_t hash = 0;
  Bytes stream;
};

std::vector<Picture> Corpus() {
  std::vector<Picture> pictures;
  std::ifstream list("data/expected-hashes.txt");
  std::string name, hex;
  while (list >> name >> hex) {
    pictures.push_back(Picture{name, std::stoull(hex, nullptr, 16), ReadFile("data/" + name)});
  }
  return pictures;
}

Size HalfOf(const Bytes& stream) {
  Decoded plain = Decode(stream, JpegPath::kReference);
  const int32_t w = plain.state.header.biWidth, h = plain.state.header.biHeight;
  return Size{(w + 1) / 2, (h + 1) / 2};
}

class SimdLevelTest : public ::testing::TestWithParam<SimdLevel> {
 protected:
  void TearDown() override { SetSimdCeiling(SimdLevel::kAvx512); }
};

TEST_P(SimdLevelTest, CorpusGivesTheSameBytes) {
  const SimdLevel level = GetParam();
  if (ProcessorSimd() < level) GTEST_SKIP() << "no " << SimdLevelName(level) << " here";
  const std::vector<Picture> corpus = Corpus();
  ASSERT_GE(corpus.size(), 20u);
  std::vector<Bytes> floorFitted;
  SetSimdCeiling(SimdLevel::kSse2);
  for (const Picture& p : corpus)
    floorFitted.push_back(DecodeFitted(p.stream, HalfOf(p.stream)).Pixels());

  SetSimdCeiling(level);
  ASSERT_EQ(UsableSimd(), level);
  for (size_t i = 0; i < corpus.size(); ++i) {
    const Picture& p = corpus[i];
    Decoded fast = Decode(p.stream);
    ASSERT_EQ(fast.error, JpegError::kNone) << p.name;
    EXPECT_EQ(Fnv1a(fast.Pixels()), p.hash) << p.name;
    const Size half = HalfOf(p.stream);
    EXPECT_EQ(DecodeFitted(p.stream, half).Pixels(), floorFitted[i]) << p.name;
    for (int32_t scale : {2, 4, 8}) {
      const Size bound{(2 * half.cx + scale - 1) / scale, (2 * half.cy + scale - 1) / scale};
      Decoded at[2];
      const JpegPath paths[2] = {JpegPath::kReference, JpegPath::kFast};
      for (int k = 0; k < 2; ++k) {
        at[k].error = DecodeJpegAtBound(at[k].state, at[k].headerBlock, at[k].pixelBlock,
                                        p.stream.data(), p.stream.size(), bound, paths[k]);
      }
      ASSERT_EQ(at[1].error, at[0].error) << p.name << " 1/" << scale;
      EXPECT_EQ(at[1].Pixels(), at[0].Pixels()) << p.name << " 1/" << scale;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, SimdLevelTest,
                         ::testing::Values(SimdLevel::kSse2, SimdLevel::kSse41, SimdLevel::kAvx,
                                           SimdLevel::kAvx2, SimdLevel::kAvx512),
                         [](const ::testing::TestParamInfo<SimdLevel>& info) {
                           std::string name = SimdLevelName(info.param);
                           if (name == "sse4.1") name = "sse41";
                           return name;
                         });

}  // namespace
}  // namespace kavrosa::test
