// A private-profile (INI) reader and writer that gives the results of the Windows calls: the
// first section and the first key whose trimmed names match case-insensitively, values trimmed
// and unquoted, GetPrivateProfileInt's number parsing. A write changes one line (or adds one)
// and keeps every other byte of the file, line endings included, and replaces the file whole
// (a temporary beside it, renamed over it). Only a regular file of sane size is read: a FIFO or
// a device in its place would block or never end.
#include "platform/Profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace kavrosa {
namespace {

// GetPrivateProfileInt reads the value into a 30-character buffer before parsing it.
constexpr size_t kIntValueChars = 29;
// A settings file is a few lines; anything bigger is not one of ours.
constexpr off_t kMaxProfileBytes = 1 << 20;

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string Trim(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

char FoldCase(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

// One line of the file: its text without the terminator, and the terminator itself.
struct Line {
  std::string text;
  std::string ending;
};

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// The file's lines. A missing file has none; `refused` is set when something is there that is
// not a readable settings file (not regular, too big, unreadable), which must not be rewritten.
struct FileLines {
  std::vector<Line> lines;
  bool refused = false;
};

bool ReadContent(const char* path, std::string& content, bool& missing) {
  // Non-blocking, so that opening a FIFO returns at once; fstat then refuses it.
  const FileDescriptor file(::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  const int fd = file.get();
  missing = fd < 0 && errno == ENOENT;
  if (fd < 0) return false;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kMaxProfileBytes) {
    return false;
  }
  char chunk[4096];
  ssize_t got;
  while ((got = ::read(fd, chunk, sizeof chunk)) > 0) {
    content.append(chunk, static_cast<size_t>(got));
    if (content.size() > static_cast<size_t>(kMaxProfileBytes)) return false;  // grew meanwhile
  }
  return got == 0;
}

FileLines ReadLines(const char* path) {
  FileLines file;
  std::string content;
  bool missing = false;
  if (!ReadContent(path, content, missing)) {
    file.refused = !missing;
    return file;
  }
  std::vector<Line>& lines = file.lines;
  size_t start = 0;
  while (start < content.size()) {
    const size_t newline = content.find('\n', start);
    const size_t stop = newline == std::string::npos ? content.size() : newline;
    size_t textEnd = stop;
    if (textEnd > start && content[textEnd - 1] == '\r') --textEnd;
    const size_t next = newline == std::string::npos ? content.size() : newline + 1;
    lines.push_back(
        {content.substr(start, textEnd - start), content.substr(textEnd, next - textEnd)});
    start = next;
  }
  return file;
}

ProfileWriteFailureHandler& FailureHandler() {
  static ProfileWriteFailureHandler handler = nullptr;
  return handler;
}

bool Report(const char* path, int error) {
  if (FailureHandler() != nullptr) FailureHandler()(path, std::strerror(error));
  return false;
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += static_cast<size_t>(wrote);
  }
  return true;
}

// The new content goes to a temporary file in the same folder, is flushed to the disk, and
// only then renamed over the old file: a full disk or a kill midway leaves the old file whole.
// A symbolic link is followed, so the file it names is the one replaced.
bool WriteLines(const char* path, const std::vector<Line>& lines) {
  std::string content;
  for (const Line& line : lines) content += line.text + line.ending;
  char resolved[PATH_MAX];
  const std::string target = ::realpath(path, resolved) != nullptr ? resolved : path;
  std::string temporary = target + ".XXXXXX";
  const FileDescriptor file(::mkstemp(&temporary[0]));
  if (file.get() < 0) return Report(path, errno);
  struct stat old {};
  ::fchmod(file.get(), ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);
  if (!WriteAll(file.get(), content) || ::fsync(file.get()) != 0 ||
      ::rename(temporary.c_str(), target.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    return Report(path, error);
  }
  return true;
}

// The section name of a "[name]" line; nullopt for any other line.
std::optional<std::string> SectionName(const std::string& text) {
  const std::string trimmed = Trim(text);
  if (trimmed.empty() || trimmed[0] != '[') return std::nullopt;
  const size_t close = trimmed.rfind(']');
  const size_t end = close == std::string::npos || close == 0 ? trimmed.size() : close;
  return Trim(trimmed.substr(1, end - 1));
}

struct Entry {
  std::string key;
  std::optional<std::string> value;  // none for a line without '='
};

Entry ParseEntry(const std::string& text) {
  const size_t equals = text.find('=');
  if (equals == std::string::npos) return {Trim(text), std::nullopt};
  return {Trim(text.substr(0, equals)), Trim(text.substr(equals + 1))};
}

// Index of the first line that is the header of section; nullopt when there is none.
std::optional<size_t> FindSection(const std::vector<Line>& lines, const std::string& section) {
  for (size_t i = 0; i < lines.size(); ++i) {
    const auto name = SectionName(lines[i].text);
    if (name && SameName(*name, section)) return i;
  }
  return std::nullopt;
}

// One past the last line of the section whose header is at `header`.
size_t SectionEnd(const std::vector<Line>& lines, size_t header) {
  size_t end = header + 1;
  while (end < lines.size() && !SectionName(lines[end].text)) ++end;
  return end;
}

std::optional<size_t> FindKey(const std::vector<Line>& lines, size_t header,
                              const std::string& key) {
  const size_t end = SectionEnd(lines, header);
  for (size_t i = header + 1; i < end; ++i) {
    if (SameName(ParseEntry(lines[i].text).key, key)) return i;
  }
  return std::nullopt;
}

std::string Unquote(const std::string& value) {
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// Optional sign, an optional base prefix ("0x" hexadecimal, "0o" octal, "0b" binary, else
// decimal), then digits up to the first one that is not of the base, wrapping as a 32-bit
// unsigned number does; no digits give 0.
int32_t ParseProfileInt(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint32_t base = 10;
  if (i + 1 < text.size() && text[i] == '0') {
    const char prefix = text[i + 1];
    base = prefix == 'x' ? 16 : prefix == 'o' ? 8 : prefix == 'b' ? 2 : 10;
    if (base != 10) i += 2;
  }
  uint32_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    uint32_t digit = 99;
    if (c >= '0' && c <= '9') digit = static_cast<uint32_t>(c - '0');
    if (c >= 'a' && c <= 'z') digit = static_cast<uint32_t>(c - 'a' + 10);
    if (c >= 'A' && c <= 'Z') digit = static_cast<uint32_t>(c - 'A' + 10);
    if (digit >= base) break;
    value = value * base + digit;
  }
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

void EnsureLastLineEnded(std::vector<Line>& lines, size_t index) {
  if (index < lines.size() && lines[index].ending.empty()) lines[index].ending = "\r\n";
}

}  // namespace

void SetProfileWriteFailureHandler(ProfileWriteFailureHandler handler) {
  FailureHandler() = handler;
}

int32_t ProfileReadInt(const char* section, const char* key, int32_t defaultValue,
                       const char* path) {
  if (section == nullptr || key == nullptr || path == nullptr || path[0] == '\0') {
    return defaultValue;
  }
  const std::vector<Line> lines = ReadLines(path).lines;
  const auto header = FindSection(lines, Trim(section));
  if (!header) return defaultValue;
  const auto keyLine = FindKey(lines, *header, Trim(key));
  if (!keyLine) return defaultValue;
  const Entry entry = ParseEntry(lines[*keyLine].text);
  const std::string value = Unquote(entry.value.value_or("")).substr(0, kIntValueChars);
  if (value.empty()) return defaultValue;
  return ParseProfileInt(value);
}

uint32_t ProfileReadString(const char* section, const char* key, const char* defaultValue,
                           char* buffer, uint32_t size, const char* path) {
  if (buffer == nullptr || size == 0) return 0;
  std::string value = defaultValue != nullptr ? defaultValue : "";
  if (section != nullptr && key != nullptr && path != nullptr && path[0] != '\0') {
    const std::vector<Line> lines = ReadLines(path).lines;
    if (const auto header = FindSection(lines, Trim(section))) {
      if (const auto keyLine = FindKey(lines, *header, Trim(key))) {
        value = Unquote(ParseEntry(lines[*keyLine].text).value.value_or(""));
      }
    }
  }
  const size_t stored = std::min<size_t>(value.size(), size - 1);
  std::memcpy(buffer, value.data(), stored);
  buffer[stored] = '\0';
  return static_cast<uint32_t>(stored);
}

int32_t ProfileWriteString(const char* section, const char* key, const char* value,
                           const char* path) {
  if (section == nullptr || key == nullptr || value == nullptr || path == nullptr ||
      path[0] == '\0') {
    return 0;
  }
  FileLines file = ReadLines(path);
  if (file.refused) {
    if (FailureHandler() != nullptr)
      FailureHandler()(path, "not a settings file that can be replaced");
    return 0;
  }
  std::vector<Line>& lines = file.lines;
  const std::string keyName = Trim(key);
  const auto header = FindSection(lines, Trim(section));
  if (!header) {
    EnsureLastLineEnded(lines, lines.size() - 1);
    lines.push_back({"[" + Trim(section) + "]", "\r\n"});
    lines.push_back({keyName + "=" + value, "\r\n"});
    return WriteLines(path, lines) ? 1 : 0;
  }
  if (const auto keyLine = FindKey(lines, *header, keyName)) {
    lines[*keyLine].text = ParseEntry(lines[*keyLine].text).key + "=" + value;
    return WriteLines(path, lines) ? 1 : 0;
  }
  // A new key goes after the section's last non-blank line, before any blank separator.
  size_t last = SectionEnd(lines, *header) - 1;
  while (last > *header && Trim(lines[last].text).empty()) --last;
  EnsureLastLineEnded(lines, last);
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(last + 1),
               Line{keyName + "=" + value, "\r\n"});
  return WriteLines(path, lines) ? 1 : 0;
}

}  // namespace kavrosa
