// HEIC and AVIF through libheif: the primary picture, decoded whole to interleaved 8-bit RGB
// (RGBA when it has alpha; deeper pictures reduced by libheif) and held once while it is
// reduced. libheif applies the file's own rotation, mirroring and crop, which rule over any
// Exif orientation inside, so no Exif turn is applied after it.
#include <libheif/heif.h>

#include <memory>
#include <vector>

#include "platform/PixelGeometry.h"
#include "photo/PictureBuilder.h"
#include "photo/PosixCodecs.h"

namespace kavrosa {
namespace {

struct ContextFreer {
  void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleReleaser {
  void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageReleaser {
  void operator()(heif_image* image) const { heif_image_release(image); }
};
struct OptionsFreer {
  void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
};

bool Ok(const heif_error& error) {
  return error.code == heif_error_Ok;
}

// The stored size before rotation, and the shown size after it, both within the rule.
bool HandleSizeDecodable(const heif_image_handle* handle, bool alpha) {
  const int bits = alpha ? 32 : 24;
  return DecodableSize(heif_image_handle_get_width(handle), heif_image_handle_get_height(handle),
                       bits) &&
         DecodableSize(heif_image_handle_get_ispe_width(handle),
                       heif_image_handle_get_ispe_height(handle), bits);
}

}  // namespace

bool DecodeHeif(const uint8_t* data, size_t size, Size bound, DibImage& image) {
  std::unique_ptr<heif_context, ContextFreer> context(heif_context_alloc());
  if (!context) return false;
  heif_context_set_maximum_image_size_limit(context.get(), static_cast<int>(kMaxImageDimension));
  // The prefetch worker is the one thread that decodes; tiles are decoded on it too.
  heif_context_set_max_decoding_threads(context.get(), 0);
  if (!Ok(heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr)))
    return false;
  heif_image_handle* rawHandle = nullptr;
  if (!Ok(heif_context_get_primary_image_handle(context.get(), &rawHandle))) return false;
  std::unique_ptr<heif_image_handle, HandleReleaser> handle(rawHandle);
  const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
  const bool premultiplied = heif_image_handle_is_premultiplied_alpha(handle.get()) != 0;
  if (!HandleSizeDecodable(handle.get(), alpha)) return false;

  std::unique_ptr<heif_decoding_options, OptionsFreer> options(heif_decoding_options_alloc());
  if (!options) return false;
  options->convert_hdr_to_8bit = 1;
  heif_image* rawImage = nullptr;
  if (!Ok(heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB,
                            alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                            options.get()))) {
    return false;
  }
  std::unique_ptr<heif_image, ImageReleaser> decoded(rawImage);
  const int width = heif_image_get_width(decoded.get(), heif_channel_interleaved);
  const int height = heif_image_get_height(decoded.get(), heif_channel_interleaved);
  int stride = 0;
  const uint8_t* pixels =
      heif_image_get_plane_readonly(decoded.get(), heif_channel_interleaved, &stride);
  const int channels = alpha ? 4 : 3;
  if (pixels == nullptr || width <= 0 || height <= 0 ||
      heif_image_get_bits_per_pixel_range(decoded.get(), heif_channel_interleaved) != 8 ||
      stride < width * channels) {
    return false;
  }
  PictureBuilder builder;
  if (!builder.Begin(width, height, 1, bound)) return false;
  try {
    std::vector<uint8_t> bgr(size_t(width) * 3);
    for (int y = 0; y < height; ++y) {
      const uint8_t* row = pixels + size_t(stride) * size_t(y);
      if (!alpha) {
        RgbToBgr(row, width, bgr.data());
      } else if (premultiplied) {
        for (int x = 0; x < width; ++x) {
          bgr[3 * x] = row[4 * x + 2], bgr[3 * x + 1] = row[4 * x + 1], bgr[3 * x + 2] = row[4 * x];
        }
      } else {
        RgbaOverBlackToBgr(row, width, bgr.data());
      }
      builder.PushRow(bgr.data());
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return builder.Finish(image);
}

}  // namespace kavrosa
