// File access over standard streams for the portable build. The size is taken once at open by
// seeking to the end; positioned reads seek first, and a failed read leaves the stream usable.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/FileIo.h"

namespace kavrosa {

struct InputFile::Handle {
  std::ifstream stream;
};

struct OutputFile::Handle {
  std::ofstream stream;
};

InputFile::InputFile() = default;
InputFile::~InputFile() = default;

bool InputFile::Open(const std::string& path) {
  // A directory opens as a stream here but is no file to read (CreateFileA refuses it too).
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) return false;
  auto handle = std::make_unique<Handle>();
  handle->stream.open(path, std::ios::binary);
  if (!handle->stream.is_open()) return false;
  handle->stream.seekg(0, std::ios::end);
  const std::streamoff end = handle->stream.tellg();
  if (end < 0) return false;
  size_ = static_cast<uint64_t>(end);
  handle_ = std::move(handle);
  return true;
}

size_t InputFile::ReadAt(uint64_t position, void* buffer, size_t count) {
  if (!handle_ || position >= size_ || count == 0) return 0;
  std::ifstream& s = handle_->stream;
  s.clear();
  s.seekg(static_cast<std::streamoff>(position), std::ios::beg);
  s.read(static_cast<char*>(buffer), static_cast<std::streamsize>(count));
  const std::streamsize got = s.gcount();
  s.clear();
  return got > 0 ? static_cast<size_t>(got) : 0;
}

OutputFile::OutputFile() = default;
OutputFile::~OutputFile() = default;

bool OutputFile::Create(const std::string& path) {
  auto handle = std::make_unique<Handle>();
  handle->stream.open(path, std::ios::binary | std::ios::trunc);
  if (!handle->stream.is_open()) return false;
  handle_ = std::move(handle);
  return true;
}

bool OutputFile::Write(const void* data, size_t count) {
  if (!handle_) return false;
  if (count == 0) return true;
  handle_->stream.write(static_cast<const char*>(data), static_cast<std::streamsize>(count));
  return static_cast<bool>(handle_->stream);
}

namespace {

class ScopedDescriptor {
 public:
  explicit ScopedDescriptor(int fd) : fd_(fd) {}
  ~ScopedDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  ScopedDescriptor(const ScopedDescriptor&) = delete;
  ScopedDescriptor& operator=(const ScopedDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

bool ReadAll(int fd, uint64_t size, std::vector<uint8_t>& bytes) {
  try {
    bytes.resize(static_cast<size_t>(size));
  } catch (...) {  // no memory for the file
    return false;
  }
  size_t total = 0;
  while (total < bytes.size()) {
    const ssize_t got = read(fd, bytes.data() + total, bytes.size() - total);
    if (got <= 0) return false;  // an error, or the file shrank while being read
    total += static_cast<size_t>(got);
  }
  return true;
}

}  // namespace

bool ReadWholeFile(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& bytes) {
  bytes.clear();
  // Opening a FIFO blocks until a writer comes, as a hung network share would.
  ScopedDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return false;
  struct stat info {};
  if (fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
      static_cast<uint64_t>(info.st_size) > maxBytes) {
    return false;
  }
  if (!ReadAll(fd.get(), static_cast<uint64_t>(info.st_size), bytes)) {
    bytes.clear();
    return false;
  }
  return true;
}

}  // namespace kavrosa
