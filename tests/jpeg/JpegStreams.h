// Builders for minimal JPEG streams in tests: segments written field by field, a bit writer
// with 0xFF stuffing, and simple Huffman tables whose codes are easy to write by hand
// (DC: 4-bit codes equal to the category; AC: 8-bit codes equal to an index into kAcSymbols).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "jpeg/JpegDecoder.h"
#include "platform/LocalMemory.h"

namespace kavrosa::test {

using Bytes = std::vector<uint8_t>;

// AC symbols of the test table: run r (0..15) and size s (0..10), in order r * 11 + s.
inline uint8_t AcSymbolIndex(int run, int size) {
  return static_cast<uint8_t>(run * 11 + size);
}

inline void Append(Bytes& out, std::initializer_list<int> bytes) {
  for (int b : bytes) out.push_back(static_cast<uint8_t>(b));
}

inline void Append16(Bytes& out, int value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value & 0xFF));
}

// DQT with one table of 64 equal values.
inline Bytes FlatQuantTable(int number, int value) {
  Bytes s = {0xFF, 0xDB};
  Append16(s, 2 + 65);                        // length
  s.push_back(static_cast<uint8_t>(number));  // precision 0, table number
  for (int i = 0; i < 64; ++i) s.push_back(static_cast<uint8_t>(value));
  return s;
}

// DHT: DC table 0 with 16 four-bit codes for categories 0..15.
inline Bytes TestDcTable(int number = 0) {
  Bytes s = {0xFF, 0xC4};
  Append16(s, 2 + 17 + 16);
  s.push_back(static_cast<uint8_t>(number));  // class 0 (DC), table number
  for (int l = 1; l <= 16; ++l) s.push_back(l == 4 ? 16 : 0);
  for (int v = 0; v < 16; ++v) s.push_back(static_cast<uint8_t>(v));
  return s;
}

// DHT: AC table with 176 eight-bit codes, symbol (run << 4) | size at index run * 11 + size.
inline Bytes TestAcTable(int number = 0) {
  Bytes s = {0xFF, 0xC4};
  Append16(s, 2 + 17 + 176);
  s.push_back(static_cast<uint8_t>(0x10 | number));  // class 1 (AC), table number
  for (int l = 1; l <= 16; ++l) s.push_back(l == 8 ? 176 : 0);
  for (int run = 0; run < 16; ++run)
    for (int size = 0; size <= 10; ++size) s.push_back(static_cast<uint8_t>((run << 4) | size));
  return s;
}

// SOF0 with three components 1, 2, 3, luminance sampling lumaH x lumaV, chroma 1x1, all
// using quantisation table 0.
inline Bytes Frame(int width, int height, int lumaH = 1, int lumaV = 1) {
  Bytes s = {0xFF, 0xC0};
  Append16(s, 17);  // length
  s.push_back(8);   // precision
  Append16(s, height);
  Append16(s, width);
  s.push_back(3);  // Nf
  Append(s, {1, (lumaH << 4) | lumaV, 0});
  Append(s, {2, 0x11, 0});
  Append(s, {3, 0x11, 0});
  return s;
}

inline Bytes RestartInterval(int mcus) {
  Bytes s = {0xFF, 0xDD};
  Append16(s, 4);
  Append16(s, mcus);
  return s;
}

// SOS naming components 1, 2, 3 with DC and AC tables 0.
inline Bytes ScanHeader() {
  Bytes s = {0xFF, 0xDA};
  Append16(s, 12);
  s.push_back(3);
  Append(s, {1, 0x00, 2, 0x00, 3, 0x00});
  Append(s, {0, 63, 0});  // spectral selection 0..63, no approximation
  return s;
}

// Writes entropy-coded bits MSB first, stuffing 0x00 after each 0xFF byte.
class BitWriter {
 public:
  void Put(uint32_t bits, int count) {
    for (int i = count - 1; i >= 0; --i) {
      current_ = static_cast<uint8_t>((current_ << 1) | ((bits >> i) & 1u));
      if (++filled_ == 8) Flush();
    }
  }
  // Pads the last byte with 1-bits.
  Bytes Finish() {
    while (filled_ != 0) Put(1, 1);
    return bytes_;
  }
  // A restart marker after padding the current byte.
  void Restart(int n) {
    Finish();
    Append(bytes_, {0xFF, 0xD0 + (n & 7)});
  }
  // The bits of one block: a DC difference and (run, value) pairs, then end of block unless
  // the last pair fills coefficient 63.
  void Block(int dcDiff, const std::vector<std::pair<int, int>>& ac = {}, bool endOfBlock = true) {
    const int dcSize = SizeOf(dcDiff);
    Put(static_cast<uint32_t>(dcSize), 4);
    Put(Magnitude(dcDiff, dcSize), dcSize);
    for (const auto& [run, value] : ac) {
      const int size = SizeOf(value);
      Put(AcSymbolIndex(run, size), 8);
      Put(Magnitude(value, size), size);
    }
    if (endOfBlock) Put(AcSymbolIndex(0, 0), 8);
  }

  static int SizeOf(int v) {
    int m = v < 0 ? -v : v;
    int s = 0;
    while (m != 0) {
      ++s;
      m >>= 1;
    }
    return s;
  }
  static uint32_t Magnitude(int v, int size) {
    return static_cast<uint32_t>(v >= 0 ? v : v + (1 << size) - 1);
  }

