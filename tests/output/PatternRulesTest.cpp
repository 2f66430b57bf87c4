// The two text rules that were first written as regular expressions and run
// once per leaf as plain code: the signedness of a base type's encoding and
// the root of a repeated name. Each is checked on worked examples and then
// against std::regex on its pattern text over many generated inputs.
#include "output/SignedEncoding.h"
#include "output/StyleWarningLines.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>
#include <vector>

namespace {

struct SignedCase {
  std::string encoding;
  bool isSigned;
};

TEST(SignedEncoding, EncodingNamesObjdumpPrints) {
  const std::vector<SignedCase> cases = {
      {"signed", true},          {"signed char", true},     {"unsigned", false}, {"unsigned char", false},
      {"boolean", false},        {"float", false},          {"UTF", false},      {"", false},
      {"signed fixed", true},    {"unsigned fixed", false}, {"nsigned", false},  {"xsigned", true},
      {"unsigned signed", true}, // the second "signed" follows a blank
  };
  for (const SignedCase &c : cases)
    EXPECT_EQ(isSignedEncoding(c.encoding), c.isSigned) << '"' << c.encoding << '"';
}

TEST(SignedEncoding, LineBreaksStopTheWildcardsButNotTheClass) {
  // '.' takes no line break, [^n] takes one.
  EXPECT_TRUE(isSignedEncoding("\nsigned"));
  EXPECT_TRUE(isSignedEncoding("x\nsigned"));
  EXPECT_FALSE(isSignedEncoding("x\nysigned"));
  EXPECT_FALSE(isSignedEncoding("signed\n"));
  EXPECT_FALSE(isSignedEncoding("signed\r char"));
  EXPECT_TRUE(isSignedEncoding(std::string("x\0signed", 8)));
}

struct RootCase {
  std::string name;
  std::string root;
};

TEST(RootName, LeadingRunUpToTheFirstScopeCharacter) {
  const std::vector<RootCase> cases = {
      {"count", "count"},
      {"tick@count", "tick"},
      {"drive::Motor->limit", "drive"},
      {"buf_03", "buf_03"},
      {"s.a", "s"},
      {".x", ""},
      {"@x", ""},
      {":x", ""},
      {"", ""},
      {"flags.ready_Bit:5", "flags"},
      {"a\nb.c", "a\nb"},
      {"ab.c\nd", ""},
  };
  for (const RootCase &c : cases)
    EXPECT_EQ(rootName(c.name), c.root) << '"' << c.name << '"';
}

/// Random texts built from the pieces that matter to the two patterns.
std::vector<std::string> generatedTexts() {
  const std::vector<std::string> pieces = {
      "signed", "unsigned",          "n", "s", "A", " ", "\n", "\r", "char", "@", ".", ":", "::", "->", "x",
      "igned",  std::string(1, '\0')};
  std::mt19937 random(20240601u);
  std::vector<std::string> texts = {""};
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    const int count = static_cast<int>(random() % 6);
    for (int k = 0; k < count; ++k)
      text += pieces[random() % pieces.size()];
    texts.push_back(text);
  }
  return texts;
}

TEST(SignedEncoding, AgreesWithThePatternOnGeneratedTexts) {
  const std::regex pattern(kSignedEncodingPattern);
  for (const std::string &text : generatedTexts())
    ASSERT_EQ(isSignedEncoding(text), std::regex_match("A" + text, pattern)) << '"' << text << '"';
}

TEST(RootName, AgreesWithThePatternOnGeneratedTexts) {
  const std::regex pattern(kRootNamePattern);
  for (const std::string &text : generatedTexts()) {
    std::smatch match;
    const std::string expected = std::regex_match(text, match, pattern) ? match[1].str() : std::string();
    ASSERT_EQ(rootName(text), expected) << '"' << text << '"';
  }
}

} // namespace
