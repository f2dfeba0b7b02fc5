// Fuzzes the library index reader: whatever it accepts must rebuild every path without reading
// outside its pool and encode back to the very same bytes (the reader keeps nothing it ignored).
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "library/LibraryIndex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kavrosa;
  const std::vector<uint8_t> bytes(data, data + size);
  LibraryIndex index;
  if (!DecodeLibraryIndex(bytes, "/photos", index)) return 0;
  size_t total = 0;
  for (size_t i = 0; i < index.table.photoCount(); ++i) total += index.table.RelativePath(i).size();
  if (EncodeLibraryIndex("/photos", index.table, index.order) != bytes) std::abort();
  return total == SIZE_MAX ? 1 : 0;
}
