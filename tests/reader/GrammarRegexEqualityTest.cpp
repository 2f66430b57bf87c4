// Every hand-written matcher must give exactly what std::regex_match gives
// with the pattern text kept beside it: the same verdict and the same groups
// at the same places. Checked on every line of the real dumps (and on the
// value texts and tails cut from their attribute lines), and on generated
// lines: real line shapes mutated towards near misses, with tabs, blanks,
// carriage returns and long lines.
#include "TestDumps.h"
#include "reader/DumpLineGrammar.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <regex>
#include <string>
#include <vector>

namespace {

using DumpLineGrammar::Match;
using DumpLineGrammar::Rule;

/// libstdc++'s std::regex recurses once per character and overflows the
/// stack at a few ten thousand; generated lines stay well below that.
constexpr std::size_t kMaxGeneratedLength = 4000;

std::string printable(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '\t')
      out += "\\t";
    else if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\0')
      out += "\\0";
    else
      out += c;
  }
  return out.size() > 300 ? out.substr(0, 300) + "..." : out;
}

/// A Match that still holds the groups of another line, as the parse's
/// reused line shape does: a matcher must set every group of its pattern
/// when it matches, not rely on finding them empty.
Match staleGroups() {
  static constexpr std::string_view kOtherLine = "    <1f>   DW_AT_name        : stale";
  Match m;
  for (std::string_view &group : m.group)
    group = kOtherLine.substr(4, 3);
  return m;
}

class Comparer {
public:
  Comparer() {
    for (const Rule &rule : DumpLineGrammar::kRules)
      compiled_.push_back({&rule, std::regex(rule.pattern)});
    for (const Compiled &c : compiled_) {
      if (c.rule->pattern == DumpLineGrammar::kAttributePattern) tabForm_ = &c;
      if (c.rule->pattern == DumpLineGrammar::kAttributeNoTabPattern) noTabForm_ = &c;
    }
  }

  /// Runs every rule on \p text; records the first few disagreements.
  void compareAll(std::string_view text) {
    for (const Compiled &c : compiled_)
      compare(c, text);
    compareAttributeLine(text);
  }

  std::size_t comparisons() const { return comparisons_; }
  std::size_t matches() const { return matches_; }
  std::size_t mismatches() const { return mismatches_; }

private:
  struct Compiled {
    const Rule *rule;
    std::regex regex;
  };

  void compare(const Compiled &c, std::string_view text) {
    ++comparisons_;
    std::cmatch expected;
    const bool regexMatched = std::regex_match(text.data(), text.data() + text.size(), expected, c.regex);
    Match actual = staleGroups();
    const bool matcherMatched = c.rule->matcher(text, actual);
    if (regexMatched != matcherMatched) {
      report(c, text,
             "regex " + std::to_string(regexMatched) + ", matcher " + std::to_string(matcherMatched));
      return;
    }
    if (!regexMatched) return;
    ++matches_;
    for (std::size_t g = 1; g <= c.rule->groupCount; ++g) {
      const std::string_view want(expected[g].first, static_cast<std::size_t>(expected[g].length()));
      const std::string_view got = actual.group[g];
      const bool samePlace = want.empty() ? got.empty() : got.data() == want.data();
      if (want != got || !samePlace) {
        report(c, text,
               "group " + std::to_string(g) + ": regex [" + printable(want) + "] matcher [" + printable(got) +
                   "]");
        return;
      }
    }
  }

  /// matchAttributeLine: the tab form on a line with a tab, the tab-less
  /// form (with an empty tail) on a line without.
  void compareAttributeLine(std::string_view text) {
    ++comparisons_;
    const bool hasTab = text.find('\t') != std::string_view::npos;
    const Compiled &form = hasTab ? *tabForm_ : *noTabForm_;
    std::cmatch expected;
    const bool regexMatched = std::regex_match(text.data(), text.data() + text.size(), expected, form.regex);
    Match actual = staleGroups();
    const bool matcherMatched = DumpLineGrammar::matchAttributeLine(text, actual);
    if (regexMatched != matcherMatched) {
      report(form, text, "matchAttributeLine: regex " + std::to_string(regexMatched));
      return;
    }
    if (!regexMatched) return;
    for (std::size_t g = 1; g <= 4; ++g) {
      const std::string_view want =
          g <= form.rule->groupCount
              ? std::string_view(expected[g].first, static_cast<std::size_t>(expected[g].length()))
              : std::string_view();
      if (want != actual.group[g]) {
        report(form, text, "matchAttributeLine: group " + std::to_string(g));
        return;
      }
    }
  }

