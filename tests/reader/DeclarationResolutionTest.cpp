// A class used in one unit but defined in another (gcc writes the full class
// only where its key function is defined), and constants objdump prints in hex.
#include "TestDumps.h"
#include "model/Model.h"
#include "model/ModelCast.h"

#include <gtest/gtest.h>

namespace {

using namespace Model;

// main.cpp's unit declares vehicle::Sensor and defines g_oil_sensor of it;
// node.cpp's unit holds the definition (28 bytes). Both units also have a
// class Local in an anonymous namespace, which must not be matched across.
const char *const kTwoUnits =
    " <0><c>: Abbrev Number: 1 (DW_TAG_compile_unit)\n"
    "    <d>   DW_AT_name        : main.cpp\n"
    " <1><20>: Abbrev Number: 2 (DW_TAG_namespace)\n"
    "    <21>   DW_AT_name        : vehicle\n"
    " <2><29>: Abbrev Number: 3 (DW_TAG_class_type)\n"
    "    <2a>   DW_AT_name        : Sensor\n"
    "    <2e>   DW_AT_declaration : 1\n"
    " <1><40>: Abbrev Number: 2 (DW_TAG_namespace)\n"
    " <2><41>: Abbrev Number: 4 (DW_TAG_structure_type)\n"
    "    <42>   DW_AT_name        : Local\n"
    "    <43>   DW_AT_declaration : 1\n"
    " <1><50>: Abbrev Number: 5 (DW_TAG_variable)\n"
    "    <51>   DW_AT_name        : g_oil_sensor\n"
    "    <55>   DW_AT_type        : <0x29>\n"
    "    <59>   DW_AT_location    : 5 byte block: 3 5c b5 0 0 \t(DW_OP_addr: b55c)\n"
    " <1><60>: Abbrev Number: 5 (DW_TAG_variable)\n"
    "    <61>   DW_AT_name        : g_local\n"
    "    <65>   DW_AT_type        : <0x41>\n"
    "    <69>   DW_AT_location    : 5 byte block: 3 0 b6 0 0 \t(DW_OP_addr: b600)\n"
    " <0><100>: Abbrev Number: 1 (DW_TAG_compile_unit)\n"
    "    <101>   DW_AT_name        : node.cpp\n"
    " <1><110>: Abbrev Number: 2 (DW_TAG_namespace)\n"
    "    <111>   DW_AT_name        : vehicle\n"
    " <2><119>: Abbrev Number: 6 (DW_TAG_class_type)\n"
    "    <11a>   DW_AT_name        : Sensor\n"
    "    <11e>   DW_AT_byte_size   : 28\n"
    " <3><120>: Abbrev Number: 7 (DW_TAG_member)\n"
    "    <121>   DW_AT_name        : address_\n"
    " <1><130>: Abbrev Number: 2 (DW_TAG_namespace)\n"
    " <2><131>: Abbrev Number: 4 (DW_TAG_structure_type)\n"
    "    <132>   DW_AT_name        : Local\n"
    "    <133>   DW_AT_byte_size   : 8\n";

} // namespace

TEST(DeclarationResolution, AVariableOfADeclaredClassGetsTheDefinitionFromAnotherUnit) {
  const auto db = TestDumps::parse(kTwoUnits);
  const auto *oil = as<VariableInfo>(db->objectsByOffset.find(0x50));
  ASSERT_NE(oil, nullptr);
  EXPECT_EQ(oil->type, db->objectsByOffset.find(0x119));
  EXPECT_EQ(oil->getSize(), 28u);
  // A type of an anonymous namespace is the unit's own: no match elsewhere.
  const auto *local = as<VariableInfo>(db->objectsByOffset.find(0x60));
  ASSERT_NE(local, nullptr);
  EXPECT_EQ(local->type, db->objectsByOffset.find(0x41));
  EXPECT_EQ(local->getSize(), 0u);
}

TEST(DeclarationResolution, ADeclarationWithoutDefinitionStays) {
  const std::string dump(kTwoUnits, std::string_view(kTwoUnits).find(" <0><100>"));
  const auto db = TestDumps::parse(dump);
  const auto *oil = as<VariableInfo>(db->objectsByOffset.find(0x50));
  ASSERT_NE(oil, nullptr);
  EXPECT_EQ(oil->type, db->objectsByOffset.find(0x29));
}

// objdump prints constants of four bytes in hex: arrays of more than 65 536
// elements, structures larger than 64 KiB and members beyond that offset.
TEST(DeclarationResolution, HexConstantsOfLargeTypesAreReadAsNumbers) {
  const auto db = TestDumps::parse(" <0><c>: Abbrev Number: 1 (DW_TAG_compile_unit)\n"
                                   " <1><80>: Abbrev Number: 2 (DW_TAG_subrange_type)\n"
                                   "    <85>   DW_AT_upper_bound : 0x1869f\n"
                                   " <1><98>: Abbrev Number: 3 (DW_TAG_structure_type)\n"
                                   "    <9a>   DW_AT_byte_size   : 0x11174\n"
                                   " <2><b1>: Abbrev Number: 4 (DW_TAG_member)\n"
                                   "    <be>   DW_AT_data_member_location: 0x11170\n"
                                   " <2><c1>: Abbrev Number: 4 (DW_TAG_member)\n"
                                   "    <c2>   DW_AT_data_member_location: 0x12z\n");
  const auto *range = as<TypeInfo_Subrange>(db->objectsByOffset.find(0x80));
  const auto *big = as<TypeInfo_Structure>(db->objectsByOffset.find(0x98));
  const auto *after = as<TypeInfo_Member>(db->objectsByOffset.find(0xb1));
  const auto *odd = as<TypeInfo_Member>(db->objectsByOffset.find(0xc1));
  ASSERT_TRUE(range && big && after && odd);
  EXPECT_EQ(range->getSize(), 100000u);
  EXPECT_EQ(big->byteSize, 70004);
  EXPECT_EQ(after->dataMemberLocation, 70000);
  EXPECT_EQ(odd->dataMemberLocation, 0); // not a number of either form
}
