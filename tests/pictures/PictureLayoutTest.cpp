// The embedded photographs' stream layout, read from the resources themselves: SOI, APP0,
// APP13, APP14 and COM; one DQT holding tables 0 and 1; SOF0 with three 1x1 components;
// one DHT holding DC and AC tables 0 and 1; a restart interval of one MCU row; then the scan.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Resources.h"

namespace kavrosa {
namespace {

struct Segment {
  uint8_t code;
  const uint8_t* body;  // after the length field
  size_t length;        // body bytes
};

uint16_t Big16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

// The segments before the first SOS, each checked to lie inside the stream.
std::vector<Segment> HeaderSegments(const ResourceBytes& stream) {
  std::vector<Segment> segments;
  size_t pos = 2;
  while (pos + 4 <= stream.size && stream.data[pos] == 0xFF) {
    const uint8_t code = stream.data[pos + 1];
    const uint16_t length = Big16(stream.data + pos + 2);
    if (length < 2 || pos + 2 + length > stream.size) break;
    segments.push_back({code, stream.data + pos + 4, static_cast<size_t>(length - 2)});
    if (code == 0xDA) break;
    pos += 2 + length;
  }
  return segments;
}

struct Photograph {
  uint16_t id;
  int32_t width, height;
};

class PictureLayout : public ::testing::TestWithParam<Photograph> {};

TEST_P(PictureLayout, IsTheEmbeddedKind) {
  const Photograph& p = GetParam();
  const auto stream = FindModuleResource(nullptr, p.id, "IMGDAT");
  ASSERT_TRUE(stream.has_value());
  ASSERT_GE(stream->size, 4u);
  EXPECT_EQ(stream->data[0], 0xFF);
  EXPECT_EQ(stream->data[1], 0xD8);
  EXPECT_EQ(stream->data[stream->size - 2], 0xFF);
  EXPECT_EQ(stream->data[stream->size - 1], 0xD9);

  const std::vector<Segment> segments = HeaderSegments(*stream);
  std::string codes;
  for (const Segment& s : segments) codes += std::to_string(s.code) + " ";
  // APP0 APP13 APP14 COM DQT SOF0 DHT DRI SOS
  EXPECT_EQ(codes, "224 237 238 254 219 192 196 221 218 ");
  ASSERT_EQ(segments.size(), 9u);

  const Segment& dqt = segments[4];
  ASSERT_EQ(dqt.length, 2u * 65u);
  EXPECT_EQ(dqt.body[0], 0x00);   // 8-bit precision, table 0
  EXPECT_EQ(dqt.body[65], 0x01);  // table 1

  const Segment& sof = segments[5];
  ASSERT_EQ(sof.length, 15u);
  EXPECT_EQ(sof.body[0], 8);
  EXPECT_EQ(Big16(sof.body + 1), p.height);
  EXPECT_EQ(Big16(sof.body + 3), p.width);
  ASSERT_EQ(sof.body[5], 3);
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(sof.body[6 + 3 * c], c + 1);  // component ids 1, 2, 3
    EXPECT_EQ(sof.body[7 + 3 * c], 0x11);   // 1x1 sampling
    EXPECT_EQ(sof.body[8 + 3 * c], c == 0 ? 0 : 1);
  }

  // Four tables in one segment: class/number byte, 16 counts, then the symbols.
  const Segment& dht = segments[6];
  std::vector<int> tables;
  size_t at = 0;
  while (at + 17 <= dht.length) {
    tables.push_back(dht.body[at]);
    size_t symbols = 0;
    for (int i = 1; i <= 16; ++i) symbols += dht.body[at + i];
    at += 17 + symbols;
  }
  EXPECT_EQ(at, dht.length);
  EXPECT_EQ(tables, (std::vector<int>{0x00, 0x10, 0x01, 0x11}));

  const Segment& dri = segments[7];
  ASSERT_EQ(dri.length, 2u);
  EXPECT_EQ(Big16(dri.body), (p.width + 7) / 8);  // one MCU row
}

INSTANTIATE_TEST_SUITE_P(Embedded, PictureLayout,
                         ::testing::Values(Photograph{140, 471, 353}, Photograph{142, 482, 353},
                                           Photograph{155, 482, 353}, Photograph{144, 353, 482},
                                           Photograph{145, 353, 471}, Photograph{146, 353, 471},
                                           Photograph{147, 353, 482}, Photograph{148, 354, 487},
                                           Photograph{149, 352, 482}, Photograph{150, 354, 487},
                                           Photograph{151, 354, 487}, Photograph{152, 480, 330}),
                         [](const ::testing::TestParamInfo<Photograph>& info) {
                           return "id" + std::to_string(info.param.id);
                         });

}  // namespace
}  // namespace kavrosa
