// Options of the X11 program. Values are whole numbers checked against their range; anything
// else is refused with the option's name, so that a typo in ~/.xscreensaver is seen at once.
#include "xshell/Options.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "settings/Settings.h"

namespace kavrosa::xshell {
namespace {

// "--root" and "-root" are the same option.
std::string OptionName(const char* arg) {
  if (arg[0] != '-') return std::string();
  return std::string(arg[1] == '-' ? arg + 2 : arg + 1);
}

std::optional<long> ParseDecimal(const char* text, long low, long high) {
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || errno != 0 || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::optional<unsigned long> ParseWindowId(const char* text) {
  if (text == nullptr) return std::nullopt;
  const bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const char* digits = hex ? text + 2 : text;
  // strtoull would also take blanks and a sign; an id starts with a digit of its base.
  const unsigned char first = static_cast<unsigned char>(digits[0]);
  if (!(hex ? std::isxdigit(first) : std::isdigit(first))) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(digits, &end, hex ? 16 : 10);
  if (end == digits || *end != '\0' || errno != 0 || value == 0 || value > 0xFFFFFFFFull) {
    return std::nullopt;
  }
  return static_cast<unsigned long>(value);
}

std::string ParseOptions(int argc, const char* const* argv, const char* saverWindow,
                         Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string name = OptionName(argv[i]);
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (name == "root") {
      options.target = Target::kRoot;
    } else if (name == "window") {
      options.target = Target::kOwnWindow;
    } else if (name == "fit") {
      options.fit = true;
    } else if (name == "help" || name == "h") {
      options.help = true;
    } else if (name == "window-id") {
      const auto id = ParseWindowId(value);
      if (!id) return "-window-id needs a window id (decimal or 0x hex)";
      options.target = Target::kWindowId;
      options.windowId = *id;
      ++i;
    } else if (name == "interval") {
      const auto seconds =
          value ? ParseDecimal(value, kMinIntervalSeconds, kMaxIntervalSeconds) : std::nullopt;
      if (!seconds) return "-interval needs a number of seconds from 15 to 300";
      options.intervalSeconds = static_cast<int32_t>(*seconds);
      ++i;
    } else if (name == "folder") {
      if (value == nullptr) return "-folder needs a folder of photographs";
      options.folder = value;
      ++i;
    } else if (name == "shuffle") {
      options.shuffle = true;
    } else if (name == "display") {
      if (value == nullptr) return "-display needs a display name";
      options.display = value;
      ++i;
    } else {
      return std::string("unknown option ") + argv[i] + " (try -help)";
    }
  }
  // The daemon's window wins over whatever the command line says.
  if (saverWindow != nullptr && saverWindow[0] != '\0') {
    const auto id = ParseWindowId(saverWindow);
    if (!id) return "XSCREENSAVER_WINDOW is not a window id";
    options.target = Target::kWindowId;
    options.windowId = *id;
  }
  return std::string();
}

const char* UsageText() {
  return "usage: kavrosa [-root | -window | -window-id ID] [-interval SECONDS] [-fit]\n"
         "               [-folder DIR] [-shuffle] [-display NAME]\n"
         "  -root            draw on the root window\n"
         "  -window          draw in a window of its own (the default); a key, a click or\n"
         "                   moving the pointer ends it\n"
         "  -window-id ID    draw in an existing window (decimal or 0x hex)\n"
         "  -interval S      show each picture S seconds, 15 to 300, for this run only\n"
         "  -fit             scale every picture to fit, for this run only\n"
         "  -folder DIR      show the photographs in DIR and its subfolders instead of the\n"
         "                   twelve embedded ones (\"\" for those), for this run only\n"
         "  -shuffle         show the folder's photographs in a new order each cycle\n"
         "Options may also be written with two dashes. XSCREENSAVER_WINDOW, when set, names\n"
         "the window to draw in. Settings: $XDG_CONFIG_HOME/kavrosa/kavrosa.ini.\n";
}

}  // namespace kavrosa::xshell
