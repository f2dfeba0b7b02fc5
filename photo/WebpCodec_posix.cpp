// WebP through libwebp: a still picture is decoded whole into one held buffer; an animated one
// through the demuxer's animation decoder, which composes the first frame on its canvas. Both
// give blue, green, red and straight alpha, composited over black here. The Exif orientation
// comes from the file's EXIF chunk.
#include <webp/decode.h>
#include <webp/demux.h>

#include <memory>
#include <vector>

#include "photo/ContainerExif.h"
#include "photo/PictureBuilder.h"
#include "photo/PosixCodecs.h"

namespace kavrosa {
namespace {

struct AnimDecoderDeleter {
  void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};

bool PushBgra(PictureBuilder& builder, const uint8_t* pixels, size_t stride, bool alpha) {
  try {
    std::vector<uint8_t> bgr(size_t(builder.width()) * 3);
    for (int32_t y = 0; y < builder.height(); ++y) {
      const uint8_t* row = pixels + stride * size_t(y);
      if (alpha) {
        BgraOverBlackToBgr(row, builder.width(), bgr.data());
      } else {
        for (int32_t x = 0; x < builder.width(); ++x) {
          bgr[3 * x] = row[4 * x], bgr[3 * x + 1] = row[4 * x + 1], bgr[3 * x + 2] = row[4 * x + 2];
        }
      }
      builder.PushRow(bgr.data());
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool DecodeStill(const uint8_t* data, size_t size, const WebPBitstreamFeatures& features,
                 PictureBuilder& builder) {
  const bool alpha = features.has_alpha != 0;
  const size_t stride = size_t(features.width) * (alpha ? 4 : 3);
  std::vector<uint8_t> pixels;
  try {
    pixels.resize(stride * size_t(features.height));
  } catch (const std::bad_alloc&) {
    return false;
  }
  WebPDecoderConfig config;
  if (!WebPInitDecoderConfig(&config)) return false;
  config.output.colorspace = alpha ? MODE_BGRA : MODE_BGR;
  config.output.is_external_memory = 1;
  config.output.u.RGBA.rgba = pixels.data();
  config.output.u.RGBA.stride = static_cast<int>(stride);
  config.output.u.RGBA.size = pixels.size();
  const bool decoded = WebPDecode(data, size, &config) == VP8_STATUS_OK;
  WebPFreeDecBuffer(&config.output);
  if (!decoded) return false;
  if (alpha) return PushBgra(builder, pixels.data(), stride, true);
  for (int32_t y = 0; y < builder.height(); ++y) builder.PushRow(pixels.data() + stride * y);
  return true;
}

bool DecodeFirstFrame(const uint8_t* data, size_t size, PictureBuilder& builder) {
  WebPAnimDecoderOptions options;
  if (!WebPAnimDecoderOptionsInit(&options)) return false;
  options.color_mode = MODE_BGRA;
  options.use_threads = 0;
  const WebPData bytes{data, size};
  std::unique_ptr<WebPAnimDecoder, AnimDecoderDeleter> decoder(
      WebPAnimDecoderNew(&bytes, &options));
  WebPAnimInfo info;
  if (!decoder || !WebPAnimDecoderGetInfo(decoder.get(), &info)) return false;
  if (int64_t{info.canvas_width} != builder.width() ||
      int64_t{info.canvas_height} != builder.height()) {
    return false;
  }
  uint8_t* canvas = nullptr;
  int timestamp = 0;
  if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp) || canvas == nullptr)
    return false;
  return PushBgra(builder, canvas, size_t(info.canvas_width) * 4, true);
}

}  // namespace

bool DecodeWebp(const uint8_t* data, size_t size, Size bound, DibImage& image) {
  WebPBitstreamFeatures features;
  if (WebPGetFeatures(data, size, &features) != VP8_STATUS_OK) return false;
  const bool animated = features.has_animation != 0;
  // The decoder's own buffer, or the animation canvas, holds the whole picture with alpha.
  if (!DecodableSize(features.width, features.height, animated || features.has_alpha ? 32 : 24))
    return false;
  PictureBuilder builder;
  if (!builder.Begin(features.width, features.height, WebpExifOrientation(data, size), bound))
    return false;
  const bool decoded =
      animated ? DecodeFirstFrame(data, size, builder) : DecodeStill(data, size, features, builder);
  return decoded && builder.Finish(image);
}

}  // namespace kavrosa
