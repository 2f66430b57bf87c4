#pragma once

// The grammar of objdump's text dump, as this tool reads it.
//
// Each kind of line, and each textual form of an attribute value, is defined
// by an ECMAScript regular expression that must match the whole text. The
// pattern texts below are the definitions; the parse does not run them through
// std::regex (too slow for a dump of gigabytes, and libstdc++ overflows its
// stack on lines of a few ten thousand characters). Each pattern has a
// hand-written matcher beside it that gives exactly the groups the pattern
// gives, and a test runs both over real dumps and generated lines.

#include <array>
#include <cstddef>
#include <string_view>

namespace DumpLineGrammar {

// ---------------------------------------------------------------------------
// Pattern texts.

/// " <1><4a>: Abbrev Number: 1 (DW_TAG_typedef)"
/// 1: nesting level, 2: entry offset, 3: abbreviation number, 4: tag text.
inline constexpr const char *kEntryHeaderPattern =
    R"(^[ ]+[<]([[:xdigit:]]+)[>][<]([[:xdigit:]]+)[>][:][ ]+Abbrev[ ]+Number[:][ ]+([[:digit:]]+)[ ]+[(](DW_TAG_.*)[)]$)";

/// "    <58>   DW_AT_encoding    : 6\t(signed char)"
/// 1: attribute offset, 2: attribute name, 3: value text (up to the last tab),
/// 4: tail (after the last tab).
inline constexpr const char *kAttributePattern =
    R"(^[ ]+[<]([[:xdigit:]]+)[>][ ]+(DW_AT_[^ :]+)[ :]+[ ](.*)\t(.*)$)";

/// "    <52>   DW_AT_type        : <0x56>"
/// objdump 2.40 prints the tab only before a decoded extra; a line without any
/// tab that matches this is an attribute line with an empty tail.
/// 1: attribute offset, 2: attribute name, 3: value text.
inline constexpr const char *kAttributeNoTabPattern =
    R"(^[ ]+[<]([[:xdigit:]]+)[>][ ]+(DW_AT_[^ :]+)[ :]+[ ](.*)$)";

/// "  Offset:                      0x75"  1: offset of the line-number program.
inline constexpr const char *kLineTableOffsetPattern =
    R"(^[[:blank:]]+Offset[:][[:blank:]]*0x([[:xdigit:]]+)$)";

/// "  Offset:                      0": objdump 2.40 prints the first table's
/// offset without "0x".
inline constexpr const char *kLineTableOffsetZeroPattern = R"(^[[:blank:]]+Offset[:][[:blank:]]+0$)";

/// " The Directory Table:" (older objdump).
inline constexpr const char *kDirectoryTableHeaderPattern = R"(^[[:blank:]]+The Directory Table[:]$)";

/// " The Directory Table (offset 0x1b):" and
/// " The Directory Table (offset 0x22, lines 2, columns 1):" (objdump 2.40).
inline constexpr const char *kDirectoryTableOffsetHeaderPattern =
    R"(^[[:blank:]]+The Directory Table [(]offset (?:0x)?[[:xdigit:]]+(?:, lines [[:digit:]]+, columns [[:digit:]]+)?[)][:]$)";

/// "  Entry\tName": the column line of a DWARF 5 directory table; skipped.
inline constexpr const char *kDirectoryTableColumnsPattern = R"(^[[:blank:]]+Entry\tName$)";

/// "  Entry\tDir\tTime\tSize\tName": opens a file table of DWARF 2 to 4.
inline constexpr const char *kFileTableHeaderPattern = R"(^[[:blank:]]+Entry\tDir\tTime\tSize\tName$)";

/// "  Entry\tDir\tName": opens a DWARF 5 file table (numbered from 0).
inline constexpr const char *kFileTableDwarf5HeaderPattern = R"(^[[:blank:]]+Entry\tDir\tName$)";

/// "  /work/src" (older objdump).  1: the line without its leading blanks.
inline constexpr const char *kDirectoryEntryPattern = R"(^[[:blank:]]+(.*)[[:blank:]]*)";

/// "  1\t/work/src" (objdump 2.40).  1: entry number, 2: directory text.
inline constexpr const char *kNumberedDirectoryEntryPattern = R"(^[[:blank:]]+([[:digit:]]+)\t(.*)$)";

/// "  1\t1\t0\t0\tmain.c"
/// 1: entry number, 2: directory index, 3: file name.
inline constexpr const char *kFileEntryPattern =
    R"(^[[:blank:]]+([[:digit:]]+)\t([[:digit:]]+)\t[[:digit:]]+\t[[:digit:]]+\t(.*)$)";

/// "  0\t1\t(indirect line string, offset: 0x7c): crt0.S" (DWARF 5)
/// 1: entry number, 2: directory index, 3: file name.
inline constexpr const char *kFileEntryDwarf5Pattern =
    R"(^[[:blank:]]+([[:digit:]]+)\t([[:digit:]]+)\t(.*)$)";

/// "(indirect line string, offset: 0x57): ../libgloss/arm" in a DWARF 5 table.
/// 1: the text after the last "): ".
inline constexpr const char *kIndirectLineStringPattern =
    R"(^[(]indirect (?:line )?string, offset: .*[)]: (.*)$)";

/// "   Pointer Size:  4"  1: pointer size in bytes.
inline constexpr const char *kPointerSizePattern = R"(^[ ]+Pointer[ ]Size[:][ ]+([[:digit:]]+)$)";

/// "  Compilation Unit @ offset 0x1b2c:" opens a compilation unit; objdump
/// 2.40 prints the first as "  Compilation Unit @ offset 0:".
inline constexpr const char *kUnitHeaderPattern =
    R"(^[ ]+Compilation Unit @ offset (?:0x)?[[:xdigit:]]+[:]$)";

/// "x.elf:     file format elf32-little": sets the byte-order flag. A format
/// name that goes on after "little" (elf32-littlearm) does not match.
inline constexpr const char *kFileFormatPattern = R"(^.*[:][ ]+file[ ]format[ ].*little$)";

/// "x.elf:     file format elf32-bigarm"  1: the format name, which tells the
/// target's byte order for the layout of DWARF 4/5 bit fields.
inline constexpr const char *kFileFormatNamePattern = R"(^.*[:][ ]+file[ ]format[ ](.*)$)";

// Attribute-value forms; matched against the value text or the tail.

/// Value text of DW_AT_name: "(indirect string, offset: 0x1a): counter".
/// 1: the text after the last "): ".
inline constexpr const char *kNameIndirectPattern = R"(^.*[)]:[ ](.*)$)";

/// Tail of DW_AT_location: "(DW_OP_addr: 9884)".  1: address.
inline constexpr const char *kLocationAddressPattern = R"(^[(]DW_OP_addr[:][ ]+([[:xdigit:]]+)[)]$)";

/// Tail of DW_AT_location: "(DW_OP_addr: 400; DW_OP_plus_uconst: 16)".
/// 1: address, 2: added constant.
inline constexpr const char *kLocationAddressPlusPattern =
    R"(^[(]DW_OP_addr[:][ ]+([[:xdigit:]]+)[;][ ]+DW_OP_plus_uconst[:][ ]+([0-9]+)[)]$)";

/// Tail of DW_AT_data_member_location: "(DW_OP_plus_uconst: 8)".  1: offset.
inline constexpr const char *kMemberLocationBlockPattern =
    R"(^[(]DW_OP_plus_uconst[:][ ]+([[:digit:]]+)[)]$)";

/// Value text of DW_AT_data_member_location: "8".  1: offset.
inline constexpr const char *kMemberLocationConstantPattern = R"([[:space:]]*([0-9]+)[[:space:]]*)";

/// Value text of a reference: "<0x2d>".  1: the hex digits after the last "0x".
inline constexpr const char *kReferencePattern = R"(^.*0x([[:xdigit:]]+).*$)";

/// Tail of DW_AT_encoding: "(unsigned char)".  1: the parenthesised text.
inline constexpr const char *kEncodingPattern = R"(^.*[(](.*)[)]$)";

// ---------------------------------------------------------------------------
// Matchers: each gives exactly what std::regex_match with its pattern gives.

/// The groups of a successful match; group[0] is the whole text. Groups a
/// pattern does not have stay empty.
struct Match {
  std::array<std::string_view, 5> group{};
};

using Matcher = bool (*)(std::string_view text, Match &match);

bool matchEntryHeader(std::string_view text, Match &match);
bool matchAttribute(std::string_view text, Match &match);
bool matchAttributeNoTab(std::string_view text, Match &match);
/// An attribute line of either objdump layout: as kAttributePattern when the
/// line holds a tab, as kAttributeNoTabPattern (with an empty tail)
/// otherwise. One pass instead of a search for a tab and then a matcher.
bool matchAttributeLine(std::string_view text, Match &match);
bool matchLineTableOffset(std::string_view text, Match &match);
bool matchLineTableOffsetZero(std::string_view text, Match &match);
bool matchDirectoryTableHeader(std::string_view text, Match &match);
bool matchDirectoryTableOffsetHeader(std::string_view text, Match &match);
bool matchDirectoryTableColumns(std::string_view text, Match &match);
bool matchFileTableHeader(std::string_view text, Match &match);
bool matchFileTableDwarf5Header(std::string_view text, Match &match);
bool matchDirectoryEntry(std::string_view text, Match &match);
bool matchNumberedDirectoryEntry(std::string_view text, Match &match);
bool matchFileEntry(std::string_view text, Match &match);
bool matchFileEntryDwarf5(std::string_view text, Match &match);
bool matchIndirectLineString(std::string_view text, Match &match);
bool matchPointerSize(std::string_view text, Match &match);
bool matchUnitHeader(std::string_view text, Match &match);
bool matchFileFormat(std::string_view text, Match &match);
bool matchFileFormatName(std::string_view text, Match &match);
bool matchNameIndirect(std::string_view text, Match &match);
bool matchLocationAddress(std::string_view text, Match &match);
bool matchLocationAddressPlus(std::string_view text, Match &match);
bool matchMemberLocationBlock(std::string_view text, Match &match);
bool matchMemberLocationConstant(std::string_view text, Match &match);
bool matchReference(std::string_view text, Match &match);
bool matchEncoding(std::string_view text, Match &match);

/// One pattern and its matcher, with the number of groups the pattern has.
struct Rule {
  const char *name;
  const char *pattern;
  Matcher matcher;
  std::size_t groupCount;
};

/// Every pattern of the grammar with its matcher, for the equality test and
/// the benchmark's std::regex baseline.
inline constexpr Rule kRules[] = {
    {"EntryHeader", kEntryHeaderPattern, matchEntryHeader, 4},
    {"Attribute", kAttributePattern, matchAttribute, 4},
    {"AttributeNoTab", kAttributeNoTabPattern, matchAttributeNoTab, 3},
    {"LineTableOffset", kLineTableOffsetPattern, matchLineTableOffset, 1},
    {"LineTableOffsetZero", kLineTableOffsetZeroPattern, matchLineTableOffsetZero, 0},
    {"DirectoryTableHeader", kDirectoryTableHeaderPattern, matchDirectoryTableHeader, 0},
    {"DirectoryTableOffsetHeader", kDirectoryTableOffsetHeaderPattern, matchDirectoryTableOffsetHeader, 0},
    {"DirectoryTableColumns", kDirectoryTableColumnsPattern, matchDirectoryTableColumns, 0},
    {"FileTableHeader", kFileTableHeaderPattern, matchFileTableHeader, 0},
    {"FileTableDwarf5Header", kFileTableDwarf5HeaderPattern, matchFileTableDwarf5Header, 0},
    {"DirectoryEntry", kDirectoryEntryPattern, matchDirectoryEntry, 1},
    {"NumberedDirectoryEntry", kNumberedDirectoryEntryPattern, matchNumberedDirectoryEntry, 2},
    {"FileEntry", kFileEntryPattern, matchFileEntry, 3},
    {"FileEntryDwarf5", kFileEntryDwarf5Pattern, matchFileEntryDwarf5, 3},
    {"IndirectLineString", kIndirectLineStringPattern, matchIndirectLineString, 1},
    {"PointerSize", kPointerSizePattern, matchPointerSize, 1},
    {"UnitHeader", kUnitHeaderPattern, matchUnitHeader, 0},
    {"FileFormat", kFileFormatPattern, matchFileFormat, 0},
    {"FileFormatName", kFileFormatNamePattern, matchFileFormatName, 1},
    {"NameIndirect", kNameIndirectPattern, matchNameIndirect, 1},
    {"LocationAddress", kLocationAddressPattern, matchLocationAddress, 1},
    {"LocationAddressPlus", kLocationAddressPlusPattern, matchLocationAddressPlus, 2},
    {"MemberLocationBlock", kMemberLocationBlockPattern, matchMemberLocationBlock, 1},
    {"MemberLocationConstant", kMemberLocationConstantPattern, matchMemberLocationConstant, 1},
    {"Reference", kReferencePattern, matchReference, 1},
    {"Encoding", kEncodingPattern, matchEncoding, 1},
};

} // namespace DumpLineGrammar
