// kavrosa-tool index: walks a photograph folder as the show's worker does and writes its index to
// the user's cache folder, so the next show starts at once; prints what it found, how long the
// walk took and how much the photograph table holds. Also the way to measure a large library.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "library/Library.h"
#include "library/LibraryIndex.h"
#include "platform/UserFiles.h"
#include "photo/Photograph.h"
#include "tools/Commands.h"

namespace kavrosa::tool {

int RunIndex(int argc, char** argv) {
  if (argc != 1 && !(argc == 3 && std::strcmp(argv[1], "--shuffle") == 0 &&
                     (std::strcmp(argv[2], "yes") == 0 || std::strcmp(argv[2], "no") == 0))) {
    std::fprintf(stderr, "kavrosa-tool index: FOLDER [--shuffle yes] is expected\n");
    return 2;
  }
  LibraryOptions options;
  options.folder = argv[0];
  options.cacheFolder = UserCacheFolder();
  options.shuffle = argc == 3 && std::strcmp(argv[2], "yes") == 0;
  options.isPhotograph = IsPhotographName;
  const auto started = std::chrono::steady_clock::now();
  FolderLister lister;
  Library library(options, lister);
  while (library.WorkInBackground()) {
  }
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - started)
                      .count();
  const PhotoTable& table = library.table();
  if (table.photoCount() == 0) {
    std::fprintf(stderr, "kavrosa-tool index: no photographs in %s\n", argv[0]);
    return 1;
  }
  const size_t beyondNames = table.MemoryBytes() - table.pool().size();
  std::printf("%zu photographs in %zu folders, %zu listings, %lld ms\n", table.photoCount(),
              table.folderCount(), library.listings(), static_cast<long long>(ms));
  std::printf("table %zu bytes: %zu of names, %.1f a photograph beyond them\n", table.MemoryBytes(),
              table.pool().size(),
              static_cast<double>(beyondNames) / static_cast<double>(table.photoCount()));
  std::printf("index %s\n", options.cacheFolder.empty()
                                ? "not written: no cache folder"
                                : LibraryIndexPath(options.cacheFolder, options.folder).c_str());
  return 0;
}

}  // namespace kavrosa::tool
