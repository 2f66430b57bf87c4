// The link pass: references stored as offsets become pointers once the whole
// dump is read.
#include "TestDumps.h"
#include "model/Model.h"
#include "model/ModelCast.h"

#include <gtest/gtest.h>

namespace {

using namespace Model;

// One entry of each referring kind, all naming later entries (forward
// references), plus targets of kinds that are in no list.
const char *const kDump = " <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)\n"
                          " <1><10>: Abbrev Number: 2 (DW_TAG_array_type)\n"
                          "    <11>   DW_AT_type        : <0x90>\n"
                          " <1><14>: Abbrev Number: 3 (DW_TAG_const_type)\n"
                          "    <15>   DW_AT_type        : <0x91>\n"
                          " <1><18>: Abbrev Number: 4 (DW_TAG_imported_declaration)\n"
                          "    <19>   DW_AT_import      : <0x92>\n"
                          " <1><1c>: Abbrev Number: 5 (DW_TAG_structure_type)\n"
                          " <2><20>: Abbrev Number: 6 (DW_TAG_inheritance)\n"
                          "    <21>   DW_AT_type        : <0x93>\n"
                          " <2><24>: Abbrev Number: 7 (DW_TAG_member)\n"
                          "    <25>   DW_AT_type        : <0x90>\n"
                          " <1><28>: Abbrev Number: 8 (DW_TAG_subroutine_type)\n"
                          "    <29>   DW_AT_type        : <0x90>\n"
                          " <1><2c>: Abbrev Number: 9 (DW_TAG_typedef)\n"
                          "    <2d>   DW_AT_type        : <0x91>\n"
                          " <1><30>: Abbrev Number: 10 (DW_TAG_volatile_type)\n"
                          "    <31>   DW_AT_type        : <0x2c>\n"
                          " <1><34>: Abbrev Number: 11 (DW_TAG_subprogram)\n"
                          "    <35>   DW_AT_specification: <0x94>\n"
                          " <2><38>: Abbrev Number: 12 (DW_TAG_formal_parameter)\n"
                          "    <39>   DW_AT_type        : <0x90>\n"
                          " <2><3c>: Abbrev Number: 13 (DW_TAG_inlined_subroutine)\n"
                          "    <3d>   DW_AT_abstract_origin: <0x34>\n"
                          " <1><40>: Abbrev Number: 14 (DW_TAG_variable)\n"
                          "    <41>   DW_AT_type        : <0x30>\n"
                          "    <45>   DW_AT_specification: <0x95>\n"
                          " <1><48>: Abbrev Number: 14 (DW_TAG_variable)\n"
                          "    <49>   DW_AT_specification: <0x95>\n"
                          " <1><4c>: Abbrev Number: 15 (DW_TAG_class_type)\n"
                          "    <4d>   DW_AT_specification: <0x96>\n"
                          " <1><50>: Abbrev Number: 3 (DW_TAG_const_type)\n"
                          " <1><54>: Abbrev Number: 9 (DW_TAG_typedef)\n"
                          "    <55>   DW_AT_type        : <0x999>\n"
                          " <1><90>: Abbrev Number: 16 (DW_TAG_base_type)\n"
                          "    <91>   DW_AT_byte_size   : 4\n"
                          " <1><91>: Abbrev Number: 17 (DW_TAG_enumeration_type)\n"
                          " <1><92>: Abbrev Number: 18 (DW_TAG_namespace)\n"
                          " <1><93>: Abbrev Number: 5 (DW_TAG_structure_type)\n"
                          " <1><94>: Abbrev Number: 11 (DW_TAG_subprogram)\n"
                          " <1><95>: Abbrev Number: 7 (DW_TAG_member)\n"
                          " <1><96>: Abbrev Number: 15 (DW_TAG_class_type)\n";

template <class T> T *at(const DwarfDatabase &db, EntryOffset offset) {
  return as<T>(db.objectsByOffset.find(offset));
}

TEST(ReferenceLinking, EveryKindOfReference) {
  const auto db = TestDumps::parse(kDump);
  const auto target = [&](EntryOffset o) { return db->objectsByOffset.find(o); };
  EXPECT_EQ(at<TypeInfo_Array>(*db, 0x10)->type, target(0x90));
  EXPECT_EQ(at<TypeInfo_Const>(*db, 0x14)->type, target(0x91));
  EXPECT_EQ(at<TypeInfo_ImportedDeclaration>(*db, 0x18)->type, target(0x92));
  EXPECT_EQ(at<TypeInfo_Inheritance>(*db, 0x20)->type, target(0x93));
  EXPECT_EQ(at<TypeInfo_Member>(*db, 0x24)->type, target(0x90));
  EXPECT_EQ(at<TypeInfo_Subroutine>(*db, 0x28)->type, target(0x90));
  EXPECT_EQ(at<TypeInfo_Typedef>(*db, 0x2c)->type, target(0x91));
  EXPECT_EQ(at<TypeInfo_Volatile>(*db, 0x30)->type, target(0x2c));
  EXPECT_EQ(at<FunctionInfo>(*db, 0x34)->specification, target(0x94));
  EXPECT_EQ(at<VariableInfo>(*db, 0x38)->type, target(0x90));        // a parameter
  EXPECT_EQ(at<TypeInfo_Subroutine>(*db, 0x3c)->type, target(0x34)); // the inlined function
  EXPECT_EQ(at<VariableInfo>(*db, 0x40)->type, target(0x30));
  EXPECT_EQ(at<VariableInfo>(*db, 0x40)->specification, target(0x95));
  EXPECT_EQ(at<VariableInfo>(*db, 0x48)->type, nullptr); // only a specification
  EXPECT_EQ(at<VariableInfo>(*db, 0x48)->specification, target(0x95));
  EXPECT_EQ(at<TypeInfo_Class>(*db, 0x4c)->specification, target(0x96));
  EXPECT_EQ(at<TypeInfo_Const>(*db, 0x50)->type, nullptr);   // const void: offset 0
  EXPECT_EQ(at<TypeInfo_Typedef>(*db, 0x54)->type, nullptr); // no such entry
  // Sizes follow the links: volatile -> typedef -> enumeration (no size).
  EXPECT_EQ(at<VariableInfo>(*db, 0x38)->getSize(), 4u);
  EXPECT_EQ(at<VariableInfo>(*db, 0x40)->getSize(), 0u);
}

TEST(ReferenceLinking, RepeatedOffsetResolvesToTheFirstObject) {
  const auto db = TestDumps::parse(" <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)\n"
                                   " <1><10>: Abbrev Number: 2 (DW_TAG_typedef)\n"
                                   "    <11>   DW_AT_type        : <0x20>\n"
                                   " <1><20>: Abbrev Number: 3 (DW_TAG_base_type)\n"
                                   "    <21>   DW_AT_byte_size   : 2\n"
                                   " <1><20>: Abbrev Number: 9 (DW_TAG_typedef)\n"
                                   "    <21>   DW_AT_type        : <0x10>\n");
  ASSERT_EQ(db->typedefs.size(), 2u);
  EXPECT_TRUE(is<TypeInfo_Base>(db->typedefs[0]->type));
  EXPECT_EQ(db->typedefs[0]->getSize(), 2u);
  EXPECT_EQ(db->typedefs[1]->type, db->typedefs[0]); // the second object is linked too
}

TEST(ReferenceLinking, CycleGivesSizeZero) {
  const auto db = TestDumps::parse(" <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)\n"
                                   " <1><10>: Abbrev Number: 2 (DW_TAG_typedef)\n"
                                   "    <11>   DW_AT_type        : <0x14>\n"
                                   " <1><14>: Abbrev Number: 3 (DW_TAG_const_type)\n"
                                   "    <15>   DW_AT_type        : <0x10>\n");
  EXPECT_EQ(db->typedefs[0]->getSize(), 0u);
}

TEST(ReferenceLinking, GetSizeOnParsedTypes) {
  // uint16_t table[3][4] of a 2-byte base type: (3 + 4) x 2; a 10-element
  // array by count; a bit-field member reports its unit; a pointer its size.
  const auto db = TestDumps::parse("   Pointer Size:  4\n"
                                   " <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)\n"
                                   " <1><10>: Abbrev Number: 2 (DW_TAG_base_type)\n"
                                   "    <11>   DW_AT_byte_size   : 2\n"
                                   "    <12>   DW_AT_encoding    : 7\t(unsigned)\n"
                                   " <1><14>: Abbrev Number: 3 (DW_TAG_array_type)\n"
                                   "    <15>   DW_AT_type        : <0x10>\n"
                                   " <2><18>: Abbrev Number: 4 (DW_TAG_subrange_type)\n"
                                   "    <19>   DW_AT_upper_bound : 2\n"
                                   " <2><1c>: Abbrev Number: 4 (DW_TAG_subrange_type)\n"
                                   "    <1d>   DW_AT_upper_bound : 3\n"
                                   " <1><20>: Abbrev Number: 3 (DW_TAG_array_type)\n"
                                   "    <21>   DW_AT_type        : <0x10>\n"
                                   " <2><24>: Abbrev Number: 5 (DW_TAG_subrange_type)\n"
                                   "    <25>   DW_AT_count       : 10\n"
                                   " <1><28>: Abbrev Number: 6 (DW_TAG_structure_type)\n"
                                   "    <29>   DW_AT_byte_size   : 8\n"
                                   " <2><2c>: Abbrev Number: 7 (DW_TAG_member)\n"
                                   "    <2d>   DW_AT_type        : <0x10>\n"
                                   "    <2e>   DW_AT_byte_size   : 4\n"
                                   "    <2f>   DW_AT_bit_size    : 3\n"
                                   "    <30>   DW_AT_bit_offset  : 29\n"
                                   " <2><34>: Abbrev Number: 8 (DW_TAG_member)\n"
                                   "    <35>   DW_AT_type        : <0x40>\n"
                                   " <1><38>: Abbrev Number: 3 (DW_TAG_array_type)\n"
                                   "    <39>   DW_AT_type        : <0x999>\n"
                                   " <2><3c>: Abbrev Number: 5 (DW_TAG_subrange_type)\n"
                                   "    <3d>   DW_AT_count       : 10\n"
                                   " <1><40>: Abbrev Number: 9 (DW_TAG_pointer_type)\n"
                                   "    <41>   DW_AT_type        : <0x999>\n");
  const auto size = [&](EntryOffset o) { return db->objectsByOffset.find(o)->getSize(); };
  EXPECT_EQ(size(0x14), 14u);
  EXPECT_EQ(size(0x20), 20u);
  EXPECT_EQ(size(0x28), 8u);
  EXPECT_EQ(size(0x2c), 4u);
  EXPECT_EQ(size(0x34), 4u); // a pointer whose target is not in the dump
  EXPECT_EQ(size(0x38), 0u); // an array whose element type is not in the dump
}

TEST(ReferenceLinking, TypedefChainOf100000Links) {
  // Each typedef names the next; the last names a 4-byte base type. Neither
  // the link pass nor getSize may recurse once per link.
  constexpr unsigned kLinks = 100000;
  std::string dump = " <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)\n";
  char line[160];
  for (unsigned i = 0; i < kLinks; ++i) {
    const unsigned offset = 0x100 + 8 * i;
    std::snprintf(line, sizeof line,
                  " <1><%x>: Abbrev Number: 2 (%s)\n    <%x>   DW_AT_type        : <0x%x>\n", offset,
                  i % 3 == 2 ? "DW_TAG_volatile_type" : "DW_TAG_typedef", offset + 1, offset + 8);
    dump += line;
  }
  std::snprintf(line, sizeof line, " <1><%x>: Abbrev Number: 3 (DW_TAG_base_type)\n", 0x100 + 8 * kLinks);
  dump += line;
  dump += "    <1>   DW_AT_byte_size   : 4\n";
  auto db = TestDumps::parse(dump);
  EXPECT_EQ(db->objectsByOffset.find(0x100)->getSize(), 4u);
  db.reset();
}

} // namespace

