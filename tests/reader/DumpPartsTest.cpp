// The parse in parts: where a later part may start, when it is used and when
// the earlier parser reads on instead, and that either way the database is
// the one a single pass builds.
#include "reader/DumpParts.h"
#include "TestDumps.h"
#include "model/Model.h"
#include "model/ModelCast.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace Model;

/// Two compilation units, each referring to a type of the other, and two
/// line tables, in objdump 2.40's layout.
const std::string kTwoUnits = R"(
x.elf:     file format elf32-littlearm

Contents of the .debug_info section:

  Compilation Unit @ offset 0:
   Length:        0x3c (32-bit)
   Version:       4
   Abbrev Offset: 0
   Pointer Size:  4
 <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)
    <c>   DW_AT_name        : a.c
    <10>   DW_AT_stmt_list   : 0
 <1><14>: Abbrev Number: 2 (DW_TAG_variable)
    <15>   DW_AT_name        : alpha
    <19>   DW_AT_decl_file   : 1
    <1a>   DW_AT_type        : <0x70>
    <1e>   DW_AT_location    : 5 byte block: 3 0 4 0 0 	(DW_OP_addr: 400)
 <1><24>: Abbrev Number: 3 (DW_TAG_pointer_type)
    <25>   DW_AT_type        : <0x70>
 <1><29>: Abbrev Number: 4 (DW_TAG_base_type)
    <2a>   DW_AT_byte_size   : 2
    <2b>   DW_AT_encoding    : 7	(unsigned)
    <2c>   DW_AT_name        : short unsigned int
  Compilation Unit @ offset 0x40:
   Length:        0x3c (32-bit)
   Version:       4
   Abbrev Offset: 0
   Pointer Size:  4
 <0><4b>: Abbrev Number: 1 (DW_TAG_compile_unit)
    <4c>   DW_AT_name        : b.c
    <50>   DW_AT_stmt_list   : 0x30
 <1><54>: Abbrev Number: 5 (DW_TAG_structure_type)
    <55>   DW_AT_name        : pair
    <59>   DW_AT_byte_size   : 4
 <2><5a>: Abbrev Number: 6 (DW_TAG_member)
    <5b>   DW_AT_name        : first
    <5f>   DW_AT_type        : <0x29>
    <63>   DW_AT_data_member_location: 0
 <2><64>: Abbrev Number: 6 (DW_TAG_member)
    <65>   DW_AT_name        : second
    <69>   DW_AT_type        : <0x29>
    <6d>   DW_AT_data_member_location: 2
 <1><70>: Abbrev Number: 7 (DW_TAG_typedef)
    <71>   DW_AT_name        : pair_t
    <75>   DW_AT_decl_file   : 1
    <76>   DW_AT_type        : <0x54>
 <1><7a>: Abbrev Number: 2 (DW_TAG_variable)
    <7b>   DW_AT_name        : beta
    <7f>   DW_AT_decl_file   : 1
    <80>   DW_AT_type        : <0x29>
    <84>   DW_AT_location    : 5 byte block: 3 8 4 0 0 	(DW_OP_addr: 408)

Contents of the .debug_abbrev section:

  Number TAG (0)
   1      DW_TAG_compile_unit    [has children]
    DW_AT_name         DW_FORM_string

Raw dump of debug contents of section .debug_line:

  Offset:                      0
  Length:                      40
  DWARF Version:               3

 The Directory Table (offset 0x1b):
  1	/src/a

 The File Name Table (offset 0x26):
  Entry	Dir	Time	Size	Name
  1	1	0	0	a.c
  2	1	0	0	a.h

 No Line Number Statements.
  Offset:                      0x30
  Length:                      40
  DWARF Version:               3

 The Directory Table (offset 0x4b):
  1	/src/b

 The File Name Table (offset 0x56):
  Entry	Dir	Time	Size	Name
  1	1	0	0	b.c

 No Line Number Statements.
)";

