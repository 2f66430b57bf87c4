#include "reader/NumberConversion.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>

namespace {

struct DecimalCase {
  const char *text;
  std::optional<std::int32_t> value;
};

TEST(NumberConversion, Decimal) {
  const DecimalCase cases[] = {
      {"4", 4},
      {"-1", -1},
      {"+7", 7},
      {"2 byte block: 23 4", 2}, // stops at the first non-digit
      {"0x10", 0},
      {"1a", 1}, // a nesting level of hex digits still converts decimally
      {"  \t\r\n12", 12},
      {"2147483647", std::numeric_limits<std::int32_t>::max()},
      {"-2147483648", std::numeric_limits<std::int32_t>::min()},
      {"000000000000000000042", 42},
      // Failures: no digit at that place, or outside the signed 32-bit range.
      {"2147483648", std::nullopt},
      {"-2147483649", std::nullopt},
      {"4294967295", std::nullopt},
      {"99999999999999999999999999", std::nullopt},
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"-", std::nullopt},
      {"- 5", std::nullopt},
      {"a1", std::nullopt},
      {"<0x2a5>", std::nullopt}, // a bound given as a reference
  };
  for (const DecimalCase &c : cases)
    EXPECT_EQ(NumberConversion::decimal(c.text), c.value) << '"' << c.text << '"';
}

TEST(NumberConversion, HexadecimalKeepsTheLow32Bits) {
  const struct {
    const char *digits;
    std::uint32_t value;
  } cases[] = {
      {"0", 0},
      {"9884", 0x9884},
      {"DeadBeef", 0xdeadbeef},
      {"ffffffff", 0xffffffff},
      {"123456789", 0x23456789},
      {"ffffffffff", 0xffffffff},
      {"10000000000000400", 0x400},
  };
  for (const auto &c : cases)
    EXPECT_EQ(NumberConversion::hexadecimal(c.digits), c.value) << c.digits;
}

} // namespace
