// Scratch settings files for tests: a unique name in the system's temporary directory, removed
// when the object goes. Works natively and under Wine (where the temporary directory is the
// prefix's own).
#pragma once

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace kavrosa::testing_files {

class ScratchFile {
 public:
  explicit ScratchFile(const std::string& stem) {
    static int counter = 0;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = (std::filesystem::temp_directory_path() /
             (stem + "-" + std::to_string(stamp) + "-" + std::to_string(++counter) + ".ini"))
                .string();
  }
  ~ScratchFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  const char* path() const { return path_.c_str(); }

  void Write(const std::string& bytes) const {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  std::string Read() const {
    std::ifstream in(path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  bool Exists() const { return std::filesystem::exists(path_); }

 private:
  std::string path_;
};

}  // namespace kavrosa::testing_files
