// The scan header and the binding of frame components to tables, shared by the reference and
// the fast MCU loops, which both end in the same alignment and the same refusals.
#pragma once

#include <cstddef>
#include <cstdint>

#include "jpeg/BlockDecoder.h"
#include "jpeg/DecodeContext.h"

namespace kavrosa {

struct ScanSetup {
  ComponentTables tables[3];  // frame components 0, 1, 2 bound to identifiers 1, 2, 3
  int32_t hRatioCb = 1;
  int32_t vRatioCb = 1;
  int32_t hRatioCr = 1;
  int32_t vRatioCr = 1;
  size_t dataStart = 0;  // first byte of entropy-coded data
};

// Reads the scan header at q and binds the tables; refuses undefined or out-of-range tables.
JpegError ReadScanHeader(DecodeContext& context, size_t q, ScanSetup& setup);

// The MCU loops: decode every MCU of the frame into `pixels` (the locked pixel block),
// leaving the bit reader at the end of the last MCU.
JpegError DecodeMcusReference(DecodeContext& context, const ScanSetup& setup, uint8_t* pixels);
JpegError DecodeMcusFast(DecodeContext& context, const ScanSetup& setup, uint8_t* pixels);

}  // namespace kavrosa
