// TIFF through libtiff's RGBA reader, which knows every photometric (palette, greyscale, 16-bit,
// YCbCr, alpha made associated): the first page, read a strip or tile row at a time into the
// resampler. libtiff is asked to keep the stored row order, so the Orientation tag is applied
// once, here, like every other format's.
#include <tiffio.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/PixelGeometry.h"
#include "photo/PictureBuilder.h"
#include "photo/PosixCodecs.h"

namespace kavrosa {
namespace {

struct MemoryFile {
  const uint8_t* data;
  size_t size;
  size_t at;
};

tmsize_t ReadProc(thandle_t handle, void* out, tmsize_t count) {
  auto* file = static_cast<MemoryFile*>(handle);
  if (count < 0 || file->at > file->size) return 0;
  const size_t taken = std::min(file->size - file->at, static_cast<size_t>(count));
  std::copy(file->data + file->at, file->data + file->at + taken, static_cast<uint8_t*>(out));
  file->at += taken;
  return static_cast<tmsize_t>(taken);
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) {
  return 0;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
  auto* file = static_cast<MemoryFile*>(handle);
  const uint64_t base = whence == SEEK_CUR ? file->at : whence == SEEK_END ? file->size : 0;
  const uint64_t to = base + offset;
  if (to < base || to > file->size) return static_cast<toff_t>(-1);
  file->at = static_cast<size_t>(to);
  return to;
}

int CloseProc(thandle_t) {
  return 0;
}

toff_t SizeProc(thandle_t handle) {
  return static_cast<MemoryFile*>(handle)->size;
}

int NoMap(thandle_t, void**, toff_t*) {
  return 0;
}

void NoUnmap(thandle_t, void*, toff_t) {}

// libtiff's messages would reach stderr; a refusal is the answer enough.
int Silent(TIFF*, void*, const char*, const char*, va_list) {
  return 1;
}

struct TiffCloser {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
struct OptionsFreer {
  void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

// Ends the RGBA reader, which holds the colour maps and conversion tables.
class RgbaReader {
 public:
  explicit RgbaReader(TIFF* tiff) {
    char message[1024] = {};
    begun_ = TIFFRGBAImageOK(tiff, message) && TIFFRGBAImageBegin(&image_, tiff, 1, message);
  }
  ~RgbaReader() {
    if (begun_) TIFFRGBAImageEnd(&image_);
  }
  RgbaReader(const RgbaReader&) = delete;
  RgbaReader& operator=(const RgbaReader&) = delete;
  bool ok() const { return begun_; }
  TIFFRGBAImage& image() { return image_; }

 private:
  TIFFRGBAImage image_{};
  bool begun_ = false;
};

// Rows decoded per call: a whole strip or row of tiles, so no strip is decoded twice.
uint32_t BandRows(TIFF* tiff, uint32_t height) {
  uint32_t rows = 0;
  if (TIFFIsTiled(tiff)) {
    TIFFGetField(tiff, TIFFTAG_TILELENGTH, &rows);
  } else {
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rows);
  }
  return std::clamp<uint32_t>(rows, 1, height);
}

}  // namespace

bool DecodeTiff(const uint8_t* data, size_t size, Size bound, DibImage& image) {
  std::unique_ptr<TIFFOpenOptions, OptionsFreer> options(TIFFOpenOptionsAlloc());
  if (!options) return false;
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), static_cast<tmsize_t>(kMaxImageBytes));
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), &Silent, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), &Silent, nullptr);
  MemoryFile file{data, size, 0};
  std::unique_ptr<TIFF, TiffCloser> tiff(
      TIFFClientOpenExt("photograph", "rm", &file, &ReadProc, &WriteProc, &SeekProc, &CloseProc,
                        &SizeProc, &NoMap, &NoUnmap, options.get()));
  if (!tiff) return false;
  uint32_t width = 0, height = 0;
  uint16_t orientation = ORIENTATION_TOPLEFT;
  if (!TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) ||
      !TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height) ||
      !DecodableSize(width, height, 24)) {
    return false;
  }
  TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_ORIENTATION, &orientation);
  const uint32_t band = BandRows(tiff.get(), height);
  if (!DecodableSize(width, band, 32)) return false;
  RgbaReader reader(tiff.get());
  if (!reader.ok()) return false;
  TIFFRGBAImage& rgba = reader.image();
  rgba.orientation = ORIENTATION_TOPLEFT;  // no flips of libtiff's own: rows as stored
  rgba.req_orientation = ORIENTATION_TOPLEFT;
  PictureBuilder builder;
  if (!builder.Begin(static_cast<int32_t>(width), static_cast<int32_t>(height), orientation,
                     bound)) {
    return false;
  }
  try {
    std::vector<uint32_t> raster(size_t{width} * band);
    std::vector<uint8_t> bgr(size_t{width} * 3);
    for (uint32_t top = 0; top < height; top += band) {
      const uint32_t rows = std::min(band, height - top);
      rgba.row_offset = static_cast<int>(top);
      rgba.col_offset = 0;
      if (!TIFFRGBAImageGet(&rgba, raster.data(), width, rows)) return false;
      for (uint32_t y = 0; y < rows; ++y) {
        // Alpha comes associated (premultiplied): over black, the colour is as it stands.
        const uint32_t* in = raster.data() + size_t{width} * y;
        for (uint32_t x = 0; x < width; ++x) {
          bgr[3 * x] = static_cast<uint8_t>(TIFFGetB(in[x]));
          bgr[3 * x + 1] = static_cast<uint8_t>(TIFFGetG(in[x]));
          bgr[3 * x + 2] = static_cast<uint8_t>(TIFFGetR(in[x]));
        }
        builder.PushRow(bgr.data());
      }
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return builder.Finish(image);
}

}  // namespace kavrosa