namespace {

TEST(ReferenceLinking, ALargeDumpLinksEveryObjectOnceInPieces) {
  // Enough objects for the two threads of the link pass: each piece of each
  // list must be linked, and each object by its own offset. The references
  // are cleared and linked again, so that one left out stays null.
  std::string dump;
  while (dump.size() < (std::size_t{32} << 20))
    for (const std::string &variant : TestDumps::firmwareVariants()) {
      const std::string path = TestDumps::demoDump(variant);
      REQUIRE_DUMP(path);
      dump += TestDumps::readFile(path);
    }
  const auto db = TestDumps::parse(dump);
  std::size_t objects = 0;
  db->forEachTypeList([&](const auto &list) {
    for (auto *object : list) {
      object->type = nullptr;
      ++objects;
    }
  });
  for (auto *variable : db->variables)
    variable->specification = nullptr;
  for (auto *function : db->functions)
    function->specification = nullptr;
  for (auto *aggregate : db->classTypes)
    aggregate->specification = nullptr;
  ASSERT_GE(objects, std::size_t{1} << 15);

  db->linkReferences();
  std::size_t linked = 0;
  db->forEachTypeList([&](const auto &list) {
    for (auto *object : list) {
      ASSERT_EQ(object->type, db->objectsByOffset.find(object->typeOffset)) << object->offset;
      linked += object->type != nullptr;
    }
  });
  for (auto *variable : db->variables)
    ASSERT_EQ(variable->specification, db->objectsByOffset.find(variable->specificationOffset));
  for (auto *function : db->functions)
    ASSERT_EQ(function->specification, db->objectsByOffset.find(function->specificationOffset));
  for (auto *aggregate : db->classTypes)
    ASSERT_EQ(aggregate->specification, db->objectsByOffset.find(aggregate->specificationOffset));
  EXPECT_GT(linked, objects / 2);
}

} // namespace
