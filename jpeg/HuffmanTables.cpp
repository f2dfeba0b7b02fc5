// Canonical code generation (T.81 C.1, C.2) folded into one pass over the code lengths, and
// the lookahead table. The per-length entries keep the design's sentinel: a maxCode of 0xFFFF
// means "no code of this length", which the search skips.
#include "jpeg/HuffmanTables.h"

namespace kavrosa {
namespace {

constexpr uint32_t kNoCode = 0xFFFF;

HuffmanLengthEntry EmptyEntry() {
  HuffmanLengthEntry entry;
  entry.valueIndex = 0;
  entry.minCode = 0;
  entry.maxCode = kNoCode;
  return entry;
}

}  // namespace

JpegError BuildHuffmanTable(const uint8_t counts[16], HuffmanTable& table, int32_t& codeCount) {
  int32_t total = 0;
  for (int l = 0; l < 16; ++l) total += counts[l];
  if (total == 0 || total > 256) return JpegError::kHuffmanTableCounts;

  table.entries[0] = EmptyEntry();
  uint32_t code = 0;  // the next free code of the current length
  int32_t k = 0;      // index of the first value of the current length
  for (int l = 1; l <= 16; ++l) {
    const uint32_t n = counts[l - 1];
    HuffmanLengthEntry& entry = table.entries[l];
    if (n == 0) {
      entry = EmptyEntry();
    } else {
      entry.valueIndex = static_cast<uint8_t>(k);
      entry.minCode = code;
      entry.maxCode = code + n - 1;
      code += n;
      k += static_cast<int32_t>(n);
      // All codes of length l must fit in l bits.
      if (code > (uint32_t{1} << l)) return JpegError::kHuffmanTableCounts;
    }
    code <<= 1;
  }
  codeCount = total;
  return JpegError::kNone;
}

void BuildLookahead(const HuffmanTable& table, const uint8_t* values, int32_t count,
                    HuffmanLookahead& lookahead) {
  for (uint32_t pattern = 0; pattern < (1u << kLookaheadBits); ++pattern) {
    // A matched code with a bad index is left to the search at run time to refuse.
    const CodeMatch match = MatchCode(table, values, count, pattern, kLookaheadBits);
    lookahead.entries[pattern] =
        match.known ? static_cast<uint16_t>(match.symbol | match.length << 8) : uint16_t{0};
  }
}

}  // namespace kavrosa
