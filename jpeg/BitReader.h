// The plain bit reader over the entropy-coded bytes: one bit at a time from bitCursor and
// bitPosition, skipping the 0x00 stuffed after a 0xFF data byte once that byte is used up.
// It never reads at or past streamEnd: there it gives zero bits and sets bitOverrun.
#pragma once

#include <cstdint>

#include "jpeg/JpegDecoderState.h"

namespace kavrosa {

void StartBitReader(JpegDecoderState& state, const uint8_t* p);

// Appends the next n bits to `acc`, most significant first.
void ReadBits(JpegDecoderState& state, uint32_t& acc, int32_t n);

// Before an MCU that starts a new restart interval: drop the rest of a partly read byte
// (with its stuffed 0x00) and step over the two marker bytes, whatever their code.
void AlignAtRestart(JpegDecoderState& state);

// After the last MCU: drop the rest of a partly read byte, so that bitCursor stands at the
// marker after the scan.
void AlignAtScanEnd(JpegDecoderState& state);

}  // namespace kavrosa
