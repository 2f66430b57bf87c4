// DW_AT_data_bit_offset (DWARF 4/5) in, the DWARF 2 bit-field fields out: the
// formula on worked examples, and gcc's own DWARF 4 output for the same
// fields as the reference.
#include "reader/BitFieldLayout.h"
#include "TestDumps.h"
#include "model/Model.h"
#include "model/ModelCast.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>

namespace {

using namespace Model;

struct LayoutCase {
  const char *what;
  int dataBitOffset, bitSize, unitBytes;
  bool bigEndian;
  int location, bitOffset;
};

TEST(BitFieldLayout, Formula) {
  const LayoutCase cases[] = {
      // struct { u8 ready:1, fault:1, mode:3, reserved:3; }
      {"first bit", 0, 1, 1, false, 0, 7},
      {"mode", 2, 3, 1, false, 0, 3},
      {"last bits", 5, 3, 1, false, 0, 0},
      // packed { u8 a; u32 b:20; u32 c:12; u16 d:9; u8 e:7; } as gcc 12 writes it
      {"packed b", 8, 20, 4, false, 0, 4},
      {"packed c", 28, 12, 4, false, 1, 0},
      {"packed d", 40, 9, 2, false, 4, -1},
      {"packed e", 49, 7, 1, false, 6, 0},
      {"packed d, big endian", 40, 9, 2, true, 4, 8},
      {"packed c, big endian", 28, 12, 4, true, 1, 20},
      {"64-bit unit", 128, 40, 8, false, 16, 24},
      {"word register bit 31", 31, 1, 4, false, 0, 0},
      {"word register bit 31, big endian", 31, 1, 4, true, 0, 31},
  };
  for (const LayoutCase &c : cases) {
    SCOPED_TRACE(c.what);
    BasicObject root(0, nullptr);
    auto *member = new TypeInfo_Member(1, &root);
    member->dataBitOffset = c.dataBitOffset;
    member->hasDataBitOffset = true;
    member->bitSize = c.bitSize;
    member->byteSize = c.unitBytes;
    member->hasByteSize = true;
    BitFieldLayout::convertDataBitOffset(*member, c.bigEndian);
    EXPECT_EQ(member->dataMemberLocation, c.location);
    EXPECT_EQ(member->bitOffset, c.bitOffset);
    EXPECT_EQ(member->byteSize, c.unitBytes);
  }
}

TEST(BitFieldLayout, UnitSizeComesFromTheTypeWithoutByteSize) {
  const auto db = TestDumps::parse(" <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)\n"
                                   " <1><10>: Abbrev Number: 2 (DW_TAG_structure_type)\n"
                                   " <2><14>: Abbrev Number: 3 (DW_TAG_member)\n"
                                   "    <15>   DW_AT_type        : <0x40>\n"
                                   "    <16>   DW_AT_bit_size    : 4\n"
                                   "    <17>   DW_AT_data_bit_offset: 19\n"
                                   " <1><40>: Abbrev Number: 4 (DW_TAG_typedef)\n"
                                   "    <41>   DW_AT_type        : <0x44>\n"
                                   " <1><44>: Abbrev Number: 5 (DW_TAG_base_type)\n"
                                   "    <45>   DW_AT_byte_size   : 2\n");
  const TypeInfo_Member &m = *db->members.at(0);
  EXPECT_EQ(m.byteSize, 2);
  EXPECT_EQ(m.dataMemberLocation, 2);
  EXPECT_EQ(m.bitOffset, 16 + 16 - 23);
}

TEST(BitFieldLayout, MembersLeftAsTheyAre) {
  const auto db = TestDumps::parse(" <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)\n"
                                   // no bit size: no bit field
                                   " <1><14>: Abbrev Number: 3 (DW_TAG_member)\n"
                                   "    <15>   DW_AT_byte_size   : 4\n"
                                   "    <17>   DW_AT_data_bit_offset: 19\n"
                                   // DW_AT_bit_offset given: the older form wins
                                   " <1><20>: Abbrev Number: 3 (DW_TAG_member)\n"
                                   "    <21>   DW_AT_byte_size   : 4\n"
                                   "    <22>   DW_AT_bit_size    : 4\n"
                                   "    <23>   DW_AT_bit_offset  : 9\n"
                                   "    <24>   DW_AT_data_bit_offset: 19\n"
                                   // no unit size: neither byte size nor a type
                                   " <1><30>: Abbrev Number: 3 (DW_TAG_member)\n"
                                   "    <32>   DW_AT_bit_size    : 4\n"
                                   "    <34>   DW_AT_data_bit_offset: 19\n"
                                   "    <35>   DW_AT_data_member_location: 7\n");
  ASSERT_EQ(db->members.size(), 3u);
  EXPECT_EQ(db->members[0]->dataMemberLocation, 0);
  EXPECT_EQ(db->members[0]->bitOffset, 0);
  EXPECT_EQ(db->members[1]->bitOffset, 9);
  EXPECT_EQ(db->members[1]->dataMemberLocation, 0);
  EXPECT_EQ(db->members[2]->dataMemberLocation, 7);
  EXPECT_EQ(db->members[2]->byteSize, 0);
}

TEST(BitFieldLayout, BigEndianFormatNameSelectsTheBigEndianLayout) {
  const std::string unit = " <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)\n"
                           " <1><14>: Abbrev Number: 3 (DW_TAG_member)\n"
                           "    <15>   DW_AT_byte_size   : 2\n"
                           "    <16>   DW_AT_bit_size    : 9\n"
                           "    <17>   DW_AT_data_bit_offset: 40\n";
  const auto little = TestDumps::parse("\nx.o:     file format elf32-littlearm\n\n" + unit);
  const auto big = TestDumps::parse("\nx.o:     file format elf32-bigarm\n\n" + unit);
  EXPECT_EQ(little->members.at(0)->bitOffset, -1);
  EXPECT_EQ(big->members.at(0)->bitOffset, 8);
  // The byte-order flag for output generation is a separate thing: neither
  // format name ends in "little".
  EXPECT_FALSE(little->isLittleEndian());
  EXPECT_FALSE(big->isLittleEndian());
}

/// Every bit-field member of a dump under "<structure or union>.<member>" (or
/// the member alone inside an anonymous one), with its fields after the
/// conversion.
using Fields = std::tuple<int, int, int, int>; // location, bit size, bit offset, unit bytes
std::map<std::string, Fields> bitFields(const DwarfDatabase &db) {
  std::map<std::string, Fields> fields;
  for (const TypeInfo_Member *m : db.members)
    if (m->bitSize != 0)
      fields[m->parent->name.str() + "." + m->name.str()] =
          Fields{m->dataMemberLocation, m->bitSize, m->bitOffset, m->byteSize};
  return fields;
}

TEST(BitFieldLayout, Dwarf5EqualsGccsDwarf4OnRealDumps) {
  for (const char *endian : {"little", "big"}) {
    SCOPED_TRACE(endian);
    const std::string dwarf4 = TestDumps::sourceDump("bitfields", 4, endian);
    const std::string dwarf5 = TestDumps::sourceDump("bitfields", 5, endian);
    REQUIRE_DUMP(dwarf4);
    REQUIRE_DUMP(dwarf5);
    DwarfDatabase reference(dwarf4);
    DwarfDatabase converted(dwarf5);
    for (const TypeInfo_Member *m : reference.members)
      EXPECT_FALSE(m->bitSize != 0 && m->hasDataBitOffset) << "DWARF 4 dump has the newer form";
    for (const TypeInfo_Member *m : converted.members)
      EXPECT_FALSE(m->bitSize != 0 && (m->hasBitOffset || !m->hasDataBitOffset))
          << "DWARF 5 dump has the older form";
    const auto expected = bitFields(reference);
    EXPECT_EQ(expected.size(), 20u);
    EXPECT_EQ(bitFields(converted), expected);
  }
}

TEST(BitFieldLayout, PackedExampleOfGcc12) {
  const std::string dwarf5 = TestDumps::sourceDump("bitfields", 5, "little");
  REQUIRE_DUMP(dwarf5);
  DwarfDatabase db(dwarf5);
  const auto fields = bitFields(db);
  EXPECT_EQ(fields.at("packed_t.d"), (Fields{4, 9, -1, 2}));
  EXPECT_EQ(fields.at("packed_t.c"), (Fields{1, 12, 0, 4}));
}

} // namespace
