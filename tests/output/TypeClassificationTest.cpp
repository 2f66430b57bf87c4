#include "output/TypeClassification.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

SymbolRecord leaf(std::int32_t byteSize, bool isSigned, std::string name = "x") {
  SymbolRecord record;
  record.byteSize = byteSize;
  record.isSigned = isSigned;
  record.symbolName = std::move(name);
  return record;
}

SymbolRecord bitField(std::string name, std::int32_t byteSize, std::int32_t bitOffset, std::int32_t bitSize,
                      bool isSigned) {
  SymbolRecord record = leaf(byteSize, isSigned, std::move(name));
  record.bitOffset = bitOffset;
  record.bitSize = bitSize;
  return record;
}

std::string padded(std::string text, std::size_t width) {
  text.resize(std::max(text.size(), width), ' ');
  return text;
}

/// The column layout of the fixed rows, built up from its parts.
std::string fixedRow(const std::string &token, const std::string &lower, const std::string &upper) {
  return "    \"\" " + padded(token, 11) + "\"\" 0 " + padded(lower, 20) + padded(upper, 20) +
         padded("CHARACTERISTIC", 21) + "WEAK_LIMITS " + padded(lower, 21) + upper;
}

TEST(TypeClassification, TheUnsignedByteRowWrittenOut) {
  const LeafClassification c = classifyLeaf(leaf(1, false, "counter"), false);
  EXPECT_EQ(c.typeWord, "BYTE ");
  EXPECT_EQ(c.typeRow,
            "    \"\" UINT(8)    \"\" 0 0                   255                 CHARACTERISTIC       "
            "WEAK_LIMITS 0                    255");
  EXPECT_EQ(c.outputName, "counter");
}

struct SizeCase {
  std::int32_t byteSize;
  bool isSigned;
  std::string word;
  std::string token;
  std::string lower;
  std::string upper;
};

TEST(TypeClassification, WordAndRowBySizeAndSignedness) {
  // The 8-byte rows keep the 32-bit limits: set-ups in the field use them.
  const std::vector<SizeCase> cases = {
      {1, false, "BYTE ", "UINT(8)", "0", "255"},
      {2, false, "WORD ", "UINT(16)", "0", "65535"},
      {4, false, "DWORD", "UINT(32)", "0", "4294967295"},
      {8, false, "QWORD", "UINT(64)", "0", "4294967295"},
      {1, true, "INT8 ", "INT(8)", "-128", "127"},
      {2, true, "INT16", "INT(16)", "-32768", "32767"},
      {4, true, "INT32", "INT(32)", "-2147483648", "2147483647"},
      {8, true, "INT64", "INT(64)", "-2147483648", "2147483647"},
      {3, false, "SIZE_NOT_SUPPORTED_3", "UINT(64)", "0", "4294967295"},
      {3, true, "SIZE_NOT_SUPPORTED_3", "UINT(64)", "0", "4294967295"},
      {0, false, "SIZE_NOT_SUPPORTED_0", "UINT(64)", "0", "4294967295"},
      {16, true, "SIZE_NOT_SUPPORTED_16", "UINT(64)", "0", "4294967295"},
      {-2, false, "SIZE_NOT_SUPPORTED_-2", "UINT(64)", "0", "4294967295"},
  };
  for (const SizeCase &c : cases) {
    const LeafClassification result = classifyLeaf(leaf(c.byteSize, c.isSigned), false);
    EXPECT_EQ(result.typeWord, c.word) << c.byteSize << (c.isSigned ? " signed" : " unsigned");
    EXPECT_EQ(result.typeRow, fixedRow(c.token, c.lower, c.upper))
        << c.byteSize << (c.isSigned ? " signed" : " unsigned");
    EXPECT_EQ(result.outputName, "x");
  }
}

struct BitCase {
  std::int32_t byteSize;
  std::int32_t bitOffset;
  std::int32_t bitSize;
  bool isSigned;
  bool littleEndian;
  std::string name;
  std::string sizeAndStart;
  std::string lower;
  std::string upper;
};

