// What one decode carries between its stages: the state inside the image, the image's two
// blocks, the bounded stream, the chosen path and the first refusal. Offsets into the stream
// stand where the design keeps pointers, so that every position is checked against the size.
#pragma once

#include <cstddef>
#include <cstdint>

#include "jpeg/ByteView.h"
#include "jpeg/JpegDecoder.h"
#include "jpeg/JpegDecoderState.h"
#include "jpeg/JpegError.h"
#include "platform/LocalMemory.h"

namespace kavrosa {

struct DecodeContext {
  JpegDecoderState& state;
  LocalBlock& headerBlock;
  LocalBlock& pixelBlock;
  ByteView stream;
  JpegPath path = JpegPath::kFast;
  JpegError error = JpegError::kNone;
  bool reachedEoi = false;
  bool frameRead = false;

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

}  // namespace kavrosa
