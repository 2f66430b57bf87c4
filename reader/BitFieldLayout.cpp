#include "reader/BitFieldLayout.h"

#include <cstdint>

namespace BitFieldLayout {

namespace {

/// Floor division for a positive divisor.
std::int64_t floorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

/// The smallest multiple of \p m that is >= \p x, for a positive m.
std::int64_t roundUpToMultiple(std::int64_t x, std::int64_t m) { return -floorDiv(-x, m) * m; }

} // namespace

void convertDataBitOffset(Model::TypeInfo_Member &member, bool bigEndianTarget) {
  if (!member.hasDataBitOffset || member.bitSize == 0 || member.hasBitOffset) return;
  const std::int64_t dataBitOffset = member.dataBitOffset;
  const std::int64_t bitSize = member.bitSize;
  const std::int64_t unitBytes = member.hasByteSize       ? std::int64_t{member.byteSize}
                                 : member.type != nullptr ? std::int64_t{member.type->getSize()}
                                                          : 0;
  if (unitBytes <= 0) return;
  const std::int64_t unitBits = 8 * unitBytes;
  // gcc puts the field in the first unit of its type's size, aligned to that
  // size, that holds all of it. In a packed layout that unit starts behind the
  // field; gcc then places the unit so that it ends where the field ends.
  const std::int64_t endingWithField = dataBitOffset + bitSize - unitBits;
  std::int64_t unitStart = roundUpToMultiple(endingWithField, unitBits);
  if (unitStart > dataBitOffset) unitStart = endingWithField;
  const std::int64_t location = floorDiv(unitStart, 8);
  member.dataMemberLocation = static_cast<std::int32_t>(location);
  member.byteSize = static_cast<std::int32_t>(unitBytes);
  member.bitOffset = static_cast<std::int32_t>(
      bigEndianTarget ? dataBitOffset - 8 * location : 8 * location + unitBits - (dataBitOffset + bitSize));
}

void convertDataBitOffsets(std::span<Model::TypeInfo_Member *const> members, bool bigEndianTarget) {
  for (Model::TypeInfo_Member *member : members)
    convertDataBitOffset(*member, bigEndianTarget);
}

} // namespace BitFieldLayout
