#pragma once

#include "model/TypeObjects.h"

#include <span>

/// DWARF 4 and 5 describe a bit field by DW_AT_data_bit_offset (bits from the
/// start of the enclosing structure); DWARF 2 to 4 by a storage unit
/// (DW_AT_byte_size), its place (DW_AT_data_member_location) and
/// DW_AT_bit_offset counted from the unit's most significant bit. Output
/// generation reads the older form, so after linking every member that has
/// only the newer one is given the values gcc writes for the same field in
/// the older form.
namespace BitFieldLayout {

/// Rewrites \p member when it has DW_AT_data_bit_offset, a non-zero bit size
/// and no DW_AT_bit_offset, and its storage unit has a size; otherwise leaves
/// it as it is. Needs the member's type linked (for the unit's size).
void convertDataBitOffset(Model::TypeInfo_Member &member, bool bigEndianTarget);

/// convertDataBitOffset() for every member.
void convertDataBitOffsets(std::span<Model::TypeInfo_Member *const> members, bool bigEndianTarget);

} // namespace BitFieldLayout
