// The baseline decoder's entry points. DibImage::DecodeJpeg (0/1) decodes with the image's own
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

// DecodeJpegStream, and when the picture is larger than `bound` in either direction, its
// reduction to the size the fit rule gives inside `bound` (FitSize). A bound with a side of 0
// or less leaves every picture at its own size.
JpegError DecodeJpegFitted(JpegDecoderState& state, LocalBlock& headerBlock, LocalBlock& pixelBlock,
                           const uint8_t* data, size_t size, Size bound,
                           JpegPath path = JpegPath::kFast);

}  // namespace kavrosa
