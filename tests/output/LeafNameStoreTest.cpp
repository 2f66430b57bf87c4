// The front-coded store of the written leaves' names: every name must come
// back byte for byte, read in order or by index, whatever its length or bytes
// and wherever it falls among the whole (restart) names.
#include "output/LeafNameStore.h"
#include "output/DuplicateCheck.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

/// \p length bytes that differ from their neighbours and run through all 256
/// values, 0x00 and 0xff included: a piece lost or doubled shows.
std::string varied(std::size_t length, unsigned seed = 1) {
  std::string s(length, '\0');
  for (std::size_t i = 0; i < length; ++i)
    s[i] = static_cast<char>((i * 7 + seed) % 256);
  return s;
}

std::string prefixedBy(const std::string &head, std::size_t take, const std::string &tail) {
  return head.substr(0, take) + tail;
}

/// "s.m_00" ... "s.m_NN": neighbours share all but the last digit or two.
std::vector<std::string> members(int count) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i)
    names.push_back("s.m_" + std::string(i < 10 ? "0" : "") + std::to_string(i));
  return names;
}

void fill(LeafNameStore &store, const std::vector<std::string> &names) {
  for (const std::string &name : names)
    store.append(name);
}

struct Case {
  const char *what;
  std::vector<std::string> names;
};

const std::string long16380 = varied(16380);
const std::string long200 = varied(200, 3);

const Case kCases[] = {
    {"no names", {}},
    {"empty names: two zero varints each", {"", "", ""}},
    {"a name equal to the one before shares all of it", {"vehicle::g_oil", "vehicle::g_oil"}},
    {"a name after an equal one, then a shorter one", {"g_oil.bus_", "g_oil.bus_", "g_oil.b"}},
    {"no shared prefix", {"abc", "xyz"}},
    {"neighbouring array elements", {"table[11].x", "table[12].x"}},
    {"a name that is a prefix of the one before", {"ab", "abc", "a"}},
    {"34 names across two restart points", members(34)},
    {"exactly 16 names: the last just before a restart", members(16)},
    {"127 bytes: one-byte length", {std::string(127, 'a')}},
    {"128 bytes: two-byte length", {std::string(128, 'a')}},
    {"16383 bytes: two-byte length", {varied(16383)}},
    {"16384 bytes: three-byte length", {varied(16384)}},
    {"a shared prefix of 200 bytes: two-byte varint", {long200, long200 + "d"}},
    {"a long name, then one sharing 200 bytes of it", {long16380, prefixedBy(long16380, 200, "z")}},
    {"a name of 70000 bytes between short ones", {"x", varied(70000, 5), "y"}},
    {"bytes 0x00 and 0xff inside names",
     {std::string("a\0b", 3), std::string("a\0c", 3), "\xff\xff", std::string("\xff\xfe\0", 3)}},
};

TEST(LeafNameStore, EachCaseReadsBackInOrderAndByIndex) {
  for (const Case &c : kCases) {
    SCOPED_TRACE(c.what);
    LeafNameStore store;
    fill(store, c.names);
    EXPECT_EQ(store.size(), c.names.size());

    LeafNameStore::Cursor cursor(store);
    for (std::size_t i = 0; i < c.names.size(); ++i) {
      ASSERT_EQ(cursor.next(), c.names[i]) << "in order, name " << i;
    }
    EXPECT_EQ(cursor.position(), store.size());

    std::string name = "left over";
    for (std::size_t i = c.names.size(); i-- > 0;) {
      store.copyName(i, name);
      ASSERT_EQ(name, c.names[i]) << "by index, name " << i;
    }
  }
}

/// Dotted member names of nested structures, as the expansion makes them.
std::vector<std::string> nestedNames(int count) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i)
    names.push_back("vehicle::g_sensor_" + std::to_string(i / 40) + ".channel[" + std::to_string(i / 5 % 8) +
                    "]." + std::string(static_cast<std::size_t>(i % 5) + 1, 'f'));
  return names;
}

TEST(LeafNameStore, RandomAccessAgreesWithSequentialReading) {
  const std::vector<std::string> names = nestedNames(2000);
  LeafNameStore store;
  fill(store, names);

  std::mt19937 random(7);
  std::uniform_int_distribution<std::size_t> pick(0, names.size() - 1);
  LeafNameStore::Cursor cursor(store);
  std::string byIndex;
  for (int round = 0; round < 3000; ++round) {
    const std::size_t i = pick(random);
    store.copyName(i, byIndex);
    ASSERT_EQ(byIndex, names[i]) << "by index, name " << i;
    // The cursor sent to the same place, and read a few on from there.
    cursor.seek(i);
    ASSERT_EQ(cursor.position(), i);
    for (std::size_t j = i; j < std::min(names.size(), i + 3); ++j)
      ASSERT_EQ(cursor.next(), names[j]) << "after a seek to " << i;
  }
}

TEST(LeafNameStore, CursorRestartsGoingBackAndFarAhead) {
  const std::vector<std::string> names = members(100);
  LeafNameStore store;
  fill(store, names);
  LeafNameStore::Cursor cursor(store);
  // Each step: where to seek, seen from where the previous one left off.
  const struct {
    std::size_t to;
    const char *why;
  } steps[] = {{40, "far ahead from 0"},      {3, "back"},
               {3, "to where it stands"},     {5, "a little ahead"},
               {15, "to a restart's left"},   {16, "onto a restart"},
               {16, "back by one"},           {31, "ahead within a group"},
               {0, "back to the start"},      {99, "the last name"},
               {17, "back over two restarts"}};
  for (const auto &step : steps) {
    SCOPED_TRACE(step.why);
    cursor.seek(step.to);
    EXPECT_EQ(cursor.position(), step.to);
    EXPECT_EQ(cursor.next(), names[step.to]);
  }
}

TEST(DuplicateCheckNames, RecordedNamesReadByTwoFilesAtOnceAndOutOfOrder) {
  const std::vector<std::string> names = nestedNames(300);
  DuplicateCheck check;
  for (const std::string &name : names)
    check.check(name, "a.c(1)");
  check.finish();
  ASSERT_EQ(check.names().size(), names.size());
  // The map file and the CANape file are made at the same time, each
  // reading 0, 1, 2, ... with a cursor of its own; here they interleave.
  LeafNameStore::Cursor map(check.names());
  LeafNameStore::Cursor canape(check.names());
  for (std::size_t i = 0; i < names.size(); ++i) {
    ASSERT_EQ(map.next(), names[i]) << "map, leaf " << i;
    if (i % 3 == 0) continue;
    canape.seek(i);
    ASSERT_EQ(canape.next(), names[i]) << "CANape, leaf " << i;
  }
  // The same leaf twice, then back, then ahead.
  for (const std::size_t i : {7u, 7u, 6u, 250u, 33u, 299u, 0u}) {
    canape.seek(i);
    EXPECT_EQ(canape.next(), names[i]) << "leaf " << i;
  }
}

} // namespace
