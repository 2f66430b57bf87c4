// Dumps no objdump writes on purpose: numbers beyond 32 and 64 bits in every
// numeric attribute, hexadecimal where a decimal number stands, NUL bytes
// and invalid UTF-8, every kind of line end, and dumps cut off part way.
// Each case is a dump in and the map lines out.
#include "tests/output/OutputTestSupport.h"
#include "tests/output/SymbolTexts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace OutputTest;

namespace {

/// A small C program's dump as objdump 2.40 prints it, written out by hand
/// so that each numeric attribute can be changed alone: a structure s with
/// two members and a three-bit field, an array arr[3] located at an address
/// plus a constant, and a pointer p.
const std::string kDump =
    "m.elf:     file format elf32-littlearm\n"
    "  Compilation Unit @ offset 0:\n"
    "   Pointer Size:  4\n"
    " <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)\n"
    "    <11>   DW_AT_name        : m.c\n"
    "    <21>   DW_AT_stmt_list   : 0\n"
    " <1><25>: Abbrev Number: 2 (DW_TAG_base_type)\n"
    "    <26>   DW_AT_byte_size   : 4\n"
    "    <27>   DW_AT_encoding    : 7\t(unsigned)\n"
    "    <28>   DW_AT_name        : unsigned int\n"
    " <1><2c>: Abbrev Number: 3 (DW_TAG_structure_type)\n"
    "    <2d>   DW_AT_name        : S\n"
    "    <2e>   DW_AT_byte_size   : 8\n"
    " <2><2f>: Abbrev Number: 4 (DW_TAG_member)\n"
    "    <30>   DW_AT_name        : a\n"
    "    <31>   DW_AT_type        : <0x25>\n"
    "    <32>   DW_AT_data_member_location: 0\n"
    " <2><33>: Abbrev Number: 5 (DW_TAG_member)\n"
    "    <34>   DW_AT_name        : b\n"
    "    <35>   DW_AT_type        : <0x25>\n"
    "    <36>   DW_AT_data_member_location: 4\n"
    " <2><37>: Abbrev Number: 6 (DW_TAG_member)\n"
    "    <38>   DW_AT_name        : f\n"
    "    <39>   DW_AT_type        : <0x25>\n"
    "    <3a>   DW_AT_byte_size   : 4\n"
    "    <3b>   DW_AT_bit_size    : 3\n"
    "    <3c>   DW_AT_bit_offset  : 26\n"
    "    <3d>   DW_AT_data_member_location: 4\n"
    " <2><3e>: Abbrev Number: 0\n"
    " <1><3f>: Abbrev Number: 7 (DW_TAG_array_type)\n"
    "    <40>   DW_AT_type        : <0x25>\n"
    " <2><44>: Abbrev Number: 8 (DW_TAG_subrange_type)\n"
    "    <45>   DW_AT_upper_bound : 2\n"
    " <2><46>: Abbrev Number: 0\n"
    " <1><47>: Abbrev Number: 9 (DW_TAG_pointer_type)\n"
    "    <48>   DW_AT_byte_size   : 8\n"
    "    <49>   DW_AT_type        : <0x25>\n"
    " <1><4d>: Abbrev Number: 10 (DW_TAG_variable)\n"
    "    <4e>   DW_AT_name        : s\n"
    "    <4f>   DW_AT_type        : <0x2c>\n"
    "    <53>   DW_AT_location    : 5 byte block: 3 0 0 0 20 \t(DW_OP_addr: 20000000)\n"
    " <1><59>: Abbrev Number: 10 (DW_TAG_variable)\n"
    "    <5a>   DW_AT_name        : arr\n"
    "    <5b>   DW_AT_type        : <0x3f>\n"
    "    <5f>   DW_AT_location    : 7 byte block: 3 10 0 0 20 23 4 \t(DW_OP_addr: "
    "20000010; DW_OP_plus_uconst: 4)\n"
    " <1><67>: Abbrev Number: 10 (DW_TAG_variable)\n"
    "    <68>   DW_AT_name        : p\n"
    "    <69>   DW_AT_type        : <0x47>\n"
    "    <6d>   DW_AT_location    : 5 byte block: 3 40 0 0 20 \t(DW_OP_addr: 20000040)\n"
    " <1><73>: Abbrev Number: 0\n";

/// The map of kDump, in pieces.
const std::vector<std::string> kS = {
    "20000000H     SYMBOL  DATA  DWORD    s.a",
    "20000004H     SYMBOL  DATA  DWORD    s.b",
    "20000004H     SYMBOL  DATA  DWORD    s.f_Bits:262728",
};
const std::vector<std::string> kArr = {
    "20000014H     SYMBOL  DATA  DWORD    arr_00",
    "20000018H     SYMBOL  DATA  DWORD    arr_01",
    "2000001cH     SYMBOL  DATA  DWORD    arr_02",
};
const std::vector<std::string> kP = {"20000040H     SYMBOL  DATA  DWORD    p"};

std::vector<std::string> join(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> lines;
  for (const std::vector<std::string> &part : parts)
    lines.insert(lines.end(), part.begin(), part.end());
  return lines;
}

SymbolTexts textsOf(std::string_view dump) {
  const std::unique_ptr<DwarfDatabase> database = parseDump(dump);
  SymbolTexts texts;
  makeSymbolTexts(*database, texts);
  return texts;
}

std::string mapOf(std::string_view dump) { return textsOf(dump).m51; }

/// kDump with the one line \p line replaced by \p replacement.
std::string dumpWith(const std::string &line, const std::string &replacement) {
  std::string dump = kDump;
  const std::size_t at = dump.find(line);
  EXPECT_NE(at, std::string::npos) << line;
  if (at != std::string::npos) dump.replace(at, line.size(), replacement);
  return dump;
}

TEST(HostileDump, TheDumpAsObjdumpPrintsIt) { EXPECT_EQ(mapOf(kDump), crlfLines(join({kS, kArr, kP}))); }

// ---- Numbers -----------------------------------------------------------------

struct NumberCase {
  const char *name;
  std::string line;
  std::string replacement;
  std::vector<std::string> map;
};

/// A decimal number that does not fit a signed 32-bit field leaves the field
/// as it was (0, or what the entry had before); "0x" and hex digits are read
/// as hex and keep the low 32 bits, as every address and offset does.
const std::vector<NumberCase> kNumberCases = {
    // DW_AT_byte_size of the base type: without a size every piece is of
    // unsupported size 0 and the elements of arr share one address.
    {"BaseSizeBeyond32Bits",
     "DW_AT_byte_size   : 4\n",
     "DW_AT_byte_size   : 4294967300\n",
     {"20000000H     SYMBOL  DATA  SIZE_NOT_SUPPORTED_0    s.a",
      "20000004H     SYMBOL  DATA  SIZE_NOT_SUPPORTED_0    s.b",
      "20000004H     SYMBOL  DATA  SIZE_NOT_SUPPORTED_0    s.f_Bits:262728",
      "20000014H     SYMBOL  DATA  SIZE_NOT_SUPPORTED_0    arr_00",
      "20000014H     SYMBOL  DATA  SIZE_NOT_SUPPORTED_0    arr_01",
      "20000014H     SYMBOL  DATA  SIZE_NOT_SUPPORTED_0    arr_02", kP[0]}},
    {"BaseSizeBeyond64Bits",
     "DW_AT_byte_size   : 4\n",
     "DW_AT_byte_size   : 18446744073709551620\n",
     {"20000000H     SYMBOL  DATA  SIZE_NOT_SUPPORTED_0    s.a",
      "20000004H     SYMBOL  DATA  SIZE_NOT_SUPPORTED_0    s.b",
      "20000004H     SYMBOL  DATA  SIZE_NOT_SUPPORTED_0    s.f_Bits:262728",
      "20000014H     SYMBOL  DATA  SIZE_NOT_SUPPORTED_0    arr_00",
      "20000014H     SYMBOL  DATA  SIZE_NOT_SUPPORTED_0    arr_01",
      "20000014H     SYMBOL  DATA  SIZE_NOT_SUPPORTED_0    arr_02", kP[0]}},
    {"BaseSizeJustBeyondSigned32Bits",
     "DW_AT_byte_size   : 4\n",
     "DW_AT_byte_size   : 2147483648\n",
     {"20000000H     SYMBOL  DATA  SIZE_NOT_SUPPORTED_0    s.a",
      "20000004H     SYMBOL  DATA  SIZE_NOT_SUPPORTED_0    s.b",
      "20000004H     SYMBOL  DATA  SIZE_NOT_SUPPORTED_0    s.f_Bits:262728",
      "20000014H     SYMBOL  DATA  SIZE_NOT_SUPPORTED_0    arr_00",
      "20000014H     SYMBOL  DATA  SIZE_NOT_SUPPORTED_0    arr_01",
      "20000014H     SYMBOL  DATA  SIZE_NOT_SUPPORTED_0    arr_02", kP[0]}},
    {"BaseSizeInHex",
     "DW_AT_byte_size   : 4\n",
     "DW_AT_byte_size   : 0x2\n",
     {"20000000H     SYMBOL  DATA  WORD     s.a", "20000004H     SYMBOL  DATA  WORD     s.b",
      "20000004H     SYMBOL  DATA  WORD     s.f_Bits:262728", "20000014H     SYMBOL  DATA  WORD     arr_00",
      "20000016H     SYMBOL  DATA  WORD     arr_01", "20000018H     SYMBOL  DATA  WORD     arr_02", kP[0]}},
    {"BaseSizeInHexBeyond32Bits",
     "DW_AT_byte_size   : 4\n",
     "DW_AT_byte_size   : 0x100000002\n",
     {"20000000H     SYMBOL  DATA  WORD     s.a", "20000004H     SYMBOL  DATA  WORD     s.b",
      "20000004H     SYMBOL  DATA  WORD     s.f_Bits:262728", "20000014H     SYMBOL  DATA  WORD     arr_00",
      "20000016H     SYMBOL  DATA  WORD     arr_01", "20000018H     SYMBOL  DATA  WORD     arr_02", kP[0]}},
    // The structure's and the bit field's own sizes place nothing.
    {"StructureSizeBeyond32Bits", "DW_AT_byte_size   : 8\n", "DW_AT_byte_size   : 4294967304\n",
     join({kS, kArr, kP})},
    {"BitFieldUnitSizeBeyond32Bits", "<3a>   DW_AT_byte_size   : 4\n",
     "<3a>   DW_AT_byte_size   : 4294967300\n", join({kS, kArr, kP})},
    // DW_AT_data_member_location: the member keeps offset 0.
    {"MemberOffsetBeyond32Bits",
     "<36>   DW_AT_data_member_location: 4\n",
     "<36>   DW_AT_data_member_location: 4294967300\n",
     {kS[0], "20000000H     SYMBOL  DATA  DWORD    s.b", kS[2], kArr[0], kArr[1], kArr[2], kP[0]}},
    {"MemberOffsetBlockBeyond64Bits",
     "<36>   DW_AT_data_member_location: 4\n",
     "<36>   DW_AT_data_member_location: 2 byte block: 23 4 \t(DW_OP_plus_uconst: 18446744073709551620)\n",
     {kS[0], "20000000H     SYMBOL  DATA  DWORD    s.b", kS[2], kArr[0], kArr[1], kArr[2], kP[0]}},
    {"MemberOffsetInHex",
     "<36>   DW_AT_data_member_location: 4\n",
     "<36>   DW_AT_data_member_location: 0x8\n",
     {kS[0], "20000008H     SYMBOL  DATA  DWORD    s.b", kS[2], kArr[0], kArr[1], kArr[2], kP[0]}},
    {"MemberOffsetInHexBeyond32Bits",
     "<36>   DW_AT_data_member_location: 4\n",
     "<36>   DW_AT_data_member_location: 0x100000008\n",
     {kS[0], "20000008H     SYMBOL  DATA  DWORD    s.b", kS[2], kArr[0], kArr[1], kArr[2], kP[0]}},
    // DW_AT_bit_size and DW_AT_bit_offset.
    {"BitSizeBeyond32Bits",
     "DW_AT_bit_size    : 3\n",
     "DW_AT_bit_size    : 4294967299\n",
     {kS[0], kS[1], "20000004H     SYMBOL  DATA  DWORD    s.f", kArr[0], kArr[1], kArr[2], kP[0]}},
    {"BitSizeInHex",
     "DW_AT_bit_size    : 3\n",
     "DW_AT_bit_size    : 0x2\n",
     {kS[0], kS[1], "20000004H     SYMBOL  DATA  DWORD    s.f_Bits:2627", kArr[0], kArr[1], kArr[2], kP[0]}},
    {"BitOffsetBeyond64Bits",
     "DW_AT_bit_offset  : 26\n",
     "DW_AT_bit_offset  : 18446744073709551642\n",
     {kS[0], kS[1], "20000004H     SYMBOL  DATA  DWORD    s.f_Bits:012", kArr[0], kArr[1], kArr[2], kP[0]}},
    {"BitOffsetInHexBeyond32Bits", "DW_AT_bit_offset  : 26\n", "DW_AT_bit_offset  : 0x10000001a\n",
     join({kS, kArr, kP})},
    // The bounds of arr.
    {"UpperBoundBeyond32Bits", "DW_AT_upper_bound : 2\n", "DW_AT_upper_bound : 4294967298\n",
     join({kS, {"20000014H     SYMBOL  DATA  DWORD    arr_0"}, kP})},
    {"UpperBoundBeyond64Bits", "DW_AT_upper_bound : 2\n", "DW_AT_upper_bound : 18446744073709551618\n",
     join({kS, {"20000014H     SYMBOL  DATA  DWORD    arr_0"}, kP})},
    {"UpperBoundInHex", "DW_AT_upper_bound : 2\n", "DW_AT_upper_bound : 0x1\n",
     join({kS, {kArr[0], kArr[1]}, kP})},
    {"UpperBoundAllOnesInHex", "DW_AT_upper_bound : 2\n", "DW_AT_upper_bound : 0xffffffff\n", join({kS, kP})},
    {"CountBeyond32Bits", "DW_AT_upper_bound : 2\n", "DW_AT_count       : 4294967298\n",
     join({kS, {"20000014H     SYMBOL  DATA  DWORD    arr_0"}, kP})},
    {"CountInHex", "DW_AT_upper_bound : 2\n", "DW_AT_count       : 0x2\n",
     join({kS, {kArr[0], kArr[1]}, kP})},
    {"LowerBoundBeyond32Bits", "DW_AT_upper_bound : 2\n",
     "DW_AT_upper_bound : 2\n    <46>   DW_AT_lower_bound : 4294967297\n", join({kS, kArr, kP})},
    {"LowerBoundInHex", "DW_AT_upper_bound : 2\n",
     "DW_AT_upper_bound : 2\n    <46>   DW_AT_lower_bound : 0x1\n",
     join({kS,
           {"20000014H     SYMBOL  DATA  DWORD    arr_01", "20000018H     SYMBOL  DATA  DWORD    arr_02"},
           kP})},
    // DW_AT_location: the address keeps its low 32 bits; an added constant
    // that does not convert leaves the variable without an address.
    {"AddressBeyond32Bits", "(DW_OP_addr: 20000000)", "(DW_OP_addr: 120000000)", join({kS, kArr, kP})},
    {"AddressBeyond64Bits", "(DW_OP_addr: 20000000)", "(DW_OP_addr: 1000000000000000020000000)",
     join({kS, kArr, kP})},
    {"AddedConstantBeyond32Bits", "DW_OP_plus_uconst: 4)", "DW_OP_plus_uconst: 4294967300)", join({kS, kP})},
    {"AddedConstantInHex", "DW_OP_plus_uconst: 4)", "DW_OP_plus_uconst: 0x4)", join({kS, kP})},
    // References and entry offsets keep their low 32 bits.
    {"TypeReferenceBeyond32Bits", "<4f>   DW_AT_type        : <0x2c>",
     "<4f>   DW_AT_type        : <0x10000002c>", join({kS, kArr, kP})},
    {"EntryOffsetBeyond32Bits", " <1><25>: Abbrev", " <1><100000025>: Abbrev", join({kS, kArr, kP})},
    // The unit's pointer size: without it the pointer's own size counts.
    {"PointerSizeBeyond32Bits", "Pointer Size:  4\n", "Pointer Size:  4294967300\n",
     join({kS, kArr, {"20000040H     SYMBOL  DATA  QWORD    p"}})},
    {"PointerSizeInHex", "Pointer Size:  4\n", "Pointer Size:  0x4\n",
     join({kS, kArr, {"20000040H     SYMBOL  DATA  QWORD    p"}})},
    // A nesting level that does not convert skips the entry; its attribute
    // lines then belong to the entry before it (the pointer type).
    {"LevelBeyond32Bits", " <1><4d>: Abbrev", " <4294967297><4d>: Abbrev", join({kArr, kP})},
    {"LevelInHex", " <1><4d>: Abbrev", " <a><4d>: Abbrev", join({kArr, kP})},
};

void PrintTo(const NumberCase &c, std::ostream *os) { *os << c.name; }

class NumberTest : public testing::TestWithParam<NumberCase> {};

TEST_P(NumberTest, MapLines) {
  const NumberCase &c = GetParam();
  EXPECT_EQ(mapOf(dumpWith(c.line, c.replacement)), crlfLines(c.map));
}

INSTANTIATE_TEST_SUITE_P(Attributes, NumberTest, testing::ValuesIn(kNumberCases),
                         [](const testing::TestParamInfo<NumberCase> &info) { return info.param.name; });

struct ModelNumberCase {
  const char *name;
  std::string line;
  std::string replacement;
  std::int32_t declFile;
  std::uint32_t stmtListOffset;
};

/// Numbers the map does not show: the variable's file number and the unit's
/// line-table offset.
const std::vector<ModelNumberCase> kModelNumberCases = {
    {"DeclFile", "    <4e>   DW_AT_name        : s\n",
     "    <4e>   DW_AT_name        : s\n    <4e>   DW_AT_decl_file   : 2\n", 2, 0},
    {"DeclFileBeyond32Bits", "    <4e>   DW_AT_name        : s\n",
     "    <4e>   DW_AT_name        : s\n    <4e>   DW_AT_decl_file   : 4294967298\n", 0, 0},
    {"DeclFileInHex", "    <4e>   DW_AT_name        : s\n",
     "    <4e>   DW_AT_name        : s\n    <4e>   DW_AT_decl_file   : 0x2\n", 2, 0},
    {"StmtListBeyond32Bits", "DW_AT_stmt_list   : 0\n", "DW_AT_stmt_list   : 0x100000040\n", 0, 0x40},
    {"StmtListBeyond64Bits", "DW_AT_stmt_list   : 0\n", "DW_AT_stmt_list   : 0x100000000000000040\n", 0,
     0x40},
};

void PrintTo(const ModelNumberCase &c, std::ostream *os) { *os << c.name; }

class ModelNumberTest : public testing::TestWithParam<ModelNumberCase> {};

TEST_P(ModelNumberTest, Fields) {
  const ModelNumberCase &c = GetParam();
  const std::unique_ptr<DwarfDatabase> database = parseDump(dumpWith(c.line, c.replacement));
  ASSERT_EQ(database->locatedObjects.size(), 3u);
  EXPECT_EQ(database->locatedObjects[0]->name, "s");
  EXPECT_EQ(database->locatedObjects[0]->declFile, c.declFile);
  EXPECT_EQ(database->locatedObjects[0]->stmtListOffset, c.stmtListOffset);
}

INSTANTIATE_TEST_SUITE_P(Attributes, ModelNumberTest, testing::ValuesIn(kModelNumberCases),
                         [](const testing::TestParamInfo<ModelNumberCase> &info) { return info.param.name; });

// ---- Bytes and line ends ---------------------------------------------------------

TEST(HostileDump, NulBytesAndInvalidUtf8InANameReachTheFilesUnchanged) {
  const std::string name = std::string("s\0\xff\xfe\xc3(\x80", 7);
  const std::string dump = dumpWith("DW_AT_name        : s\n", "DW_AT_name        : " + name + "\n");
  const SymbolTexts texts = textsOf(dump);
  EXPECT_EQ(texts.m51, crlfLines({"20000000H     SYMBOL  DATA  DWORD    " + name + ".a",
                                  "20000004H     SYMBOL  DATA  DWORD    " + name + ".b",
                                  "20000004H     SYMBOL  DATA  DWORD    " + name + ".f_Bits:262728", kArr[0],
                                  kArr[1], kArr[2], kP[0]}));
  EXPECT_NE(texts.canape.find("VARIABLE 0x0 '" + name + ".a'  "), std::string::npos);
}

TEST(HostileDump, LinesOfNulBytesAndInvalidUtf8BetweenTheEntriesAreSkipped) {
  std::string dump;
  std::istringstream lines(kDump);
  const std::string junk[] = {std::string(40, '\0'), "\xff\xfe\xfd garbage \xc0\xaf",
                              std::string(" <1><\0>: Abbrev Number: 2 (DW_TAG_variable)", 44),
                              std::string("    <26>   DW_AT_byte_size   : 4\0\t7", 35)};
  std::size_t i = 0;
  for (std::string line; std::getline(lines, line); ++i) {
    dump += line + "\n";
    // After an entry's last attribute: junk there must not change the entry.
    if (i > 5 && line.starts_with(" <")) continue;
    if (i % 3 == 0) dump += junk[(i / 3) % 4] + "\n";
  }
  EXPECT_EQ(mapOf(dump), mapOf(kDump));
}

TEST(HostileDump, MixedLineEndsGiveTheSameFilesAsLineFeeds) {
  for (const char *name : {"golden-dwarf4.txt", "drive-dwarf5.txt", "statics-dwarf4.txt"}) {
    const std::string lf = readFile(std::string(QUILLMAP_TEST_DATA_DIR) + "/output/" + name);
    std::string mixed;
    std::size_t line = 0;
    for (const char c : lf) {
      if (c == '\n' && line++ % 2 == 0) mixed += '\r';
      mixed += c;
    }
    const SymbolTexts expected = textsOf(lf);
    const SymbolTexts got = textsOf(mixed);
    EXPECT_FALSE(expected.m51.empty()) << name;
    EXPECT_EQ(got.m51, expected.m51) << name;
    EXPECT_EQ(got.canape, expected.canape) << name;
    EXPECT_EQ(got.styleWarnings, expected.styleWarnings) << name;
  }
}

TEST(HostileDump, CarriageReturnsAloneMakeOneLongLineAndNoSymbols) {
  std::string crOnly = readFile(std::string(QUILLMAP_TEST_DATA_DIR) + "/output/golden-dwarf4.txt");
  std::replace(crOnly.begin(), crOnly.end(), '\n', '\r');
  const SymbolTexts texts = textsOf(crOnly);
  EXPECT_EQ(texts.m51, "");
  EXPECT_EQ(texts.canape,
            crlfLines({"VERSION 104 COMMENT \"CANAPE DB\"", "GROUP 'QX_Signals' : \"\"", "['QX_Signals']"}));
  EXPECT_FALSE(texts.hasStyleWarnings);
}

// ---- Dumps cut off ---------------------------------------------------------------

/// The address and the name of a map line, without its type word.
std::string addressAndName(const std::string &line) {
  const std::size_t name = line.find_first_not_of(' ', line.find(' ', 28));
  return line.substr(0, 8) + " " + (name == std::string::npos ? std::string() : line.substr(name));
}

std::vector<std::string> linesOf(const std::string &text) {
  std::vector<std::string> lines;
  for (std::size_t begin = 0; begin < text.size();) {
    const std::size_t end = text.find("\r\n", begin);
    lines.push_back(text.substr(begin, end - begin));
    begin = end + 2;
  }
  return lines;
}

/// Cuts a real dump at the start and in the middle of every line. Whatever
/// the cut, each map line names a piece of the whole dump's map at that
/// piece's address. Only its type word may differ, when the cut fell inside
/// the piece's base type (a size or an encoding not yet read): a cut dump
/// may lose pieces but never moves one to another address.
void expectCutsKeepEveryAddress(const std::string &name) {
  const std::string dump = readFile(std::string(QUILLMAP_TEST_DATA_DIR) + "/output/" + name);
  ASSERT_FALSE(dump.empty()) << name;
  std::set<std::string> allowed;
  for (const std::string &line : linesOf(mapOf(dump)))
    allowed.insert(addressAndName(line));
  ASSERT_GE(allowed.size(), 3u) << name;
  std::size_t cuts = 0;
  for (std::size_t begin = 0; begin < dump.size(); begin = dump.find('\n', begin) + 1) {
    const std::size_t end = std::min(dump.find('\n', begin), dump.size());
    for (const std::size_t cut : {begin, begin + (end - begin) / 2, end}) {
      ++cuts;
      for (const std::string &line : linesOf(mapOf(std::string_view(dump).substr(0, cut))))
        EXPECT_TRUE(allowed.count(addressAndName(line))) << name << " cut at byte " << cut << ": " << line;
    }
    if (end == dump.size()) break;
  }
  EXPECT_GT(cuts, 100u);
}

TEST(HostileDump, CutInTheMiddleOfALineOrOfAnEntry) {
  expectCutsKeepEveryAddress("golden-dwarf4.txt");
  expectCutsKeepEveryAddress("shapes-dwarf4.txt");
  expectCutsKeepEveryAddress("drive-dwarf5.txt");
  expectCutsKeepEveryAddress("statics-dwarf4.txt");
}

} // namespace
