// kavrosa-tool frames: runs the real controller and prefetch thread against a software window
// and writes what the window shows after each tick as a BMP. The tool is a shell of its own: it
// hands the controller its configuration (the settings file, the monitors) and calls start,
// tick and stop directly. Ticks come one after another, as fast as they render; the only waits
// are the controller's own hand-over waits and, with a photograph folder, a bounded wait for the
// folder worker before each hand-over tick, so that the frames come out the same on every run.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/SoftwareWindowPort.h"
#include "slideshow/ShowConfig.h"
#include "slideshow/SlideShow.h"
#include "tools/Commands.h"

namespace kavrosa::tool {
namespace {

constexpr int32_t kMaxSide = 8192;
constexpr long kMaxTick = 1000000;
constexpr long kMaxFolderWait = 600000;

struct FramesOptions {
  std::string settings;
  Size size{640, 480};
  Point origin{0, 0};
  long firstTick = -1;
  long lastTick = -1;
  std::string outDir;
  std::vector<Rect> monitors;  // empty: one monitor, the whole client area
  long folderWaitMs = 10000;
};

int Refuse(const char* message) {
  std::fprintf(stderr, "kavrosa-tool frames: %s\n", message);
  return 2;
}

// A whole decimal number within [low, high], followed by `separator` (or the end for '\0').
bool ParseNumber(const char*& text, long low, long high, char separator, long& value) {
  errno = 0;
  char* end = nullptr;
  value = std::strtol(text, &end, 10);
  if (end == text || errno != 0 || value < low || value > high || *end != separator) return false;
  text = separator == '\0' ? end : end + 1;
  return true;
}

bool ParsePair(const char* text, char separator, long low, long high, long& a, long& b) {
  return ParseNumber(text, low, high, separator, a) && ParseNumber(text, low, high, '\0', b);
}

// "X,Y,WxH;X,Y,WxH...": monitors in client coordinates, the primary first.
bool ParseMonitors(const char* text, std::vector<Rect>& monitors) {
  monitors.clear();
  while (true) {
    long x = 0, y = 0, w = 0, h = 0;
    if (!ParseNumber(text, -kMaxSide * 4, kMaxSide * 4, ',', x) ||
        !ParseNumber(text, -kMaxSide * 4, kMaxSide * 4, ',', y) ||
        !ParseNumber(text, 1, kMaxSide, 'x', w)) {
      return false;
    }
    const char* rest = text;
    errno = 0;
    char* end = nullptr;
    h = std::strtol(rest, &end, 10);
    if (end == rest || errno != 0 || h < 1 || h > kMaxSide || (*end != ';' && *end != '\0')) {
      return false;
    }
    monitors.push_back(Rect{static_cast<int32_t>(x), static_cast<int32_t>(y),
                            static_cast<int32_t>(x + w), static_cast<int32_t>(y + h)});
    if (monitors.size() > kMaxMonitors) return false;
    if (*end == '\0') return true;
    text = end + 1;
  }
}

// Returns nullptr when the options are good, else the reason.
const char* ParseOptions(int argc, char** argv, FramesOptions& options) {
  for (int i = 0; i < argc; i += 2) {
    const std::string name = argv[i];
    if (i + 1 >= argc) return "each option needs a value";
    const char* value = argv[i + 1];
    long a = 0, b = 0;
    if (name == "--settings") {
      options.settings = value;
    } else if (name == "--out") {
      options.outDir = value;
    } else if (name == "--size") {
      if (!ParsePair(value, 'x', 1, kMaxSide, a, b)) return "--size must be WxH, each 1 to 8192";
      options.size = Size{static_cast<int32_t>(a), static_cast<int32_t>(b)};
    } else if (name == "--origin") {
      if (!ParsePair(value, ',', -kMaxSide * 4, kMaxSide * 4, a, b)) {
        return "--origin must be X,Y";
      }
      options.origin = Point{static_cast<int32_t>(a), static_cast<int32_t>(b)};
    } else if (name == "--monitors") {
      if (!ParseMonitors(value, options.monitors)) {
        return "--monitors must be X,Y,WxH[;X,Y,WxH...], at most 16, each side 1 to 8192";
      }
    } else if (name == "--folder-wait") {
      if (!ParseNumber(value, 0, kMaxFolderWait, '\0', a)) {
        return "--folder-wait must be milliseconds, 0 to 600000";
      }
      options.folderWaitMs = a;
    } else if (name == "--ticks") {
      if (!ParsePair(value, ':', 0, kMaxTick, a, b) || a > b) {
        return "--ticks must be FIRST:LAST with 0 <= FIRST <= LAST <= 1000000";
      }
      options.firstTick = a;
      options.lastTick = b;
    } else {
      return "unknown option";
    }
  }
  if (options.settings.empty()) return "--settings FILE.INI is required";
  if (options.firstTick < 0) return "--ticks FIRST:LAST is required";
  if (options.outDir.empty()) return "--out DIR is required";
  return nullptr;
}

bool WriteFrame(const SoftwareWindowPort& window, const std::string& dir, long tick) {
  char name[32];
  std::snprintf(name, sizeof name, "tick-%05ld.bmp", tick);
  const std::string path = (std::filesystem::path(dir) / name).string();
  if (window.SaveBmp(path)) return true;
  std::fprintf(stderr, "kavrosa-tool frames: cannot write %s\n", path.c_str());
  return false;
}

// Before a hand-over tick, gives a folder worker that is still loading time to finish.
void AwaitFolderPicture(const FramesOptions& options, SlideShow& show) {
  if (show.periodTicks() <= 0) return;
  if (Counters().tickPhase % show.periodTicks() != 0) return;
  show.WaitForFolderWorker(static_cast<uint32_t>(options.folderWaitMs));
}

// Start (tick 0 runs inside it), ticks 1..last, stop (which records the picture on screen).
int RunShow(const FramesOptions& options, SoftwareWindowPort& window) {
  ShowConfig config;
  config.settingsPath = options.settings;
  config.monitors = options.monitors;
  SlideShow show(std::move(config));
  show.Start(window);
  bool ok = options.firstTick != 0 || WriteFrame(window, options.outDir, 0);
  for (long tick = 1; ok && tick <= options.lastTick; ++tick) {
    AwaitFolderPicture(options, show);
    show.Tick(window);
    if (tick >= options.firstTick) ok = WriteFrame(window, options.outDir, tick);
  }
  show.Stop(window);
  return ok ? 0 : 1;
}

}  // namespace

int RunFrames(int argc, char** argv) {
  FramesOptions options;
  if (const char* problem = ParseOptions(argc, argv, options)) return Refuse(problem);
  std::error_code error;
  std::filesystem::create_directories(options.outDir, error);
  if (!std::filesystem::is_directory(options.outDir, error)) {
    return Refuse("--out is not a directory and cannot be made");
  }
  SoftwareWindowPort window(options.size, options.origin);
  if (!window.ok()) return Refuse("no memory for a window of that size");
  return RunShow(options, window);
}

}  // namespace kavrosa::tool
