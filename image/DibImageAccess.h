// The loaders' way into a DibImage's state (friend of the class): the loaded flag, the stride
// cache and the GDI handles. Loaders clear `loaded` before they change a block and set it last.
#pragma once

#include "image/DibImage.h"

namespace kavrosa {

struct DibImageAccess {
  static int32_t& Loaded(DibImage& image) { return image.loaded_; }
  static int32_t& Stride(DibImage& image) { return image.stride_; }
  static BitmapHandle& DibSection(DibImage& image) { return image.dibSection_; }
  static PaletteHandle& Palette(DibImage& image) { return image.palette_; }
  static JpegDecoderState& Jpeg(DibImage& image) { return image.jpeg_; }
};

}  // namespace kavrosa
