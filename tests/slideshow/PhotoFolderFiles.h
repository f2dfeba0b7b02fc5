// Photograph folders for the folder-show tests, made at test time in the temporary directory:
// copies of the embedded photographs (run from the test's source folder), BMP files written
// here, and the bad cases (cut-off, empty, text, a JPEG header claiming 30000 x 30000).
#pragma once

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kavrosa::testing_folders {

namespace fs = std::filesystem;

inline std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// Embedded photograph n (1..12) as a file: resources/pictures/pictureNN.jpg.
inline std::vector<uint8_t> Picture(int n) {
  char name[64];
  std::snprintf(name, sizeof name, "../../resources/pictures/picture%02d.jpg", n);
  return ReadBytes(name);
}

inline void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A bottom-up BMP file of width x height at 8 bits (a 2-colour table: index (x + y) % 2, colour
// 0 blue-ish, 1 red-ish) or 24 bits (pixel bytes (x, y, seed)).
inline std::vector<uint8_t> BmpFile(int32_t width, int32_t height, int bits, uint8_t seed = 7) {
  const int32_t stride = (width * bits + 31) / 32 * 4;
  const uint32_t table = bits == 8 ? 2 * 4 : 0;
  const uint32_t offset = 54 + table;
  std::vector<uint8_t> out{'B', 'M'};
  PutLe(out, offset + stride * height, 4);
  PutLe(out, 0, 4);
  PutLe(out, offset, 4);
  PutLe(out, 40, 4);
  PutLe(out, static_cast<uint32_t>(width), 4);
  PutLe(out, static_cast<uint32_t>(height), 4);
  PutLe(out, 1, 2);
  PutLe(out, static_cast<uint32_t>(bits), 2);
  PutLe(out, 0, 4);  // BI_RGB
  PutLe(out, static_cast<uint32_t>(stride * height), 4);
  PutLe(out, 2835, 4);
  PutLe(out, 2835, 4);
  PutLe(out, bits == 8 ? 2 : 0, 4);
  PutLe(out, 0, 4);
  if (bits == 8) out.insert(out.end(), {200, 10, 20, 0, 30, 40, 250, 0});
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t i = 0; i < stride; ++i) {
      const int32_t x = bits == 8 ? i : i / 3;
      uint8_t v = 0;
      if (bits == 8 && i < width) v = static_cast<uint8_t>((x + y) % 2);
      if (bits == 24 && i < width * 3)
        v = static_cast<uint8_t>(i % 3 == 0 ? x : i % 3 == 1 ? y : seed);
      out.push_back(v);
    }
  }
  return out;
}

// SOI and a baseline frame header claiming 30000 x 30000 with three components, then the end.
inline std::vector<uint8_t> BombJpeg() {
  return {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0x75, 0x30, 0x75, 0x30, 0x03,
          0x01, 0x11, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11, 0x01, 0xFF, 0xD9};
}

// The JPEG with an Exif APP1 segment after SOI whose orientation tag (0x0112) is `orientation`.
inline std::vector<uint8_t> WithExifOrientation(const std::vector<uint8_t>& jpeg,
                                                uint16_t orientation) {
  const std::vector<uint8_t> app1 = {0xFF,
                                     0xE1,
                                     0x00,
                                     0x22,  // APP1, length 34
                                     'E',
                                     'x',
                                     'i',
                                     'f',
                                     0x00,
                                     0x00,  // Exif header
                                     'I',
                                     'I',
                                     0x2A,
                                     0x00,
                                     0x08,
                                     0x00,
                                     0x00,
                                     0x00,  // TIFF, little-endian, IFD at 8
                                     0x01,
                                     0x00,  // one entry
                                     0x12,
                                     0x01,
                                     0x03,
                                     0x00,
                                     0x01,
                                     0x00,
                                     0x00,
                                     0x00,  // orientation, SHORT, count 1
                                     static_cast<uint8_t>(orientation),
                                     static_cast<uint8_t>(orientation >> 8),
                                     0x00,
                                     0x00,
                                     0x00,
                                     0x00,
                                     0x00,
                                     0x00};  // no next IFD
  std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
  out.insert(out.end(), app1.begin(), app1.end());
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

class TempFolder {
 public:
  explicit TempFolder(const std::string& stem) {
    static int counter = 0;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = fs::temp_directory_path() /
            (stem + "-" + std::to_string(stamp) + "-" + std::to_string(++counter));
    fs::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const fs::path& path() const { return path_; }
  void Put(const std::string& relative, const std::vector<uint8_t>& bytes) const {
    WriteBytes(path_ / fs::u8path(relative), bytes);
  }

 private:
  fs::path path_;
};

}  // namespace kavrosa::testing_folders
