// DecodeJpeg and the marker loop with its segment readers (SOF0-2, DQT, DHT, DRI, APP1 Exif,
// skipped segments). Each reader gets the offset of a segment's length field and checks the
// segment against the stream before it reads; tables stay in the stream and are only pointed
// at. Other coding processes are refused by name.
#include <cstring>
#include <new>

#include "image/DibImage.h"
#include "image/FitSize.h"
#include "image/Orientation.h"
#include "platform/PixelGeometry.h"
#include "jpeg/BlockDecoder.h"
#include "jpeg/DecodeContext.h"
#include "jpeg/ExifOrientation.h"
#include "jpeg/ScanSetup.h"
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

// Everything the frame header must satisfy before any block is touched. `frame` starts at the
// length field; component records follow at 8.
JpegError CheckFrame(const ByteView frame, int32_t count) {
  for (int i = 0; i < count; ++i) {
    const uint8_t sampling = frame.At(8 + 3 * i + 1);
    if ((sampling >> 4) == 0 || (sampling & 0x0F) == 0) return JpegError::kSamplingFactorZero;
    if (frame.At(8 + 3 * i + 2) > 3) return JpegError::kTableNumber;
  }
  if (count == 3) {
    // Without a colour-transform flag read, only identifiers name the colours: R, G, B.
    if (frame.At(8) == 'R' && frame.At(11) == 'G' && frame.At(14) == 'B')
      return JpegError::kRgbComponents;
    const int32_t h = frame.At(9) >> 4;
    const int32_t v = frame.At(9) & 0x0F;
    const bool chromaOne = frame.At(12) == 0x11 && frame.At(15) == 0x11;
    const bool lumaPlaced = (h == 1 || h == 2 || h == 4) && (v == 1 || v == 2);
    if (!chromaOne || !lumaPlaced) return JpegError::kSamplingLayout;
  }
  if (!CheckedImageBytes(frame.U16(5), frame.U16(3), 24)) return JpegError::kImageSize;
  return JpegError::kNone;
}

void SetFrameGeometry(JpegDecoderState& s, const ByteView frame, int32_t count) {
  const int32_t height = static_cast<int32_t>(frame.U16(3));
  const int32_t width = static_cast<int32_t>(frame.U16(5));
  s.header.biWidth = width;
  s.rowStride = static_cast<int32_t>(StrideFor(width, s.header.biBitCount));
  s.header.biSizeImage = static_cast<uint32_t>(s.rowStride) * static_cast<uint32_t>(height);
  s.header.biHeight = height;
  s.componentCount = count;
  // Each frame has its own MCU size (a second frame header does not inherit the first's).
  s.mcuWidth = 0;
  s.mcuHeight = 0;
  for (int i = 0; i < 3; ++i) {
    ComponentSpec& component = s.components[i];
    component = ComponentSpec{};
    if (i >= count) continue;
    component.id = frame.At(8 + 3 * i);
    component.h = frame.At(8 + 3 * i + 1) >> 4;
    component.v = frame.At(8 + 3 * i + 1) & 0x0F;
    component.quantTable = frame.At(8 + 3 * i + 2);
    // A single component is never interleaved: its MCU is one block, whatever its factors.
    if (count == 1) component.h = component.v = 1;
    if (8 * component.h > s.mcuWidth) s.mcuWidth = 8 * component.h;
    if (8 * component.v > s.mcuHeight) s.mcuHeight = 8 * component.v;
  }
  s.mcusPerRow = width / s.mcuWidth + (width % s.mcuWidth != 0 ? 1 : 0);
  s.mcuRows = height / s.mcuHeight + (height % s.mcuHeight != 0 ? 1 : 0);
}

// The size the bound shows the picture at, in the frame's own axes.
Size NeededSize(const DecodeContext& c) {
  const JpegDecoderState& s = c.state;
  const Size frame{s.header.biWidth, s.header.biHeight};
  const Size shown = FitTarget(c.bound, OrientedSize(frame, s.exifOrientation));
  return OrientationSwapsAxes(s.exifOrientation) ? Size{shown.cy, shown.cx} : shown;
}

