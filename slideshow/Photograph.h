// One photograph from the user's folder into a DibImage, ready for the screen: a JPEG or BMP
// (ours) or a format the platform decodes (PNG, GIF, TIFF, WebP, HEIC, AVIF), read whole with a
// cap, told from its bytes, turned upright, made 24-bit and reduced to the size its monitor
// needs. Runs on the prefetch thread; every failure is an answer (false), never a stop.
#pragma once

#include <cstdint>
#include <string>

#include "image/DibImage.h"
#include "platform/Types.h"

namespace kavrosa {

// Largest photograph file read; a bigger one is skipped unread.
constexpr uint64_t kMaxPhotographFileBytes = 128u * 1024u * 1024u;

// Loads the photograph at `path` (UTF-8), its format chosen by its first bytes, not its name. A
// picture larger than `bound` in either direction arrives fitted to it. True when `image` holds a
// loaded 24-bit picture of non-zero size.
bool LoadPhotograph(const std::string& path, Size bound, DibImage& image);

// What folder workers load photographs with: LoadPhotograph unless a test put in its own (a
// reader that blocks like a hung share, say); null restores LoadPhotograph. Set it before the
// show starts.
using PhotographLoader = bool (*)(const std::string& path, Size bound, DibImage& image);
PhotographLoader CurrentPhotographLoader();
void SetPhotographLoaderForTesting(PhotographLoader loader);

// The same from bytes already in memory (tests, fuzzing).
bool LoadPhotographFromMemory(const uint8_t* data, size_t size, Size bound, DibImage& image);

}  // namespace kavrosa
