// Whole-file access for the BMP reader and writer: CreateFileA/ReadFile/WriteFile on Windows,
// standard streams elsewhere. Reads are positioned and bounded by the file's size, so a caller
// can never be handed bytes that the file does not hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kavrosa {

class InputFile {
 public:
  InputFile();
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Opens an existing file for reading (shared for reading); false when it cannot be opened.
  bool Open(const std::string& path);
  // The file's size in bytes as found at Open.
  uint64_t Size() const { return size_; }
  // Reads up to `count` bytes at `position`; the number of bytes read (short at the end).
  size_t ReadAt(uint64_t position, void* buffer, size_t count);

 private:
  struct Handle;
  std::unique_ptr<Handle> handle_;
  uint64_t size_ = 0;
};

class OutputFile {
 public:
  OutputFile();
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates the file, replacing an existing one; false when it cannot be created.
  bool Create(const std::string& path);
  // Appends `count` bytes; false when they were not all written.
  bool Write(const void* data, size_t count);

 private:
  struct Handle;
  std::unique_ptr<Handle> handle_;
};

// The whole of a regular file whose name is UTF-8 (CreateFileW on Windows, so that names in any
// script open), when it holds at most maxBytes bytes. False for a file that cannot be opened or
// read, is not a regular file, or is larger; `bytes` is then empty. The read may block for as
// long as the file system does: call it off the window's thread.
bool ReadWholeFile(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& bytes);

}  // namespace kavrosa
