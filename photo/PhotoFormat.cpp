// Magic numbers of the picture formats a photograph folder may hold. HEIF files carry no fixed
// magic: an ISO base media box "ftyp" comes first, and its major or compatible brands say
// whether the file is a still or a sequence of HEVC or AV1 pictures.
#include "photo/PhotoFormat.h"

#include <cstring>

namespace kavrosa {
namespace {

bool StartsWith(const uint8_t* data, size_t size, const char* magic, size_t length) {
  return size >= length && std::memcmp(data, magic, length) == 0;
}

bool IsHeifBrand(const uint8_t* brand) {
  static constexpr const char* kBrands[] = {"heic", "heix", "heim", "heis", "hevc", "hevx",
                                            "hevm", "hevs", "mif1", "msf1", "avif", "avis"};
  for (const char* known : kBrands) {
    if (std::memcmp(brand, known, 4) == 0) return true;
  }
  return false;
}

// An "ftyp" box at the start whose major brand, or one of the compatible brands within the
// probe, is a HEIF brand. The box's own size bounds the brands read.
bool IsHeif(const uint8_t* data, size_t size) {
  if (size < 16 || std::memcmp(data + 4, "ftyp", 4) != 0) return false;
  const uint32_t boxSize = (uint32_t{data[0]} << 24) | (uint32_t{data[1]} << 16) |
                           (uint32_t{data[2]} << 8) | uint32_t{data[3]};
  if (boxSize < 16) return false;
  size_t end = boxSize;
  if (end > size) end = size;
  if (end > kFormatProbeBytes) end = kFormatProbeBytes;
  if (IsHeifBrand(data + 8)) return true;
  for (size_t at = 16; at + 4 <= end; at += 4) {
    if (IsHeifBrand(data + at)) return true;
  }
  return false;
}

}  // namespace

PhotoFormat RecogniseFormat(const uint8_t* data, size_t size) {
  if (data == nullptr) return PhotoFormat::kUnknown;
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return PhotoFormat::kJpeg;
  if (StartsWith(data, size, "BM", 2)) return PhotoFormat::kBmp;
  if (StartsWith(data, size, "\x89PNG\r\n\x1a\n", 8)) return PhotoFormat::kPng;
  if (StartsWith(data, size, "GIF87a", 6) || StartsWith(data, size, "GIF89a", 6))
    return PhotoFormat::kGif;
  if (StartsWith(data, size, "II*\0", 4) || StartsWith(data, size, "MM\0*", 4))
    return PhotoFormat::kTiff;
  if (size >= 12 && StartsWith(data, size, "RIFF", 4) && std::memcmp(data + 8, "WEBP", 4) == 0)
    return PhotoFormat::kWebp;
  if (IsHeif(data, size)) return PhotoFormat::kHeif;
  return PhotoFormat::kUnknown;
}

const char* FormatName(PhotoFormat format) {
  switch (format) {
    case PhotoFormat::kJpeg:
      return "jpeg";
    case PhotoFormat::kBmp:
      return "bmp";
    case PhotoFormat::kPng:
      return "png";
    case PhotoFormat::kGif:
      return "gif";
    case PhotoFormat::kTiff:
      return "tiff";
    case PhotoFormat::kWebp:
      return "webp";
    case PhotoFormat::kHeif:
      return "heif";
    case PhotoFormat::kUnknown:
      break;
  }
  return "unknown";
}

}  // namespace kavrosa
