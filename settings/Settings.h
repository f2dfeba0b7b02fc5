// The saver's settings file beside its module: the path rule and the keys with their defaults
// and clamps. The interval key is a Shift-JIS word whose second byte is a backslash,
// so it is kept as raw bytes and never passes through any text conversion.
#pragma once

#include <cstdint>
#include <string>

namespace kavrosa {

// Section and key names.
constexpr char kConfigSection[] = "Config";
constexpr char kImageSection[] = "Image";
constexpr char kFitImageKey[] = "FitImage";
constexpr char kPictureNumberKey[] = "NO";
constexpr char kFolderKey[] = "Folder";
constexpr char kShuffleKey[] = "Shuffle";
constexpr char kPhotographFileKey[] = "File";
// The interval key in code page 932: bytes 95 5C 8E A6 8A D4 8A 75.
constexpr char kIntervalKey[] = {'\x95', '\x5C', '\x8E', '\xA6', '\x8A',
                                 '\xD4', '\x8A', '\x75', '\0'};
static_assert(sizeof(kIntervalKey) == 9, "the interval key is eight bytes");

constexpr int32_t kDefaultIntervalSeconds = 30;
constexpr int32_t kMinIntervalSeconds = 15;
constexpr int32_t kMaxIntervalSeconds = 300;
constexpr int32_t kDefaultPictureNumber = 1;
constexpr int32_t kPictureCount = 12;
// Longest Folder or File value read, in bytes.
constexpr uint32_t kSettingTextSize = 2048;
// The buffer the slide show builds the path in.
constexpr uint32_t kSettingsPathSize = 260;

// The settings file's full name: the module's file name with its three-letter extension replaced
// by ".INI". Returns 1 on success; 0 when there is no module name or it has no such extension,
// and then the buffer is left empty so that no caller can mistake the module for its settings.
int32_t GetSettingsPath(char* buffer, uint32_t size);

// The rule on its own: buffer holds a module's NUL-terminated file name and is rewritten in
// place (saver.scr becomes saver.INI, in the same directory). Same results as GetSettingsPath.
int32_t ApplySettingsPathRule(char* buffer, uint32_t size);

// Tests: GetSettingsPath gives this file instead of the one beside the module (null or ""
// restores the path rule). Not for use while a slide show runs on another thread.
void SetSettingsPathOverride(const char* path);

// The interval's clamp: 15..300 stays, anything else becomes 30.
int32_t ClampIntervalSeconds(int32_t seconds);

// Readers: a null or empty path reads the defaults. Each applies its key's clamp.
int32_t ReadIntervalSeconds(const char* path);  // 15..300, else 30
int32_t ReadFitImage(const char* path);         // the stored value, default 0
int32_t ReadPictureNumber(const char* path);    // 1..12, else 1
int32_t ReadShuffle(const char* path);          // 1 only for the value 1, else 0
// The photograph folder as stored: text in the system's 8-bit code page; "" for none.
std::string ReadPhotoFolder(const char* path);
// The photograph on screen when the show last stopped, relative to the folder: UTF-8 with '/'
// between names; "" for none.
std::string ReadPhotographFile(const char* path);

// Writers store "%d" of the value; a null or empty path writes nothing. 1 on success, else 0.
int32_t WriteIntervalSeconds(const char* path, int32_t seconds);
int32_t WriteFitImage(const char* path, int32_t fitImage);
int32_t WritePictureNumber(const char* path, int32_t pictureNumber);
int32_t WriteShuffle(const char* path, int32_t shuffle);
int32_t WritePhotoFolder(const char* path, const std::string& folder);
int32_t WritePhotographFile(const char* path, const std::string& relativePath);

// The File value's stored form. The profile calls pass text through the system code page, which
// would mangle UTF-8 bytes (a Japanese system reads them as Shift-JIS pairs), so the UTF-8 name
// is stored as ASCII: bytes outside '!'..'~' and the bytes % " ' ; are written as %XX (upper-case
// hexadecimal). Decoding reverses it exactly; a malformed escape is kept as it stands.
std::string EncodeSettingText(const std::string& utf8);
std::string DecodeSettingText(const std::string& stored);

}  // namespace kavrosa
