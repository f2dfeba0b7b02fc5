// The settings place on Windows. The probes use CreateFileA exactly as the profile calls will
// open the file, so a folder that refuses us (System32 for a 64-bit process, which is never
// virtualised) is found before a write is lost; a 32-bit process's virtualised writes pass.
#include "platform/SettingsPlace.h"

#include <windows.h>

namespace kavrosa {
namespace {

constexpr char kUserFolderName[] = "Kavrosa";

bool Opened(HANDLE file) {
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

}  // namespace

bool FileExistsAt(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool CanWriteFileAt(const std::string& path) {
  constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  if (FileExistsAt(path)) {
    return Opened(CreateFileA(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  // CREATE_NEW never touches a file that appeared meanwhile; the probe goes at its close.
  return Opened(CreateFileA(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
}

std::string UserSettingsFolder() {
  char appData[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableA("APPDATA", appData, sizeof appData);
  if (length == 0 || length >= sizeof appData) return std::string();
  std::string folder(appData, length);
  if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
  folder += kUserFolderName;
  if (!CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    return std::string();
  }
  return folder;
}

bool CopyFileIfMissing(const std::string& from, const std::string& to) {
  return CopyFileA(from.c_str(), to.c_str(), TRUE) != FALSE;
}

}  // namespace kavrosa
