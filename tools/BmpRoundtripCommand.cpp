#include <cstdio>

#include "tools/Commands.h"

namespace kavrosa::tool {

int RunBmpRoundtrip(int, char**) {
  std::fprintf(stderr, "kavrosa-tool: this command is not built yet\n");
  return 2;
}

}  // namespace kavrosa::tool
