// The AC lookup table: each pattern's code found by the per-length search, and the value its
// size bits give when they follow within the pattern. Sizes above 8-bit data's are left to the
// slow step, which refuses them after reading what the reference reads.
#include "jpeg/SymbolDecoder.h"

namespace kavrosa {

void BuildAcLookup(const ComponentTables& t, AcLookup& lookup) {
  for (uint32_t pattern = 0; pattern < (1u << kAcBits); ++pattern) {
    const CodeMatch code = MatchCode(*t.acTable, t.acValues, t.acCount, pattern, kAcBits);
    AcEntry entry;
    if (code.known) {
      const uint32_t symbol = code.symbol;
      const int32_t size = static_cast<int32_t>(symbol & 0x0F);
      entry.packed = symbol << 8 | static_cast<uint32_t>(code.length) << 16;
      if (size <= kMaxAcSize && code.length + size <= kAcBits) {
        const uint32_t valueBits =
            (pattern >> (kAcBits - code.length - size)) & ((1u << size) - 1u);
        const int32_t value = size == 0 ? 0 : ExtendValue(valueBits, size);
        entry.packed |=
            static_cast<uint32_t>(value) << 20 | static_cast<uint32_t>(code.length + size);
      }
    }
    lookup.entries[pattern] = entry;
  }
}

}  // namespace kavrosa
