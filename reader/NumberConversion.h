#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

/// The two number conversions of the dump reader.
namespace NumberConversion {

/// Skips leading white space, takes an optional sign and the decimal digits
/// that follow, and ignores the rest ("2 byte block: 23 4" gives 2, "0x10"
/// gives 0). No digit at that place, or a value outside the signed 32-bit
/// range, is a failure: nullopt.
std::optional<std::int32_t> decimal(std::string_view text);

/// The hexadecimal digits of \p digits (no prefix) as an unsigned 32-bit
/// number; digits beyond 32 bits keep the low 32 bits, like every address.
std::uint32_t hexadecimal(std::string_view digits);

/// The number of an attribute's value text. objdump prints constants of four
/// and eight bytes in hexadecimal ("DW_AT_upper_bound : 0x1869f" for an array
/// of 100 000 elements, "DW_AT_byte_size : 0x11174"); a value text that is
/// exactly "0x" followed by hex digits is read that way (low 32 bits), every
/// other text by decimal().
std::optional<std::int32_t> attributeNumber(std::string_view text);

} // namespace NumberConversion
