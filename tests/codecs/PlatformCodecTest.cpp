// The platform's formats through the show's one entry, on pictures that Debian's encoders make at
// test time: lossless files give exactly ImageMagick's decode (alpha over black), lossy ones
// stay within a stated error of their source; orientations are applied once and fitted in the
// upright axes; damaged and hostile files are refused. A test whose encoder is absent is skipped.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/DibImage.h"
#include "image/Resample.h"
#include "photo/PhotoFormat.h"
#include "photo/Photograph.h"

namespace kavrosa {
namespace {

namespace fs = std::filesystem;

// Top-down RGB pixels.
struct Picture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> rgb;
};

std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool RunQuietly(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

bool Have(const std::string& tool) {
  return RunQuietly("command -v " + tool);
}

// ImageMagick itself, not a wrapper that may stand first on PATH.
std::string Convert() {
  return fs::exists("/usr/bin/convert") ? "/usr/bin/convert" : "convert";
}

// A binary PPM as ImageMagick writes it (P6, maxval 255, no comments).
Picture ReadPpm(const fs::path& path) {
  const std::vector<uint8_t> bytes = ReadBytes(path);
  Picture picture;
  int maxval = 0, used = 0;
  const std::string text(bytes.begin(), bytes.begin() + std::min<size_t>(bytes.size(), 64));
  if (std::sscanf(text.c_str(), "P6 %d %d %d%n", &picture.width, &picture.height, &maxval, &used) !=
          3 ||
      maxval != 255) {
    return Picture{};
  }
  const size_t start = static_cast<size_t>(used) + 1;
  const size_t count = size_t(picture.width) * size_t(picture.height) * 3;
  if (bytes.size() < start + count) return Picture{};
  picture.rgb.assign(bytes.begin() + start, bytes.begin() + start + count);
  return picture;
}

// What ImageMagick shows of `file` over black, after `operations` (e.g. "-rotate 90").
Picture Reference(const fs::path& file, const std::string& operations = "") {
  const fs::path out = file.string() + ".ref.ppm";
  if (!RunQuietly(Convert() + " '" + file.string() + "' -background black -flatten " + operations +
                  " -depth 8 PPM:'" + out.string() + "'")) {
    return Picture{};
  }
  return ReadPpm(out);
}

// The loaded picture, bottom-up BGR rows, as top-down RGB.
Picture Shown(DibImage& image) {
  Picture picture;
  const Size size = image.GetSize(true);
  picture.width = size.cx;
  picture.height = size.cy;
  BlockLock lock(image.pixelBlock());
  const size_t stride = (size_t(size.cx) * 3 + 3) / 4 * 4;
  if (!lock || lock.size() < stride * size_t(size.cy)) return Picture{};
  for (int32_t y = size.cy - 1; y >= 0; --y) {
    const uint8_t* row = lock.data() + stride * size_t(y);
    for (int32_t x = 0; x < size.cx; ++x) {
      picture.rgb.insert(picture.rgb.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
    }
  }
  return picture;
}

bool Load(const fs::path& file, Size bound, Picture& shown) {
  const std::vector<uint8_t> bytes = ReadBytes(file);
  DibImage image;
  if (!LoadPhotographFromMemory(bytes.data(), bytes.size(), bound, image)) return false;
  shown = Shown(image);
  return true;
}

int MaxDifference(const Picture& a, const Picture& b) {
  int most = 0;
  for (size_t i = 0; i < a.rgb.size() && i < b.rgb.size(); ++i)
    most = std::max(most, std::abs(int(a.rgb[i]) - int(b.rgb[i])));
  return most;
}

double MeanDifference(const Picture& a, const Picture& b) {
  double sum = 0;
  for (size_t i = 0; i < a.rgb.size() && i < b.rgb.size(); ++i)
    sum += std::abs(int(a.rgb[i]) - int(b.rgb[i]));
  return a.rgb.empty() ? 0 : sum / double(a.rgb.size());
}

// One folder of pictures for the whole suite. source.png is a 64 x 48 photograph-like picture
// with no symmetry (a swirled gradient, a dark corner), so any turn or mirror shows; alpha.png
// adds an alpha ramp from opaque at the top to clear at the bottom.
class Codecs : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = fs::temp_directory_path() / ("kavrosa-codecs-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    ready_ =
        RunQuietly(Convert() + " -size 64x48 gradient:orange-navy -swirl 120 -fill black -draw " +
                   "'rectangle 0,0 9,6' -depth 8 PNG24:'" + (dir_ / "source.png").string() + "'") &&
        RunQuietly(Convert() + " '" + (dir_ / "source.png").string() +
                   "' \\( -size 64x48 gradient:white-black \\) -alpha off -compose CopyOpacity " +
                   "-composite -depth 8 PNG32:'" + (dir_ / "alpha.png").string() + "'");
  }
  static void TearDownTestSuite() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  void SetUp() override {
    if (!ready_) GTEST_SKIP() << "ImageMagick's convert cannot make the pictures";
  }

  // Runs `command` with {src}, {alpha} and {out} put in; skips when `tool` is absent.
  fs::path Make(const std::string& name, const std::string& tool, std::string command) {
    const fs::path out = dir_ / name;
    const auto put = [&command](const std::string& key, const std::string& value) {
      for (size_t at; (at = command.find(key)) != std::string::npos;)
        command.replace(at, key.size(), "'" + value + "'");
    };
    put("{src}", (dir_ / "source.png").string());
    put("{alpha}", (dir_ / "alpha.png").string());
    put("{out}", out.string());
    put("{convert}", Convert());
    if (!Have(tool)) return fs::path();
    return RunQuietly(command) ? out : fs::path();
  }

  static fs::path dir_;
  static bool ready_;
};

fs::path Codecs::dir_;
bool Codecs::ready_ = false;

struct LosslessCase {
  const char* name;
  const char* tool;
  const char* command;
  // The file whose ImageMagick decode is expected: "" for the file itself, "[0]" for its first
  // frame.
  const char* reference;
  int maxDifference;
};

class Lossless : public Codecs, public ::testing::WithParamInterface<LosslessCase> {};

TEST_P(Lossless, GivesTheReferenceDecodeExactly) {
  const LosslessCase& c = GetParam();
  const fs::path file = Make(c.name, c.tool, c.command);
  if (file.empty()) GTEST_SKIP() << c.tool << " cannot make " << c.name;
  const std::string ref = c.reference;
  const Picture expected = Reference(ref.empty()    ? file
                                     : ref == "[0]" ? fs::path(file.string() + "[0]")
                                                    : dir_ / ref);
  ASSERT_GT(expected.width, 0);
  Picture shown;
  ASSERT_TRUE(Load(file, Size{}, shown));
  EXPECT_EQ(shown.width, 64);
  EXPECT_EQ(shown.height, 48);
  EXPECT_LE(MaxDifference(shown, expected), c.maxDifference);
}

constexpr const char* kMagick = "/usr/bin/convert";
// ImageMagick truncates where we round (16-bit samples to 8, colour times alpha), so those cases
// may differ by one level; a wrong reduction (the low byte kept, alpha ignored, a colour table
// misread) costs far more.
INSTANTIATE_TEST_SUITE_P(
    Formats, Lossless,
    ::testing::Values(
        LosslessCase{"rgb.png", kMagick, "{convert} {src} PNG24:{out}", "", 0},
        LosslessCase{"rgb48.png", kMagick, "{convert} {src} -depth 16 PNG48:{out}", "", 0},
        LosslessCase{"palette.png", kMagick, "{convert} {src} -colors 20 PNG8:{out}", "", 0},
        LosslessCase{"grey.png", kMagick, "{convert} {src} -colorspace Gray -depth 8 {out}", "", 0},
        LosslessCase{"grey16.png", kMagick, "{convert} {src} -colorspace Gray -depth 16 {out}", "",
                     1},
        LosslessCase{"rgba.png", kMagick, "{convert} {alpha} PNG32:{out}", "", 1},
        LosslessCase{"rgba64.png", kMagick, "{convert} {alpha} -depth 16 PNG64:{out}", "", 1},
        LosslessCase{"interlaced.png", kMagick, "{convert} {alpha} -interlace PNG PNG32:{out}", "",
                     1},
        LosslessCase{"rgb.tif", kMagick, "{convert} {src} -compress lzw {out}", "", 0},
        LosslessCase{"rgb16.tif", kMagick, "{convert} {src} -depth 16 {out}", "", 1},
        LosslessCase{"palette.tif", kMagick, "{convert} {src} -colors 20 -type Palette {out}", "",
                     1},
        LosslessCase{"grey.tif", kMagick, "{convert} {src} -colorspace Gray {out}", "", 0},
        LosslessCase{"rgba.tif", kMagick, "{convert} {alpha} {out}", "", 1},
        LosslessCase{"pages.tif", kMagick, "{convert} {src} \\( {alpha} -rotate 90 \\) {out}",
                     "source.png", 0},
        LosslessCase{"rgb.gif", kMagick, "{convert} {src} -colors 64 {out}", "", 0},
        LosslessCase{"clear.gif", kMagick, "{convert} {alpha} -colors 64 {out}", "", 0},
        LosslessCase{"animated.gif", kMagick, "{convert} -delay 10 {src} {alpha} -colors 64 {out}",
                     "[0]", 0},
        LosslessCase{"interlaced.gif", kMagick, "{convert} {src} -interlace GIF {out}", "", 0},
        LosslessCase{"lossless.webp", "cwebp", "cwebp -quiet -lossless {src} -o {out}",
                     "source.png", 0},
        LosslessCase{"alpha.webp", "cwebp", "cwebp -quiet -lossless -exact {alpha} -o {out}",
                     "alpha.png", 1},
        LosslessCase{"animated.webp", "img2webp", "img2webp -lossless {src} {alpha} -o {out}",
                     "source.png", 0}),
    [](const auto& info) {
      std::string name = info.param.name;
      for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name;
    });

struct LossyCase {
  const char* name;
  const char* tool;
  const char* command;
  const char* source;
  double meanError;  // measured on these pictures, with room
};

class Lossy : public Codecs, public ::testing::WithParamInterface<LossyCase> {};

// Lossy coders blur the swirl's edges, but a swapped channel, a mirror or a shifted row costs
// tens of levels on average.
TEST_P(Lossy, StaysNearItsSource) {
  const LossyCase& c = GetParam();
  const fs::path file = Make(c.name, c.tool, c.command);
  if (file.empty()) GTEST_SKIP() << c.tool << " cannot make " << c.name;
  const Picture expected = Reference(dir_ / c.source);
  Picture shown;
  ASSERT_TRUE(Load(file, Size{}, shown));
  ASSERT_EQ(shown.width, 64);
  ASSERT_EQ(shown.height, 48);
  EXPECT_LT(MeanDifference(shown, expected), c.meanError);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, Lossy,
    ::testing::Values(
        LossyCase{"lossy.webp", "cwebp", "cwebp -quiet -q 90 {src} -o {out}", "source.png", 3},
        LossyCase{"lossy-alpha.webp", "cwebp", "cwebp -quiet -q 90 {alpha} -o {out}", "alpha.png",
                  3},
        LossyCase{"photo.heic", "heif-enc", "heif-enc -q 90 {src} -o {out}", "source.png", 3},
        LossyCase{"alpha.heic", "heif-enc", "heif-enc -q 90 {alpha} -o {out}", "alpha.png", 3},
        LossyCase{"photo.avif", "heif-enc", "heif-enc -A -q 90 {src} -o {out}", "source.png", 3}),
    [](const auto& info) {
      std::string name = info.param.name;
      for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name;
    });

struct TurnCase {
  const char* name;
  const char* tool;
  const char* command;
  const char* turn;  // what ImageMagick does to the stored picture to show it upright
};

class Upright : public Codecs, public ::testing::WithParamInterface<TurnCase> {};

// Each file stores source.png as it is, with an orientation that says how to turn it; the
// picture must arrive turned exactly once (a turn applied twice, or not at all, shows as 48 x 64
// or as a mirrored picture).
TEST_P(Upright, IsTurnedOnce) {
  const TurnCase& c = GetParam();
  const fs::path file = Make(c.name, c.tool, c.command);
  if (file.empty()) GTEST_SKIP() << c.tool << " cannot make " << c.name;
  const Picture expected = Reference(dir_ / "source.png", c.turn);
  ASSERT_GT(expected.width, 0);
  Picture shown;
  ASSERT_TRUE(Load(file, Size{}, shown));
  ASSERT_EQ(shown.width, expected.width);
  ASSERT_EQ(shown.height, expected.height);
  const std::string name = c.name;
  if (name.find(".heic") != std::string::npos || name.find(".avif") != std::string::npos) {
    EXPECT_LT(MeanDifference(shown, expected), 3);
  } else {
    EXPECT_EQ(MaxDifference(shown, expected), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, Upright,
    ::testing::Values(
        TurnCase{"six.png", "exiftool",
                 "{convert} {src} PNG24:{out} && exiftool -q -n -Orientation=6 "
                 "-overwrite_original {out}",
                 "-rotate 90"},
        // eXIf may follow the image data: the orientation must be known before the rows come.
        TurnCase{"six-late.png", "exiftool",
                 "{convert} {src} PNG24:{out} && exiftool -q -n -Orientation=6 "
                 "-overwrite_original {out} && python3 move_exif_after_idat.py {out}",
                 "-rotate 90"},
        TurnCase{"eight.png", "exiftool",
                 "{convert} {src} PNG24:{out} && exiftool -q -n -Orientation=8 "
                 "-overwrite_original {out}",
                 "-rotate 270"},
        TurnCase{"five.tif", "exiftool",
                 "{convert} {src} {out} && exiftool -q -n -Orientation=5 -overwrite_original {out}",
                 "-transpose"},
        TurnCase{"two.tif", "exiftool",
                 "{convert} {src} {out} && exiftool -q -n -Orientation=2 -overwrite_original {out}",
                 "-flop"},
        TurnCase{"six.webp", "exiftool",
                 "cwebp -quiet -lossless {src} -o {out} && exiftool -q -n -Orientation=6 "
                 "-overwrite_original {out}",
                 "-rotate 90"},
        // In HEIF the file's own rotation and mirroring rule (libheif applies them); an Exif
        // block inside is not to be followed, or a phone's picture would turn twice. heif-enc
        // keeps a JPEG's Exif orientation 6 but writes no rotation: the picture stays as stored.
        TurnCase{"six.heic", "heif-enc",
                 "{convert} {src} -quality 95 {out}.jpg && exiftool -q -n -Orientation=6 "
                 "-overwrite_original {out}.jpg && heif-enc -q 90 {out}.jpg -o {out}",
                 ""},
        // The same file given its own rotation (a quarter turn anticlockwise, three times): turned
        // once by it, and not once more by the Exif 6 still inside.
        TurnCase{"irot.heic", "heif-enc",
                 "{convert} {src} -quality 95 {out}.jpg && exiftool -q -n -Orientation=6 "
                 "-overwrite_original {out}.jpg && heif-enc -q 90 {out}.jpg -o {out} && "
                 "python3 turn_heif.py {out} 3",
                 "-rotate 90"},
        TurnCase{"irot.avif", "heif-enc",
                 "heif-enc -A -q 90 {src} -o {out} && python3 turn_heif.py {out} 1",
                 "-rotate 270"}),
    [](const auto& info) {
      std::string name = info.param.name;
      for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name;
    });

// A turned picture is fitted in its upright axes, and the rows reduced as they arrive give the
// bytes the whole-picture resampler gives.
TEST_F(Codecs, TurnedPictureIsFittedUpright) {
  const fs::path file = Make("fit-six.png", "exiftool",
                             "{convert} {src} PNG24:{out} && exiftool -q -n -Orientation=6 "
                             "-overwrite_original {out}");
  if (file.empty()) GTEST_SKIP() << "exiftool cannot make fit-six.png";
  Picture whole, fitted;
  ASSERT_TRUE(Load(file, Size{}, whole));
  ASSERT_TRUE(Load(file, Size{32, 24}, fitted));
  ASSERT_EQ(fitted.width, 18);  // 48 x 64 upright, fitted to a height of 24
  ASSERT_EQ(fitted.height, 24);
  // The reference: the whole upright picture resampled at once (row order and channel order do
  // not matter to the filter).
  std::vector<uint8_t> reduced(size_t(18) * 24 * 3);
  ASSERT_TRUE(Resample24(PixelRows24{whole.rgb.data(), 48, 64, 48 * 3},
                         MutablePixelRows24{reduced.data(), 18, 24, 18 * 3}));
  EXPECT_EQ(fitted.rgb, reduced);
}

// What a folder may hold that is not what it claims: every format cut short, random bytes behind
// a real signature, one format under another's name, and sizes no file should be believed about.
TEST_F(Codecs, RefusesDamagedAndHostileFiles) {
  const char* made[] = {"rgb.png",       "interlaced.png", "rgb.tif",    "rgb.gif",
                        "lossless.webp", "lossy.webp",     "photo.heic", "photo.avif"};
  for (const char* name : made) {
    const fs::path file = dir_ / name;
    if (!fs::exists(file)) continue;  // its encoder is absent
    const std::vector<uint8_t> bytes = ReadBytes(file);
    for (size_t cut : {size_t{0}, size_t{8}, size_t{40}, bytes.size() / 2, bytes.size() - 1}) {
      DibImage image;
      EXPECT_FALSE(LoadPhotographFromMemory(bytes.data(), cut, Size{}, image))
          << name << " cut to " << cut;
      EXPECT_EQ(image.loaded(), 0);
    }
    std::vector<uint8_t> noise(bytes.begin(), bytes.begin() + 12);
    uint32_t x = 12345;
    while (noise.size() < 4096)
      noise.push_back(static_cast<uint8_t>((x = x * 1103515245 + 12345) >> 24));
    DibImage image;
    EXPECT_FALSE(LoadPhotographFromMemory(noise.data(), noise.size(), Size{}, image)) << name;
  }
  // A PNG named .jpg is a PNG: the bytes decide.
  const fs::path renamed = dir_ / "really-a-png.jpg";
  fs::copy_file(dir_ / "source.png", renamed, fs::copy_options::overwrite_existing);
  DibImage image;
  EXPECT_TRUE(LoadPhotograph(renamed.string(), Size{}, image));
  EXPECT_EQ(image.GetSize(true), (Size{64, 48}));
}

// Headers that claim a picture far beyond the checked-size rule, in files of a few dozen bytes.
TEST(CodecBombs, AreRefusedFromTheHeader) {
  const std::vector<std::vector<uint8_t>> bombs = {
      // PNG: IHDR 30000 x 30000 (within libpng's own limits), a little image data, IEND.
      {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48,
       0x44, 0x52, 0x00, 0x00, 0x75, 0x30, 0x00, 0x00, 0x75, 0x30, 0x08, 0x02, 0x00, 0x00,
       0x00, 0xE9, 0x45, 0x6F, 0xED, 0x00, 0x00, 0x00, 0x0C, 0x49, 0x44, 0x41, 0x54, 0x78,
       0x9C, 0x63, 0x60, 0xA0, 0x3D, 0x00, 0x00, 0x00, 0x64, 0x00, 0x01, 0x86, 0x64, 0x3C,
       0x35, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82},
      // PNG: a 24 x 16 header, then a text chunk claiming 1.6 GB (libpng would allocate it).
      {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49,
       0x48, 0x44, 0x52, 0x00, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00, 0x10, 0x08, 0x02,
       0x00, 0x00, 0x00, 0x83, 0x46, 0x28, 0xC2, 0x61, 0x76, 0x69, 0x73, 0x74, 0x45,
       0x58, 0x74, 0x43, 0x6F, 0x6D, 0x6D, 0x65, 0x6E, 0x74, 0x00},
      // GIF: a 65535 x 65535 screen and frame.
      {'G', 'I',  'F', '8', '9', 'a', 0xFF, 0xFF, 0xFF, 0xFF, 0x80, 0, 0, 0,    0,    0, 255, 255,
       255, 0x2C, 0,   0,   0,   0,   0xFF, 0xFF, 0xFF, 0xFF, 0,    2, 2, 0x4C, 0x01, 0, 0x3B},
      // TIFF: 40000 x 40000, one strip.
      {'I', 'I', 42,   0,    8, 0, 0,    0,    4, 0, 0x00, 0x01, 4, 0, 1,    0,
       0,   0,   0x40, 0x9C, 0, 0, 0x01, 0x01, 4, 0, 1,    0,    0, 0, 0x40, 0x9C,
       0,   0,   0x02, 0x01, 3, 0, 1,    0,    0, 0, 8,    0,    0, 0, 0x06, 0x01,
       3,   0,   1,    0,    0, 0, 1,    0,    0, 0, 0,    0,    0, 0},
      // WebP: a lossless header of 16384 x 16384.
      {'R', 'I', 'F', 'F',  26,   0,    0,    0,    'W',  'E', 'B', 'P', 'V', 'P', '8', 'L', 13,
       0,   0,   0,   0x2F, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0,   0,   0,   0,   0,   0,   0,   0},
  };
  for (const auto& bomb : bombs) {
    DibImage image;
    EXPECT_FALSE(LoadPhotographFromMemory(bomb.data(), bomb.size(), Size{1920, 1080}, image))
        << FormatName(RecogniseFormat(bomb.data(), bomb.size()));
  }
}

}  // namespace
}  // namespace kavrosa
