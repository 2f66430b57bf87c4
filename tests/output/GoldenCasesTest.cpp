// The worked examples of tests/data/golden: each file holds a dump (or names
// real dumps in tests/data) and the map, CANape database and style warnings
// log it must give, byte for byte. The format is described in
// tests/data/golden/README.md.
#include "output/SymbolFiles.h"
#include "tests/output/OutputTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace OutputTest;

namespace {

namespace fs = std::filesystem;

const fs::path kGoldenDir = fs::path(QUILLMAP_TEST_DATA_DIR) / "golden";

/// One case file: its dumps and the expected text of each file, CR LF ended
/// as the files hold them. A file without lines in its section is not written.
struct GoldenCase {
  std::vector<std::string> dumpNames; // empty: the dump is in the case file
  std::string inlineDump;
  std::map<std::string, std::string> expected; // "m51", "canape", "log"
  std::vector<std::string> errors;
};

GoldenCase parseCase(const std::string &text) {
  GoldenCase c;
  std::istringstream in(text);
  std::string section; // empty: the description before the first section
  bool sawDump = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("== ", 0) == 0) {
      std::istringstream words(line.substr(3));
      words >> section;
      if (section == "dump") {
        sawDump = true;
        for (std::string name; words >> name;)
          c.dumpNames.push_back(name);
      } else if (section == "m51" || section == "canape" || section == "log") {
        if (c.expected.count(section) != 0) c.errors.push_back("section " + section + " twice");
        c.expected[section];
      } else {
        c.errors.push_back("unknown section: " + line);
      }
      continue;
    }
    if (section.empty()) continue;
    if (section == "dump") {
      if (!c.dumpNames.empty()) {
        if (!line.empty()) c.errors.push_back("lines after a named dump: " + line);
        continue;
      }
      c.inlineDump.append(line).append("\n");
    } else {
      c.expected[section].append(line).append("\r\n");
    }
  }
  if (!sawDump) c.errors.push_back("no dump section");
  for (const char *file : {"m51", "canape", "log"})
    if (c.expected.count(file) == 0) c.errors.push_back(std::string("no ") + file + " section");
  return c;
}

