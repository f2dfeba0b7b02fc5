// kavrosa-tool: runs pieces of the portable core on files, for people and scripts.
#include <cstdio>
#include <cstring>

#include "tools/Commands.h"

namespace {

struct Command {
  const char* name;
  int (*run)(int argc, char** argv);
  const char* usage;
};

constexpr Command kCommands[] = {
    {"bmp-roundtrip", kavrosa::tool::RunBmpRoundtrip, "bmp-roundtrip IN.bmp OUT.bmp"},
    {"decode", kavrosa::tool::RunDecode, "decode IN.jpg OUT.bmp [--fit WxH]"},
    {"frames", kavrosa::tool::RunFrames,
     "frames --settings FILE.INI [--size WxH] [--origin X,Y] [--monitors X,Y,WxH;...]"
     " [--folder-wait MS] [--time-first yes] --ticks FIRST:LAST --out DIR"},
    {"index", kavrosa::tool::RunIndex, "index FOLDER [--shuffle yes]"},
};

int Usage() {
  std::fprintf(stderr, "usage:\n");
  for (const Command& c : kCommands) std::fprintf(stderr, "  kavrosa-tool %s\n", c.usage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  for (const Command& c : kCommands) {
    // Each command sees its own arguments, starting after its name.
    if (std::strcmp(argv[1], c.name) == 0) return c.run(argc - 2, argv + 2);
  }
  std::fprintf(stderr, "kavrosa-tool: unknown command '%s'\n", argv[1]);
  return Usage();
}
