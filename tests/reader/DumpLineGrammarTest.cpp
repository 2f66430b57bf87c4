// Worked examples of every line kind and value form: a line of a dump in, the
// groups out. The equality test proves that the matchers agree with their
// pattern texts; these examples pin down what the patterns take.
#include "reader/DumpLineGrammar.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace DumpLineGrammar;

struct Example {
  const char *kind;
  Matcher matcher;
  std::string text;
  bool matches;
  std::vector<std::string> groups; ///< groups 1.. when it matches
};

const std::vector<Example> kExamples = {
    // Entry headers: level, offset, abbreviation number, tag.
    {"entry header",
     matchEntryHeader,
     " <1><4a>: Abbrev Number: 1 (DW_TAG_typedef)",
     true,
     {"1", "4a", "1", "DW_TAG_typedef"}},
    {"entry header",
     matchEntryHeader,
     " <12><1a2b3>: Abbrev Number: 123 (DW_TAG_lexical_block)",
     true,
     {"12", "1a2b3", "123", "DW_TAG_lexical_block"}},
    {"entry header: tag runs to the last parenthesis",
     matchEntryHeader,
     " <1><4a>: Abbrev Number: 1 (DW_TAG_x) (y)",
     true,
     {"1", "4a", "1", "DW_TAG_x) (y"}},
    {"null entry", matchEntryHeader, " <2><5e>: Abbrev Number: 0", false, {}},
    {"user tag", matchEntryHeader, " <1><5e>: Abbrev Number: 7 (User TAG value: 0x4109)", false, {}},
    {"entry header without leading blank",
     matchEntryHeader,
     "<1><4a>: Abbrev Number: 1 (DW_TAG_typedef)",
     false,
     {}},
    // Attribute lines with a tab (both layouts): value up to the last tab.
    {"attribute",
     matchAttribute,
     "    <58>   DW_AT_encoding    : 6\t(signed char)",
     true,
     {"58", "DW_AT_encoding", "6", "(signed char)"}},
    {"attribute: block and decoded location",
     matchAttribute,
     "    <250>   DW_AT_location    : 5 byte block: 3 9c 9d 0 0 \t(DW_OP_addr: 9d9c)",
     true,
     {"250", "DW_AT_location", "5 byte block: 3 9c 9d 0 0 ", "(DW_OP_addr: 9d9c)"}},
    {"attribute: cut at the last of two tabs",
     matchAttribute,
     "    <60>   DW_AT_name        : a\tb\tc",
     true,
     {"60", "DW_AT_name", "a\tb", "c"}},
    {"attribute: colon right after the name",
     matchAttribute,
     "    <13f>   DW_AT_data_member_location: 2 byte block: 23 8 \t(DW_OP_plus_uconst: 8)",
     true,
     {"13f", "DW_AT_data_member_location", "2 byte block: 23 8 ", "(DW_OP_plus_uconst: 8)"}},
    {"attribute: empty tail",
     matchAttribute,
     "    <60>   DW_AT_name        : x\t",
     true,
     {"60", "DW_AT_name", "x", ""}},
    {"attribute without tab", matchAttribute, "    <52>   DW_AT_type        : <0x56>", false, {}},
    // Attribute lines of objdump 2.40 without a tab.
    {"tab-less attribute",
     matchAttributeNoTab,
     "    <52>   DW_AT_type        : <0x56>",
     true,
     {"52", "DW_AT_type", "<0x56>"}},
    {"tab-less attribute: name",
     matchAttributeNoTab,
     "    <2e>   DW_AT_name        : counter",
     true,
     {"2e", "DW_AT_name", "counter"}},
    {"tab-less attribute: colon right after the name",
     matchAttributeNoTab,
     "    <181>   DW_AT_data_member_location: 0",
     true,
     {"181", "DW_AT_data_member_location", "0"}},
    {"tab-less attribute: value starting with blanks and colons",
     matchAttributeNoTab,
     "    <60>   DW_AT_name        : : x",
     true,
     {"60", "DW_AT_name", "x"}},
    {"tab-less attribute: empty value",
     matchAttributeNoTab,
     "    <60>   DW_AT_name        : ",
     true,
     {"60", "DW_AT_name", ""}},
    {"abbreviation table line", matchAttributeNoTab, "    DW_AT_name         DW_FORM_string", false, {}},
    // Line-table offsets.
    {"offset, older layout", matchLineTableOffset, "  Offset:                      0x0", true, {"0"}},
    {"offset", matchLineTableOffset, "  Offset:                      0x75", true, {"75"}},
    {"offset zero of objdump 2.40", matchLineTableOffset, "  Offset:                      0", false, {}},
    {"offset zero of objdump 2.40", matchLineTableOffsetZero, "  Offset:                      0", true, {}},
    {"offset 00 is no zero offset", matchLineTableOffsetZero, "  Offset:                      00", false, {}},
    {"abbrev offset", matchLineTableOffset, "   Abbrev Offset: 0x14", false, {}},
    // Table headers.
    {"directory table, older layout", matchDirectoryTableHeader, " The Directory Table:", true, {}},
    {"directory table of objdump 2.40",
     matchDirectoryTableOffsetHeader,
     " The Directory Table (offset 0x1b):",
     true,
     {}},
    {"DWARF 5 directory table",
     matchDirectoryTableOffsetHeader,
     " The Directory Table (offset 0x22, lines 2, columns 1):",
     true,
     {}},
    {"DWARF 5 directory table is no older header",
     matchDirectoryTableHeader,
     " The Directory Table (offset 0x22, lines 2, columns 1):",
     false,
     {}},
    {"empty directory table", matchDirectoryTableHeader, " The Directory Table is empty.", false, {}},
    {"DWARF 5 directory columns", matchDirectoryTableColumns, "  Entry\tName", true, {}},
    {"file table", matchFileTableHeader, "  Entry\tDir\tTime\tSize\tName", true, {}},
    {"DWARF 5 file table", matchFileTableDwarf5Header, "  Entry\tDir\tName", true, {}},
    {"file table heading", matchFileTableHeader, " The File Name Table (offset 0xd4):", false, {}},
    // Table entries.
    {"directory, older layout",
     matchDirectoryEntry,
     "  /work/main/examples/demo",
     true,
     {"/work/main/examples/demo"}},
    {"directory keeps trailing blanks", matchDirectoryEntry, "  /work/src  ", true, {"/work/src  "}},
    {"directory of objdump 2.40",
     matchNumberedDirectoryEntry,
     "  1\t/work/main/examples/demo",
     true,
     {"1", "/work/main/examples/demo"}},
    {"DWARF 5 directory",
     matchNumberedDirectoryEntry,
     "  0\t(indirect line string, offset: 0): /home/build/libgloss",
     true,
     {"0", "(indirect line string, offset: 0): /home/build/libgloss"}},
    {"file", matchFileEntry, "  2\t2\t0\t0\tstdint.h", true, {"2", "2", "stdint.h"}},
    {"file name with tab", matchFileEntry, "  2\t1\t0\t0\ta\tb.c", true, {"2", "1", "a\tb.c"}},
    {"DWARF 5 file",
     matchFileEntryDwarf5,
     "  0\t1\t(indirect line string, offset: 0x7c): crt0.S",
     true,
     {"0", "1", "(indirect line string, offset: 0x7c): crt0.S"}},
    {"indirect line string",
     matchIndirectLineString,
     "(indirect line string, offset: 0x57): ../libgloss/arm",
     true,
     {"../libgloss/arm"}},
    {"indirect string, offset 0",
     matchIndirectLineString,
     "(indirect string, offset: 0): /home",
     true,
     {"/home"}},
    {"indirect line string: text after the last marker",
     matchIndirectLineString,
     "(indirect line string, offset: 0x5): a): b",
     true,
     {"b"}},
    {"inline directory", matchIndirectLineString, "/work/src", false, {}},
    // Pointer size and file format.
    {"pointer size", matchPointerSize, "   Pointer Size:  4", true, {"4"}},
    {"pointer size in a tab", matchPointerSize, "\tPointer Size:  4", false, {}},
    {"little", matchFileFormat, "/tmp/x.elf:     file format elf32-little", true, {}},
    {"littlearm", matchFileFormat, "/tmp/x.elf:     file format elf32-littlearm", false, {}},
    {"format name", matchFileFormatName, "/tmp/x.elf:     file format elf32-bigarm", true, {"elf32-bigarm"}},
    {"format name of a Windows path",
     matchFileFormatName,
     "C:/fw/x.elf:     file format elf32-littlearm",
     true,
     {"elf32-littlearm"}},
    // Attribute values.
    {"indirect name", matchNameIndirect, "(indirect string, offset: 0x1a): counter", true, {"counter"}},
    {"indirect name: after the last marker", matchNameIndirect, "(a): b): c", true, {"c"}},
    {"inline name", matchNameIndirect, "counter", false, {}},
    {"address", matchLocationAddress, "(DW_OP_addr: 400)", true, {"400"}},
    {"address plus",
     matchLocationAddressPlus,
     "(DW_OP_addr: 400; DW_OP_plus_uconst: 16)",
     true,
     {"400", "16"}},
    {"frame base", matchLocationAddress, "(DW_OP_fbreg: -20)", false, {}},
    {"member block", matchMemberLocationBlock, "(DW_OP_plus_uconst: 8)", true, {"8"}},
    {"member constant", matchMemberLocationConstant, " 8 ", true, {"8"}},
    {"member constant, negative", matchMemberLocationConstant, "-8", false, {}},
    {"reference", matchReference, "<0x2d>", true, {"2d"}},
    {"reference: last 0x", matchReference, "0x1 <0x2d>", true, {"2d"}},
    {"reference: 0x without digits", matchReference, "<0x2d> 0x", true, {"2d"}},
    {"reference without 0x", matchReference, "45", false, {}},
    {"encoding", matchEncoding, "(unsigned char)", true, {"unsigned char"}},
    {"encoding: last parenthesis", matchEncoding, "(a (b)", true, {"b"}},
    {"encoding without parentheses", matchEncoding, "", false, {}},
};

TEST(DumpLineGrammar, WorkedExamples) {
  for (const Example &e : kExamples) {
    SCOPED_TRACE(std::string(e.kind) + ": " + e.text);
    Match m;
    ASSERT_EQ(e.matcher(e.text, m), e.matches);
    if (!e.matches) continue;
    EXPECT_EQ(m.group[0], e.text);
    for (std::size_t g = 0; g < e.groups.size(); ++g)
      EXPECT_EQ(m.group[g + 1], e.groups[g]) << "group " << g + 1;
  }
}

} // namespace
