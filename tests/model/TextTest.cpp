#include "model/Text.h"

#include <gtest/gtest.h>

#include <string>

using Model::Text;

TEST(Text, KeepsEveryLengthAcrossTheInlineLimit) {
  for (std::size_t n : {0u, 1u, 14u, 15u, 16u, 17u, 100u, 5019u}) {
    const std::string s(n, 'x');
    Text t(s);
    EXPECT_EQ(t.view(), s) << n;
    EXPECT_EQ(t.size(), n);
    EXPECT_EQ(t.empty(), n == 0);
    Text copy(t);
    EXPECT_EQ(copy.view(), s);
    Text moved(std::move(copy));
    EXPECT_EQ(moved.view(), s);
    EXPECT_TRUE(copy.empty()); // NOLINT: a moved-from Text is empty by design
    Text assigned;
    assigned = moved;
    EXPECT_EQ(assigned.view(), s);
    assigned = "short";
    EXPECT_EQ(assigned.view(), "short");
  }
}

TEST(Text, KeepsEmbeddedBytesAndCompares) {
  const std::string withNul("a\0b", 3);
  Text t(withNul);
  EXPECT_EQ(t.view(), withNul);
  EXPECT_TRUE(Text("counter") == "counter");
  EXPECT_FALSE(Text("counter") == "count");
  EXPECT_EQ(std::string("tick@") + Text("count"), "tick@count");
}
