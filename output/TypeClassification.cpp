// Type classification: the M51 type word, the CANape type row and the output
// name of a leaf.
#include "output/TypeClassification.h"

#include "output/FileTexts.h"
#include "output/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <string_view>

namespace {

/// A bit field can hold at most 64 bits on any target the tool serves; a
/// malformed width beyond that would otherwise list thousands of millions of
/// bit numbers in the name.
constexpr std::uint32_t kMaxListedBits = 64;

struct WordAndRow {
  std::string_view word;
  std::string_view row;
};

/// The word and row of the four fixed sizes; any other size gets an empty
/// word (the caller writes the unsupported-size word) and the 8-byte row.
WordAndRow bySize(std::int32_t byteSize, bool isSigned) {
  using namespace FileTexts;
  switch (byteSize) {
  case 1:
    return isSigned ? WordAndRow{kWordInt8, kRowInt8} : WordAndRow{kWordByte, kRowUint8};
  case 2:
    return isSigned ? WordAndRow{kWordInt16, kRowInt16} : WordAndRow{kWordWord, kRowUint16};
  case 4:
    return isSigned ? WordAndRow{kWordInt32, kRowInt32} : WordAndRow{kWordDword, kRowUint32};
  case 8:
    return isSigned ? WordAndRow{kWordInt64, kRowInt64} : WordAndRow{kWordQword, kRowUint64};
  default:
    return {{}, kRowUint64};
  }
}

/// A decimal number kept as text, to be appended several times.
class DecimalText {
public:
  template <class Integer> explicit DecimalText(Integer value) {
    end_ = std::to_chars(digits_, digits_ + sizeof digits_, value).ptr;
  }
  std::string_view view() const { return {digits_, static_cast<std::size_t>(end_ - digits_)}; }

private:
  char digits_[24];
  char *end_;
};

/// The number of the bit field's lowest bit. DW_AT_bit_offset counts from the
/// most significant bit of the storage unit; on a little-endian target the
/// bit number counts from the least significant one. Inconsistent sizes wrap,
/// and the bit is written as an unsigned 32-bit number.
std::uint32_t startBit(const LeafType &type, bool littleEndian) {
  const auto bitSize = static_cast<std::uint32_t>(type.bitSize);
  return littleEndian ? static_cast<std::uint32_t>(type.byteSize) * 8u -
                            static_cast<std::uint32_t>(type.bitOffset) - bitSize
                      : static_cast<std::uint32_t>(type.bitOffset);
}

void appendBitFieldRow(std::string &row, const LeafType &type, bool littleEndian) {
  using namespace FileTexts;
  // 2^bitSize - 1 in 64 bits, so fields of 32 bits and more get their true
  // limits.
  std::uint64_t mask = 0;
  if (type.bitSize >= 64)
    mask = std::numeric_limits<std::uint64_t>::max();
  else if (type.bitSize > 0)
    mask = (std::uint64_t{1} << type.bitSize) - 1;
  std::uint64_t upper = mask;
  std::int64_t lower = 0;
  if (type.isSigned) {
    upper = mask / 2;
    lower = -static_cast<std::int64_t>(upper) - 1;
  }
  const DecimalText lowerText(lower);
  const DecimalText upperText(upper);

  row.append(kBitRowOpen);
  NumberText::appendDecimal(row, type.bitSize);
  row.append(kBitRowComma);
  NumberText::appendDecimal(row, startBit(type, littleEndian));
  row.append(kBitRowLimitsOpen).append(lowerText.view());
  row.append(kBitRowAfterFirstLower).append(upperText.view());
  row.append(kBitRowParenOpen).append(lowerText.view());
  row.append(kBitRowInParen).append(upperText.view());
  row.append(kBitRowCharacteristic).append(lowerText.view());
  row.append(kBitRowAfterLastLower).append(upperText.view());
}

} // namespace

void classifyType(const LeafType &type, bool littleEndian, LeafClassification &out) {
  const WordAndRow fixed = bySize(type.byteSize, type.isSigned);
  out.typeWord.clear();
  out.typeRow.clear();
  if (fixed.word.empty()) {
    out.typeWord.append(FileTexts::kWordSizeNotSupported);
    NumberText::appendDecimal(out.typeWord, type.byteSize);
  } else {
    out.typeWord.append(fixed.word);
  }
  if (type.bitSize == 0)
    out.typeRow.append(fixed.row);
  else
    appendBitFieldRow(out.typeRow, type, littleEndian);
}

void appendOutputName(std::string &out, std::string_view symbolName, const LeafType &type,
                      bool littleEndian) {
  out.append(symbolName);
  if (type.bitSize == 0) return;
  out.append(type.bitSize == 1 ? FileTexts::kBitSuffix : FileTexts::kBitsSuffix);
  const std::uint32_t start = startBit(type, littleEndian);
  const std::uint32_t listed =
      type.bitSize > 0 ? std::min(static_cast<std::uint32_t>(type.bitSize), kMaxListedBits) : 0;
  for (std::uint32_t i = 0; i < listed; ++i)
    NumberText::appendDecimal(out, start + i);
}

void classifyLeaf(const SymbolRecord &leaf, bool littleEndian, LeafClassification &out) {
  const LeafType type = LeafType::of(leaf);
  classifyType(type, littleEndian, out);
  out.outputName.clear();
  appendOutputName(out.outputName, leaf.symbolName, type, littleEndian);
}

LeafClassification classifyLeaf(const SymbolRecord &leaf, bool littleEndian) {
  LeafClassification out;
  classifyLeaf(leaf, littleEndian, out);
  return out;
}
