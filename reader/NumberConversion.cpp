#include "reader/NumberConversion.h"

namespace NumberConversion {

std::optional<std::int32_t> decimal(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || (text[pos] >= '\t' && text[pos] <= '\r')))
    ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  const std::size_t firstDigit = pos;
  // Accumulate the magnitude in 64 bits and stop as soon as it leaves the
  // range, so that any number of digits is safe.
  constexpr std::int64_t kLimit = std::int64_t{1} << 31;
  std::int64_t magnitude = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    magnitude = magnitude * 10 + (text[pos] - '0');
    if (magnitude > kLimit) return std::nullopt;
    ++pos;
  }
  if (pos == firstDigit) return std::nullopt;
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value >= kLimit) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::uint32_t hexadecimal(std::string_view digits) {
  std::uint32_t value = 0;
  for (const char c : digits) {
    std::uint32_t digit = 0;
    if (c >= '0' && c <= '9')
      digit = static_cast<std::uint32_t>(c - '0');
    else if (c >= 'a' && c <= 'f')
      digit = static_cast<std::uint32_t>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F')
      digit = static_cast<std::uint32_t>(c - 'A' + 10);
    value = (value << 4) | digit;
  }
  return value;
}

std::optional<std::int32_t> attributeNumber(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && text[1] == 'x') {
    const std::string_view digits = text.substr(2);
    bool allHex = true;
    for (const char c : digits)
      allHex = allHex && ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'));
    if (allHex) return static_cast<std::int32_t>(hexadecimal(digits));
  }
  return decimal(text);
}

} // namespace NumberConversion
