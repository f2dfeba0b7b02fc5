// Settings path rule and key access. The rule cuts the module name at a '.' four characters from
// its end; when that fails the buffer is emptied, so that the module file itself is never read
// as settings nor written to.
#include "settings/Settings.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/Module.h"
#include "platform/Profile.h"

namespace kavrosa {
namespace {

std::string& PathOverride() {
  static std::string path;
  return path;
}

bool Usable(const char* path) {
  return path != nullptr && path[0] != '\0';
}

int32_t WriteInt(const char* section, const char* key, int32_t value, const char* path) {
  if (!Usable(path)) return 0;
  char text[16];
  std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
  return ProfileWriteString(section, key, text, path);
}

std::string ReadText(const char* section, const char* key, const char* path) {
  if (!Usable(path)) return std::string();
  char text[kSettingTextSize] = {};
  const uint32_t length = ProfileReadString(section, key, "", text, sizeof text, path);
  return std::string(text, length);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool NeedsEscape(unsigned char c) {
  return c <= ' ' || c > '~' || c == '%' || c == '"' || c == '\'' || c == ';';
}

int32_t Fail(char* buffer, uint32_t size) {
  if (buffer != nullptr && size > 0) buffer[0] = '\0';
  return 0;
}

}  // namespace

int32_t GetSettingsPath(char* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) return 0;
  const std::string& forced = PathOverride();
  if (!forced.empty()) {
    if (forced.size() >= size) return Fail(buffer, size);
    std::memcpy(buffer, forced.c_str(), forced.size() + 1);
    return 1;
  }
  if (ModuleFileName(buffer, size) == 0) return Fail(buffer, size);
  return ApplySettingsPathRule(buffer, size);
}

int32_t ApplySettingsPathRule(char* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) return 0;
  const void* end = std::memchr(buffer, '\0', size);
  if (end == nullptr) return Fail(buffer, size);
  const size_t length = static_cast<size_t>(static_cast<const char*>(end) - buffer);
  if (length < 4 || buffer[length - 4] != '.') return Fail(buffer, size);
  // ".INI" replaces the four characters ".xxx": the name keeps its length.
  std::memcpy(buffer + length - 4, ".INI", 5);
  return 1;
}

void SetSettingsPathOverride(const char* path) {
  PathOverride() = path != nullptr ? path : "";
}

int32_t ClampIntervalSeconds(int32_t seconds) {
  if (seconds < kMinIntervalSeconds || seconds > kMaxIntervalSeconds) {
    return kDefaultIntervalSeconds;
  }
  return seconds;
}

int32_t ReadIntervalSeconds(const char* path) {
  if (!Usable(path)) return kDefaultIntervalSeconds;
  return ClampIntervalSeconds(
      ProfileReadInt(kConfigSection, kIntervalKey, kDefaultIntervalSeconds, path));
}

int32_t ReadFitImage(const char* path) {
  if (!Usable(path)) return 0;
  return ProfileReadInt(kConfigSection, kFitImageKey, 0, path);
}

int32_t ReadPictureNumber(const char* path) {
  if (!Usable(path)) return kDefaultPictureNumber;
  const int32_t number =
      ProfileReadInt(kImageSection, kPictureNumberKey, kDefaultPictureNumber, path);
  return (number < 1 || number > kPictureCount) ? kDefaultPictureNumber : number;
}

int32_t ReadShuffle(const char* path) {
  if (!Usable(path)) return 0;
  return ProfileReadInt(kConfigSection, kShuffleKey, 0, path) == 1 ? 1 : 0;
}

std::string ReadPhotoFolder(const char* path) {
  return ReadText(kImageSection, kFolderKey, path);
}

std::string ReadPhotographFile(const char* path) {
  return DecodeSettingText(ReadText(kImageSection, kPhotographFileKey, path));
}

int32_t WriteShuffle(const char* path, int32_t shuffle) {
  return WriteInt(kConfigSection, kShuffleKey, shuffle, path);
}

int32_t WritePhotoFolder(const char* path, const std::string& folder) {
  if (!Usable(path)) return 0;
  return ProfileWriteString(kImageSection, kFolderKey, folder.c_str(), path);
}

int32_t WritePhotographFile(const char* path, const std::string& relativePath) {
  if (!Usable(path)) return 0;
  return ProfileWriteString(kImageSection, kPhotographFileKey,
                            EncodeSettingText(relativePath).c_str(), path);
}

std::string EncodeSettingText(const std::string& utf8) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string stored;
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (NeedsEscape(byte)) {
      stored += '%';
      stored += kHex[byte >> 4];
      stored += kHex[byte & 15];
    } else {
      stored += c;
    }
  }
  return stored;
}

std::string DecodeSettingText(const std::string& stored) {
  std::string text;
  for (size_t i = 0; i < stored.size(); ++i) {
    const int high = i + 2 < stored.size() && stored[i] == '%' ? HexValue(stored[i + 1]) : -1;
    const int low = high >= 0 ? HexValue(stored[i + 2]) : -1;
    if (low >= 0) {
      text += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      text += stored[i];
    }
  }
  return text;
}

int32_t WriteIntervalSeconds(const char* path, int32_t seconds) {
  return WriteInt(kConfigSection, kIntervalKey, seconds, path);
}

int32_t WriteFitImage(const char* path, int32_t fitImage) {
  return WriteInt(kConfigSection, kFitImageKey, fitImage, path);
}

int32_t WritePictureNumber(const char* path, int32_t pictureNumber) {
  return WriteInt(kImageSection, kPictureNumberKey, pictureNumber, path);
}

}  // namespace kavrosa
