// The two-part parse: where a later part may start, when it is used and when
// the earlier parser reads on instead, and that either way the database is
// the one a single pass builds.
#include "reader/DumpParts.h"
#include "TestDumps.h"
#include "model/Model.h"
#include "model/ModelCast.h"
#include "reader/ByteOrderFlag.h"

#include <gtest/gtest.h>

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
  EXPECT_FALSE(database.parseDumpTextInParts(dump, 0));
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
  EXPECT_EQ(database.parseDumpTextInParts(kTwoUnits, lineStarting(kTwoUnits, split.laterPartStart)),
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
    [](const testing::TestParamInfo<SplitCase> &info) {
      std::string name;
      for (const char c : std::string(info.param.what))
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name;
    });

TEST(DumpParts, UnitWithoutPointerSizeTakesTheEarlierOne) {
  // The later unit prints no pointer size: one pass gives its pointer the
  // size of the unit before.
  std::string dump = kTwoUnits;
  const std::size_t secondSize =
      dump.find("   Pointer Size:  4", lineStarting(dump, "  Compilation Unit @ offset 0x40"));
  dump.erase(secondSize, std::string_view("   Pointer Size:  4\n").size());
  dump.insert(lineStarting(dump, " <1><7a>"), " <1><78>: Abbrev Number: 3 (DW_TAG_pointer_type)\n");
  DwarfDatabase database;
  EXPECT_FALSE(database.parseDumpTextInParts(dump, lineStarting(dump, "  Compilation Unit @ offset 0x40:")));
  EXPECT_EQ(TestDumps::describe(database), inOnePart(dump));
  EXPECT_EQ(database.objectsByOffset.find(0x78)->getSize(), 4u);
}

TEST(DumpParts, DumpWithoutFileFormatLineIsReadInOnePass) {
  std::string dump = kTwoUnits;
  dump.erase(0, lineStarting(dump, "Contents of the .debug_info section:"));
  DwarfDatabase database;
  EXPECT_FALSE(database.parseDumpTextInParts(dump, lineStarting(dump, "  Compilation Unit @ offset 0x40:")));
  EXPECT_EQ(TestDumps::describe(database), inOnePart(dump));
}

TEST(DumpParts, LittleEndianLineInTheLaterPartSetsTheFlag) {
  // The flag only reads "little" at the very end of a format name; in an
  // archive's dump, a later member may name one.
  std::string dump = kTwoUnits;
  dump.insert(lineStarting(dump, "Contents of the .debug_abbrev section:"),
              "y.o:     file format elf32-little\n");
  ByteOrderFlag::clear();
  DwarfDatabase database;
  EXPECT_TRUE(database.parseDumpTextInParts(dump, lineStarting(dump, "  Compilation Unit @ offset 0x40:")));
  EXPECT_TRUE(DwarfDatabase::isLittleEndian());
  ByteOrderFlag::clear();
  DwarfDatabase withoutTheLine;
  EXPECT_TRUE(withoutTheLine.parseDumpTextInParts(
      kTwoUnits, lineStarting(kTwoUnits, "  Compilation Unit @ offset 0x40:")));
  EXPECT_FALSE(DwarfDatabase::isLittleEndian());
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

TEST(DumpParts, LargeDumpIsSplitAtTheFirstUnitOrSectionFromItsSearchStart) {
  // Filler lines of a line table, a unit line before the search start, one
  // after it and a section line after that one.
  const std::string filler =
      "  [0x00000123]  Special opcode 61: advance Address by 4 to 0x8000 and Line by 0 to 12\n";
  std::string dump;
  while (dump.size() < DumpParts::kSmallestParted + (std::size_t{1} << 20))
    dump += filler;
  const std::size_t start = DumpParts::searchStart(dump.size());
  const std::size_t before = dump.rfind('\n', start / 2) + 1;
  const std::size_t after = dump.find('\n', start + 1000) + 1;
  dump.insert(after + 2 * filler.size(), "Contents of the .debug_str section:\n");
  dump.insert(after, "  Compilation Unit @ offset 0x5000:\n");
  dump.insert(before, "  Compilation Unit @ offset 0x40:\n");
  EXPECT_EQ(DumpParts::chooseLaterPart(dump),
            after + std::string_view("  Compilation Unit @ offset 0x40:\n").size());
  // Nothing to start at within the searched stretch: one part.
  std::string plain;
  while (plain.size() < DumpParts::kSmallestParted + (std::size_t{1} << 20))
    plain += filler;
  EXPECT_EQ(DumpParts::chooseLaterPart(plain), plain.size());
}

TEST(DumpParts, SmallDumpsAreParsedInOnePart) {
  EXPECT_EQ(DumpParts::chooseLaterPart(kTwoUnits), kTwoUnits.size());
  DwarfDatabase database;
  database.parseDumpText(kTwoUnits);
  EXPECT_FALSE(database.parsedInTwoParts());
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
    EXPECT_TRUE(database.parseDumpTextInParts(dump, from + at)) << "at " << from + at;
    EXPECT_EQ(TestDumps::describe(database), expected) << "at " << from + at;
    from += at;
    ++splits;
  }
  EXPECT_GE(splits, 5);
}

std::vector<std::string> realDumps() {
  std::vector<std::string> dumps;
  for (const std::string &variant : TestDumps::firmwareVariants())
    dumps.push_back(TestDumps::demoDump(variant));
  for (const char *stem : {"bitfields", "classes"})
    for (const int dwarf : {2, 5})
      for (const char *endian : {"little", "big"})
        dumps.push_back(TestDumps::sourceDump(stem, dwarf, endian));
  return dumps;
}

INSTANTIATE_TEST_SUITE_P(Dumps, SplitOfRealDump, testing::ValuesIn(realDumps()),
                         [](const testing::TestParamInfo<std::string> &info) {
                           std::string name = info.param.substr(info.param.rfind('/') + 1);
                           for (char &c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

} // namespace
