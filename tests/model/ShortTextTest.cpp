#include "model/ShortText.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using Model::ShortText;

namespace {

/// Texts on both sides of the inline limit of seven characters, with the
/// bytes that would confuse a tag: NUL, odd and even values, 0xff.
std::vector<std::string> samples() {
  std::vector<std::string> texts = {"",
                                    "0",
                                    "12",
                                    "1042",
                                    "123456",
                                    "1234567",
                                    "12345678",
                                    "0x10 (odd)",
                                    std::string("\0\0\0", 3),
                                    std::string("\x01\xff\x02", 3),
                                    std::string("\xff\xff\xff\xff\xff\xff\xff", 7),
                                    std::string("\x00\x01\x02\x03\x04\x05\x06\x07", 8),
                                    std::string(5019, 'x')};
  return texts;
}

TEST(ShortText, KeepsEveryTextWholeThroughCopiesMovesAndAssignments) {
  for (const std::string &s : samples()) {
    SCOPED_TRACE(testing::PrintToString(s));
    ShortText t(s);
    EXPECT_EQ(t.view(), s);
    EXPECT_EQ(t.size(), s.size());
    EXPECT_EQ(t.empty(), s.empty());

    ShortText copy(t);
    EXPECT_EQ(copy.view(), s);
    ShortText moved(std::move(copy));
    EXPECT_EQ(moved.view(), s);
    EXPECT_TRUE(copy.empty()); // NOLINT: a moved-from text is empty by design

    // Assigning over a text of the other form frees or keeps the right one.
    for (const std::string &before : samples()) {
      ShortText target(before);
      target = t;
      EXPECT_EQ(target.view(), s);
      ShortText other(before);
      other = std::move(target);
      EXPECT_EQ(other.view(), s);
      other = std::string_view(before);
      EXPECT_EQ(other.view(), before);
    }
    ShortText &self = t;
    t = self;
    EXPECT_EQ(t.view(), s);
  }
}

TEST(ShortText, ComparesAsItsTextAndSwaps) {
  EXPECT_TRUE(ShortText("12") == "12");
  EXPECT_FALSE(ShortText("12") == "123");
  EXPECT_TRUE(ShortText("12345678") == ShortText(std::string("12345678")));
  EXPECT_FALSE(ShortText("1234567") == ShortText("12345678"));
  ShortText inlineText("7");
  ShortText heapText("a longer text");
  inlineText.swap(heapText);
  EXPECT_EQ(inlineText.view(), "a longer text");
  EXPECT_EQ(heapText.view(), "7");
  EXPECT_EQ(sizeof(ShortText), 8u);
}

} // namespace