 private:
  void Flush() {
    bytes_.push_back(current_);
    if (current_ == 0xFF) bytes_.push_back(0x00);
    current_ = 0;
    filled_ = 0;
  }
  Bytes bytes_;
  uint8_t current_ = 0;
  int filled_ = 0;
};

// SOI, flat quantisation table (value q), the test tables, an optional DRI, the frame, the
// scan header, the given entropy data and EOI.
inline Bytes TestStream(int width, int height, const Bytes& entropy, int lumaH = 1, int lumaV = 1,
                        int restart = 0, int q = 1) {
  Bytes s = {0xFF, 0xD8};
  for (const Bytes& part : {FlatQuantTable(0, q), TestDcTable(), TestAcTable()})
    s.insert(s.end(), part.begin(), part.end());
  if (restart != 0) {
    const Bytes dri = RestartInterval(restart);
    s.insert(s.end(), dri.begin(), dri.end());
  }
  for (const Bytes& part : {Frame(width, height, lumaH, lumaV), ScanHeader(), entropy})
    s.insert(s.end(), part.begin(), part.end());
  Append(s, {0xFF, 0xD9});
  return s;
}

// APP1 Exif segment whose IFD0 holds one entry: Orientation (0x0112, SHORT, count 1) = value.
inline Bytes ExifSegment(int orientation, bool bigEndian) {
  auto u16 = [bigEndian](Bytes& out, int v) {
    if (bigEndian)
      Append16(out, v);
    else
      Append(out, {v & 0xFF, v >> 8});
  };
  auto u32 = [&](Bytes& out, uint32_t v) {
    if (bigEndian) {
      u16(out, static_cast<int>(v >> 16));
      u16(out, static_cast<int>(v & 0xFFFF));
    } else {
      u16(out, static_cast<int>(v & 0xFFFF));
      u16(out, static_cast<int>(v >> 16));
    }
  };
  Bytes tiff;
  Append(tiff,
         bigEndian ? std::initializer_list<int>{'M', 'M'} : std::initializer_list<int>{'I', 'I'});
  u16(tiff, 42);
  u32(tiff, 8);            // IFD0 right after the header
  u16(tiff, 1);            // one entry
  u16(tiff, 0x0112);       // Orientation
  u16(tiff, 3);            // SHORT
  u32(tiff, 1);            // count
  u16(tiff, orientation);  // value, left-justified in the 4-byte field
  u16(tiff, 0);
  u32(tiff, 0);  // no next IFD
  Bytes s = {0xFF, 0xE1};
  Append16(s, static_cast<int>(2 + 6 + tiff.size()));
  Append(s, {'E', 'x', 'i', 'f', 0, 0});
  s.insert(s.end(), tiff.begin(), tiff.end());
  return s;
}

// `segment` inserted right after the stream's SOI.
inline Bytes WithSegmentAfterSoi(const Bytes& stream, const Bytes& segment) {
  Bytes s;
  s.reserve(stream.size() + segment.size());
  for (size_t i = 0; i < stream.size(); ++i) {
    if (i == 2) s.insert(s.end(), segment.begin(), segment.end());
    s.push_back(stream[i]);
  }
  return s;
}

// One decode into blocks of its own.
struct Decoded {
  JpegError error = JpegError::kNone;
  JpegDecoderState state;
  LocalBlock headerBlock;
  LocalBlock pixelBlock;

  Bytes Pixels() {
    BlockLock lock(pixelBlock);
    return Bytes(lock.data(), lock.data() + lock.size());
  }
};

inline Decoded Decode(const Bytes& stream, JpegPath path = JpegPath::kFast) {
  Decoded d;
  d.error =
      DecodeJpegStream(d.state, d.headerBlock, d.pixelBlock, stream.data(), stream.size(), path);
  return d;
}

// A decode as a screen of size `bound` shows it (oriented; no bound: the whole picture).
inline Decoded DecodeFitted(const Bytes& stream, Size bound = {}, JpegPath path = JpegPath::kFast) {
  Decoded d;
  d.error = DecodeJpegFitted(d.state, d.headerBlock, d.pixelBlock, stream.data(), stream.size(),
                             bound, path);
  return d;
}

// Width and height in the header block (0, 0 without one).
inline Size PictureSize(Decoded& d) {
  BitmapInfoHeader header{};
  BlockLock lock(d.headerBlock);
  if (lock.size() < sizeof(header)) return Size{};
  std::memcpy(&header, lock.data(), sizeof(header));
  return Size{header.biWidth, header.biHeight};
}

// FNV-1a, 64 bits: expected pixel hashes that the Windows build checks as well.
inline uint64_t Fnv1a(const Bytes& bytes) {
  uint64_t h = 1469598103934665603ull;
  for (uint8_t b : bytes) {
    h ^= b;
    h *= 1099511628211ull;
  }
  return h;
}

Bytes ReadFile(const std::string& path);

// PSNR in dB of two 24-bit bottom-up pictures of the same size (99 when equal), over the
// pixels only (not the fill bytes at the ends of rows).
double Psnr(const Bytes& a, const Bytes& b, int width, int height);

#ifndef _WIN32
// libjpeg-turbo's own decode (JDCT_ISLOW, chroma replicated) as B, G, R bottom-up rows with
// this decoder's stride.
Bytes LibjpegDecode(const Bytes& stream, int& width, int& height);
#endif

}  // namespace kavrosa::test
