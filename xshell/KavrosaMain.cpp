// kavrosa: the slide show as an X11 screen-saver program in the xscreensaver manner.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "xshell/Options.h"
#include "xshell/XShow.h"

int main(int argc, char** argv) {
  kavrosa::xshell::Options options;
  const std::string problem =
      kavrosa::xshell::ParseOptions(argc, argv, std::getenv("XSCREENSAVER_WINDOW"), options);
  if (!problem.empty()) {
    std::fprintf(stderr, "kavrosa: %s\n", problem.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(kavrosa::xshell::UsageText(), stdout);
    return 0;
  }
  return kavrosa::xshell::RunShow(options);
}
