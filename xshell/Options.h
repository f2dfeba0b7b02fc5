// The command line of the X11 program, read the way xscreensaver's own programs read theirs:
// every option with one dash or two, the window named by -root, -window-id or -window, and the
// XSCREENSAVER_WINDOW variable winning over all of them. No Xlib here, so it is tested natively.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kavrosa::xshell {

enum class Target {
  kOwnWindow,  // -window (and the default): a top-level window of our own
  kRoot,       // -root
  kWindowId,   // -window-id ID, or $XSCREENSAVER_WINDOW
};

struct Options {
  Target target = Target::kOwnWindow;
  unsigned long windowId = 0;
  std::string display;                     // -display NAME; empty: $DISPLAY
  std::optional<int32_t> intervalSeconds;  // -interval SECONDS, 15 to 300
  bool fit = false;                        // -fit
  std::optional<std::string> folder;       // -folder DIR ("" for the embedded photographs)
  bool shuffle = false;                    // -shuffle
  bool help = false;
};

// A window id as xscreensaver writes one: decimal or 0x hexadecimal, nonzero, within 32 bits.
std::optional<unsigned long> ParseWindowId(const char* text);

// Reads argv[1..argc-1] and the value of XSCREENSAVER_WINDOW (null when unset). Returns an
// empty string when the command line is good, else the one line to print.
std::string ParseOptions(int argc, const char* const* argv, const char* saverWindow,
                         Options& options);

// The usage text for -help.
const char* UsageText();

}  // namespace kavrosa::xshell
