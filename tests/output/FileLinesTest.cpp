// The single lines of the M51 map and the CANape database, and the duplicate
// check behind the style warnings log.
#include "output/CanapeDatabase.h"
#include "output/DuplicateCheck.h"
#include "output/M51Map.h"
#include "output/TypeClassification.h"

#include <gtest/gtest.h>

#include <string>

namespace {

LeafClassification classified(std::string name, std::int32_t byteSize, bool isSigned = false) {
  SymbolRecord leaf;
  leaf.symbolName = std::move(name);
  leaf.byteSize = byteSize;
  leaf.isSigned = isSigned;
  return classifyLeaf(leaf, false);
}

const std::string kUint8Row =
    "    \"\" UINT(8)    \"\" 0 0                   255                 CHARACTERISTIC       "
    "WEAK_LIMITS 0                    255";
const std::string kUint32Row = "    \"\" UINT(32)   \"\" 0 0                   4294967295          "
                               "CHARACTERISTIC       WEAK_LIMITS 0                    4294967295";

std::string m51Line(std::uint32_t address, const LeafClassification &leaf) {
  std::string line;
  appendM51Line(line, address, leaf);
  return line;
}

std::string canapeLine(std::uint32_t address, const LeafClassification &leaf) {
  std::string line;
  appendCanapeLine(line, address, leaf);
  return line;
}

/// The CANape name field: quoted, two blanks, padded to 100 characters.
std::string nameField(const std::string &canapeName) {
  std::string field = "'" + canapeName + "'  ";
  field.resize(std::max<std::size_t>(field.size(), 100), ' ');
  return field;
}

// ---- M51 ---------------------------------------------------------------------

TEST(M51Line, AddressesAndNamesAsTheyAre) {
  EXPECT_EQ(m51Line(0x1c, classified("tick@count", 4, true)),
            "0000001cH     SYMBOL  DATA  INT32    tick@count\r\n");
  EXPECT_EQ(m51Line(0xfffffffc, classified("drive::Motor->limit", 2)),
            "fffffffcH     SYMBOL  DATA  WORD     drive::Motor->limit\r\n");
  // The long word of an unsupported size shifts the name.
  EXPECT_EQ(m51Line(0x08000000, classified("callback", 0)),
            "08000000H     SYMBOL  DATA  SIZE_NOT_SUPPORTED_0    callback\r\n");
}

// ---- CANape ------------------------------------------------------------------

TEST(CanapeLine, ScopeCharactersBecomeUnderscores) {
  const struct {
    std::string outputName;
    std::string canapeName;
  } cases[] = {
      {"tick@count", "tick_count"},
      {"drive::Motor->limit", "drive__Motor->limit"},
      {"s..x", "s..x"},
      {"buf_03", "buf_03"},
      {"a@b", "a_b"},
      {"a:b", "a_b"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(canapeLine(0x800abcd, classified(c.outputName, 4)),
              "VARIABLE 0x0 " + nameField(c.canapeName) + "0x0800abcd" + kUint32Row + "\r\n")
        << c.outputName;
}

TEST(CanapeLine, LongNamesShiftTheRestOfTheLine) {
  const std::string name96(96, 'n'); // field of 100: no padding
  EXPECT_EQ(canapeLine(1, classified(name96, 1)),
            "VARIABLE 0x0 '" + name96 + "'  0x00000001" + kUint8Row + "\r\n");
  const std::string name130(130, 'n');
  EXPECT_EQ(canapeLine(1, classified(name130, 1)),
            "VARIABLE 0x0 '" + name130 + "'  0x00000001" + kUint8Row + "\r\n");
}

// ---- Duplicate check ---------------------------------------------------------

struct Written {
  std::string name;
  std::string place;
};

/// The log of a pass that wrote \p leaves in this order; empty without a
/// repeat.
std::string logOf(const std::vector<Written> &leaves) {
  DuplicateCheck check;
  for (const Written &leaf : leaves)
    check.check(leaf.name, leaf.place);
  check.finish();
  EXPECT_EQ(check.foundDuplicate(), !check.log().empty());
  return check.log();
}

TEST(DuplicateCheck, TwoStaticsOfOneNameGiveThreeLines) {
  EXPECT_EQ(logOf({{"count", "a.c(10)"}, {"count", "b.c(20)"}}),
            "Warning - Duplicate Static VariableName: count\r\n"
            "  Location File: b.c(20)\r\n"
            "  Location File: a.c(10)\r\n");
  EXPECT_EQ(logOf({{"count", "a.c(10)"}, {"count", "b.c(20)"}, {"count", "c.c(5)"}}),
            "Warning - Duplicate Static VariableName: count\r\n"
            "  Location File: b.c(20)\r\n"
            "  Location File: a.c(10)\r\n"
            "Warning - Duplicate Static VariableName: count\r\n"
            "  Location File: c.c(5)\r\n");
}

TEST(DuplicateCheck, NoRepeatNoLog) {
  DuplicateCheck check;
  check.check("count", "a.c(10)");
  check.check("counter", "a.c(10)");
  check.finish();
  EXPECT_FALSE(check.foundDuplicate());
  EXPECT_EQ(check.log(), "");
}

TEST(DuplicateCheck, TwoStructureVariablesClashOnce) {
  EXPECT_EQ(logOf({{"s.a", "a.c(3)"}, {"s.b", "a.c(3)"}, {"s.a", "b.c(4)"}, {"s.b", "b.c(4)"}}),
            "Warning - Duplicate Static VariableName: s\r\n"
            "  Location File: b.c(4)\r\n"
            "  Location File: a.c(3)\r\n");
}

TEST(DuplicateCheck, RootsOfScopedNames) {
  const struct {
    std::string name;
    std::string root;
  } cases[] = {
      {"tick@count", "tick"}, {"drive::Motor->limit", "drive"}, {"buf_03", "buf_03"}, {".x", ""}, {"", ""},
  };
  for (const auto &c : cases) {
    std::string expected = "Warning - Duplicate Static VariableName: ";
    expected.append(c.root).append("\r\n  Location File: b.c(2)\r\n  Location File: a.c(1)\r\n");
    EXPECT_EQ(logOf({{c.name, "a.c(1)"}, {c.name, "b.c(2)"}}), expected) << c.name;
  }
}

TEST(DuplicateCheck, APlaceIsReportedOnceUnderAnyName) {
  EXPECT_EQ(logOf({
                {"x", "a.c(1)"},
                {"y", "b.c(2)"},
                {"x", "b.c(2)"}, // b.c(2) and x's first place a.c(1)
                {"y", "a.c(1)"}, // a.c(1) as a repeat of y, and y's first place
                {"y", "c.c(3)"}, // y's first place was already named: c.c(3) only
                {"x", "b.c(2)"}, // b.c(2) was reported before: nothing
            }),
            "Warning - Duplicate Static VariableName: x\r\n"
            "  Location File: b.c(2)\r\n"
            "  Location File: a.c(1)\r\n"
            "Warning - Duplicate Static VariableName: y\r\n"
            "  Location File: a.c(1)\r\n"
            "  Location File: b.c(2)\r\n"
            "Warning - Duplicate Static VariableName: y\r\n"
            "  Location File: c.c(3)\r\n");
}

TEST(DuplicateCheck, RepeatsAreReportedInLeafOrderAcrossNames) {
  // Names interleaved; the hash order of the names must not show.
  const auto text = [](const char *before, const std::string &n, const char *after) {
    std::string t = before;
    return t.append(n).append(after);
  };
  std::vector<Written> leaves;
  std::string expected;
  for (int i = 0; i < 200; ++i)
    leaves.push_back({text("v", std::to_string(i), ""), text("a.c(", std::to_string(i), ")")});
  for (int i = 199; i >= 0; --i) {
    const std::string n = std::to_string(i);
    leaves.push_back({text("v", n, ""), text("b.c(", n, ")")});
    expected.append("Warning - Duplicate Static VariableName: v").append(n);
    expected.append("\r\n  Location File: b.c(").append(n).append(")\r\n  Location File: a.c(").append(n);
    expected.append(")\r\n");
  }
  EXPECT_EQ(logOf(leaves), expected);
}

TEST(DuplicateCheck, VariablesWithoutLineTableShareTheEmptyPlace) {
  EXPECT_EQ(logOf({{"count", ""}, {"count", ""}, {"other", ""}, {"other", ""}}),
            "Warning - Duplicate Static VariableName: count\r\n"
            "  Location File: \r\n");
}

TEST(DuplicateCheck, NamesEqualOnlyAfterTheCanapeReplacementAreNoDuplicates) {
  EXPECT_EQ(logOf({{"a@b", "a.c(1)"}, {"a:b", "b.c(2)"}}), "");
}

} // namespace
