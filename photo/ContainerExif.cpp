// PNG chunks are length, type, data, CRC (lengths big-endian, below 2^31); RIFF chunks are
// type, little-endian length, data padded to an even length. Each step moves forward by at
// least a chunk header, so a walk over any bytes ends.
#include "photo/ContainerExif.h"

#include <cstring>
#include <vector>

#include "jpeg/ByteView.h"
#include "jpeg/ExifOrientation.h"

namespace kavrosa {
namespace {

// IFD0 sits near the start of the block; a longer block is read no further than this.
constexpr size_t kMaxExifBytesRead = 1u << 20;

uint32_t Be32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

}  // namespace

int32_t ExifBlockOrientation(const uint8_t* data, size_t size) {
  static constexpr uint8_t kSignature[6] = {'E', 'x', 'i', 'f', 0, 0};
  if (data == nullptr) return 0;
  if (size >= 6 && std::memcmp(data, kSignature, 6) == 0) {
    return ReadExifOrientation(ByteView{data, size});
  }
  // The JPEG reader expects the APP1 signature in front of the TIFF header.
  const size_t kept = size < kMaxExifBytesRead ? size : kMaxExifBytesRead;
  std::vector<uint8_t> body(kSignature, kSignature + 6);
  body.insert(body.end(), data, data + kept);
  return ReadExifOrientation(ByteView{body.data(), body.size()});
}

int32_t PngExifOrientation(const uint8_t* data, size_t size) {
  size_t at = 8;  // past the signature
  while (data != nullptr && at <= size && size - at >= 12) {
    const uint32_t length = Be32(data + at);
    const uint8_t* type = data + at + 4;
    if (length > size - at - 12) return 0;
    if (std::memcmp(type, "eXIf", 4) == 0) return ExifBlockOrientation(data + at + 8, length);
    if (std::memcmp(type, "IEND", 4) == 0) return 0;
    at += size_t{12} + length;
  }
  return 0;
}

bool PngChunksInsideFile(const uint8_t* data, size_t size) {
  size_t at = 8;
  while (data != nullptr && at <= size && size - at >= 12) {
    const uint32_t length = Be32(data + at);
    if (length > size - at - 12) return false;
    if (std::memcmp(data + at + 4, "IEND", 4) == 0) return true;
    at += size_t{12} + length;
  }
  return false;
}

int32_t WebpExifOrientation(const uint8_t* data, size_t size) {
  size_t at = 12;  // past "RIFF", the file length and "WEBP"
  while (data != nullptr && at <= size && size - at >= 8) {
    const uint32_t length = Le32(data + at + 4);
    if (length > size - at - 8) return 0;
    if (std::memcmp(data + at, "EXIF", 4) == 0) return ExifBlockOrientation(data + at + 8, length);
    at += size_t{8} + length + (length & 1u);
  }
  return 0;
}

}  // namespace kavrosa
