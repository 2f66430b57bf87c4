#include "reader/OffsetIndex.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

struct Objects {
  std::vector<std::unique_ptr<Model::BasicObject>> owned;
  Model::BasicObject *make(Model::EntryOffset offset) {
    owned.push_back(std::make_unique<Model::BasicObject>(offset, nullptr));
    return owned.back().get();
  }
};

TEST(OffsetIndex, FindsEveryKeyEnteredInOrder) {
  Objects o;
  OffsetIndex index;
  std::vector<Model::BasicObject *> entered;
  for (Model::EntryOffset offset = 0xb; offset < 0x4000; offset += 7) {
    entered.push_back(o.make(offset));
    index.insert(offset, entered.back());
  }
  for (Model::BasicObject *object : entered)
    EXPECT_EQ(index.find(object->offset), object);
  EXPECT_EQ(index.find(0xc), nullptr);
  EXPECT_EQ(index.find(0), nullptr);
  EXPECT_EQ(index.find(0xffffffff), nullptr);
  EXPECT_EQ(index.size(), entered.size());
  // A key entered in order after the lookups, beyond every earlier one.
  Model::BasicObject *later = o.make(0x5000);
  index.insert(0x5000, later);
  EXPECT_EQ(index.find(0x5000), later);
  EXPECT_EQ(index.find(entered.front()->offset), entered.front());
}

TEST(OffsetIndex, KeepsTheFirstObjectOfARepeatedKey) {
  Objects o;
  // In order, the repeat comes straight after; out of order, it comes after
  // other keys and before and after a sort.
  OffsetIndex index;
  Model::BasicObject *first = o.make(0x30);
  index.insert(0x30, first);
  index.insert(0x30, o.make(0x30));
  index.insert(0x10, o.make(0x10)); // out of order
  Model::BasicObject *second = o.make(0x20);
  index.insert(0x20, second);
  index.insert(0x30, o.make(0x30));
  index.insert(0x20, o.make(0x20));
  EXPECT_EQ(index.find(0x30), first);
  EXPECT_EQ(index.find(0x20), second);
  index.insert(0x20, o.make(0x20)); // after the sort
  index.insert(0x5, o.make(0x5));
  EXPECT_EQ(index.find(0x20), second);
  EXPECT_NE(index.find(0x5), nullptr);
  EXPECT_EQ(index.size(), 4u);
}

TEST(OffsetIndex, GrowsPastItsReservationAndSettlesKeysEnteredOutOfOrder) {
  Objects o;
  OffsetIndex index;
  index.reserve(2);
  // Descending keys, each entered twice: the first object of each key stays.
  std::vector<Model::BasicObject *> firsts;
  for (Model::EntryOffset offset = 0x900; offset >= 0x100; offset -= 0x100) {
    firsts.push_back(o.make(offset));
    index.insert(offset, firsts.back());
    index.insert(offset, o.make(offset));
  }
  for (Model::BasicObject *first : firsts)
    EXPECT_EQ(index.find(first->offset), first);
  EXPECT_EQ(index.find(0x180), nullptr);
  EXPECT_EQ(index.size(), firsts.size());
}

TEST(OffsetIndex, FindsKeysAtTheEdgesOfItsRangesAndNothingBetween) {
  // A dense run of keys, then sparse ones up to the largest 32-bit key: the
  // start table's ranges then hold many keys, one key or none.
  std::vector<Model::EntryOffset> keys;
  for (Model::EntryOffset offset = 0; offset < 64; ++offset)
    keys.push_back(offset);
  for (Model::EntryOffset offset :
       {0xffu, 0x100u, 0x101u, 0xfffeu, 0x10000u, 0x7fffffffu, 0x80000000u, 0xfffffffeu, 0xffffffffu})
    keys.push_back(offset);
  Objects o;
  OffsetIndex index;
  for (Model::EntryOffset key : keys)
    index.insert(key, o.make(key));
  for (Model::EntryOffset key : keys) {
    ASSERT_NE(index.find(key), nullptr) << std::hex << key;
    EXPECT_EQ(index.find(key)->offset, key) << std::hex << key;
  }
  for (Model::EntryOffset miss :
       {64u, 0xfeu, 0x102u, 0xffffu, 0x10001u, 0x7ffffffeu, 0x80000001u, 0xfffffffdu})
    EXPECT_EQ(index.find(miss), nullptr) << std::hex << miss;
  // An entry after the lookups is found as well.
  index.insert(0x200, o.make(0x200));
  EXPECT_NE(index.find(0x200), nullptr);
  EXPECT_NE(index.find(0xffffffff), nullptr);
}

TEST(OffsetIndex, ClearEmpties) {
  Objects o;
  OffsetIndex index;
  index.insert(0x40, o.make(0x40));
  index.clear();
  EXPECT_TRUE(index.empty());
  EXPECT_EQ(index.find(0x40), nullptr);
}

} // namespace
