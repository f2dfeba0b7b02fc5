// libFuzzer target for the JPEG decoder: any bytes, bounded by their size. The fast path and
// the reference path must agree on the outcome and on every byte of the pixel block, both for
// the plain decode and for the decode to a size (orientation, reduced scale, resampling) with
// a bound taken from the input's last two bytes; reading the whole block also shows a short
// one under ASan.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "jpeg/JpegDecoder.h"

namespace {

void DecodeBothWays(const uint8_t* data, size_t size, kavrosa::Size bound, bool fitted) {
  kavrosa::JpegDecoderState fastState, referenceState;
  kavrosa::LocalBlock fastHeader, fastPixels, referenceHeader, referencePixels;
  auto decode = [&](kavrosa::JpegDecoderState& state, kavrosa::LocalBlock& header,
                    kavrosa::LocalBlock& pixels, kavrosa::JpegPath path) {
    return fitted ? kavrosa::DecodeJpegFitted(state, header, pixels, data, size, bound, path)
                  : kavrosa::DecodeJpegStream(state, header, pixels, data, size, path);
  };
  const kavrosa::JpegError fast =
      decode(fastState, fastHeader, fastPixels, kavrosa::JpegPath::kFast);
  const kavrosa::JpegError reference =
      decode(referenceState, referenceHeader, referencePixels, kavrosa::JpegPath::kReference);
  if (fast != reference || fastPixels.Size() != referencePixels.Size()) std::abort();
  kavrosa::BlockLock a(fastPixels), b(referencePixels);
  if (a.size() != 0 && std::memcmp(a.data(), b.data(), a.size()) != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DecodeBothWays(data, size, kavrosa::Size{}, false);
  if (size >= 2) {
    const kavrosa::Size bound{1 + data[size - 1] % 64, 1 + data[size - 2] % 64};
    DecodeBothWays(data, size, bound, true);
  }
  return 0;
}
