#include "model/TextPool.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using Model::ShortText;
using Model::TextPool;

namespace {

TEST(TextPool, KeepsEachLongerTextOnceAndShortOnesInline) {
  TextPool pool;
  const std::string names[] = {
      "", "u8", "counter", "counter_", "DW_OP_addr", std::string(5019, 'n'), std::string("nul\0inside", 10)};
  for (const std::string &name : names) {
    SCOPED_TRACE(name.size());
    const ShortText first = pool.text(name);
    const ShortText again = pool.text(std::string(name)); // another buffer, same text
    EXPECT_EQ(first.view(), name);
    EXPECT_EQ(again.view(), name);
    EXPECT_EQ(first.isPooled(), name.size() > ShortText::kInlineCapacity);
    // A repeat refers to the same copy.
    if (first.isPooled()) {
      EXPECT_EQ(first.view().data(), again.view().data());
    }
  }
  EXPECT_EQ(pool.size(), 4u);
}

TEST(TextPool, TextsStayWholeWhilePoolGrowsAndAcrossCopies) {
  TextPool pool;
  std::vector<ShortText> texts;
  // Enough distinct names to rehash the table several times and fill
  // several storage blocks; each name is asked for twice.
  for (int round = 0; round < 2; ++round)
    for (int i = 0; i < 20000; ++i)
      texts.push_back(pool.text("member_name_" + std::to_string(i)));
  EXPECT_EQ(pool.size(), 20000u);
  for (int i = 0; i < 20000; ++i) {
    ASSERT_EQ(texts[i].view(), "member_name_" + std::to_string(i));
    ASSERT_EQ(texts[i].view().data(), texts[i + 20000].view().data());
  }

  // A copy of a pooled text refers to the pool too; assigning an owned or
  // an inline text over it, and it over them, keeps every text right.
  ShortText copy(texts[7]);
  EXPECT_TRUE(copy.isPooled());
  EXPECT_EQ(copy.view().data(), texts[7].view().data());
  ShortText owned("an owned longer text");
  EXPECT_FALSE(owned.isPooled());
  owned = copy;
  EXPECT_EQ(owned.view(), "member_name_7");
  copy = ShortText("another owned text");
  EXPECT_EQ(copy.view(), "another owned text");
  copy = std::move(owned);
  EXPECT_EQ(copy.view(), "member_name_7");
  ShortText shortOne("abc");
  shortOne.swap(copy);
  EXPECT_EQ(shortOne.view(), "member_name_7");
  EXPECT_EQ(copy.view(), "abc");
}

} // namespace

namespace {

TEST(TextPool, AdoptedTextsOutliveTheirPool) {
  TextPool pool;
  const ShortText mine = pool.text("a name of this pool");
  std::vector<ShortText> theirs;
  {
    TextPool other;
    for (int i = 0; i < 5000; ++i) // several storage blocks
      theirs.push_back(other.text("a name of the other pool " + std::to_string(i)));
    pool.adopt(other);
    EXPECT_EQ(other.size(), 0u);
  }
  for (int i = 0; i < 5000; ++i)
    ASSERT_EQ(theirs[i].view(), "a name of the other pool " + std::to_string(i));
  // The pool's own texts are still found once.
  EXPECT_EQ(pool.text("a name of this pool").view().data(), mine.view().data());
}

} // namespace