/// \p what as a test name: letters and digits, '_' for anything else.
std::string testName(std::string_view what) {
  std::string name;
  for (const char c : what)
    name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

/// The start of the line that begins with \p lineStart in \p dump.
std::size_t lineStarting(const std::string &dump, std::string_view lineStart) {
  std::string needle(1, '\n');
  needle.append(lineStart);
  const std::size_t at = dump.find(needle);
  EXPECT_NE(at, std::string::npos) << lineStart;
  return at + 1;
}

/// A database of \p dump parsed in one part.
std::string inOnePart(const std::string &dump) {
  DwarfDatabase database;
  EXPECT_FALSE(database.parseDumpTextInParts(dump, {}));
  return TestDumps::describe(database);
}

struct SplitCase {
  const char *what;
  const char *laterPartStart; ///< the later part starts at the line beginning so
  bool inTwoParts;
  friend void PrintTo(const SplitCase &split, std::ostream *out) { *out << split.what; }
};

class SplitOfTwoUnits : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitOfTwoUnits, GivesTheDatabaseOfOnePass) {
  const SplitCase &split = GetParam();
  const std::string expected = inOnePart(kTwoUnits);
  DwarfDatabase database;
  EXPECT_EQ(database.parseDumpTextInParts(kTwoUnits, {lineStarting(kTwoUnits, split.laterPartStart)}),
            split.inTwoParts);
  EXPECT_EQ(TestDumps::describe(database), expected);
  // The one-part parse itself read what the dump holds.
  ASSERT_EQ(database.locatedObjects.size(), 2u);
  EXPECT_EQ(database.locatedObjects[0]->getSize(), 4u); // alpha: pair_t, defined in the other unit
  EXPECT_EQ(database.findStatementList(0x30)->files.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Splits, SplitOfTwoUnits,
    testing::Values(
        // Where every dump stands the same: the later part is used.
        SplitCase{"unit", "  Compilation Unit @ offset 0x40:", true},
        SplitCase{"section after the entries", "Contents of the .debug_abbrev section:", true},
        SplitCase{"line tables", "Raw dump of debug contents of section .debug_line:", true},
        SplitCase{"second line table", "  Offset:                      0x30", true},
        // Where the lines depend on what came before: one pass reads on.
        SplitCase{"entry below the unit", " <1><54>", false},
        SplitCase{"member of a structure", " <2><64>", false},
        SplitCase{"attribute of the last entry", "    <55>   DW_AT_name", false},
        SplitCase{"inside a file table", "  2\t1\t0\t0\ta.h", false},
        SplitCase{"table header of an open table", " The Directory Table (offset 0x4b):", false}),
    [](const testing::TestParamInfo<SplitCase> &info) { return testName(info.param.what); });

TEST(DumpParts, UnitWithoutPointerSizeTakesTheEarlierOne) {
  // The later unit prints no pointer size: one pass gives its pointer the
  // size of the unit before.
  std::string dump = kTwoUnits;
  const std::size_t secondSize =
      dump.find("   Pointer Size:  4", lineStarting(dump, "  Compilation Unit @ offset 0x40"));
  dump.erase(secondSize, std::string_view("   Pointer Size:  4\n").size());
  dump.insert(lineStarting(dump, " <1><7a>"), " <1><78>: Abbrev Number: 3 (DW_TAG_pointer_type)\n");
  DwarfDatabase database;
  EXPECT_FALSE(
      database.parseDumpTextInParts(dump, {lineStarting(dump, "  Compilation Unit @ offset 0x40:")}));
  EXPECT_EQ(TestDumps::describe(database), inOnePart(dump));
  EXPECT_EQ(database.objectsByOffset.find(0x78)->getSize(), 4u);
}

TEST(DumpParts, DumpWithoutFileFormatLineIsReadInOnePass) {
  std::string dump = kTwoUnits;
  dump.erase(0, lineStarting(dump, "Contents of the .debug_info section:"));
  DwarfDatabase database;
  EXPECT_FALSE(
      database.parseDumpTextInParts(dump, {lineStarting(dump, "  Compilation Unit @ offset 0x40:")}));
  EXPECT_EQ(TestDumps::describe(database), inOnePart(dump));
}

TEST(DumpParts, LittleEndianLineInTheLaterPartSetsTheFlag) {
  // The flag only reads "little" at the very end of a format name; in an
  // archive's dump, a later member may name one.
  std::string dump = kTwoUnits;
  dump.insert(lineStarting(dump, "Contents of the .debug_abbrev section:"),
              "y.o:     file format elf32-little\n");
  DwarfDatabase database;
  EXPECT_TRUE(database.parseDumpTextInParts(dump, {lineStarting(dump, "  Compilation Unit @ offset 0x40:")}));
  EXPECT_TRUE(database.isLittleEndian());
  DwarfDatabase withoutTheLine;
  EXPECT_TRUE(withoutTheLine.parseDumpTextInParts(
      kTwoUnits, {lineStarting(kTwoUnits, "  Compilation Unit @ offset 0x40:")}));
  EXPECT_FALSE(withoutTheLine.isLittleEndian());
}

/// kTwoUnits with a unit that objdump 2.24 prints for DWARF 5, a header
/// without entries, before the second unit and after it.
std::string withUnitsNotRead() {
  constexpr std::string_view kNotRead = "  Compilation Unit @ offset 0x%:\n"
                                        "   Length:        0x8ba (32-bit)\n"
                                        "   Version:       5\n"
                                        "   Abbrev Offset: 0x6940401\n"
                                        "   Pointer Size:  0\n";
  std::string dump = kTwoUnits;
  std::string first(kNotRead), second(kNotRead);
  first.replace(first.find('%'), 1, "20");
  second.replace(second.find('%'), 1, "90");
  dump.insert(lineStarting(dump, "\nContents of the .debug_abbrev section:"), second);
  dump.insert(lineStarting(dump, "  Compilation Unit @ offset 0x40:"), first);
  return dump;
}

TEST(DumpParts, UnitsNotReadCountTheSameWhereverTheDumpIsCut) {
  // The header of a unit at the end of one part and its entries at the start
  // of the next, or no entries before the next part's unit header or the
  // end: the count of one pass, wherever the cut falls. Split at every line.
  const std::string dump = withUnitsNotRead();
  const std::string expected = inOnePart(dump);
  ASSERT_NE(expected.find("file format line 1, units not read 2\n"), std::string::npos) << expected;
  int usedSplits = 0;
  for (std::size_t at = dump.find('\n'); at + 1 < dump.size(); at = dump.find('\n', at + 1)) {
    DwarfDatabase database;
    if (database.parseDumpTextInParts(dump, {at + 1})) ++usedSplits;
    EXPECT_EQ(TestDumps::describe(database), expected) << "at " << dump.substr(at + 1, 40);
  }
  EXPECT_GE(usedSplits, 20);
  // Three parts at once: the middle one may hold no unit header at all.
  for (const auto &[from, to] : {std::pair{"   Length:        0x8ba", "  Compilation Unit @ offset 0x40:"},
                                 std::pair{" <1><7a>", "Contents of the .debug_abbrev section:"},
                                 std::pair{"   Version:       5", "   Pointer Size:  0"}}) {
    DwarfDatabase database;
    const std::size_t first = lineStarting(dump, from);
    database.parseDumpTextInParts(dump, {first, dump.find(std::string("\n") + to, first) + 1});
    EXPECT_EQ(TestDumps::describe(database), expected) << from << " / " << to;
  }
}

TEST(DumpParts, PartStartIsAUnitOrSectionLineAfterALineFeed) {
  struct Case {
    std::string_view window;
    std::size_t expected;
  };
  const Case cases[] = {
      {"abc\n  Compilation Unit @ offset 0x40:\n", 4},
      {"x\nContents of the .debug_line section:\n", 2},
      {"a\nContents of the .debug_str section:\n  Compilation Unit @ offset 0:\n", 2},
      {"a\n  Compilation Unit @ offset 0:\nContents of the .debug_str section:\n", 2},
      // A window starts inside a line: its first line is not one to start at.
      {"  Compilation Unit @ offset 0:\nxyz", std::string_view::npos},
      {"a\n   Compilation Unit @ offset 0:\n", std::string_view::npos},
      {"a\n  Compilation Unit @ offse", std::string_view::npos},
      {"", std::string_view::npos},
  };
  for (const Case &c : cases)
    EXPECT_EQ(DumpParts::partStartIn(c.window), c.expected) << c.window;
}

/// A dump that one pass reads with \p inserted put in before the line
/// starting \p before, and the start of the inserted text.
struct Inserted {
  std::string dump;
  std::size_t at;
};
Inserted insertBefore(const std::string &dump, std::string_view before, std::string_view inserted) {
  Inserted result{dump, lineStarting(dump, before)};
  result.dump.insert(result.at, inserted);
  return result;
}

/// Three parts, the middle one of which leaves the state of the parse as
/// it found it. The third part's lines depend on that state, so it is read
/// again by the parser of the first two; when the middle part's end state
/// is taken for the true one instead, the third part is appended as it
/// stands and the database differs from one pass.
struct ChainCase {
  const char *what;
  Inserted middleAndThird; ///< dump, and where the middle part starts
  std::string_view thirdStart;
  std::string_view expectedLine; ///< a line of describe() that only one pass gives
  friend void PrintTo(const ChainCase &c, std::ostream *out) { *out << c.what; }
};

std::vector<ChainCase> chainCases() {
  std::vector<ChainCase> cases;
  {
    // A second archive member begins with a unit that prints no pointer
    // size: its pointer takes the size of the unit before the member.
    std::string dump = kTwoUnits;
    const std::size_t secondSize =
        dump.find("   Pointer Size:  4", lineStarting(dump, "  Compilation Unit @ offset 0x40"));
    dump.erase(secondSize, std::string_view("   Pointer Size:  4\n").size());
    dump.insert(lineStarting(dump, " <1><7a>"), " <1><78>: Abbrev Number: 3 (DW_TAG_pointer_type)\n");
    cases.push_back(
        {"pointer size through a member's first lines",
         insertBefore(dump, "  Compilation Unit @ offset 0x40:",
                      "y.o:     file format elf32-littlearm\n\nContents of the .debug_info section:\n\n"),
         "  Compilation Unit @ offset 0x40:", "78 N5Model16TypeInfo_PointerE [] "});
  }
  {
    // An attribute line after a section that holds no entry still belongs
    // to the last entry read.
    Inserted dump = insertBefore(kTwoUnits, "Contents of the .debug_abbrev section:",
                                 "Contents of the .debug_types section:\n\nContents of the .debug_macinfo "
                                 "section:\n    <88>   DW_AT_name        : gamma\n");
    cases.push_back({"current entry through a section without entries", dump,
                     "Contents of the .debug_macinfo section:", "[gamma]"});
  }
  {
    // A file table header without an offset line adds to the table opened
    // before the section that holds no table.
    Inserted dump =
        insertBefore(kTwoUnits, "  Offset:                      0x30",
                     "Contents of the .debug_frame section:\n\nContents of the .debug_str section:\n"
                     " The File Name Table (offset 0x60):\n  Entry\tDir\tTime\tSize\tName\n"
                     "  3\t1\t0\t0\tc.c\n\n");
    cases.push_back(
        {"line table through a section without tables", dump, "Contents of the .debug_str section:", "c.c"});
  }
  return cases;
}

class ChainOfParts : public testing::TestWithParam<ChainCase> {};

TEST_P(ChainOfParts, CarriesTheStateThroughAPartThatLeavesItAlone) {
  const ChainCase &c = GetParam();
  const std::string &dump = c.middleAndThird.dump;
  const std::string expected = inOnePart(dump);
  ASSERT_NE(expected.find(c.expectedLine), std::string::npos) << expected;
  DwarfDatabase database;
  EXPECT_TRUE(database.parseDumpTextInParts(dump, {c.middleAndThird.at, lineStarting(dump, c.thirdStart)}));
  EXPECT_EQ(TestDumps::describe(database), expected);
}

INSTANTIATE_TEST_SUITE_P(Chains, ChainOfParts, testing::ValuesIn(chainCases()),
                         [](const testing::TestParamInfo<ChainCase> &info) {
                           return testName(info.param.what);
                         });

TEST(DumpParts, PartStartNearASearchStart) {
  struct Case {
    const char *what;
    std::string_view window;
    std::size_t expected;
  };
  const Case cases[] = {
      {"a unit line first of all", "ine 3\n  [0x10]  Copy\n  Compilation Unit @ offset 0x40:\n", 21},
      {"among entries, only a unit or section line",
       "e\n <1><2d>: Abbrev Number: 2\n    <2e>   DW_AT_name : a\n", std::string_view::npos},
      {"past the entries, the first whole line", "ode 61\n  [0x00000123]  Special opcode 62\n", 7},
      {"no whole line", "  [0x00000123]  Special opc", std::string_view::npos},
      {"nothing after the line feed", "abc\n", std::string_view::npos},
  };
  for (const Case &c : cases)
    EXPECT_EQ(DumpParts::partStartNear(c.window), c.expected) << c.what;
}

TEST(DumpParts, PartCountGrowsWithTheDumpUpToItsMost) {
  const std::pair<std::uint64_t, std::size_t> cases[] = {
      {0, 1},
      {DumpParts::kSmallestParted - 1, 1},
      {DumpParts::kSmallestParted, 2},
      {5 * DumpParts::kBytesPerPart + 1, 5},
      {std::uint64_t{1} << 30, DumpParts::kMostParts},
      {std::uint64_t{5} << 40, DumpParts::kMostParts},
  };
  for (const auto &[bytes, parts] : cases)
    EXPECT_EQ(DumpParts::partCount(bytes), parts) << bytes;
}

TEST(DumpParts, LargeDumpIsCutNearEachShareAtALineToStartAt) {
  // Units of a few hundred bytes, then a section of line programs.
  std::string unit = kTwoUnits.substr(lineStarting(kTwoUnits, "  Compilation Unit @ offset 0x40:"));
  unit.erase(unit.find("\nContents of the .debug_abbrev"));
  unit += '\n';
  std::string dump = "x.elf:     file format elf32-littlearm\n\n";
  while (dump.size() < DumpParts::kSmallestParted)
    dump += unit;
  dump += "Contents of the .debug_line section:\n";
  const std::size_t programs = dump.size();
  while (dump.size() < 2 * DumpParts::kSmallestParted)
    dump += "  [0x00000123]  Special opcode 61: advance Address by 4 to 0x8000 and Line by 0 to 12\n";
  constexpr std::size_t kParts = 8;
  const std::vector<std::size_t> starts = DumpParts::chooseParts(dump, kParts);
  ASSERT_EQ(starts.size() + 1, kParts);
  const std::size_t share = dump.size() / kParts;
  for (std::size_t part = 1; part <= starts.size(); ++part) {
    const std::size_t at = starts[part - 1];
    EXPECT_EQ(dump[at - 1], '\n') << part;
    EXPECT_GE(at, part * share) << part;
    EXPECT_LT(at, part * share + unit.size() + 100) << part;
    if (at < programs) {
      EXPECT_EQ(DumpParts::partStartIn(std::string_view(dump).substr(at - 1, 40)), 1u) << part;
    }
  }
  DwarfDatabase database;
  EXPECT_TRUE(database.parseDumpTextInParts(dump, starts));
  EXPECT_EQ(TestDumps::describe(database), inOnePart(dump));
  // As the dump's size has it: two parts at least.
  EXPECT_GE(DumpParts::chooseParts(dump).size(), 1u);
}

TEST(DumpParts, SmallDumpsAreParsedInOnePart) {
  EXPECT_TRUE(DumpParts::chooseParts(kTwoUnits).empty());
  DwarfDatabase database;
  database.parseDumpText(kTwoUnits);
  EXPECT_FALSE(database.parsedInParts());
}

/// Every dump the build made with the ARM toolchain, each split at every
/// line where a later part may start.
class SplitOfRealDump : public testing::TestWithParam<std::string> {};

TEST_P(SplitOfRealDump, AtEveryUnitAndSectionGivesTheDatabaseOfOnePass) {
  const std::string &path = GetParam();
  REQUIRE_DUMP(path);
  const std::string dump = TestDumps::readFile(path);
  const std::string expected = inOnePart(dump);
  int splits = 0;
  for (std::size_t from = 0;;) {
    const std::size_t at = DumpParts::partStartIn(std::string_view(dump).substr(from));
    if (at == std::string_view::npos) break;
    DwarfDatabase database;
    EXPECT_TRUE(database.parseDumpTextInParts(dump, {from + at})) << "at " << from + at;
    EXPECT_EQ(TestDumps::describe(database), expected) << "at " << from + at;
    from += at;
    ++splits;
  }
  EXPECT_GE(splits, 5);
}

TEST_P(SplitOfRealDump, InManyPartsAtOnceGivesTheDatabaseOfOnePass) {
  const std::string &path = GetParam();
  REQUIRE_DUMP(path);
  const std::string dump = TestDumps::readFile(path);
  const std::string expected = inOnePart(dump);
  // A part at every unit and section: each one's state is handed on
  // through all the parts before it.
  std::vector<std::size_t> unitsAndSections;
  for (std::size_t from = 0;;) {
    const std::size_t at = DumpParts::partStartIn(std::string_view(dump).substr(from));
    if (at == std::string_view::npos) break;
    from += at;
    unitsAndSections.push_back(from);
  }
  DwarfDatabase atUnitsAndSections;
  EXPECT_TRUE(atUnitsAndSections.parseDumpTextInParts(dump, unitsAndSections));
  EXPECT_EQ(TestDumps::describe(atUnitsAndSections), expected);
  // As a machine with more cores takes them: five threads at once, each
  // with an arena of its own.
  DwarfDatabase onFiveThreads;
  EXPECT_TRUE(onFiveThreads.parseDumpTextInParts(dump, unitsAndSections, 5));
  EXPECT_EQ(TestDumps::describe(onFiveThreads), expected);
  // A part at every 97th line, wherever that falls: inside entries and
  // tables, parts are read again; elsewhere they are appended.
  std::vector<std::size_t> everyFewLines;
  int line = 0;
  for (std::size_t at = dump.find('\n'); at + 1 < dump.size(); at = dump.find('\n', at + 1))
    if (++line % 97 == 0) everyFewLines.push_back(at + 1);
  DwarfDatabase atLines;
  atLines.parseDumpTextInParts(dump, everyFewLines);
  EXPECT_EQ(TestDumps::describe(atLines), expected);
}

std::vector<std::string> realDumps() {
  std::vector<std::string> dumps;
  for (const std::string &variant : TestDumps::firmwareVariants())
    dumps.push_back(TestDumps::demoDump(variant));
  for (const char *stem : {"bitfields", "classes"})
    for (const int dwarf : {2, 5})
      for (const char *endian : {"little", "big"})
        dumps.push_back(TestDumps::sourceDump(stem, dwarf, endian));
  // Older objdump releases: units printed without their entries, and the
  // layout of 2.22.
  dumps.push_back(TestDumps::objdumpVersionDump("demo-dwarf5-O0", "2.24"));
  dumps.push_back(TestDumps::objdumpVersionDump("demo-dwarf4-O0", "2.24"));
  dumps.push_back(TestDumps::objdumpVersionDump("ecu_be-dwarf4-O0", "2.22"));
  return dumps;
}

INSTANTIATE_TEST_SUITE_P(Dumps, SplitOfRealDump, testing::ValuesIn(realDumps()),
                         [](const testing::TestParamInfo<std::string> &info) {
                           return testName(info.param.substr(info.param.rfind('/') + 1));
                         });

} // namespace
