// Folder listing over FindFirstFileW/FindNextFileW, names converted to UTF-8 so that Japanese,
// accented and emoji names reach the core intact; paths go back to UTF-16 for every call.
#include <windows.h>

#include "platform/Directory.h"
#include "platform/WideText_win.h"

namespace kavrosa {
namespace {

class ScopedFind {
 public:
  explicit ScopedFind(HANDLE h) : h_(h) {}
  ~ScopedFind() {
    if (h_ != INVALID_HANDLE_VALUE) FindClose(h_);
  }
  ScopedFind(const ScopedFind&) = delete;
  ScopedFind& operator=(const ScopedFind&) = delete;
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

}  // namespace

bool ListDirectory(const std::string& path, std::vector<DirectoryEntry>& entries,
                   size_t maxEntries) {
  const std::wstring pattern = WideFromUtf8(JoinPath(path, "*"));
  if (pattern.empty()) return false;
  WIN32_FIND_DATAW found{};
  ScopedFind find(FindFirstFileW(pattern.c_str(), &found));
  if (find.get() == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  size_t added = 0;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    DirectoryEntry entry;
    entry.name = Utf8FromWide(name);
    if (entry.name.empty()) continue;
    const DWORD attributes = found.dwFileAttributes;
    entry.isDirectory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.isHidden = (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
    entry.isLink = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    entry.size = (uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
    entries.push_back(std::move(entry));
    ++added;
  } while (added < maxEntries && FindNextFileW(find.get(), &found));
  return true;
}

bool FolderExists(const std::string& path) {
  const std::wstring wide = WideFromUtf8(path);
  if (wide.empty()) return false;
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string JoinPath(const std::string& folder, const std::string& relative) {
  std::string joined = folder;
  if (!joined.empty() && joined.back() != '\\' && joined.back() != '/') joined += '\\';
  for (const char c : relative) joined += c == '/' ? '\\' : c;
  return joined;
}

std::string FolderPathFromSystemText(const std::string& text) {
  return Utf8FromWide(WideFromCodePage(text, CP_ACP));
}

}  // namespace kavrosa
