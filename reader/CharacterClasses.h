#pragma once

#include <array>
#include <cstdint>

/// The character classes of the dump grammar in the classic locale, as one
/// table lookup each: the parse tests every character of a dump against them.
namespace CharacterClasses {

enum : std::uint8_t {
  kDigit = 1,  ///< [[:digit:]], [0-9]
  kXdigit = 2, ///< [[:xdigit:]]
  kBlank = 4,  ///< [[:blank:]]: space, tab
  kSpace = 8,  ///< [[:space:]]: space, \t \n \v \f \r
};

inline constexpr std::array<std::uint8_t, 256> kTable = [] {
  std::array<std::uint8_t, 256> table{};
  for (int c = '0'; c <= '9'; ++c)
    table[c] |= kDigit | kXdigit;
  for (int c = 'a'; c <= 'f'; ++c)
    table[c] |= kXdigit;
  for (int c = 'A'; c <= 'F'; ++c)
    table[c] |= kXdigit;
  table[' '] |= kBlank | kSpace;
  table['\t'] |= kBlank | kSpace;
  for (int c = '\n'; c <= '\r'; ++c)
    table[c] |= kSpace;
  return table;
}();

inline bool is(char c, std::uint8_t classes) {
  return (kTable[static_cast<unsigned char>(c)] & classes) != 0;
}

inline bool isDigit(char c) { return is(c, kDigit); }
inline bool isXdigit(char c) { return is(c, kXdigit); }
inline bool isBlank(char c) { return is(c, kBlank); }
inline bool isSpace(char c) { return is(c, kSpace); }

} // namespace CharacterClasses
