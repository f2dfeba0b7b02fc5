// File reading for the corpus tests.
#include "tests/jpeg/JpegStreams.h"

#include <fstream>
#include <iterator>

namespace kavrosa::test {

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace kavrosa::test