TEST(TypeClassification, BitFieldsNumbersAndLimits) {
  const std::vector<BitCase> cases = {
      {4, 2, 3, false, false, "f_Bits:234", "3,2", "0", "7"},
      {4, 2, 3, true, false, "f_Bits:234", "3,2", "-4", "3"},
      {4, 9, 3, false, false, "f_Bits:91011", "3,9", "0", "7"},
      // Little-endian flag: counted from the least significant bit.
      {4, 29, 3, false, true, "f_Bits:012", "3,0", "0", "7"},
      {2, 0, 1, false, true, "f_Bit:15", "1,15", "0", "1"},
      // 32 and 64 bits: the true limits.
      {4, 0, 32, false, false, "f_Bits:012345678910111213141516171819202122232425262728293031", "32,0", "0",
       "4294967295"},
      {4, 0, 32, true, false, "f_Bits:012345678910111213141516171819202122232425262728293031", "32,0",
       "-2147483648", "2147483647"},
      {4, 1, 31, false, false, "f_Bits:12345678910111213141516171819202122232425262728293031", "31,1", "0",
       "2147483647"},
      // A start bit that comes out negative is written as an unsigned 32-bit
      // number, and the following bits wrap with it.
      {1, 7, 3, false, true, "f_Bits:429496729442949672950", "3,4294967294", "0", "7"},
      // A negative width lists no bit and has the mask 0.
      {4, 3, -2, false, false, "f_Bits:", "-2,3", "0", "0"},
      {4, 3, -2, true, false, "f_Bits:", "-2,3", "-1", "0"},
  };
  for (const BitCase &c : cases) {
    const LeafClassification result =
        classifyLeaf(bitField("f", c.byteSize, c.bitOffset, c.bitSize, c.isSigned), c.littleEndian);
    EXPECT_EQ(result.outputName, c.name);
    const std::string expectedRow = "    \"\" UINT(" + c.sizeAndStart + ") \"\" 0 " + c.lower +
                                    "           " + c.upper + " (" + c.lower + "  " + c.upper +
                                    ")            CHARACTERISTIC  WEAK_LIMITS " + c.lower +
                                    "                   " + c.upper;
    EXPECT_EQ(result.typeRow, expectedRow) << c.name;
  }
}

std::string bitList(std::uint32_t first, std::uint32_t count) {
  std::string list;
  for (std::uint32_t i = 0; i < count; ++i)
    list += std::to_string(first + i);
  return list;
}

TEST(TypeClassification, SixtyFourBitFieldsGetTheirTrueLimits) {
  const LeafClassification unsignedField = classifyLeaf(bitField("w", 8, 0, 64, false), false);
  EXPECT_EQ(unsignedField.typeWord, "QWORD");
  EXPECT_EQ(unsignedField.outputName, "w_Bits:" + bitList(0, 64));
  EXPECT_EQ(unsignedField.typeRow,
            "    \"\" UINT(64,0) \"\" 0 0           18446744073709551615 (0  "
            "18446744073709551615)            CHARACTERISTIC  WEAK_LIMITS 0                   "
            "18446744073709551615");

  const LeafClassification signedField = classifyLeaf(bitField("w", 8, 0, 64, true), false);
  EXPECT_EQ(signedField.typeWord, "INT64");
  EXPECT_EQ(
      signedField.typeRow,
      "    \"\" UINT(64,0) \"\" 0 -9223372036854775808           9223372036854775807 (-9223372036854775808  "
      "9223372036854775807)            CHARACTERISTIC  WEAK_LIMITS -9223372036854775808                   "
      "9223372036854775807");
}

TEST(TypeClassification, MalformedWidthListsAtMostSixtyFourBits) {
  // A width of two thousand million bits must not build a name of gigabytes.
  const LeafClassification c = classifyLeaf(bitField("f", 4, 0, 2147483647, false), false);
  EXPECT_EQ(c.outputName, "f_Bits:" + bitList(0, 64));
  EXPECT_NE(c.typeRow.find("UINT(2147483647,0) \"\" 0 0           18446744073709551615 ("),
            std::string::npos);
}

TEST(TypeClassification, NoBitFieldKeepsItsNameWhateverItsBitOffset) {
  SymbolRecord record = leaf(2, true, "s.a");
  record.bitOffset = 12;
  const LeafClassification c = classifyLeaf(record, true);
  EXPECT_EQ(c.outputName, "s.a");
  EXPECT_EQ(c.typeWord, "INT16");
  EXPECT_EQ(c.typeRow, fixedRow("INT(16)", "-32768", "32767"));
}

TEST(TypeClassification, ReusedBuffersCarryNothingOver) {
  LeafClassification c;
  classifyLeaf(bitField("flags.mode", 4, 2, 3, false), false, c);
  classifyLeaf(leaf(7, false, "odd"), false, c);
  EXPECT_EQ(c.typeWord, "SIZE_NOT_SUPPORTED_7");
  EXPECT_EQ(c.typeRow, fixedRow("UINT(64)", "0", "4294967295"));
  EXPECT_EQ(c.outputName, "odd");
}

} // namespace