// The scale a frame is decoded at: the smallest reduction (1/8, 1/4, 1/2) whose picture still
// covers the size the bound gives the oriented picture, or full size. A picture shown at its
// own size is never reduced: a 1x1 frame is 1x1 at every scale, yet only the full transform
// gives its pixel.
int32_t ChooseScale(const DecodeContext& c) {
  const JpegDecoderState& s = c.state;
  const Size frame{s.header.biWidth, s.header.biHeight};
  const Size needed = NeededSize(c);
  if (!IsBound(c.bound) || needed == frame) return 1;
  for (int32_t scale = kMaxDecodeScale; scale > 1; scale /= 2) {
    if (ScaledLength(frame.cx, scale) >= needed.cx && ScaledLength(frame.cy, scale) >= needed.cy)
      return scale;
  }
  return 1;
}

// Frees the old blocks and allocates the new ones: a 44-byte header block holding the
// 40-byte header of the picture as decoded (reduced when the scale is above 1), a zero-filled
// pixel block, and what a reduced or progressive decode works in.
JpegError AllocateBlocks(DecodeContext& c) {
  c.headerBlock.Free();
  c.pixelBlock.Free();
  c.coefficients.Free();
  c.strip.clear();
  c.resampler.reset();
  BitmapInfoHeader header = c.state.header;
  const Size scaled{ScaledLength(header.biWidth, c.scale), ScaledLength(header.biHeight, c.scale)};
  const Size needed = NeededSize(c);
  if (c.resampleAsDecoded && IsBound(c.bound) && !(needed == scaled)) {
    c.resampler = RowStreamResampler::Make(scaled.cx, scaled.cy, needed.cx, needed.cy);
    if (!c.resampler) return JpegError::kOutOfMemory;
    c.resampled = needed;
  }
  if (c.scale > 1 || c.resampler) {
    const Size kept = c.resampler ? needed : scaled;
    header.biWidth = kept.cx;
    header.biHeight = kept.cy;
    header.biSizeImage = *CheckedImageBytes(header.biWidth, header.biHeight, 24);
  }
  if (c.resampler) {
    try {
      c.strip.assign(StripStride(scaled.cx) * static_cast<size_t>(c.state.mcuHeight / c.scale), 0);
    } catch (const std::bad_alloc&) {
      return JpegError::kOutOfMemory;
    }
  }
  c.headerBlock = LocalBlock::Allocate(44);
  if (c.headerBlock) {
    BlockLock lock(c.headerBlock);
    std::memcpy(lock.data(), &header, sizeof(header));
  }
  c.pixelBlock = LocalBlock::Allocate(header.biSizeImage);
  if (!c.headerBlock || !c.pixelBlock) return JpegError::kOutOfMemory;
  if (c.gathered && !c.coefficients.Allocate(c.state)) return JpegError::kImageSize;
  return JpegError::kNone;
}

// SOF0 and SOF1 (sequential) and SOF2 (progressive), Huffman-coded, 8-bit, one or three
// components.
size_t ReadFrameHeader(DecodeContext& c, size_t q, bool progressive) {
  if (!c.stream.Has(q, 8)) return c.Stop(JpegError::kTruncated, q);
  const int32_t count = c.stream.At(q + 7);
  if (count == 4) return c.Stop(JpegError::kFourComponents, q);
  if (count != 1 && count != 3) return c.Stop(JpegError::kComponentCount, q);
  const size_t length = 8 + 3 * static_cast<size_t>(count);
  if (c.stream.U16(q) != length) {
    DebugOutput("Base DCT Read ERROR\n");
    return c.Stop(JpegError::kFrameHeaderLength, q);
  }
  if (!c.stream.Has(q, length)) return c.Stop(JpegError::kTruncated, q);
  const ByteView frame = c.stream.Sub(q, length);
  if (frame.At(2) != 8) return c.Stop(JpegError::kSamplePrecision, q + 3);
  const JpegError invalid = CheckFrame(frame, count);
  if (invalid != JpegError::kNone) return c.Stop(invalid, q);
  c.state.progressive = progressive ? 1 : 0;
  c.gathered = progressive;
  SetFrameGeometry(c.state, frame, count);
  c.scale = ChooseScale(c);
  c.scans = 0;
  const JpegError allocation = AllocateBlocks(c);
  if (allocation != JpegError::kNone) return c.Stop(allocation, q);
  c.frameRead = true;
  return q + length;
}

