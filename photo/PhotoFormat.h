// What kind of picture a file holds, told from its first bytes and never from its name: a
// photograph saved as .jpg may well be a PNG. Recognition looks at no more than the first 32
// bytes and never trusts a length it finds there.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kavrosa {

enum class PhotoFormat {
  kUnknown,
  kJpeg,  // FF D8 FF
  kBmp,   // "BM"
  kPng,   // 89 "PNG" 0D 0A 1A 0A
  kGif,   // "GIF87a" or "GIF89a"
  kTiff,  // "II" 2A 00 or "MM" 00 2A
  kWebp,  // "RIFF" size "WEBP"
  kHeif,  // an ISO box file whose "ftyp" names a HEIF brand (HEIC, AVIF and their sequences)
};

// The format of the picture that starts at `data`; kUnknown when nothing matches.
PhotoFormat RecogniseFormat(const uint8_t* data, size_t size);

// Bytes a caller must offer for RecogniseFormat to see all it looks at.
constexpr size_t kFormatProbeBytes = 32;

// A short lowercase name for messages and tools ("jpeg", "png", ..., "unknown").
const char* FormatName(PhotoFormat format);

}  // namespace kavrosa
