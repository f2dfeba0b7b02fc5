// kavrosa-tool: runs pieces of the portable core on files, for people and scripts. --help (or
// -h) anywhere in a command's arguments prints that command's options on standard output and
// exits 0, before the command looks at them; every message ends its own line.
#include <cstdio>
#include <cstring>

#include "tools/Commands.h"

namespace {

struct Command {
  const char* name;
  int (*run)(int argc, char** argv);
  const char* usage;
  const char* options;  // one option a line, each line ending in '\n'
};

constexpr Command kCommands[] = {
    {"bmp-roundtrip", kavrosa::tool::RunBmpRoundtrip, "bmp-roundtrip IN.bmp OUT.bmp",
     "  Reads a BMP file as the saver does and writes it back out.\n"},
    {"decode", kavrosa::tool::RunDecode, "decode IN.jpg OUT.bmp [--fit WxH]",
     "  Decodes a JPEG file (turned by its Exif orientation) into a 24-bit BMP file.\n"
     "  --fit WxH   decode as a WxH screen shows it: reduced and resampled to fit\n"},
    {"frames", kavrosa::tool::RunFrames,
     "frames --settings FILE.INI [--size WxH] [--origin X,Y] [--monitors X,Y,WxH;...]"
     " [--folder-wait MS] [--time-first yes] --ticks FIRST:LAST --out DIR",
     "  Runs the slide show against a software window; writes tick-NNNNN.bmp per tick.\n"
     "  --settings FILE.INI    the settings file the show reads (required)\n"
     "  --size WxH             the window's client size (default 640x480)\n"
     "  --origin X,Y           the window's place on the screen (default 0,0)\n"
     "  --monitors X,Y,WxH;... monitors in client coordinates, the primary first\n"
     "  --folder-wait MS       wait for the photograph folder per hand-over (default 10000)\n"
     "  --time-first yes       print the tick that first drew a photograph and its time\n"
     "  --ticks FIRST:LAST     the ticks written (required)\n"
     "  --out DIR              the folder for the frames, made if missing (required)\n"},
    {"index", kavrosa::tool::RunIndex, "index FOLDER [--shuffle yes]",
     "  Walks a photograph folder now, writes its index to the user's cache and prints the\n"
     "  walk's time and the table's bytes per photograph.\n"
     "  --shuffle yes   keep a shuffled cycle in the index\n"},
};

bool AsksForHelp(int argc, char** argv) {
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
  }
  return false;
}

int Usage(std::FILE* to, int code) {
  std::fprintf(to, "usage:\n");
  for (const Command& c : kCommands) std::fprintf(to, "  kavrosa-tool %s\n", c.usage);
  std::fprintf(to, "kavrosa-tool COMMAND --help tells a command's options.\n");
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage(stderr, 2);
  if (AsksForHelp(1, argv + 1)) return Usage(stdout, 0);
  for (const Command& c : kCommands) {
    if (std::strcmp(argv[1], c.name) != 0) continue;
    if (AsksForHelp(argc - 2, argv + 2)) {
      std::printf("usage: kavrosa-tool %s\n%s", c.usage, c.options);
      return 0;
    }
    // Each command sees its own arguments, starting after its name.
    return c.run(argc - 2, argv + 2);
  }
  std::fprintf(stderr, "kavrosa-tool: unknown command '%s'\n", argv[1]);
  return Usage(stderr, 2);
}