  void report(const Compiled &c, std::string_view text, const std::string &what) {
    if (++mismatches_ <= 20) ADD_FAILURE() << c.rule->name << " on [" << printable(text) << "]: " << what;
  }

  std::vector<Compiled> compiled_;
  const Compiled *tabForm_ = nullptr;
  const Compiled *noTabForm_ = nullptr;
  std::size_t comparisons_ = 0;
  std::size_t matches_ = 0;
  std::size_t mismatches_ = 0;
};

std::vector<std::string> splitLines(const std::string &text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

/// Shapes of every line kind, including the older objdump layout that the
/// real dumps of today's toolchain do not show.
const std::vector<std::string> kHandWrittenShapes = {
    " <1><4a>: Abbrev Number: 1 (DW_TAG_typedef)",
    " <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)",
    " <2><5e>: Abbrev Number: 0",
    " <1><5e>: Abbrev Number: 7 (User TAG value: 0x4109)",
    "    <58>   DW_AT_encoding    : 6\t(signed char)",
    "    <52>   DW_AT_type        : <0x56>",
    "    <2e>   DW_AT_name        : counter",
    "    <16>   DW_AT_name        : (indirect string, offset: 0): ../libgloss/arm/crt0.S",
    "    <250>   DW_AT_location    : 5 byte block: 3 9c 9d 0 0 \t(DW_OP_addr: 9d9c)",
    "    <250>   DW_AT_location    : 9 byte block: 3 0 4 0 0 23 10 \t(DW_OP_addr: 400; DW_OP_plus_uconst: "
    "16)",
    "    <13f>   DW_AT_data_member_location: 2 byte block: 23 8 \t(DW_OP_plus_uconst: 8)",
    "    <181>   DW_AT_data_member_location: 0",
    "    <1a>   DW_AT_stmt_list   : 0x0",
    "    <46>   DW_AT_stmt_list   : 0",
    "    <60>   DW_AT_upper_bound : 9",
    "    <cb>   DW_AT_declaration : 1",
    "    <ca>   DW_AT_accessibility: 1\t(public)",
    "    <13b>   DW_AT_data_bit_offset: 0",
    "    <21>   DW_AT_na\tme : counter", // a tab only in the name: no attribute line
    "    <21>   DW_AT_na\tme : a\tb",
    "  Offset:                      0x0",
    "  Offset:                      0x75",
    "  Offset:                      0",
    " The Directory Table:",
    " The Directory Table (offset 0x1b):",
    " The Directory Table (offset 0x22, lines 2, columns 1):",
    "  Entry\tName",
    "  Entry\tDir\tTime\tSize\tName",
    "  Entry\tDir\tName",
    "  /work/main/examples/demo",
    "  1\t/work/main/examples/demo",
    "  0\t(indirect line string, offset: 0): /home/build/libgloss/arm",
    "  1\t1\t0\t0\tmain.c",
    "  0\t1\t(indirect line string, offset: 0x7c): crt0.S",
    "(indirect line string, offset: 0x57): ../../libgloss/arm",
    "(indirect string, offset: 0x1a): counter",
    "   Pointer Size:  4",
    "  Pointer Size:             4",
    "  Compilation Unit @ offset 0x1b2c:",
    "  Compilation Unit @ offset 0x0:",
    "  Compilation Unit @ offset 0:",
    "/tmp/demo.elf:     file format elf32-littlearm",
    "/tmp/demo.elf:     file format elf32-little",
    "/tmp/demo.elf:     file format elf32-bigarm",
    "(DW_OP_addr: 9884)",
    "(DW_OP_addr: 400; DW_OP_plus_uconst: 16)",
    "(DW_OP_plus_uconst: 8)",
    " 8 ",
    "<0x2d>",
    "(unsigned char)",
    "  [0x0000003a]  Extended opcode 2: set Address to 0x80a8",
    "  DW_CFA_advance_loc: 2 to 000080ac",
    "  0x00000000 2e2e2f2e 2e2f2e2e 2f2e2e2f 2e2e2f2e ../../../../../.",
};

/// Pieces that push a mutated line towards the edges of the patterns.
const std::vector<std::string> kFragments = {
    " ",
    "  ",
    "\t",
    ":",
    ": ",
    " : ",
    "<",
    ">",
    "<1>",
    "<4a>",
    "(",
    ")",
    "): ",
    ") : ",
    "0x",
    "0x1f",
    "0",
    "12",
    "ff",
    "g",
    "\r",
    "\n",
    std::string(1, '\0'),
    "\v",
    "DW_AT_",
    "DW_TAG_",
    "DW_AT_name",
    "Abbrev",
    "Number:",
    "Offset:",
    "Entry",
    "Dir",
    "Name",
    "Time\tSize\t",
    "little",
    "big",
    " file format ",
    ":  file format ",
    "(indirect string, offset: 0x1): ",
    "(indirect line string, offset: ",
    "The Directory Table",
    " (offset 0x1b)",
    ", lines 2, columns 1",
    "DW_OP_addr:",
    "DW_OP_plus_uconst:",
    "; ",
    "Pointer Size:",
    "Compilation Unit @ offset ",
    "-",
    "+",
};

const std::string kAlphabet = std::string(" \t:<>()0123456789abcdefxABCDEFgz;_-+.,/\r\n\v\f") + '\0';

class LineGenerator {
public:
  LineGenerator(std::uint64_t seed, const std::vector<std::string> &shapes)
      : random_(seed), shapes_(shapes) {}

  std::string next() {
    const unsigned kind = below(100);
    std::string line;
    if (kind < 3) {
      // Fully random text.
      const std::size_t length = below(40);
      for (std::size_t i = 0; i < length; ++i)
        line += kAlphabet[below(kAlphabet.size())];
      return line;
    }
    line = shapes_[below(shapes_.size())];
    if (kind < 13) return line; // an unchanged shape keeps the "matches" side busy
    const unsigned mutations = 1 + below(3);
    for (unsigned i = 0; i < mutations; ++i)
      mutate(line);
    if (below(200) == 0) lengthen(line);
    if (line.size() > kMaxGeneratedLength) line.resize(kMaxGeneratedLength);
    return line;
  }

private:
  std::size_t below(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(random_() % n); }

  std::string piece() {
    if (below(3) == 0) return std::string(1, kAlphabet[below(kAlphabet.size())]);
    return kFragments[below(kFragments.size())];
  }

  void mutate(std::string &line) {
    const std::size_t at = below(line.size() + 1);
    switch (below(8)) {
    case 0:
      line.insert(at, piece());
      break;
    case 1:
      if (at < line.size()) line.erase(at, 1 + below(3));
      break;
    case 2:
      if (at < line.size()) line[at] = kAlphabet[below(kAlphabet.size())];
      break;
    case 3:
      line.resize(at);
      break; // truncate
    case 4:
      line += piece();
      break;
    case 5:
      line = piece() + line;
      break;
    case 6: {
      // Swap every tab for a blank or the other way round.
      const char from = below(2) == 0 ? '\t' : ' ';
      const char to = from == '\t' ? ' ' : '\t';
      for (char &c : line)
        if (c == from && below(2) == 0) c = to;
      break;
    }
    case 7:
      line += shapes_[below(shapes_.size())];
      break; // two lines in one
    }
  }

  void lengthen(std::string &line) {
    // A long value: a C++ name or producer string of a few thousand chars.
    const std::string filler = below(2) == 0 ? std::string("abc_0x12 ") : piece();
    const std::size_t at = below(line.size() + 1);
    std::string repeated;
    const std::size_t target = 500 + below(kMaxGeneratedLength - 600);
    while (repeated.size() < target)
      repeated += filler;
    line.insert(at, repeated);
  }

  std::mt19937_64 random_;
  const std::vector<std::string> &shapes_;
};

/// The lines of every real dump that the build made (demo firmware and the
/// reader's own sources), or none without the ARM toolchain.
std::vector<std::string> realDumpLines() {
  std::vector<std::string> paths;
  for (const std::string &variant : TestDumps::firmwareVariants())
    paths.push_back(TestDumps::demoDump(variant));
  for (const char *stem : {"bitfields", "classes"})
    for (int dwarf : {2, 4, 5})
      for (const char *endian : {"little", "big"})
        paths.push_back(TestDumps::sourceDump(stem, dwarf, endian));
  std::vector<std::string> lines;
  for (const std::string &path : paths) {
    if (!TestDumps::fileExists(path)) continue;
    for (std::string &line : splitLines(TestDumps::readFile(path)))
      lines.push_back(std::move(line));
  }
  return lines;
}

TEST(GrammarRegexEquality, EveryLineOfTheRealDumps) {
  const std::vector<std::string> lines = realDumpLines();
  if (lines.empty()) GTEST_SKIP() << "no real dumps built";
  Comparer comparer;
  for (const std::string &line : lines) {
    ASSERT_LT(line.size(), 20000u) << "too long for std::regex";
    comparer.compareAll(line);
    // The value patterns are applied to the value text and the tail of
    // attribute lines; compare them on exactly those too.
    Match m;
    if (DumpLineGrammar::matchAttribute(line, m) || DumpLineGrammar::matchAttributeNoTab(line, m)) {
      const std::string value(m.group[3]), tail(m.group[4]);
      comparer.compareAll(value);
      comparer.compareAll(tail);
    }
  }
  EXPECT_EQ(comparer.mismatches(), 0u);
  // The dumps must exercise the matchers, not only their rejections.
  EXPECT_GT(comparer.matches(), lines.size());
}

TEST(GrammarRegexEquality, HandWrittenShapes) {
  Comparer comparer;
  for (const std::string &line : kHandWrittenShapes)
    comparer.compareAll(line);
  EXPECT_EQ(comparer.mismatches(), 0u);
  EXPECT_GE(comparer.matches(), kHandWrittenShapes.size());
}

/// A quarter of the generated lines per case, so the cases run in parallel.
void compareGenerated(std::uint64_t seed) {
  std::vector<std::string> shapes = kHandWrittenShapes;
  const std::vector<std::string> real = realDumpLines();
  shapes.insert(shapes.end(), real.begin(), real.end());
  LineGenerator generator(seed, shapes);
  Comparer comparer;
  constexpr std::size_t kLines = 131072; // eight cases: 1 048 576 lines
  for (std::size_t i = 0; i < kLines; ++i)
    comparer.compareAll(generator.next());
  EXPECT_EQ(comparer.mismatches(), 0u);
  EXPECT_GT(comparer.matches(), kLines / 20);
}

TEST(GrammarRegexEquality, GeneratedLinesPart1) { compareGenerated(0x5eed0001); }
TEST(GrammarRegexEquality, GeneratedLinesPart2) { compareGenerated(0x5eed0002); }
TEST(GrammarRegexEquality, GeneratedLinesPart3) { compareGenerated(0x5eed0003); }
TEST(GrammarRegexEquality, GeneratedLinesPart4) { compareGenerated(0x5eed0004); }
TEST(GrammarRegexEquality, GeneratedLinesPart5) { compareGenerated(0x5eed0005); }
TEST(GrammarRegexEquality, GeneratedLinesPart6) { compareGenerated(0x5eed0006); }
TEST(GrammarRegexEquality, GeneratedLinesPart7) { compareGenerated(0x5eed0007); }
TEST(GrammarRegexEquality, GeneratedLinesPart8) { compareGenerated(0x5eed0008); }

} // namespace
