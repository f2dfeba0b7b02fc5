// Exif orientation where formats other than JPEG keep it: a PNG "eXIf" chunk (which may come
// before or after the image data, so the chunk list is walked before decoding starts), a WebP
// "EXIF" chunk, and the bare TIFF block both hold. Every read stays inside the file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kavrosa {

// The Orientation tag (1..8) of a TIFF-structured Exif block, with or without the "Exif\0\0"
// signature in front; 0 when there is none or the block is damaged.
int32_t ExifBlockOrientation(const uint8_t* data, size_t size);

// The orientation in a PNG file's first eXIf chunk; 0 when there is none.
int32_t PngExifOrientation(const uint8_t* data, size_t size);

// True when every chunk of a PNG file lies inside it, up to IEND. libpng sizes a chunk's buffer
// by the length the chunk claims before reading it, so a few hundred bytes claiming a text
// chunk of 2 GB would cost 2 GB; such a file is refused before libpng sees it.
bool PngChunksInsideFile(const uint8_t* data, size_t size);

// The orientation in a WebP file's EXIF chunk; 0 when there is none.
int32_t WebpExifOrientation(const uint8_t* data, size_t size);

}  // namespace kavrosa
