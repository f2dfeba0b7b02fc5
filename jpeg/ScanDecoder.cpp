// DecodeScan and the reference MCU loop: six block slots, three 16x16 planes with chroma
// replication, the level shift on luminance only, double-precision conversion per pixel and
// B, G, R bytes in bottom-up rows, clipped at the picture's right and bottom edges.
#include "jpeg/ScanSetup.h"

#include "jpeg/BitReader.h"
#include "jpeg/ColourConversion.h"
#include "jpeg/InverseDct.h"

namespace kavrosa {
namespace {

struct Selectors {
  bool named = false;
  int32_t dc = 0;
  int32_t ac = 0;
};

JpegError BindComponent(const JpegDecoderState& s, int i, const Selectors& selectors,
                        ComponentTables& tables) {
  if (!selectors.named) return JpegError::kScanComponents;
  if (selectors.dc > 3 || selectors.ac > 3) return JpegError::kTableNumber;
  const int32_t q = s.components[i].quantTable;
  if (q < 0 || q > 3) return JpegError::kTableNumber;
  tables.dcTable = &s.dcTables[selectors.dc];
  tables.dcValues = s.dcValues[selectors.dc];
  tables.dcCount = s.dcValueCounts[selectors.dc];
  tables.acTable = &s.acTables[selectors.ac];
  tables.acValues = s.acValues[selectors.ac];
  tables.acCount = s.acValueCounts[selectors.ac];
  tables.quant = s.quantTables[q];
  if (tables.dcValues == nullptr || tables.acValues == nullptr || tables.quant == nullptr)
    return JpegError::kUndefinedTable;
  return JpegError::kNone;
}

}  // namespace

JpegError ReadScanHeader(DecodeContext& c, size_t q, ScanSetup& setup) {
  if (!c.stream.Has(q, 3)) return JpegError::kTruncated;
  const size_t ns = c.stream.At(q + 2);
  // Ns selector pairs, then three bytes (spectral selection, approximation) left unread.
  if (!c.stream.Has(q + 3, 2 * ns + 3)) return JpegError::kTruncated;
  Selectors selectors[3];
  for (size_t i = 0; i < ns; ++i) {
    const uint8_t id = c.stream.At(q + 3 + 2 * i);
    const uint8_t tables = c.stream.At(q + 4 + 2 * i);
    if (id >= 1 && id <= 3) selectors[id - 1] = Selectors{true, tables >> 4, tables & 0x0F};
  }
  for (int i = 0; i < 3; ++i) {
    const JpegError error = BindComponent(c.state, i, selectors[i], setup.tables[i]);
    if (error != JpegError::kNone) return error;
  }
  const ComponentSpec* comp = c.state.components;
  setup.hRatioCb = comp[0].h / comp[1].h;
  setup.vRatioCb = comp[0].v / comp[1].v;
  setup.hRatioCr = comp[0].h / comp[2].h;
  setup.vRatioCr = comp[0].v / comp[2].v;
  setup.dataStart = q + 3 + 2 * ns + 3;
  return JpegError::kNone;
}

size_t DecodeScan(DecodeContext& c, size_t q) {
  if (!c.frameRead) return c.Stop(JpegError::kScanBeforeFrame, q);
  ScanSetup setup;
  JpegError error = ReadScanHeader(c, q, setup);
  if (error != JpegError::kNone) return c.Stop(error, q);
  StartBitReader(c.state, c.stream.data + setup.dataStart);
  c.state.bitOverrun = 0;
  {
    BlockLock pixels(c.pixelBlock);
    if (!pixels) return c.Stop(JpegError::kOutOfMemory, q);
    error = c.path == JpegPath::kReference ? DecodeMcusReference(c, setup, pixels.data())
                                           : DecodeMcusFast(c, setup, pixels.data());
  }
  if (error != JpegError::kNone) return c.Stop(error, q);
  AlignAtScanEnd(c.state);
  return static_cast<size_t>(c.state.bitCursor - c.stream.data);
}

namespace {

struct Planes {
  int32_t slots[6][64] = {};
  double yPlane[16][16] = {};
  double cbPlane[16][16] = {};
  double crPlane[16][16] = {};
};

// Decodes the blocks of one MCU into the slots: luminance in 0..3 in decoding order, Cb in 4
// and Cr in 5 (a later chroma block replacing an earlier one).
JpegError DecodeMcuBlocks(JpegDecoderState& s, const ScanSetup& setup, int32_t predictors[3],
                          Planes& planes) {
  int32_t coefficients[64];
  int slot = 0;
  for (int i = 0; i < 3; ++i) {
    for (int by = 0; by < s.components[i].v; ++by) {
      for (int bx = 0; bx < s.components[i].h; ++bx) {
        if (i != 0) slot = i + 3;
        const JpegError error = DecodeBlock(s, setup.tables[i], predictors[i], coefficients);
        if (error != JpegError::kNone) return error;
        InverseDctReference(coefficients, planes.slots[slot]);
        ++slot;
      }
    }
  }
  return JpegError::kNone;
}

void FillPlanes(const ScanSetup& setup, Planes& p) {
  for (int r = 0; r < 8; ++r) {
    for (int j = 0; j < 8; ++j) {
      const int i = 8 * r + j;
      p.yPlane[r][j] = p.slots[0][i] + 128;
      p.yPlane[r][j + 8] = p.slots[1][i] + 128;
      p.yPlane[r + 8][j] = p.slots[2][i] + 128;
      p.yPlane[r + 8][j + 8] = p.slots[3][i] + 128;
      for (int dy = 0; dy < 2; ++dy) {
        for (int dx = 0; dx < 2; ++dx) {
          p.cbPlane[r * setup.vRatioCb + dy][j * setup.hRatioCb + dx] = p.slots[4][i];
          p.crPlane[r * setup.vRatioCr + dy][j * setup.hRatioCr + dx] = p.slots[5][i];
        }
      }
    }
  }
}

void WriteMcuPixels(const JpegDecoderState& s, const Planes& p, int32_t mcuX, int32_t mcuY,
                    uint8_t* pixels) {
  const int32_t width = s.header.biWidth;
  const int32_t height = s.header.biHeight;
  for (int ry = 0; ry < s.mcuHeight; ++ry) {
    const int32_t y = mcuY * s.mcuHeight + ry;
    if (y >= height) continue;
    uint8_t* row = pixels + static_cast<size_t>(s.rowStride) * static_cast<size_t>(height - 1 - y);
    for (int cx = 0; cx < s.mcuWidth; ++cx) {
      const int32_t x = mcuX * s.mcuWidth + cx;
      if (x >= width) continue;
      const Bgr bgr = ConvertPixel(p.yPlane[ry][cx], p.cbPlane[ry][cx], p.crPlane[ry][cx]);
      row[3 * x + 0] = bgr.b;
      row[3 * x + 1] = bgr.g;
      row[3 * x + 2] = bgr.r;
    }
  }
}

}  // namespace

JpegError DecodeMcusReference(DecodeContext& c, const ScanSetup& setup, uint8_t* pixels) {
  JpegDecoderState& s = c.state;
  Planes planes;
  int32_t predictors[3] = {0, 0, 0};
  int32_t mcuCounter = 0;
  for (int32_t mcuY = 0; mcuY < s.mcuRows; ++mcuY) {
    for (int32_t mcuX = 0; mcuX < s.mcusPerRow; ++mcuX) {
      if (s.restartInterval != 0 && mcuCounter == s.restartInterval) {
        predictors[0] = predictors[1] = predictors[2] = 0;
        mcuCounter = 0;
        AlignAtRestart(s);
      }
      const JpegError error = DecodeMcuBlocks(s, setup, predictors, planes);
      // Data that ran past the end of the stream is reported as such, whatever it decoded to.
      if (s.bitOverrun) return JpegError::kTruncated;
      if (error != JpegError::kNone) return error;
      FillPlanes(setup, planes);
      WriteMcuPixels(s, planes, mcuX, mcuY, pixels);
      ++mcuCounter;
    }
  }
  return JpegError::kNone;
}

}  // namespace kavrosa
