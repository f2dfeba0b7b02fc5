// File access over standard streams for the portable build. The size is taken once at open by
// seeking to the end; positioned reads seek first, and a failed read leaves the stream usable.
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

}  // namespace kavrosa
