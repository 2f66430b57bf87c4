#pragma once

#include "output/SymbolRecord.h"

#include <string>

/// What the output files say about one leaf.
struct LeafClassification {
  std::string typeWord;   ///< the M51 data type word, e.g. "BYTE " or "INT32"
  std::string typeRow;    ///< the CANape type and limits text
  std::string outputName; ///< the name, with the bit numbers of a bit field
};

/// Classifies \p leaf by its byte size and signedness; a bit field (bitSize
/// not 0) gets a row of its own and the bit numbers in its name.
/// \p littleEndian is the dump's byte-order flag: DW_AT_bit_offset counts
/// from the storage unit's most significant bit, and on a little-endian
/// target that bit is the highest-numbered one.
/// Writes into \p out, whose buffers are reused from leaf to leaf.
void classifyLeaf(const SymbolRecord &leaf, bool littleEndian, LeafClassification &out);
LeafClassification classifyLeaf(const SymbolRecord &leaf, bool littleEndian);
