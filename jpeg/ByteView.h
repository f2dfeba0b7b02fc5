// A bounded view of bytes: every read names an offset and is checked against the view's size,
// so a damaged length can never walk a reader out of the stream. Segments get sub-views.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kavrosa {

struct ByteView {
  const uint8_t* data = nullptr;
  size_t size = 0;

  // True when `count` bytes starting at `offset` lie inside the view.
  bool Has(size_t offset, size_t count) const { return offset <= size && count <= size - offset; }
  // Callers check Has(offset, 1) first; out-of-range reads give 0 as a backstop.
  uint8_t At(size_t offset) const { return offset < size ? data[offset] : 0; }
  // Big-endian 16-bit number; callers check Has(offset, 2) first.
  uint32_t U16(size_t offset) const { return (uint32_t{At(offset)} << 8) | At(offset + 1); }
  // The part of the view from `offset` on, at most `count` bytes long.
  ByteView Sub(size_t offset, size_t count) const {
    if (offset > size) return ByteView{data + size, 0};
    const size_t left = size - offset;
    return ByteView{data + offset, count < left ? count : left};
  }
};

}  // namespace kavrosa
