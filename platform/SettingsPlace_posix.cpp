// The settings place elsewhere: the Linux program names its own file (under XDG_CONFIG_HOME),
// so there is no second folder here, only the probes.
#include "platform/SettingsPlace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace kavrosa {

bool FileExistsAt(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool CanWriteFileAt(const std::string& path) {
  if (FileExistsAt(path)) return ::access(path.c_str(), W_OK) == 0;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(path.c_str());
  return true;
}

std::string UserSettingsFolder() {
  return std::string();
}

bool CopyFileIfMissing(const std::string&, const std::string&) {
  return false;
}

}  // namespace kavrosa
