// The X11 program's command line and settings place: both spellings of every option, the
// daemon's window winning, refusals with the option's name, and the XDG path rule.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "xshell/Options.h"
#include "xshell/SettingsLocation.h"

namespace kavrosa::xshell {
namespace {

struct OptionsCase {
  std::vector<const char*> args;
  const char* saverWindow;
  const char* problem;  // "" when accepted
  Target target = Target::kOwnWindow;
  unsigned long windowId = 0;
  int32_t interval = 0;  // none given
  bool fit = false;
};

class CommandLine : public ::testing::TestWithParam<OptionsCase> {};

TEST_P(CommandLine, ReadsAsXscreensaverProgramsDo) {
  const OptionsCase& c = GetParam();
  std::vector<const char*> argv{"kavrosa"};
  argv.insert(argv.end(), c.args.begin(), c.args.end());
  Options options;
  const std::string problem =
      ParseOptions(static_cast<int>(argv.size()), argv.data(), c.saverWindow, options);
  EXPECT_EQ(problem, c.problem);
  if (!problem.empty()) return;
  EXPECT_EQ(options.target, c.target);
  EXPECT_EQ(options.windowId, c.windowId);
  EXPECT_EQ(options.intervalSeconds.value_or(0), c.interval);
  EXPECT_EQ(options.fit, c.fit);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLine,
    ::testing::Values(
        OptionsCase{{}, nullptr, "", Target::kOwnWindow, 0, 0, false},
        OptionsCase{{"-root"}, nullptr, "", Target::kRoot, 0, 0, false},
        OptionsCase{{"--root", "--fit"}, nullptr, "", Target::kRoot, 0, 0, true},
        OptionsCase{
            {"-window-id", "0x1a00003"}, nullptr, "", Target::kWindowId, 0x1a00003, 0, false},
        OptionsCase{{"--window-id", "4194307"}, nullptr, "", Target::kWindowId, 4194307, 0, false},
        OptionsCase{{"-root", "-window"}, nullptr, "", Target::kOwnWindow, 0, 0, false},
        OptionsCase{{"-interval", "15"}, nullptr, "", Target::kOwnWindow, 0, 15, false},
        OptionsCase{{"--interval", "300", "-root"}, nullptr, "", Target::kRoot, 0, 300, false},
        // The daemon's window wins over the command line, in either base.
        OptionsCase{{"--root"}, "0x400007", "", Target::kWindowId, 0x400007, 0, false},
        OptionsCase{{"-window-id", "5"}, "77", "", Target::kWindowId, 77, 0, false},
        OptionsCase{{"-root"}, "", "", Target::kRoot, 0, 0, false},
        OptionsCase{
            {"-interval", "14"}, nullptr, "-interval needs a number of seconds from 15 to 300"},
        OptionsCase{
            {"-interval", "301"}, nullptr, "-interval needs a number of seconds from 15 to 300"},
        OptionsCase{
            {"-interval", "20s"}, nullptr, "-interval needs a number of seconds from 15 to 300"},
        OptionsCase{{"-interval"}, nullptr, "-interval needs a number of seconds from 15 to 300"},
        OptionsCase{{"-window-id"}, nullptr, "-window-id needs a window id (decimal or 0x hex)"},
        OptionsCase{
            {"-window-id", "root"}, nullptr, "-window-id needs a window id (decimal or 0x hex)"},
        OptionsCase{{"-fps"}, nullptr, "unknown option -fps (try -help)"},
        OptionsCase{{"root"}, nullptr, "unknown option root (try -help)"},
        OptionsCase{{}, "0xZZ", "XSCREENSAVER_WINDOW is not a window id"}));

TEST(FolderOptions, FolderTakesAPathAndShuffleIsAFlag) {
  Options options;
  const char* argv[] = {"kavrosa", "--folder", "/media/photos", "-shuffle"};
  EXPECT_EQ(ParseOptions(4, argv, nullptr, options), "");
  EXPECT_EQ(options.folder.value_or("none"), "/media/photos");
  EXPECT_TRUE(options.shuffle);
  Options missing;
  const char* bare[] = {"kavrosa", "-folder"};
  EXPECT_EQ(ParseOptions(2, bare, nullptr, missing), "-folder needs a folder of photographs");
}

TEST(WindowIds, DecimalOrHexNonzeroWithin32Bits) {
  EXPECT_EQ(ParseWindowId("0x2c00007").value_or(0), 0x2c00007u);
  EXPECT_EQ(ParseWindowId("0XfF").value_or(0), 255u);
  EXPECT_EQ(ParseWindowId("12345").value_or(0), 12345u);
  EXPECT_EQ(ParseWindowId("4294967295").value_or(0), 4294967295u);
  for (const char* bad : {"", "0", "0x", "0x0", "-5", " 5", "+5", "5 ", "4294967296", "0x100000000",
                          "99999999999999999999999", "12ab", "0xg"}) {
    EXPECT_FALSE(ParseWindowId(bad).has_value()) << bad;
  }
  EXPECT_FALSE(ParseWindowId(nullptr).has_value());
}

TEST(SettingsPlace, XdgConfigHomeThenHomeDotConfig) {
  EXPECT_EQ(SettingsFilePath("/x/cfg", "/home/u"), "/x/cfg/kavrosa/kavrosa.ini");
  EXPECT_EQ(SettingsFilePath("/x/cfg//", "/home/u"), "/x/cfg/kavrosa/kavrosa.ini");
  EXPECT_EQ(SettingsFilePath(nullptr, "/home/u"), "/home/u/.config/kavrosa/kavrosa.ini");
  // A relative XDG_CONFIG_HOME is to be ignored.
  EXPECT_EQ(SettingsFilePath("cfg", "/home/u"), "/home/u/.config/kavrosa/kavrosa.ini");
  EXPECT_EQ(SettingsFilePath("", "/home/u"), "/home/u/.config/kavrosa/kavrosa.ini");
  EXPECT_EQ(SettingsFilePath(nullptr, nullptr), "");
  EXPECT_EQ(SettingsFilePath(nullptr, "relative"), "");
}

TEST(SettingsPlace, DirectoriesAreMadeOnlyWhereTheyCanBe) {
  namespace fs = std::filesystem;
  const fs::path base = fs::temp_directory_path() / ("kavrosa-place-" + std::to_string(::getpid()));
  const std::string file = SettingsFilePath(base.c_str(), nullptr);
  EXPECT_TRUE(MakeParentDirectories(file));
  EXPECT_TRUE(fs::is_directory(base / "kavrosa"));
  EXPECT_EQ(fs::status(base / "kavrosa").permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_TRUE(MakeParentDirectories(file));  // already there
  // A file where the directory should be: refused, and nothing replaced.
  fs::remove_all(base);
  fs::create_directories(base);
  {
    std::FILE* f = std::fopen((base / "kavrosa").c_str(), "w");
    std::fclose(f);
  }
  EXPECT_FALSE(MakeParentDirectories(file));
  EXPECT_TRUE(fs::is_regular_file(base / "kavrosa"));
  fs::remove_all(base);
}

}  // namespace
}  // namespace kavrosa::xshell
