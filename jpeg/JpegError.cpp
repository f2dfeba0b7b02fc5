// Messages for the decoder's refusals, one per JpegError code, in the enum's order.
#include "jpeg/JpegError.h"

#include <iterator>

namespace kavrosa {
namespace {

constexpr const char* kMessages[] = {
    "no error",
    "expected a marker (0xFF) where the stream holds other data",
    "unsupported marker (a stray restart, DNL or reserved marker)",
    "the stream ends too early",
    "a segment length does not fit its contents or the stream",
    "frame header length does not match its component count",
    "sample precision is not 8 bits (12-bit and 16-bit samples are not supported)",
    "the frame has neither one (greyscale) nor three components",
    "a component has a sampling factor of 0",
    ("unsupported sampling layout (chroma must be 1x1, luminance 1, 2 or 4 across and 1 or 2 "
     "down)"),
    "picture width or height is 0 or too large",
    "out of memory for the pixel block",
    "16-bit quantisation tables are not supported",
    "a table number is above 3",
    "a Huffman table has no codes, more than 256 codes, or counts that overflow the code space",
    "a scan comes before any frame header",
    "the scan does not name every component of the frame",
    "the scan uses a table that this stream never defined",
    "the entropy-coded data holds a code that the Huffman table does not contain",
    "a zero run carries the coefficient index past 63",
    "a DC category above 11 or an AC coefficient size above 10",
    "a DC value beyond the range of 8-bit samples",
    "arithmetic-coded JPEG is not supported",
    "lossless JPEG is not supported",
    "hierarchical JPEG is not supported",
    "four-component (CMYK) JPEG is not supported",
    "a progressive scan's band or approximation does not follow the scans before it",
    "more than 64 progressive scans",
};

static_assert(std::size(kMessages) == static_cast<size_t>(JpegError::kTooManyScans) + 1,
              "one message per code");

}  // namespace

const char* JpegErrorMessage(JpegError error) {
  const auto index = static_cast<size_t>(error);
  if (index >= std::size(kMessages)) return "unknown JPEG error";
  return kMessages[index];
}

}  // namespace kavrosa
