// Why a JPEG stream was refused: one code per cause and one table of messages. DecodeJpeg
// gives its callers 0/1; tools print JpegErrorMessage and tests assert the code.
#pragma once

#include <cstdint>

namespace kavrosa {

enum class JpegError : int32_t {
  kNone = 0,
  kNotAMarker,           // a byte other than 0xFF where a marker belongs
  kUnsupportedMarker,    // a marker with no place here (a stray RST, DNL, JPG, reserved codes)
  kTruncated,            // the stream ends inside a marker, segment or scan
  kSegmentLength,        // a segment length too small for its contents or past its end
  kFrameHeaderLength,    // a frame header whose length does not match its component count
  kSamplePrecision,      // sample precision other than 8 bits (12-bit samples)
  kComponentCount,       // a frame with other than one or three components
  kSamplingFactorZero,   // a component with a horizontal or vertical factor of 0
  kSamplingLayout,       // a layout the slots cannot place
  kImageSize,            // width or height 0, or a pixel block beyond the size cap
  kOutOfMemory,          // the pixel block could not be allocated
  kQuantTablePrecision,  // a 16-bit quantisation table
  kTableNumber,          // a table number above 3
  kHuffmanTableCounts,   // no codes, more than 256 codes, or more codes than bits allow
  kScanBeforeFrame,      // a scan with no frame header before it
  kScanComponents,       // a scan that does not name components 1, 2 and 3
  kUndefinedTable,       // a table used by the scan but never defined in this stream
  kHuffmanCode,          // bits that match no code of up to 16 bits
  kCoefficientOverrun,   // a zero run that carries the coefficient index past 63
  kCoefficientSize,      // a DC category above 11 or an AC size above 10
  kDcOutOfRange,         // a DC predictor beyond what 8-bit samples can produce
  kArithmeticCoding,     // SOF9-10, SOF13-14, DAC
  kLossless,             // SOF3, SOF7, SOF11, SOF15
  kHierarchical,         // SOF5-6, DHP, EXP
  kFourComponents,       // CMYK or YCCK
  kProgressiveScan,      // a band or approximation that does not follow the scans before it
  kTooManyScans,         // more progressive scans than any encoder writes
};

// A one-line reason, without a trailing newline, for every code (kNone included).
const char* JpegErrorMessage(JpegError error);

}  // namespace kavrosa
