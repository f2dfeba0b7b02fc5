// Folder listing over opendir/readdir. The entry type comes from d_type where the file system
// gives it and from lstat otherwise; links are reported, not followed. A file's size costs one
// fstatat on the open folder, which a network share answers from the listing it just sent.
#include <dirent.h>
#include <sys/stat.h>

#include <memory>

#include "platform/Directory.h"

namespace kavrosa {
namespace {

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

bool ListDirectory(const std::string& path, std::vector<DirectoryEntry>& entries,
                   size_t maxEntries) {
  std::unique_ptr<DIR, DirCloser> dir(opendir(path.c_str()));
  if (!dir) return false;
  size_t added = 0;
  while (added < maxEntries) {
    const dirent* found = readdir(dir.get());
    if (found == nullptr) break;
    const std::string name = found->d_name;
    if (name == "." || name == "..") continue;
    DirectoryEntry entry;
    entry.name = name;
    entry.isHidden = name[0] == '.';
    unsigned char type = found->d_type;
    if (type == DT_UNKNOWN) {
      struct stat info {};
      if (lstat(JoinPath(path, name).c_str(), &info) != 0) continue;
      type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISLNK(info.st_mode) ? DT_LNK : DT_REG;
    }
    entry.isDirectory = type == DT_DIR;
    entry.isLink = type == DT_LNK;
    struct stat info {};
    if (!entry.isDirectory && fstatat(dirfd(dir.get()), found->d_name, &info, 0) == 0 &&
        S_ISREG(info.st_mode)) {
      entry.size = static_cast<uint64_t>(info.st_size);
    }
    entries.push_back(std::move(entry));
    ++added;
  }
  return true;
}

bool FolderExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string JoinPath(const std::string& folder, const std::string& relative) {
  if (folder.empty() || folder.back() == '/') return folder + relative;
  return folder + "/" + relative;
}

std::string FolderPathFromSystemText(const std::string& text) {
  return text;
}

}  // namespace kavrosa
