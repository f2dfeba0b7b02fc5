// kavrosa-tool bmp-roundtrip IN.bmp OUT.bmp: reads a BMP file into a picture and writes it back
// out, as LoadBmp and SaveBmp do. A refused file gives one line naming the file and the reason.
#include <cstdio>
#include <string>

#include "image/BmpFile.h"
#include "image/DibImage.h"
#include "tools/Commands.h"

namespace kavrosa::tool {

int RunBmpRoundtrip(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: kavrosa-tool bmp-roundtrip IN.bmp OUT.bmp\n");
    return 2;
  }
  const std::string in = argv[0];
  const std::string out = argv[1];
  DibImage picture;
  BmpError error = LoadBmpChecked(picture, in);
  if (error != BmpError::kNone) {
    std::fprintf(stderr, "kavrosa-tool: %s %s\n", in.c_str(), BmpErrorMessage(error));
    return 1;
  }
  error = SaveBmpChecked(picture, out);
  if (error != BmpError::kNone) {
    std::fprintf(stderr, "kavrosa-tool: %s %s\n", out.c_str(), BmpErrorMessage(error));
    return 1;
  }
  return 0;
}

}  // namespace kavrosa::tool
