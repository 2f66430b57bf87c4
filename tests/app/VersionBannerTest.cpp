#include "app/VersionBanner.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

struct VersionCase {
  const char *name;
  std::uint32_t fileVersionMostSignificant;
  const char *text;
};

const VersionCase kVersionCases[] = {
    {"OneZero", 0x00010000u, "1.0"},    // 1.0.x.x
    {"TwoTwo", 0x00020002u, "2.2"},     // 2.2.0.0
    {"TenZero", 0x000A0000u, "10.0"},   // 10.0.3.7: the last two parts are not shown
    {"ZeroZero", 0x00000000u, "0.0"},   //
    {"OneTwelve", 0x0001000Cu, "1.12"}, // no leading zeros, decimal
    {"Largest", 0xFFFFFFFFu, "65535.65535"},
};

/// Gives each case its name in the test list.
void PrintTo(const VersionCase &c, std::ostream *os) { *os << c.name; }

class VersionTextTest : public testing::TestWithParam<VersionCase> {};

TEST_P(VersionTextTest, ShowsMajorDotMinor) {
  EXPECT_EQ(versionText(GetParam().fileVersionMostSignificant), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Versions, VersionTextTest, testing::ValuesIn(kVersionCases));

TEST(BuildDateTest, HasTheFormOfTheCompilersDateMacro) {
  // "Oct 18 2021", or "Dec  9 2026" with the day padded by a blank.
  EXPECT_TRUE(std::regex_match(buildDate(), std::regex("(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
                                                       "[ 123][0-9] [0-9]{4}")))
      << buildDate();
  EXPECT_EQ(&buildDate(), &buildDate());
}

} // namespace
