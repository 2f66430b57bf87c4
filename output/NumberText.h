#pragma once

#include <charconv>
#include <cstdint>
#include <string>
#include <type_traits>

/// Number-to-text helpers of the file writers: plain appends, no streams and
/// no locale, because they run several times per leaf.
namespace NumberText {

/// Appends \p value in decimal (with a leading '-' when negative).
template <class Integer> void appendDecimal(std::string &out, Integer value) {
  static_assert(std::is_integral_v<Integer>);
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

/// Writes \p value as eight lowercase hexadecimal digits, zero-padded, to
/// the eight characters at \p text.
inline void writeHex8(char *text, std::uint32_t value) {
  constexpr char kDigits[] = "0123456789abcdef";
  for (int i = 7; i >= 0; --i, value >>= 4)
    text[i] = kDigits[value & 0xfu];
}

/// Appends \p value as eight lowercase hexadecimal digits, zero-padded.
inline void appendHex8(std::string &out, std::uint32_t value) {
  char text[8];
  writeHex8(text, value);
  out.append(text, sizeof text);
}

} // namespace NumberText
