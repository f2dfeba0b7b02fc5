// Messages for the decoder's refusals, one per JpegError code, in the enum's order.
#include "jpeg/JpegError.h"

#include <iterator>

namespace kavrosa {
namespace {

constexpr const char* kMessages[] = {
    "no error",
    "expected a marker (0xFF) where the stream holds other data",
    ("unsupported marker (progressive, extended, lossless or arithmetic-coded frame, or a "
     "stray marker)"),
    "the stream ends too early",
    "a segment length does not fit its contents or the stream",
    "frame header length is not 17 (only three-component pictures are decoded)",
    "sample precision is not 8 bits",
    "the frame does not have three components",
    "a component has a sampling factor of 0",
    "unsupported sampling layout (only 1x1, 2x1 and 2x2 luminance over 1x1 chroma)",
    "picture width or height is 0 or too large",
    "out of memory for the pixel block",
    "16-bit quantisation tables are not supported",
    "a table number is above 3",
    "a Huffman table has no codes, more than 256 codes, or counts that overflow the code space",
    "a scan comes before any frame header",
    "the scan does not name components 1, 2 and 3",
    "the scan uses a table that this stream never defined",
    "the entropy-coded data holds a code that the Huffman table does not contain",
    "a zero run carries the coefficient index past 63",
    "a DC category above 11 or an AC coefficient size above 10",
    "a DC value beyond the range of 8-bit samples",
};

}  // namespace

const char* JpegErrorMessage(JpegError error) {
  const auto index = static_cast<size_t>(error);
  if (index >= std::size(kMessages)) return "unknown JPEG error";
  return kMessages[index];
}

}  // namespace kavrosa
