// Bit reading and byte alignment exactly as the reference decode defines them, bounded by
// streamEnd. The fast path reproduces these positions from its own buffered reader.
#include "jpeg/BitReader.h"

namespace kavrosa {
namespace {

bool HasByte(const JpegDecoderState& state, const uint8_t* p) {
  return p < state.streamEnd;
}

// One step forward, never past the end of the stream.
void Advance(JpegDecoderState& state) {
  if (HasByte(state, state.bitCursor)) ++state.bitCursor;
}

bool IsStuffedFf(const JpegDecoderState& state, const uint8_t* p) {
  return HasByte(state, p + 0) && p[0] == 0xFF && p + 1 < state.streamEnd && p[1] == 0x00;
}

}  // namespace

void StartBitReader(JpegDecoderState& state, const uint8_t* p) {
  state.bitCursor = p;
  state.bitPosition = 0;
}

void ReadBits(JpegDecoderState& state, uint32_t& acc, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    uint32_t bit = 0;
    if (HasByte(state, state.bitCursor)) {
      bit = (*state.bitCursor & state.bitMasks[state.bitPosition]) != 0 ? 1 : 0;
    } else {
      state.bitOverrun = 1;
    }
    acc = (acc << 1) | bit;
    if (++state.bitPosition > 7) {
      state.bitPosition = 0;
      if (IsStuffedFf(state, state.bitCursor)) ++state.bitCursor;
      Advance(state);
    }
  }
}

void AlignAtRestart(JpegDecoderState& state) {
  if (state.bitPosition != 0) {
    if (IsStuffedFf(state, state.bitCursor)) ++state.bitCursor;
    state.bitPosition = 0;
    Advance(state);
  }
  Advance(state);
  Advance(state);
}

void AlignAtScanEnd(JpegDecoderState& state) {
  if (state.bitPosition != 0) {
    if (HasByte(state, state.bitCursor) && *state.bitCursor == 0xFF) Advance(state);
    Advance(state);
  }
}

}  // namespace kavrosa
