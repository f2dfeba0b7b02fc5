// libFuzzer target for the JPEG decoder: any bytes, bounded by their size. The fast path and
// the reference path must agree on the outcome and on every byte of the pixel block; reading
// the whole block also shows a short one under ASan.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "jpeg/JpegDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kavrosa::JpegDecoderState fastState, referenceState;
  kavrosa::LocalBlock fastHeader, fastPixels, referenceHeader, referencePixels;
  const kavrosa::JpegError fast = kavrosa::DecodeJpegStream(fastState, fastHeader, fastPixels, data,
                                                            size, kavrosa::JpegPath::kFast);
  const kavrosa::JpegError reference = kavrosa::DecodeJpegStream(
      referenceState, referenceHeader, referencePixels, data, size, kavrosa::JpegPath::kReference);
  if (fast != reference || fastPixels.Size() != referencePixels.Size()) std::abort();
  kavrosa::BlockLock a(fastPixels), b(referencePixels);
  if (a.size() != 0 && std::memcmp(a.data(), b.data(), a.size()) != 0) std::abort();
  return 0;
}
