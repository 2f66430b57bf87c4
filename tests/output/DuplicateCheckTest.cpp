#include "output/StyleWarnings.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(DuplicateCheck, ManyDistinctNamesSharingHashesAreNoRepeats) {
  // A quarter of a million names gives several pairs of equal 32-bit hashes;
  // only equal names count. Each name repeated once gives one warning each.
  const auto name = [](int i) {
    std::string n = "signal_";
    return n.append(std::to_string(i));
  };
  DuplicateCheck distinct;
  for (int i = 0; i < 250000; ++i)
    distinct.check(name(i), "a.c(1)");
  distinct.finish();
  EXPECT_FALSE(distinct.foundDuplicate());

  DuplicateCheck twice;
  for (int round = 0; round < 2; ++round)
    for (int i = 0; i < 250000; ++i)
      twice.check(name(i), round == 0 ? "a.c(1)" : "b.c(2)");
  twice.finish();
  // Only the first repeat reports b.c(2); every later one finds it reported.
  EXPECT_EQ(twice.log(), "Warning - Duplicate Static VariableName: signal_0\r\n"
                         "  Location File: b.c(2)\r\n"
                         "  Location File: a.c(1)\r\n");
}

} // namespace
