// The real kavrosa.scr over folders of photographs in the platform's formats under Wine: a HEIC
// and a WebP that Wine's imaging component cannot decode are skipped, and the PNG, TIFF or GIF
// after them is shown upright (its Exif orientation applied) and fitted to the screen, pixel for
// pixel as this process decodes it. The folders come from make_codec_folders.sh.
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "image/DibImage.h"
#include "photo/Photograph.h"
#include "tests/host/WineHarness_win.h"

namespace kavrosa::test {
namespace {

struct CodecFolder {
  const char* kind;
  Size shown;         // on the 1024 x 768 screen
  double redX, redY;  // where the stored top-left red corner lands, as fractions of the picture
};

class CodecFolderSaverTest : public ::testing::TestWithParam<CodecFolder> {
 protected:
  void SetUp() override {
    if (std::getenv("KAVROSA_CODEC_FOLDERS") == nullptr)
      GTEST_SKIP() << "run by host_codec_tests, after make_codec_folders.sh";
    SetCursorPos(200, 200);
  }
  ScratchDir dir_;
};

TEST_P(CodecFolderSaverTest, SkipsWhatHasNoCodecAndShowsTheRestUpright) {
  const CodecFolder& c = GetParam();
  const std::string folder =
      WindowsPath(std::string(std::getenv("KAVROSA_CODEC_FOLDERS")) + "/" + c.kind);
  const std::string photo = folder + "\\c." + c.kind;
  ASSERT_NE(GetFileAttributesA(photo.c_str()), INVALID_FILE_ATTRIBUTES) << photo;
  // This process decodes it through the same codec: what the screen must show.
  DibImage expected;
  ASSERT_TRUE(LoadPhotograph(photo, Size{1024, 768}, expected));
  const Size size = expected.GetSize(true);
  ASSERT_EQ(size, c.shown);
  DibImage skipped;
  EXPECT_FALSE(LoadPhotograph(folder + "\\a.heic", Size{1024, 768}, skipped));
  EXPECT_FALSE(LoadPhotograph(folder + "\\b.webp", Size{1024, 768}, skipped));

  ASSERT_TRUE(dir_.Add(ScrPath(), "kavrosa.scr"));
  WriteFileBytes(IniPath(dir_, "kavrosa.scr"),
                 "[Config]\r\nFitImage=1\r\n[Image]\r\nFolder=" + folder + "\r\n");
  ChildProcess saver;
  ASSERT_TRUE(saver.Start(dir_.File("kavrosa.scr"), "/s"));
  ASSERT_NE(WaitForWindow(kSaverClass, kSaverTitle, kStartLimitMs), nullptr);
  Pump(5000);  // past the first hand-over and the dissolve-in
  const int32_t left = (GetSystemMetrics(SM_CXSCREEN) - size.cx) / 2;
  const int32_t top = (GetSystemMetrics(SM_CYSCREEN) - size.cy) / 2;
  const int mismatches = ScreenMismatchesCentred(expected);
  HDC screen = GetDC(nullptr);
  const COLORREF red = GetPixel(screen, left + static_cast<int>(c.redX * (size.cx - 1)),
                                top + static_cast<int>(c.redY * (size.cy - 1)));
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(GetRValue(red), 200);
  EXPECT_LT(GetGValue(red) + GetBValue(red), 60);
  PressKey(VK_SPACE);
  const std::optional<DWORD> code = saver.Wait(15000);
  ASSERT_TRUE(code.has_value()) << "the saver did not close";
  EXPECT_EQ(*code, 0u);
  const std::string ini = ReadFileBytes(IniPath(dir_, "kavrosa.scr"));
  EXPECT_NE(ini.find(std::string("File=c.") + c.kind), std::string::npos) << ini;
}

// Stored 1600 x 1200 with the red corner at its top left: orientation 6 turns it clockwise (the
// corner goes to the top right), 8 anticlockwise (bottom left); the GIF is not turned.
INSTANTIATE_TEST_SUITE_P(Formats, CodecFolderSaverTest,
                         ::testing::Values(CodecFolder{"png", Size{576, 768}, 0.97, 0.03},
                                           CodecFolder{"tif", Size{576, 768}, 0.03, 0.97},
                                           CodecFolder{"gif", Size{1024, 768}, 0.03, 0.03}),
                         [](const auto& info) { return std::string(info.param.kind); });

}  // namespace
}  // namespace kavrosa::test

#endif  // _WIN32
