// The settings path of the X11 program and the directories above it.
#include "xshell/SettingsLocation.h"

#include <filesystem>
#include <system_error>

namespace kavrosa::xshell {
namespace {

bool Absolute(const char* path) {
  return path != nullptr && path[0] == '/';
}

}  // namespace

std::string SettingsFilePath(const char* xdgConfigHome, const char* home) {
  std::string base;
  if (Absolute(xdgConfigHome)) {
    base = xdgConfigHome;
  } else if (Absolute(home)) {
    base = std::string(home) + "/.config";
  } else {
    return std::string();
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base + "/kavrosa/kavrosa.ini";
}

bool MakeParentDirectories(const std::string& file) {
  namespace fs = std::filesystem;
  const fs::path directory = fs::path(file).parent_path();
  if (directory.empty()) return false;
  std::error_code error;
  if (fs::is_directory(directory, error)) return true;
  fs::create_directories(directory, error);
  if (error) return false;
  fs::permissions(directory, fs::perms::owner_all, fs::perm_options::replace, error);
  return true;
}

}  // namespace kavrosa::xshell
