// File access over Win32 handles: CreateFileA (shared read / shared write), GetFileSize,
// SetFilePointer and ReadFile/WriteFile. Large transfers go in pieces so that a DWORD count
// never overflows.
#include <windows.h>

#include <algorithm>

#include "platform/FileIo.h"
#include "platform/WideText_win.h"

namespace kavrosa {
namespace {

constexpr size_t kMaxTransfer = 1u << 30;

class ScopedFileHandle {
 public:
  explicit ScopedFileHandle(HANDLE h) : h_(h) {}
  ~ScopedFileHandle() {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  ScopedFileHandle(const ScopedFileHandle&) = delete;
  ScopedFileHandle& operator=(const ScopedFileHandle&) = delete;
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

}  // namespace

struct InputFile::Handle : ScopedFileHandle {
  using ScopedFileHandle::ScopedFileHandle;
};

struct OutputFile::Handle : ScopedFileHandle {
  using ScopedFileHandle::ScopedFileHandle;
};

InputFile::InputFile() = default;
InputFile::~InputFile() = default;

bool InputFile::Open(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  auto handle = std::make_unique<Handle>(h);
  DWORD high = 0;
  const DWORD low = GetFileSize(h, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
  size_ = (uint64_t{high} << 32) | low;
  handle_ = std::move(handle);
  return true;
}

size_t InputFile::ReadAt(uint64_t position, void* buffer, size_t count) {
  if (!handle_ || position >= size_ || count == 0) return 0;
  LONG high = static_cast<LONG>(position >> 32);
  if (SetFilePointer(handle_->get(), static_cast<LONG>(position & 0xFFFFFFFFu), &high,
                     FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
      GetLastError() != NO_ERROR)
    return 0;
  size_t total = 0;
  auto* out = static_cast<char*>(buffer);
  while (total < count) {
    const DWORD want = static_cast<DWORD>(std::min(count - total, kMaxTransfer));
    DWORD got = 0;
    if (!ReadFile(handle_->get(), out + total, want, &got, nullptr) || got == 0) break;
    total += got;
  }
  return total;
}

OutputFile::OutputFile() = default;
OutputFile::~OutputFile() = default;

bool OutputFile::Create(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  handle_ = std::make_unique<Handle>(h);
  return true;
}

bool OutputFile::Write(const void* data, size_t count) {
  if (!handle_) return false;
  const auto* in = static_cast<const char*>(data);
  size_t total = 0;
  while (total < count) {
    const DWORD want = static_cast<DWORD>(std::min(count - total, kMaxTransfer));
    DWORD wrote = 0;
    if (!WriteFile(handle_->get(), in + total, want, &wrote, nullptr) || wrote == 0) return false;
    total += wrote;
  }
  return true;
}

bool ReadWholeFile(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& bytes) {
  bytes.clear();
  const std::wstring wide = WideFromUtf8(path);
  if (wide.empty()) return false;
  ScopedFileHandle file(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE || GetFileType(file.get()) != FILE_TYPE_DISK) {
    return false;
  }
  DWORD high = 0;
  const DWORD low = GetFileSize(file.get(), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
  const uint64_t size = (uint64_t{high} << 32) | low;
  if (size > maxBytes) return false;
  try {
    bytes.resize(static_cast<size_t>(size));
  } catch (...) {  // no memory for the file
    return false;
  }
  size_t total = 0;
  while (total < bytes.size()) {
    const DWORD want = static_cast<DWORD>(std::min(bytes.size() - total, kMaxTransfer));
    DWORD got = 0;
    if (!ReadFile(file.get(), bytes.data() + total, want, &got, nullptr) || got == 0) {
      bytes.clear();
      return false;
    }
    total += got;
  }
  return true;
}

}  // namespace kavrosa
