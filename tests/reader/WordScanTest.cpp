#include "reader/WordScan.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

// The character-at-a-time answers the word scans must give.
const char *skipRunByChar(const char *p, const char *end, char c) {
  while (p != end && *p == c)
    ++p;
  return p;
}
const char *findEitherByChar(const char *p, const char *end, char a, char b) {
  while (p != end && *p != a && *p != b)
    ++p;
  return p;
}
const char *findBelowByChar(const char *p, const char *end, unsigned char limit) {
  while (p != end && static_cast<unsigned char>(*p) >= limit)
    ++p;
  return p;
}

} // namespace

TEST(WordScan, WorkedExamplesFromAnAttributeLine) {
  const std::string line = "    <4f>   DW_AT_name        : (indirect string, offset: 0x1a): counter\t(x)";
  const char *begin = line.data();
  const char *end = begin + line.size();
  EXPECT_EQ(WordScan::skipRun(begin, end, ' ') - begin, 4);
  EXPECT_EQ(WordScan::findEither(begin + 11, end, ' ', ':') - begin, 21); // end of "DW_AT_name"
  EXPECT_EQ(WordScan::skipRun(begin + 21, end, ' ') - begin, 29);         // the ':' after the padding
  EXPECT_EQ(WordScan::findBelow(begin, end, '\r' + 1) - begin, static_cast<long>(line.find('\t')));
  EXPECT_EQ(WordScan::skipRun(end, end, ' '), end);
}

TEST(WordScan, AgreesWithTheCharacterLoopOnEveryOffsetAndLength) {
  // Runs of the searched characters next to their neighbours in the byte
  // order (borrows between bytes are where a word trick goes wrong), bytes
  // above 127, NUL and the line terminators, at every alignment.
  const std::string alphabet =
      std::string(" :\t\n\r\x1f\x20\x21\x39\x3a\x3b\x7f\x80\xff", 14) + std::string(1, '\0') + "aZ";
  std::mt19937 random(20261209);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<int> runLength(0, 12);
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    while (text.size() < 40) {
      const char c = alphabet[pick(random)];
      text.append(static_cast<std::size_t>(runLength(random)), c);
    }
    const char *end = text.data() + text.size();
    for (std::size_t start = 0; start <= text.size(); ++start) {
      const char *p = text.data() + start;
      for (const char c : {' ', ':', '\0', '\xff'})
        ASSERT_EQ(WordScan::skipRun(p, end, c), skipRunByChar(p, end, c)) << round << ' ' << start;
      ASSERT_EQ(WordScan::findEither(p, end, ' ', ':'), findEitherByChar(p, end, ' ', ':')) << round;
      ASSERT_EQ(WordScan::findEither(p, end, '\0', '\x80'), findEitherByChar(p, end, '\0', '\x80')) << round;
      for (const unsigned char limit : {1, '\r' + 1, 0x21, 128})
        ASSERT_EQ(WordScan::findBelow(p, end, limit), findBelowByChar(p, end, limit))
            << round << ' ' << start;
    }
  }
}
