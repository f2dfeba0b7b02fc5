// libFuzzer target for the JPEG decoder: any bytes, bounded by their size; when the decode
// succeeds every pixel of the block is read, so that a short block would show under ASan.
#include <cstddef>
#include <cstdint>

#include "jpeg/JpegDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kavrosa::JpegDecoderState state;
  kavrosa::LocalBlock header;
  kavrosa::LocalBlock pixels;
  const auto path = size > 0 && (data[size - 1] & 1) ? kavrosa::JpegPath::kReference
                                                      : kavrosa::JpegPath::kFast;
  if (kavrosa::DecodeJpegStream(state, header, pixels, data, size, path) ==
      kavrosa::JpegError::kNone) {
    kavrosa::BlockLock lock(pixels);
    volatile uint32_t sum = 0;
    for (size_t i = 0; i < lock.size(); ++i) sum = sum + lock.data()[i];
  }
  return 0;
}
