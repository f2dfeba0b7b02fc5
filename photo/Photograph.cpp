// The photograph room's dispatch: the format from the first bytes, then our JPEG decoder (which
// decodes straight to the fit size, so a large photograph never needs its whole size in memory),
// our BMP reader, or the platform's codecs; last, anything still larger than the bound is
// reduced to fit it, whichever decoder made it.
#include "photo/Photograph.h"

#include <vector>

#include "image/DibImageAccess.h"
#include "image/FitSize.h"
#include "image/Picture24.h"
#include "image/Resample.h"
#include "jpeg/JpegDecoder.h"
#include "photo/BmpPhoto.h"
#include "photo/PlatformCodec.h"
#include "platform/FileIo.h"

namespace kavrosa {
namespace {

PhotoResult Refusal(PhotoError error, PhotoFormat format) {
  PhotoResult result;
  result.error = error;
  result.format = format;
  return result;
}

// A JPEG file begins with SOI. Bytes that are no known format go to our JPEG decoder as well,
// so that its refusal says what it expected, except a marker stream without SOI, which it
// would decode: such a file is not a JPEG file.
bool ForOurJpegDecoder(PhotoFormat format, const uint8_t* data, size_t size) {
  if (format == PhotoFormat::kJpeg) return true;
  if (format != PhotoFormat::kUnknown) return false;
  return size < 2 || data[0] != 0xFF || data[1] == 0xD8;
}

PhotoResult DecodeJpegPhoto(const uint8_t* data, size_t size, Size bound, DibImage& image) {
  PhotoResult result;
  result.jpeg = DecodeJpegFitted(DibImageAccess::Jpeg(image), image.headerBlock(),
                                 image.pixelBlock(), data, size, bound);
  if (result.jpeg != JpegError::kNone) {
    result.error = PhotoError::kJpeg;
  } else if (!image.headerBlock() || !image.pixelBlock()) {
    result.error = PhotoError::kNoPicture;
  }
  return result;
}

PhotoResult DecodeBmp(const uint8_t* data, size_t size, DibImage& image) {
  const BmpPhotoResult bmp = DecodeBmpPhoto(data, size, image);
  PhotoResult result;
  result.bmp = bmp.read;
  switch (bmp.error) {
    case BmpPhotoError::kNone:
      break;
    case BmpPhotoError::kRead:
      result.error = PhotoError::kBmp;
      break;
    case BmpPhotoError::kUnsupported:
      result.error = PhotoError::kBmpKind;
      break;
    case BmpPhotoError::kNoMemory:
      result.error = PhotoError::kNoMemory;
      break;
  }
  return result;
}

// A backstop for every decoder: a 24-bit picture larger than `bound` is resampled to its fit
// size. Our JPEG decoder has done it already; BMP files and codecs may not have.
bool ReduceToFit(DibImage& image, Size bound) {
  const Size size = image.GetSize(true);
  const Size fit = FitTarget(bound, size);
  if (fit == size) return true;
  return Transform24Bit(image, fit, Resample24) == Replace24::kReplaced;
}

const char* NoCodecMessage(PhotoFormat format) {
  switch (format) {
    case PhotoFormat::kPng:
      return "this build has no decoder for PNG pictures";
    case PhotoFormat::kGif:
      return "this build has no decoder for GIF pictures";
    case PhotoFormat::kTiff:
      return "this build has no decoder for TIFF pictures";
    case PhotoFormat::kWebp:
      return "this build has no decoder for WebP pictures";
    case PhotoFormat::kHeif:
      return "this build has no decoder for HEIF pictures";
    default:
      return "this build has no decoder for pictures of this kind";
  }
}

char FoldAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

const char* PhotoErrorMessage(const PhotoResult& result) {
  switch (result.error) {
    case PhotoError::kNone:
      return "no error";
    case PhotoError::kNoData:
      return "the file cannot be read";
    case PhotoError::kUnknownFormat:
      return "not a picture in a format this program reads";
    case PhotoError::kNoCodec:
      return NoCodecMessage(result.format);
    case PhotoError::kCodec:
      return result.codecMessage != nullptr ? result.codecMessage
                                            : "the platform's codec refused the picture";
    case PhotoError::kJpeg:
      return JpegErrorMessage(result.jpeg);
    case PhotoError::kBmp:
      return BmpErrorMessage(result.bmp);
    case PhotoError::kBmpKind:
      return "the BMP's compression or bit count is not supported (RLE, say)";
    case PhotoError::kNoPicture:
      return "the stream holds no picture";
    case PhotoError::kNoMemory:
      return "out of memory for the picture, or it is too large";
  }
  return "unknown error";
}

PhotoResult DecodePhotograph(const uint8_t* data, size_t size, Size bound, DibImage& image) {
  DibImageAccess::Loaded(image) = 0;
  if (data == nullptr && size != 0) return Refusal(PhotoError::kNoData, PhotoFormat::kUnknown);
  const PhotoFormat format = RecogniseFormat(data, size);
  PhotoResult result;
  if (ForOurJpegDecoder(format, data, size)) {
    result = DecodeJpegPhoto(data, size, bound, image);
  } else if (format == PhotoFormat::kBmp) {
    result = DecodeBmp(data, size, image);
  } else if (format == PhotoFormat::kUnknown) {
    return Refusal(PhotoError::kUnknownFormat, format);
  } else {
    result = DecodeWithPlatformCodec(format, data, size, bound, image);
  }
  result.format = format;
  if (!result) return result;
  if (!ReduceToFit(image, bound)) return Refusal(PhotoError::kNoMemory, result.format);
  const Size loaded = image.GetSize(true);
  if (loaded.cx <= 0 || loaded.cy <= 0) return Refusal(PhotoError::kNoPicture, result.format);
  DibImageAccess::Loaded(image) = 1;
  return result;
}

bool LoadPhotographFromMemory(const uint8_t* data, size_t size, Size bound, DibImage& image) {
  return static_cast<bool>(DecodePhotograph(data, size, bound, image));
}

bool LoadPhotograph(const std::string& path, Size bound, DibImage& image) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, kMaxPhotographFileBytes, bytes)) return false;
  return LoadPhotographFromMemory(bytes.data(), bytes.size(), bound, image);
}

bool IsPhotographName(const std::string& name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return false;
  std::string e = name.substr(dot + 1);
  for (char& c : e) c = FoldAscii(c);
  static constexpr const char* kExtensions[] = {"jpg",  "jpeg", "jpe",  "jfif", "bmp",
                                                "heic", "heif", "avif", "png",  "webp",
                                                "tif",  "tiff", "gif"};
  for (const char* known : kExtensions) {
    if (e == known) return true;
  }
  return false;
}

}  // namespace kavrosa
