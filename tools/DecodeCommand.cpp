// kavrosa-tool decode IN OUT.bmp [--fit WxH]: loads a photograph as the folder worker does
// (the photograph room: JPEG turned by its Exif orientation, BMP, the platform's formats) and
// writes it as a BMP; with --fit, as a screen of that size shows it (reduced to its fit size
// when larger). The file is read whole, up to a cap, and the decoders are bounded by its size,
// so no file can make this crash or hang; a refusal prints one line with the reason.
#include <cstdio>
#include <cstring>
#include <vector>

#include "image/DibImage.h"
#include "photo/Photograph.h"
#include "tools/Commands.h"

namespace kavrosa::tool {
namespace {

// Larger files are refused rather than read.
constexpr long kMaxFileBytes = static_cast<long>(kMaxPhotographFileBytes);

bool ReadWholeFile(const char* path, std::vector<uint8_t>& bytes, const char*& why) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    why = "cannot open the file";
    return false;
  }
  bool ok = std::fseek(file, 0, SEEK_END) == 0;
  const long size = ok ? std::ftell(file) : -1;
  ok = ok && size >= 0 && std::fseek(file, 0, SEEK_SET) == 0;
  if (!ok) {
    why = "cannot read the file";
  } else if (size > kMaxFileBytes) {
    why = "the file is larger than 128 MiB";
    ok = false;
  } else {
    bytes.resize(static_cast<size_t>(size));
    ok = bytes.empty() || std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (!ok) why = "cannot read the file";
  }
  std::fclose(file);
  return ok;
}

// "WxH" with both sides from 1 to 32768.
bool ParseSize(const char* text, Size& size) {
  int w = 0, h = 0;
  char end = 0;
  if (std::sscanf(text, "%dx%d%c", &w, &h, &end) != 2) return false;
  if (w < 1 || h < 1 || w > 32768 || h > 32768) return false;
  size = Size{w, h};
  return true;
}

}  // namespace

int RunDecode(int argc, char** argv) {
  Size bound{};
  if (argc == 4 && std::strcmp(argv[2], "--fit") == 0 && ParseSize(argv[3], bound)) argc = 2;
  if (argc != 2) {
    std::fprintf(stderr, "usage: kavrosa-tool decode IN OUT.bmp [--fit WxH]\n");
    return 2;
  }
  const char* in = argv[0];
  const char* out = argv[1];
  std::vector<uint8_t> bytes;
  const char* why = nullptr;
  if (!ReadWholeFile(in, bytes, why)) {
    std::fprintf(stderr, "kavrosa-tool: %s: %s\n", in, why);
    return 1;
  }
  DibImage image;
  const PhotoResult result = DecodePhotograph(bytes.data(), bytes.size(), bound, image);
  if (!result) {
    // The BMP reader words its refusals to follow the file's name.
    const char* separator = result.error == PhotoError::kBmp ? " " : ": ";
    std::fprintf(stderr, "kavrosa-tool: %s%s%s\n", in, separator, PhotoErrorMessage(result));
    return 1;
  }
  if (image.SaveBmp(out) == 0) {
    std::fprintf(stderr, "kavrosa-tool: %s: cannot write %s\n", in, out);
    return 1;
  }
  return 0;
}

}  // namespace kavrosa::tool
