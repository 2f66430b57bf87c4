#include "output/DuplicateCheck.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

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

TEST(DuplicateCheck, ReportsEveryRepeatOfAShuffledRunInLeafOrder) {
  // 60 000 leaves, each at a place of its own, in a shuffled order: 20 000
  // names once, twice or three times, one name ("unique") 15 000 times, and
  // 20 000 names once. The log must be what a lookup per leaf in leaf order
  // gives.
  std::vector<std::string> names;
  for (int i = 0; i < 20000; ++i)
    for (int copies = 1 + (i % 7 == 0) + (i % 11 == 0); copies > 0; --copies)
      names.push_back("var" + std::to_string(i) + ".member");
  names.resize(60000, "unique");
  for (std::size_t i = 40000; i < names.size(); ++i)
    names[i] = "solo_" + std::to_string(i);
  std::shuffle(names.begin(), names.end(), std::mt19937(7));

  DuplicateCheck check;
  std::string expected;
  std::map<std::string, std::size_t> firstLeaf;
  std::set<std::string> reportedPlaces;
  std::vector<bool> firstPlaceShown(names.size(), false);
  const auto place = [](std::size_t leaf) {
    const std::string number = std::to_string(leaf);
    std::string text = "f";
    text.append(number).append(".c(").append(number).append(")");
    return text;
  };
  for (std::size_t leaf = 0; leaf < names.size(); ++leaf) {
    check.check(names[leaf], place(leaf));
    const auto [first, isNew] = firstLeaf.emplace(names[leaf], leaf);
    if (isNew) continue;
    if (reportedPlaces.insert(place(leaf)).second) {
      expected +=
          "Warning - Duplicate Static VariableName: " + names[leaf].substr(0, names[leaf].find('.')) + "\r\n";
      expected += "  Location File: " + place(leaf) + "\r\n";
      if (!firstPlaceShown[first->second]) expected += "  Location File: " + place(first->second) + "\r\n";
    }
    firstPlaceShown[first->second] = true;
  }
  check.finish();
  EXPECT_TRUE(check.foundDuplicate());
  EXPECT_EQ(check.log(), expected);
  EXPECT_GT(expected.size(), 100000u); // thousands of repeats were reported
}

} // namespace
