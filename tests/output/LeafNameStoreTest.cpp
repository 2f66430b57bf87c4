// The front-coded store of the written leaves' names: every name must come
// back byte for byte, read in order or by index, whatever its length or bytes
// and wherever it falls among the whole (restart) names.
#include "output/LeafNameStore.h"
#include "output/BlockVector.h"
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
  /// Each name costs its two length varints plus the bytes it does not share
  /// with the name before it (all of them at every 16th name).
  std::size_t codedBytes;
};

const std::string long16380 = varied(16380);
const std::string long200 = varied(200, 3);

const Case kCases[] = {
    {"no names", {}, 0},
    {"empty names: two zero varints each", {"", "", ""}, 2 + 2 + 2},
    {"a name equal to the one before shares all of it", {"vehicle::g_oil", "vehicle::g_oil"}, 16 + 2},
    {"a name after an equal one, then a shorter one", {"g_oil.bus_", "g_oil.bus_", "g_oil.b"}, 12 + 2 + 2},
    {"no shared prefix", {"abc", "xyz"}, 5 + 5},
    {"neighbouring array elements", {"table[11].x", "table[12].x"}, 13 + (2 + 4)},
    {"a name that is a prefix of the one before", {"ab", "abc", "a"}, 4 + 3 + 2},
    // Names 0, 16 and 32 are stored whole (8 bytes each); of the others,
    // those at 10, 20 and 30 change two digits (4 bytes), the rest one (3).
    {"34 names across two restart points", members(34), 3 * 8 + 28 * 3 + 3 * 4},
    {"exactly 16 names: the last just before a restart", members(16), 8 + 14 * 3 + 4},
    {"127 bytes: one-byte length", {std::string(127, 'a')}, 2 + 127},
    {"128 bytes: two-byte length", {std::string(128, 'a')}, 3 + 128},
    {"16383 bytes: two-byte length", {varied(16383)}, 3 + 16383},
    {"16384 bytes: three-byte length", {varied(16384)}, 4 + 16384},
    {"a shared prefix of 200 bytes: two-byte varint", {long200, long200 + "d"}, 203 + (2 + 1 + 1)},
    // The first block holds 16384 bytes: the second name's prefix varint
    // starts in its last byte and ends in the next block.
    {"a length varint across a block end", {long16380, prefixedBy(long16380, 200, "z")}, 16383 + 4},
    {"a name running across several blocks", {"x", varied(70000, 5), "y"}, 3 + (4 + 70000) + 3},
    {"bytes 0x00 and 0xff inside names",
     {std::string("a\0b", 3), std::string("a\0c", 3), "\xff\xff", std::string("\xff\xfe\0", 3)},
     5 + 3 + 4 + 4},
};

TEST(LeafNameStore, EachCaseReadsBackInOrderAndByIndex) {
  for (const Case &c : kCases) {
    SCOPED_TRACE(c.what);
    LeafNameStore store;
    fill(store, c.names);
    EXPECT_EQ(store.size(), c.names.size());
    EXPECT_EQ(store.codedBytes(), c.codedBytes);

    LeafNameStore::Cursor cursor(store);
    for (std::size_t i = 0; i < c.names.size(); ++i) {
      ASSERT_FALSE(cursor.atEnd());
      ASSERT_EQ(cursor.next(), c.names[i]) << "in order, name " << i;
    }
    EXPECT_TRUE(cursor.atEnd());

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
  EXPECT_LT(store.codedBytes(), 2000u * 12) << "neighbours are front-coded";

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
  cursor.seek(names.size());
  EXPECT_TRUE(cursor.atEnd());
}

TEST(LeafNameStore, CursorAtTheEndReadsNamesAddedLater) {
  // At a multiple of 16 the end is a restart point not yet in the table.
  for (const std::size_t before : {std::size_t{16}, std::size_t{21}}) {
    SCOPED_TRACE(before);
    const std::vector<std::string> names = members(40);
    LeafNameStore store;
    for (std::size_t i = 0; i < before; ++i)
      store.append(names[i]);
    LeafNameStore::Cursor cursor(store);
    cursor.seek(before);
    EXPECT_TRUE(cursor.atEnd());
    for (std::size_t i = before; i < names.size(); ++i)
      store.append(names[i]);
    for (std::size_t i = before; i < names.size(); ++i)
      ASSERT_EQ(cursor.next(), names[i]) << "name " << i;
  }
}

TEST(BlockVector, ElementsStayWhereTheyWereWrittenAcrossBlocks) {
  // 4096 per first block, then 4096, 8192, 16384, ...: 100000 elements fill
  // six blocks, and no element moves when a block is added.
  BlockVector<std::uint32_t> values;
  const std::uint32_t *first = nullptr;
  for (std::uint32_t i = 0; i < 100000; ++i) {
    values.push_back(i * 3 + 1);
    if (i == 0) first = &values[0];
  }
  EXPECT_EQ(&values[0], first);
  ASSERT_EQ(values.size(), 100000u);
  for (std::uint32_t i = 0; i < 100000; ++i)
    ASSERT_EQ(values[i], i * 3 + 1) << "element " << i;
  // Pieces end at the block ends and at the last element.
  std::size_t count = 0;
  EXPECT_EQ(*values.piece(4095, count), 4095u * 3 + 1);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(*values.piece(8192, count), 8192u * 3 + 1);
  EXPECT_EQ(count, 8192u);
  values.piece(99990, count);
  EXPECT_EQ(count, 10u);
  // blockRest runs to the block's end whether written or not: elements
  // 65536 to 131071 make the sixth block, of which 99990 to 99999 are written.
  EXPECT_EQ(*values.blockRest(99990, count), 99990u * 3 + 1);
  EXPECT_EQ(count, 131072u - 99990u);
}

TEST(DuplicateCheckNames, RecordedNamesReadByTwoFilesAtOnceAndOutOfOrder) {
  const std::vector<std::string> names = nestedNames(300);
  DuplicateCheck check;
  for (const std::string &name : names)
    check.check(name, "a.c(1)");
  check.finish();
  ASSERT_EQ(check.leafCount(), names.size());
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