std::vector<std::string> linesOf(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

/// A carriage return or other control byte shown as an escape, so that a
/// difference in line ends can be seen.
std::string visible(const std::string &line) {
  std::string shown;
  for (const char c : line) {
    if (c == '\r') {
      shown += "\\r";
    } else if (static_cast<unsigned char>(c) < 0x20) {
      shown += "\\x" + std::string(1, "0123456789abcdef"[(c >> 4) & 0xf]) + "0123456789abcdef"[c & 0xf];
    } else {
      shown += c;
    }
  }
  return shown;
}

/// Empty when \p actual is \p expected; else the first differing line with
/// two lines of context before it, "-" for expected and "+" for actual.
std::string difference(const std::string &expected, const std::string &actual) {
  if (expected == actual) return {};
  const std::vector<std::string> want = linesOf(expected);
  const std::vector<std::string> got = linesOf(actual);
  std::size_t first = 0;
  while (first < want.size() && first < got.size() && want[first] == got[first])
    ++first;
  std::ostringstream out;
  out << "expected " << want.size() << " lines (" << expected.size() << " bytes), got " << got.size()
      << " lines (" << actual.size() << " bytes); first difference at line " << first + 1 << ":\n";
  for (std::size_t i = first >= 2 ? first - 2 : 0; i < first; ++i)
    out << "  " << visible(want[i]) << "\n";
  for (std::size_t i = first; i < std::min(want.size(), first + 3); ++i)
    out << "- " << visible(want[i]) << "\n";
  for (std::size_t i = first; i < std::min(got.size(), first + 3); ++i)
    out << "+ " << visible(got[i]) << "\n";
  if (first == want.size() && first == got.size()) out << "(the last line differs in its end)\n";
  return out.str();
}

std::vector<std::string> caseNames() {
  std::vector<std::string> names;
  std::error_code error;
  for (const fs::directory_entry &entry : fs::directory_iterator(kGoldenDir, error))
    if (entry.path().extension() == ".golden") names.push_back(entry.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

class GoldenCases : public testing::TestWithParam<std::string> {};

TEST_P(GoldenCases, GiveTheirFilesByteForByte) {
  const fs::path file = kGoldenDir / (GetParam() + ".golden");
  const GoldenCase c = parseCase(readFile(file));
  for (const std::string &error : c.errors)
    ADD_FAILURE() << file.string() << ": " << error;
  if (!c.errors.empty()) return;

  std::vector<std::pair<std::string, std::string>> dumps; // name, text
  if (c.dumpNames.empty()) dumps.emplace_back("the dump in the case", c.inlineDump);
  for (const std::string &name : c.dumpNames) {
    dumps.emplace_back(name, readFile(fs::path(QUILLMAP_TEST_DATA_DIR) / name));
    ASSERT_FALSE(dumps.back().second.empty()) << file.string() << ": no dump " << name;
  }
  for (const auto &[name, text] : dumps) {
    const ScratchDirectory directory;
    const std::string m51 = directory.file("app_Vrx.m51");
    const std::unique_ptr<DwarfDatabase> database = parseDump(text);
    ASSERT_TRUE(writeSymbolFiles(m51, directory.file("app_CANape.db"), *database, {}).failedFiles.empty())
        << name;
    const std::pair<const char *, std::string> files[] = {
        {"m51", m51}, {"canape", directory.file("app_CANape.db")}, {"log", m51 + "_StyleWarnings.log"}};
    for (const auto &[section, path] : files) {
      const std::string &expected = c.expected.at(section);
      if (expected.empty()) {
        EXPECT_FALSE(fs::exists(path)) << file.string() << " from " << name << ": " << section
                                       << " written although its section is empty";
        continue;
      }
      const std::string diff = difference(expected, readFile(path));
      if (!diff.empty())
        ADD_FAILURE() << file.string() << " from " << name << ": " << section << " differs\n" << diff;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Files, GoldenCases, testing::ValuesIn(caseNames()),
                         [](const testing::TestParamInfo<std::string> &info) {
                           std::string name = info.param;
                           std::replace_if(
                               name.begin(), name.end(),
                               [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
                           return name;
                         });

TEST(GoldenCaseFormat, DifferenceShowsTheFirstDifferingLine) {
  EXPECT_EQ(difference("a\r\nb\r\n", "a\r\nb\r\n"), "");
  EXPECT_EQ(difference("a\r\nb\r\nc\r\n", "a\r\nx\r\nc\r\n"),
            "expected 3 lines (9 bytes), got 3 lines (9 bytes); first difference at line 2:\n"
            "  a\\r\n- b\\r\n- c\\r\n+ x\\r\n+ c\\r\n");
  // Only the line end differs.
  EXPECT_NE(difference("a\r\n", "a\n").find("- a\\r\n+ a\n"), std::string::npos);
}

TEST(GoldenCaseFormat, SectionsAndTheirErrors) {
  const GoldenCase named =
      parseCase("Two dumps.\n== dump output/a.txt output/b.txt\n== m51\nx\n== canape\n== log\n");
  EXPECT_TRUE(named.errors.empty());
  EXPECT_EQ(named.dumpNames, (std::vector<std::string>{"output/a.txt", "output/b.txt"}));
  EXPECT_EQ(named.expected.at("m51"), "x\r\n");
  EXPECT_EQ(named.expected.at("canape"), "");

  const GoldenCase inlined = parseCase("== dump\n# a dump's own comment\nline\n== m51\n== canape\n== log\n");
  EXPECT_TRUE(inlined.errors.empty());
  EXPECT_EQ(inlined.inlineDump, "# a dump's own comment\nline\n");

  EXPECT_EQ(parseCase("== dump\n== m51\n== canape\n").errors, std::vector<std::string>{"no log section"});
  EXPECT_EQ(parseCase("== dump\n== m51\n== map\n== canape\n== log\n").errors,
            std::vector<std::string>{"unknown section: == map"});
}

TEST(GoldenCaseFormat, TheFolderHoldsTheCases) { EXPECT_GE(caseNames().size(), 4u); }

} // namespace
