// PNG through libpng. libpng reports errors by longjmp, so each call into it sits in a small
// function that sets the jump point and holds nothing with a destructor; the rows, the builder
// and the blocks live in the caller. Non-interlaced pictures go row by row into the resampler;
// interlaced ones need the whole picture, which is held once.
#include <png.h>

#include <vector>

#include "platform/PixelGeometry.h"
#include "photo/ContainerExif.h"
#include "photo/PictureBuilder.h"
#include "photo/PosixCodecs.h"

namespace kavrosa {
namespace {

constexpr png_alloc_size_t kMaxPngChunkBytes = 16u * 1024u * 1024u;

struct MemoryReader {
  const uint8_t* data;
  size_t size;
  size_t at;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (count > reader->size - reader->at) png_error(png, "cut short");
  std::copy(reader->data + reader->at, reader->data + reader->at + count, out);
  reader->at += count;
}

void IgnoreWarning(png_structp, png_const_charp) {}

// libpng's own handler prints the reason to stderr first; the refusal is answer enough.
[[noreturn]] void QuietError(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}

// Owns libpng's two structures.
class PngReader {
 public:
  PngReader() {
    png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, &QuietError, &IgnoreWarning);
    if (png_ != nullptr) info_ = png_create_info_struct(png_);
  }
  ~PngReader() { png_destroy_read_struct(&png_, info_ != nullptr ? &info_ : nullptr, nullptr); }
  PngReader(const PngReader&) = delete;
  PngReader& operator=(const PngReader&) = delete;
  bool ok() const { return png_ != nullptr && info_ != nullptr; }
  png_structp png() const { return png_; }
  png_infop info() const { return info_; }

 private:
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
};

struct PngShape {
  uint32_t width = 0;
  uint32_t height = 0;
  int channels = 0;  // 3 (blue, green, red) or 4 (with alpha)
  bool interlaced = false;
};

// Reads the header and asks for 8-bit blue, green, red (and alpha): palettes and low-bit
// greyscale expanded, a transparent colour made alpha, 16-bit channels scaled with rounding.
bool ReadShape(PngReader& reader, MemoryReader& source, PngShape& shape) {
  png_structp png = reader.png();
  png_infop info = reader.info();
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, &source, &ReadFromMemory);
  png_set_user_limits(png, kMaxImageDimension, kMaxImageDimension);
  // libpng sizes a chunk's buffer by the length the chunk claims, before reading it; image data
  // is streamed and never buffered whole, so this bounds only text, profiles and the like.
  png_set_chunk_malloc_max(png, kMaxPngChunkBytes);
  png_read_info(png, info);
  png_set_expand(png);
  png_set_scale_16(png);
  png_set_gray_to_rgb(png);
  png_set_bgr(png);
  const bool interlaced = png_set_interlace_handling(png) > 1;
  png_read_update_info(png, info);
  shape.width = png_get_image_width(png, info);
  shape.height = png_get_image_height(png, info);
  shape.channels = png_get_channels(png, info);
  shape.interlaced = interlaced;
  return png_get_bit_depth(png, info) == 8 && (shape.channels == 3 || shape.channels == 4);
}

bool ReadRow(PngReader& reader, uint8_t* row) {
  if (setjmp(png_jmpbuf(reader.png()))) return false;
  png_read_row(reader.png(), row, nullptr);
  return true;
}

bool ReadWholePicture(PngReader& reader, png_bytepp rows) {
  if (setjmp(png_jmpbuf(reader.png()))) return false;
  png_read_image(reader.png(), rows);
  return true;
}

void PushConverted(PictureBuilder& builder, const PngShape& shape, const uint8_t* row,
                   std::vector<uint8_t>& bgr) {
  if (shape.channels == 3) {
    builder.PushRow(row);
    return;
  }
  BgraOverBlackToBgr(row, builder.width(), bgr.data());
  builder.PushRow(bgr.data());
}

}  // namespace

bool DecodePng(const uint8_t* data, size_t size, Size bound, DibImage& image) {
  if (!PngChunksInsideFile(data, size)) return false;
  PngReader reader;
  MemoryReader source{data, size, 0};
  PngShape shape;
  if (!reader.ok() || !ReadShape(reader, source, shape)) return false;
  const auto width = static_cast<int32_t>(shape.width);
  const auto height = static_cast<int32_t>(shape.height);
  if (!DecodableSize(width, height, 8 * shape.channels)) return false;
  PictureBuilder builder;
  if (!builder.Begin(width, height, PngExifOrientation(data, size), bound)) return false;
  const size_t rowBytes = size_t{shape.width} * static_cast<size_t>(shape.channels);
  try {
    std::vector<uint8_t> bgr(size_t{shape.width} * 3);
    if (shape.interlaced) {
      std::vector<uint8_t> whole(rowBytes * shape.height);
      std::vector<png_bytep> rows(shape.height);
      for (uint32_t y = 0; y < shape.height; ++y) rows[y] = whole.data() + rowBytes * y;
      if (!ReadWholePicture(reader, rows.data())) return false;
      for (png_bytep row : rows) PushConverted(builder, shape, row, bgr);
    } else {
      std::vector<uint8_t> row(rowBytes);
      for (uint32_t y = 0; y < shape.height; ++y) {
        if (!ReadRow(reader, row.data())) return false;
        PushConverted(builder, shape, row.data(), bgr);
      }
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return builder.Finish(image);
}

}  // namespace kavrosa
