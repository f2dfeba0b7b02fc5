// Replacing a picture's pixels by a 24-bit picture of another size: the one way the loaders
// and the decoder's fit step swap blocks (a BMP made 24-bit, a picture turned upright or reduced).
// The new block is complete before the old one goes, so a refusal leaves the picture as it was.
#pragma once

#include <functional>

#include "image/DibImage.h"
#include "image/Resample.h"
#include "platform/LocalMemory.h"
#include "platform/Types.h"

namespace kavrosa {

enum class Replace24 {
  kReplaced,
  kTooLarge,   // the size is beyond the pixel caps
  kNoMemory,   // a block could not be had
  kNotFilled,  // the filler refused (its source was short, say)
};

// Writes the rows of the new picture; false refuses the replacement.
using FillRows24 = std::function<bool(const MutablePixelRows24& target)>;
// Makes the new picture from the old one, both 24-bit.
using TransformRows24 =
    std::function<bool(const PixelRows24& source, const MutablePixelRows24& target)>;

// Replaces the two blocks by a 24-bit picture of `size` that `fill` writes (zero-filled rows
// before it). The header written is `like` with the new size (the sign of like.biHeight keeps
// the row order), 24 bits, no compression and no colour table; its other fields are kept.
Replace24 ReplaceWith24Bit(LocalBlock& headerBlock, LocalBlock& pixelBlock, BitmapInfoHeader like,
                           Size size, const FillRows24& fill);

// The same with the old 24-bit picture (as the header block describes it) as the source.
Replace24 Transform24Bit(LocalBlock& headerBlock, LocalBlock& pixelBlock, Size size,
                         const TransformRows24& transform);

// The image's blocks replaced as above, and what was made from the old ones (palette, DIB
// section, stride cache) dropped. `loaded` is left to the loader.
Replace24 ReplaceWith24Bit(DibImage& image, BitmapInfoHeader like, Size size,
                           const FillRows24& fill);
Replace24 Transform24Bit(DibImage& image, Size size, const TransformRows24& transform);

}  // namespace kavrosa
