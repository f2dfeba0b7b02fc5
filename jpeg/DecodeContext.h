// What one decode carries between its stages: the state inside the image, the image's two
// blocks, the bounded stream, the chosen path and the first refusal. Offsets into the stream
// stand where the design keeps pointers, so that every position is checked against the size.
#pragma once

#include <cstddef>
#include <cstdint>

#include <memory>
#include <vector>

#include "image/Resample.h"

#include "jpeg/ByteView.h"
#include "jpeg/CoefficientStore.h"
#include "jpeg/JpegDecoder.h"
#include "jpeg/JpegDecoderState.h"
#include "jpeg/JpegError.h"
#include "platform/LocalMemory.h"
#include "platform/Types.h"

namespace kavrosa {

struct ScanSetup;

struct DecodeContext {
  DecodeContext(JpegDecoderState& s, LocalBlock& header, LocalBlock& pixels, ByteView bytes,
                JpegPath decodePath)
      : state(s), headerBlock(header), pixelBlock(pixels), stream(bytes), path(decodePath) {}

  JpegDecoderState& state;
  LocalBlock& headerBlock;
  LocalBlock& pixelBlock;
  ByteView stream;
  JpegPath path;
  JpegError error = JpegError::kNone;
  bool reachedEoi = false;
  bool frameRead = false;
  bool orientationRead = false;
  // Decoding to a size: the bound the picture is meant for (none: full size), the scale the
  // frame is decoded at, and the strip of one MCU row that rows going on to the resampler
  // pass through.
  Size bound = {};
  int32_t scale = 1;
  std::vector<uint8_t> strip;
  // Resampling as the rows come: asked for, and when the fit size differs from the decoded
  // scale's, the resampler and the size it makes (the pixel block's).
  bool resampleAsDecoded = false;
  std::unique_ptr<RowStreamResampler> resampler;
  Size resampled = {};
  // Frames gathered over several scans (progressive, or sequential with one component per
  // scan): the coefficients and the number of scans so far.
  bool gathered = false;
  CoefficientStore coefficients;
  int32_t scans = 0;

  // Records the first refusal, ends the marker loop and returns `position` for the caller.
  size_t Stop(JpegError why, size_t position) {
    if (error == JpegError::kNone) error = why;
    state.parseDone = 1;
    return position;
  }
};

// The scan (SOS) at `q`, the offset of its length field; returns the offset after the
// entropy-coded data, where the next marker is expected.
size_t DecodeScan(DecodeContext& context, size_t q);

// One scan of a gathered frame into context.coefficients (ProgressiveScan.cpp).
JpegError DecodeProgressiveScan(DecodeContext& context, const ScanSetup& setup);

// At EOI: a frame gathered in coefficients becomes the picture.
JpegError FinishFrame(DecodeContext& context);

}  // namespace kavrosa
