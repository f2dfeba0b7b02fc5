// The pixel work of one fade frame, apart from the image object: black, a copy, or the random
// dissolve over groups of three bytes of the flat pixel data. The plain generator loop is the
// reference; the fast path replays the generator's cycle from a per-steps table and must give
// the same bytes (the tests hold the two together).
#pragma once

#include <cstddef>
#include <cstdint>

namespace kavrosa {

// The generator's first value for a frame of `steps` steps: 13 x steps + 137 (32-bit, wrapping).
int32_t DissolveSeed(int32_t steps);
// One generator step: (109 x d + 1021) remainder 32768, signed 32-bit, truncated toward zero.
int32_t DissolveNext(int32_t d);

// Fills target[0, size) for level 0 < level < steps: group j (bytes 3j..3j+2, the last group cut
// at size) is copied from source when the group's remainder r = d % steps is at most level, and
// set to 0 otherwise.
void DissolveReference(const uint8_t* source, uint8_t* target, size_t size, int32_t level,
                       int32_t steps);
void DissolveFast(const uint8_t* source, uint8_t* target, size_t size, int32_t level,
                  int32_t steps);

// The dissolve's choice alone: mask[i] = 0xFF when byte i is copied at (level, steps), 0 when it
// is cleared, for 0 < level < steps (the same groups as DissolveReference).
void DissolveKeepMask(uint8_t* mask, size_t size, int32_t level, int32_t steps);

// The whole frame: level 0 black (before anything is divided), level == steps a copy, else the
// dissolve. The caller has refused level < 0 and level > steps.
void RenderFadeFrame(const uint8_t* source, uint8_t* target, size_t size, int32_t level,
                     int32_t steps);

}  // namespace kavrosa
