#include "output/ChunkedText.h"
#include "output/StyleWarnings.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

TEST(ChunkedText, KeepsEveryByteAcrossChunkBoundaries) {
  // Pieces of odd lengths up to 20 MB, so that pieces straddle chunks and
  // one piece spans several of them.
  ChunkedText text;
  std::string expected;
  for (std::size_t i = 0; expected.size() < (std::size_t{12} << 20); ++i) {
    const std::string piece(1 + (i * 7919) % 4093, static_cast<char>('a' + i % 26));
    text.append(piece);
    expected += piece;
  }
  const std::string huge(std::size_t{9} << 20, '#');
  text.append(huge);
  expected += huge;
  text.append("end\r\n");
  expected += "end\r\n";

  EXPECT_EQ(text.size(), expected.size());
  EXPECT_TRUE(text.str() == expected);
  std::ostringstream out;
  text.writeTo(out);
  EXPECT_TRUE(out.str() == expected);
}

TEST(ChunkedText, EmptyWritesNothing) {
  ChunkedText text;
  text.append("");
  std::ostringstream out;
  text.writeTo(out);
  EXPECT_TRUE(text.empty());
  EXPECT_EQ(out.str(), "");
}

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
