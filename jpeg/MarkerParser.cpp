// DecodeJpeg and the marker loop with its segment readers (SOF0, DQT, DHT, DRI, skipped
// segments). Each reader gets the offset of a segment's length field and checks the segment
// against the stream before it reads; tables stay in the stream and are only pointed at.
#include <cstring>

#include "image/DibImage.h"
#include "image/PixelGeometry.h"
#include "jpeg/BlockDecoder.h"
#include "jpeg/DecodeContext.h"
#include "jpeg/HuffmanTables.h"
#include "platform/DebugOutput.h"

namespace kavrosa {
namespace {

constexpr size_t kNoPosition = static_cast<size_t>(-1);  // after EOI

// The segment at q: its declared length must cover the length field and lie in the stream.
bool SegmentFits(const DecodeContext& c, size_t q, size_t minimum) {
  if (!c.stream.Has(q, 2)) return false;
  const size_t length = c.stream.U16(q);
  return length >= minimum && c.stream.Has(q, length);
}

size_t CheckedSegmentEnd(DecodeContext& c, size_t q, size_t minimum) {
  if (!c.stream.Has(q, 2)) return c.Stop(JpegError::kTruncated, q);
  if (!SegmentFits(c, q, minimum)) return c.Stop(JpegError::kSegmentLength, q);
  return q + c.stream.U16(q);
}

size_t SkipSegment(DecodeContext& c, size_t q) {
  return CheckedSegmentEnd(c, q, 2);
}

size_t ReadRestartInterval(DecodeContext& c, size_t q) {
  const size_t end = CheckedSegmentEnd(c, q, 4);
  if (c.state.parseDone) return end;
  c.state.restartInterval = static_cast<int32_t>(c.stream.U16(q + 2));
  return end;
}

// Everything the frame header's 17 bytes must satisfy before any block is touched.
JpegError CheckFrame(const ByteView frame, uint32_t& pixelBytes) {
  if (frame.At(7) != 3) return JpegError::kComponentCount;
  int32_t h[3];
  int32_t v[3];
  for (int i = 0; i < 3; ++i) {
    const uint8_t sampling = frame.At(8 + 3 * i + 1);
    h[i] = sampling >> 4;
    v[i] = sampling & 0x0F;
    if (h[i] == 0 || v[i] == 0) return JpegError::kSamplingFactorZero;
    if (frame.At(8 + 3 * i + 2) > 3) return JpegError::kTableNumber;
  }
  const bool chromaOne = h[1] == 1 && v[1] == 1 && h[2] == 1 && v[2] == 1;
  const bool lumaPlaced =
      (h[0] == 1 && v[0] == 1) || (h[0] == 2 && v[0] == 1) || (h[0] == 2 && v[0] == 2);
  if (!chromaOne || !lumaPlaced) return JpegError::kSamplingLayout;
  const auto bytes = CheckedImageBytes(frame.U16(5), frame.U16(3), 24);
  if (!bytes) return JpegError::kImageSize;
  pixelBytes = *bytes;
  return JpegError::kNone;
}

void SetFrameGeometry(JpegDecoderState& s, const ByteView frame) {
  const int32_t height = static_cast<int32_t>(frame.U16(3));
  const int32_t width = static_cast<int32_t>(frame.U16(5));
  s.header.biWidth = width;
  s.rowStride = (s.header.biBitCount * width / 8 + 3) & ~3;
  s.header.biSizeImage = static_cast<uint32_t>(s.rowStride) * static_cast<uint32_t>(height);
  s.header.biHeight = height;
  // Each frame has its own MCU size (a second frame header does not inherit the first's).
  s.mcuWidth = 0;
  s.mcuHeight = 0;
  for (int i = 0; i < 3; ++i) {
    ComponentSpec& component = s.components[i];
    component.id = frame.At(8 + 3 * i);
    component.h = frame.At(8 + 3 * i + 1) >> 4;
    component.v = frame.At(8 + 3 * i + 1) & 0x0F;
    component.quantTable = frame.At(8 + 3 * i + 2);
    if (8 * component.h > s.mcuWidth) s.mcuWidth = 8 * component.h;
    if (8 * component.v > s.mcuHeight) s.mcuHeight = 8 * component.v;
  }
  s.mcusPerRow = width / s.mcuWidth + (width % s.mcuWidth != 0 ? 1 : 0);
  s.mcuRows = height / s.mcuHeight + (height % s.mcuHeight != 0 ? 1 : 0);
}

// Frees the old blocks and allocates the new ones: a 44-byte header block holding the
// 40-byte header, and a zero-filled pixel block.
JpegError AllocateBlocks(DecodeContext& c) {
  c.headerBlock.Free();
  c.pixelBlock.Free();
  c.headerBlock = LocalBlock::Allocate(44);
  if (c.headerBlock) {
    BlockLock lock(c.headerBlock);
    std::memcpy(lock.data(), &c.state.header, sizeof(c.state.header));
  }
  c.pixelBlock = LocalBlock::Allocate(c.state.header.biSizeImage);
  if (!c.headerBlock || !c.pixelBlock) return JpegError::kOutOfMemory;
  return JpegError::kNone;
}

size_t ReadFrameHeader(DecodeContext& c, size_t q) {
  if (!c.stream.Has(q, 2)) return c.Stop(JpegError::kTruncated, q);
  if (c.stream.U16(q) != 17) {
    DebugOutput("Base DCT Read ERROR\n");
    return c.Stop(JpegError::kFrameHeaderLength, q);
  }
  if (!c.stream.Has(q, 17)) return c.Stop(JpegError::kTruncated, q);
  const ByteView frame = c.stream.Sub(q, 17);
  if (frame.At(2) != 8) return c.Stop(JpegError::kSamplePrecision, q + 3);
  uint32_t pixelBytes = 0;
  const JpegError invalid = CheckFrame(frame, pixelBytes);
  if (invalid != JpegError::kNone) return c.Stop(invalid, q);
  SetFrameGeometry(c.state, frame);
  const JpegError allocation = AllocateBlocks(c);
  if (allocation != JpegError::kNone) return c.Stop(allocation, q);
  c.frameRead = true;
  return q + 17;
}

size_t ReadQuantTables(DecodeContext& c, size_t q) {
  const size_t end = CheckedSegmentEnd(c, q, 2);
  if (c.state.parseDone) return end;
  const size_t length = c.stream.U16(q);
  const size_t records = (length - 2) / 65;
  size_t r = q + 2;
  for (size_t i = 0; i < records; ++i) {
    const uint8_t t = c.stream.At(r);
    r += 1;
    if ((t >> 4) != 0) return c.Stop(JpegError::kQuantTablePrecision, r);
    if ((t & 0x0F) > 3) return c.Stop(JpegError::kTableNumber, r);
    c.state.quantTables[t & 0x0F] = c.stream.data + r;
    r += 64;
  }
  return end;
}

// One table record at r inside the segment [q, end); returns the offset after it.
size_t ReadOneHuffmanTable(DecodeContext& c, size_t r, size_t end) {
  if (r + 17 > end) return c.Stop(JpegError::kSegmentLength, r);
  const uint8_t tc = c.stream.At(r);
  const size_t number = tc & 0x0F;
  if (number > 3) return c.Stop(JpegError::kTableNumber, r);
  const bool ac = (tc >> 4) != 0;
  HuffmanTable& table = ac ? c.state.acTables[number] : c.state.dcTables[number];
  int32_t count = 0;
  const JpegError error = BuildHuffmanTable(c.stream.data + r + 1, table, count);
  if (error != JpegError::kNone) return c.Stop(error, r);
  if (r + 17 + static_cast<size_t>(count) > end) return c.Stop(JpegError::kSegmentLength, r);
  const uint8_t* values = c.stream.data + r + 17;
  if (ac) {
    c.state.acValues[number] = values;
    c.state.acValueCounts[number] = static_cast<uint16_t>(count);
  } else {
    c.state.dcValues[number] = values;
    c.state.dcValueCounts[number] = static_cast<uint16_t>(count);
  }
  return r + 17 + static_cast<size_t>(count);
}

size_t ReadHuffmanTables(DecodeContext& c, size_t q) {
  const size_t end = CheckedSegmentEnd(c, q, 2);
  if (c.state.parseDone) return end;
  size_t r = q + 2;
  for (int i = 0; i < 4; ++i) {
    r = ReadOneHuffmanTable(c, r, end);
    if (c.state.parseDone || r == end) break;
  }
  // After a fourth table parsing goes on at r even when the segment declared more.
  return r;
}

size_t ParseMarker(DecodeContext& c, size_t p) {
  if (!c.stream.Has(p, 1)) return c.Stop(JpegError::kTruncated, p);
  if (c.stream.At(p) != 0xFF) return c.Stop(JpegError::kNotAMarker, p + 1);
  if (!c.stream.Has(p, 2)) return c.Stop(JpegError::kTruncated, p + 1);
  const uint8_t m = c.stream.At(p + 1);
  if (m == 0xD9) {  // EOI
    c.reachedEoi = true;
    c.state.parseDone = 1;
    return kNoPosition;
  }
  const size_t q = p + 2;
  switch (m) {
    case 0xC0:
      return ReadFrameHeader(c, q);
    case 0xC4:
      return ReadHuffmanTables(c, q);
    case 0xD8:  // SOI
      return q;
    case 0xDA:
      return DecodeScan(c, q);
    case 0xDB:
      return ReadQuantTables(c, q);
    case 0xDD:
      return ReadRestartInterval(c, q);
    default:
      break;
  }
  if (m >= 0xE0 && m <= 0xFE) return SkipSegment(c, q);  // APPn, JPGn, COM
  return c.Stop(JpegError::kUnsupportedMarker, q);
}

// The per-decode reset: constant tables, the header's fixed fields, counters and (so that a
// stream can only use what it defines) every table and component record.
void ResetState(JpegDecoderState& s, const uint8_t* data, size_t size) {
  for (int i = 0; i < 8; ++i) s.bitMasks[i] = static_cast<uint8_t>(0x80 >> i);
  for (int k = 0; k < 64; ++k) s.zigzag[k] = kZigzag[k];
  s.header.biXPelsPerMeter = 72;
  s.header.biYPelsPerMeter = 72;
  s.header.biSize = 40;
  s.header.biPlanes = 1;
  s.header.biBitCount = 24;
  s.header.biCompression = 0;
  s.header.biClrUsed = 0;
  s.header.biClrImportant = 0;
  s.restartInterval = 0;
  s.mcuWidth = 0;
  s.mcuHeight = 0;
  s.parseDone = 0;
  for (int i = 0; i < 4; ++i) {
    s.acValues[i] = nullptr;
    s.dcValues[i] = nullptr;
    s.quantTables[i] = nullptr;
    s.acValueCounts[i] = 0;
    s.dcValueCounts[i] = 0;
    s.acTables[i] = HuffmanTable{};
    s.dcTables[i] = HuffmanTable{};
  }
  for (ComponentSpec& component : s.components) component = ComponentSpec{};
  s.bitCursor = data;
  s.bitPosition = 0;
  s.streamEnd = data + size;
  s.bitOverrun = 0;
}

}  // namespace

JpegError DecodeJpegStream(JpegDecoderState& state, LocalBlock& headerBlock, LocalBlock& pixelBlock,
                           const uint8_t* data, size_t size, JpegPath path) {
  if (data == nullptr) size = 0;
  ResetState(state, data, size);
  DecodeContext context{state, headerBlock, pixelBlock, ByteView{data, size}, path};
  size_t p = 0;
  while (!state.parseDone) p = ParseMarker(context, p);
  if (context.reachedEoi) return JpegError::kNone;
  return context.error != JpegError::kNone ? context.error : JpegError::kNotAMarker;
}

JpegError DecodeJpegChecked(DibImage& image, const uint8_t* data, size_t size, JpegPath path) {
  JpegDecoderState state;
  return DecodeJpegStream(state, image.headerBlock(), image.pixelBlock(), data, size, path);
}

int32_t DibImage::DecodeJpeg(const uint8_t* data, size_t size) {
  return DecodeJpegStream(jpeg_, headerBlock_, pixelBlock_, data, size) == JpegError::kNone ? 1 : 0;
}

}  // namespace kavrosa
