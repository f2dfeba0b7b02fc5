// Per-user files over POSIX calls. The temporary name carries the process id and a counter, so
// two writers (a worker let go of and its successor) never share one; fsync before the rename,
// so that after a crash the name holds either the old file or the whole new one.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

#include "platform/UserFiles.h"

namespace kavrosa {

std::string UserCacheFolder() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  if (cache != nullptr && cache[0] == '/') return std::string(cache) + "/kavrosa";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.cache/kavrosa";
  return std::string();
}

bool MakeFolders(const std::string& path) {
  if (path.empty()) return false;
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool ReplaceFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
  static std::atomic<uint32_t> counter{0};
  const std::string temporary =
      path + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(++counter);
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  size_t total = 0;
  bool ok = true;
  while (ok && total < bytes.size()) {
    const ssize_t wrote = write(fd, bytes.data() + total, bytes.size() - total);
    ok = wrote > 0;
    if (ok) total += static_cast<size_t>(wrote);
  }
  ok = ok && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) unlink(temporary.c_str());
  return ok;
}

bool CurrentFileSize(const std::string& path, uint64_t& size) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  size = static_cast<uint64_t>(info.st_size);
  return true;
}

}  // namespace kavrosa
