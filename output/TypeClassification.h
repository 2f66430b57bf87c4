#pragma once

#include "output/SymbolRecord.h"

#include <cstdint>
#include <string>
#include <string_view>

/// The fields of a leaf that its type texts depend on. The output pass keeps
/// this (with the address) per written leaf instead of the lines themselves,
/// and makes the lines only while it writes each file.
struct LeafType {
  std::int32_t byteSize = 0;
  std::int32_t bitOffset = 0;
  std::int32_t bitSize = 0;
  bool isSigned = false;

  static LeafType of(const SymbolRecord &leaf) {
    return LeafType{leaf.byteSize, leaf.bitOffset, leaf.bitSize, leaf.isSigned};
  }
  friend bool operator==(const LeafType &, const LeafType &) = default;
};

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

/// The type texts alone: sets typeWord and typeRow of \p out exactly as
/// classifyLeaf does and leaves outputName alone.
void classifyType(const LeafType &type, bool littleEndian, LeafClassification &out);

/// The output name alone: \p symbolName, with the bit numbers of a bit field.
void appendOutputName(std::string &out, std::string_view symbolName, const LeafType &type, bool littleEndian);
