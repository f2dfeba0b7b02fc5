// Per-user files over the wide Win32 calls. LOCALAPPDATA comes from the environment and, on
// systems that do not set it (Windows XP), from the shell's folder query; MoveFileExW replaces
// the old file in one step, after FlushFileBuffers has put the new one on disk.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>

#include "platform/UserFiles.h"
#include "platform/WideText_win.h"

namespace kavrosa {

std::string UserCacheFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD got = GetEnvironmentVariableW(L"LOCALAPPDATA", buffer, MAX_PATH);
  std::wstring base;
  if (got > 0 && got < MAX_PATH) {
    base = buffer;
  } else if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, buffer))) {
    base = buffer;
  }
  if (base.empty()) return std::string();
  return Utf8FromWide(base) + "\\Kavrosa";
}

bool MakeFolders(const std::string& path) {
  const std::wstring wide = WideFromUtf8(path);
  if (wide.empty()) return false;
  for (size_t i = 1; i <= wide.size(); ++i) {
    if (i < wide.size() && wide[i] != L'\\' && wide[i] != L'/') continue;
    const std::wstring part = wide.substr(0, i);
    if (part.size() == 2 && part[1] == L':') continue;  // a drive, "C:"
    CreateDirectoryW(part.c_str(), nullptr);
  }
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool ReplaceFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
  static std::atomic<uint32_t> counter{0};
  const std::wstring target = WideFromUtf8(path);
  if (target.empty()) return false;
  const std::wstring temporary =
      target + L".tmp" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  size_t total = 0;
  while (ok && total < bytes.size()) {
    const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - total, 1u << 24));
    DWORD wrote = 0;
    ok = WriteFile(file, bytes.data() + total, want, &wrote, nullptr) && wrote > 0;
    total += wrote;
  }
  ok = FlushFileBuffers(file) && ok;
  ok = CloseHandle(file) && ok;
  ok = ok && MoveFileExW(temporary.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) DeleteFileW(temporary.c_str());
  return ok;
}

bool CurrentFileSize(const std::string& path, uint64_t& size) {
  const std::wstring wide = WideFromUtf8(path);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (wide.empty() || !GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return false;
  }
  size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  return true;
}

}  // namespace kavrosa
