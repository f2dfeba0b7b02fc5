// GIF through giflib: the first frame only, drawn on the file's logical screen with its
// transparent colour and everything outside the frame left black (the show's background).
// giflib reads records one by one, so the frames after the first are never touched.
#include <gif_lib.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "photo/PictureBuilder.h"
#include "photo/PosixCodecs.h"

namespace kavrosa {
namespace {

struct MemoryReader {
  const uint8_t* data;
  size_t size;
  size_t at;
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int count) {
  auto* reader = static_cast<MemoryReader*>(gif->UserData);
  const size_t left = reader->size - reader->at;
  const size_t taken = count < 0 ? 0 : std::min(left, static_cast<size_t>(count));
  std::copy(reader->data + reader->at, reader->data + reader->at + taken, out);
  reader->at += taken;
  return static_cast<int>(taken);
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};
using GifFile = std::unique_ptr<GifFileType, GifCloser>;

// The transparent index a Graphic Control Extension names, or -1.
int TransparentIndex(const GifByteType* block) {
  if (block == nullptr || block[0] < 4 || (block[1] & 1u) == 0) return -1;
  return block[4];
}

// Skips extensions up to the first image descriptor, noting the transparent colour.
bool FindFirstFrame(GifFileType* gif, int& transparent) {
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) return false;
    if (type == IMAGE_DESC_RECORD_TYPE) return DGifGetImageDesc(gif) != GIF_ERROR;
    if (type != EXTENSION_RECORD_TYPE) return false;
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
    if (code == GRAPHICS_EXT_FUNC_CODE) transparent = TransparentIndex(block);
    while (block != nullptr) {
      if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
    }
  }
}

// The frame's colour indices in display order (interlaced frames come in four passes).
bool ReadIndices(GifFileType* gif, int width, int height, std::vector<GifByteType>& indices) {
  static constexpr int kStart[4] = {0, 4, 2, 1};
  static constexpr int kStep[4] = {8, 8, 4, 2};
  const bool interlaced = gif->Image.Interlace;
  for (int pass = 0; pass < (interlaced ? 4 : 1); ++pass) {
    for (int y = interlaced ? kStart[pass] : 0; y < height; y += interlaced ? kStep[pass] : 1) {
      if (DGifGetLine(gif, indices.data() + size_t(y) * size_t(width), width) == GIF_ERROR)
        return false;
    }
  }
  return true;
}

}  // namespace

bool DecodeGif(const uint8_t* data, size_t size, Size bound, DibImage& image) {
  MemoryReader source{data, size, 0};
  int error = 0;
  GifFile gif(DGifOpen(&source, &ReadFromMemory, &error));
  int transparent = -1;
  if (!gif || !FindFirstFrame(gif.get(), transparent)) return false;
  const GifImageDesc& frame = gif->Image;
  const ColorMapObject* colours = frame.ColorMap != nullptr ? frame.ColorMap : gif->SColorMap;
  if (colours == nullptr || colours->Colors == nullptr) return false;
  if (!DecodableSize(frame.Width, frame.Height, 24)) return false;
  // Some writers leave the logical screen at 0 x 0: the frame is then the picture.
  const int screenWidth = gif->SWidth > 0 ? gif->SWidth : frame.Left + frame.Width;
  const int screenHeight = gif->SHeight > 0 ? gif->SHeight : frame.Top + frame.Height;
  PictureBuilder builder;
  if (!builder.Begin(screenWidth, screenHeight, 1, bound)) return false;
  try {
    std::vector<GifByteType> indices(size_t(frame.Width) * size_t(frame.Height));
    if (!ReadIndices(gif.get(), frame.Width, frame.Height, indices)) return false;
    std::vector<uint8_t> row(size_t(screenWidth) * 3);
    for (int y = 0; y < screenHeight; ++y) {
      std::fill(row.begin(), row.end(), 0);
      const int fy = y - frame.Top;
      if (fy >= 0 && fy < frame.Height) {
        const GifByteType* line = indices.data() + size_t(fy) * size_t(frame.Width);
        const int from = std::max(0, frame.Left);
        const int to = std::min(screenWidth, frame.Left + frame.Width);
        for (int x = from; x < to; ++x) {
          const int index = line[x - frame.Left];
          if (index == transparent || index >= colours->ColorCount) continue;
          const GifColorType& c = colours->Colors[index];
          uint8_t* out = row.data() + size_t(x) * 3;
          out[0] = c.Blue, out[1] = c.Green, out[2] = c.Red;
        }
      }
      builder.PushRow(row.data());
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return builder.Finish(image);
}

}  // namespace kavrosa
