// The decoder's entry points. DibImage::DecodeJpeg (0/1) decodes with the image's own
// state; DecodeJpegChecked also says why a stream was refused and can run the plain reference
// path, which the fast path must match byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>

#include "jpeg/JpegDecoderState.h"
#include "jpeg/JpegError.h"
#include "platform/LocalMemory.h"
#include "platform/Types.h"

namespace kavrosa {

class DibImage;

enum class JpegPath {
  kReference,  // the direct 8x8 product and per-pixel conversion through the planes
  kFast,       // the same bytes, skipping work that provably contributes nothing
};

// Decodes `size` bytes at `data` into the two blocks, using and updating `state`. Never reads
// outside the stream. kNone when the marker loop reached EOI.
JpegError DecodeJpegStream(JpegDecoderState& state, LocalBlock& headerBlock, LocalBlock& pixelBlock,
                           const uint8_t* data, size_t size, JpegPath path = JpegPath::kFast);

// DecodeJpegStream into the image's header and pixel blocks, with a decoder state of its own.
// Leaves `loaded` to the caller, like DecodeJpeg.
JpegError DecodeJpegChecked(DibImage& image, const uint8_t* data, size_t size,
                            JpegPath path = JpegPath::kFast);

// DecodeJpegStream at the smallest scale (1, 1/2, 1/4, 1/8, each block transformed straight
// to its reduced samples from its lowest frequencies) whose picture still covers what `bound` shows
// of the oriented picture. The orientation is left in state.exifOrientation, not applied. With
// `resampleAsDecoded`, rows are scaled on to the fit size (in the frame's own axes) as they are
// decoded, so no picture larger than that is held; the blocks then hold the fit size.
JpegError DecodeJpegAtBound(JpegDecoderState& state, LocalBlock& headerBlock,
                            LocalBlock& pixelBlock, const uint8_t* data, size_t size, Size bound,
                            JpegPath path = JpegPath::kFast, bool resampleAsDecoded = false);

// The picture as a screen of size `bound` shows it: decoded at the scale DecodeJpegAtBound
// picks, turned by its Exif orientation, and when larger than `bound` in either direction,
// resampled to the size the fit rule gives inside `bound` (FitTarget). A bound with a side of
// 0 or less: the whole picture, oriented.
JpegError DecodeJpegFitted(JpegDecoderState& state, LocalBlock& headerBlock, LocalBlock& pixelBlock,
                           const uint8_t* data, size_t size, Size bound,
                           JpegPath path = JpegPath::kFast);

}  // namespace kavrosa