// APP1: an Exif block may name the orientation; the first one that does counts.
size_t ReadApp1(DecodeContext& c, size_t q) {
  const size_t end = CheckedSegmentEnd(c, q, 2);
  if (c.state.parseDone) return end;
  const int32_t orientation = ReadExifOrientation(c.stream.Sub(q + 2, c.stream.U16(q) - 2));
  if (orientation != 0 && !c.orientationRead) {
    c.state.exifOrientation = orientation;
    c.orientationRead = true;
  }
  return end;
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
    const JpegError error = FinishFrame(c);
    if (error != JpegError::kNone) return c.Stop(error, p);
    c.reachedEoi = true;
    c.state.parseDone = 1;
    return kNoPosition;
  }
  const size_t q = p + 2;
  switch (m) {
    case 0xC0:  // baseline
    case 0xC1:  // extended sequential: the same decoding for 8-bit Huffman data
      return ReadFrameHeader(c, q, false);
    case 0xC2:
      return ReadFrameHeader(c, q, true);
    case 0xC3:
    case 0xC7:
    case 0xCB:
    case 0xCF:
      return c.Stop(JpegError::kLossless, q);
    case 0xC9:
    case 0xCA:
    case 0xCC:  // DAC
    case 0xCD:
    case 0xCE:
      return c.Stop(JpegError::kArithmeticCoding, q);
    case 0xC5:
    case 0xC6:
    case 0xDE:  // DHP
    case 0xDF:  // EXP
      return c.Stop(JpegError::kHierarchical, q);
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
    case 0xE1:
      return ReadApp1(c, q);
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
  s.componentCount = 0;
  s.progressive = 0;
  s.exifOrientation = 1;
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

JpegError DecodeJpegAtBound(JpegDecoderState& state, LocalBlock& headerBlock,
                            LocalBlock& pixelBlock, const uint8_t* data, size_t size, Size bound,
                            JpegPath path, bool resampleAsDecoded) {
  if (data == nullptr) size = 0;
  ResetState(state, data, size);
  DecodeContext context(state, headerBlock, pixelBlock, ByteView{data, size}, path);
  context.bound = bound;
  context.resampleAsDecoded = resampleAsDecoded;
  size_t p = 0;
  while (!state.parseDone) p = ParseMarker(context, p);
  if (context.reachedEoi) return JpegError::kNone;
  return context.error != JpegError::kNone ? context.error : JpegError::kNotAMarker;
}

JpegError DecodeJpegStream(JpegDecoderState& state, LocalBlock& headerBlock, LocalBlock& pixelBlock,
                           const uint8_t* data, size_t size, JpegPath path) {
  return DecodeJpegAtBound(state, headerBlock, pixelBlock, data, size, Size{}, path);
}

JpegError DecodeJpegChecked(DibImage& image, const uint8_t* data, size_t size, JpegPath path) {
  JpegDecoderState state;
  return DecodeJpegStream(state, image.headerBlock(), image.pixelBlock(), data, size, path);
}

int32_t DibImage::DecodeJpeg(const uint8_t* data, size_t size) {
  return DecodeJpegStream(jpeg_, headerBlock_, pixelBlock_, data, size) == JpegError::kNone ? 1 : 0;
}

}  // namespace kavrosa
