// Attribute lines in, model fields out: every derivation, in the layout of
// the older objdump (a tab before every decoded extra) and in that of objdump
// 2.40 (no tab without a decoded extra).
#include "TestDumps.h"
#include "model/Model.h"
#include "model/ModelCast.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using namespace Model;

/// A unit with one entry of \p tag at offset 0x20 followed by \p lines; the
/// entry's object. \p before goes ahead of the unit (a pointer-size line).
struct Parsed {
  std::unique_ptr<DwarfDatabase> db;
  BasicObject *entry;
};

Parsed parseEntry(const std::string &tag, const std::string &lines, const std::string &before = "") {
  Parsed p;
  p.db = TestDumps::parse(before +
                          " <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)\n <1><20>: Abbrev Number: 2 (" +
                          tag + ")\n" + lines);
  p.entry = p.db->objectsByOffset.find(0x20);
  return p;
}

template <class T> const T &entryAs(const Parsed &p) {
  const T *object = as<T>(p.entry);
  if (object == nullptr) throw std::runtime_error("entry has another class");
  return *object;
}

struct Case {
  const char *what;
  const char *tag;
  std::string lines;
  std::function<void(const Parsed &)> check;
};

void run(const std::vector<Case> &cases) {
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    const Parsed p = parseEntry(c.tag, c.lines);
    ASSERT_NE(p.entry, nullptr);
    c.check(p);
  }
}

TEST(AttributeValues, Names) {
  run({
      {"inline", "DW_TAG_variable", "    <21>   DW_AT_name        : counter\n",
       [](const Parsed &p) { EXPECT_EQ(p.entry->name, "counter"); }},
      {"indirect", "DW_TAG_variable",
       "    <21>   DW_AT_name        : (indirect string, offset: 0x1a): counter\n",
       [](const Parsed &p) { EXPECT_EQ(p.entry->name, "counter"); }},
      {"after the last marker", "DW_TAG_variable",
       "    <21>   DW_AT_name        : (indirect string, offset: 0x1a): operator(): x\n",
       [](const Parsed &p) { EXPECT_EQ(p.entry->name, "x"); }},
      {"older layout with a tab", "DW_TAG_variable", "    <21>   DW_AT_name        : counter\t\n",
       [](const Parsed &p) { EXPECT_EQ(p.entry->name, "counter"); }},
      {"long name", "DW_TAG_variable", "    <21>   DW_AT_name        : " + std::string(5000, 'n') + "\n",
       [](const Parsed &p) { EXPECT_EQ(p.entry->name.size(), 5000u); }},
      {"any class", "DW_TAG_lexical_block", "    <21>   DW_AT_name        : block\n",
       [](const Parsed &p) { EXPECT_EQ(p.entry->name, "block"); }},
  });
}

TEST(AttributeValues, Locations) {
  run({
      {"address", "DW_TAG_variable",
       "    <21>   DW_AT_location    : 5 byte block: 3 0 4 0 0 \t(DW_OP_addr: 400)\n",
       [](const Parsed &p) {
         EXPECT_EQ(entryAs<VariableInfo>(p).address, 0x400u);
         EXPECT_EQ(p.db->locatedObjects, ObjectList<BasicObject>{p.entry});
       }},
      {"address plus constant", "DW_TAG_variable",
       "    <21>   DW_AT_location    : 7 byte block: 3 0 4 0 0 23 10 \t(DW_OP_addr: 400; DW_OP_plus_uconst: "
       "16)\n",
       [](const Parsed &p) {
         EXPECT_EQ(entryAs<VariableInfo>(p).address, 0x410u);
         EXPECT_EQ(p.db->locatedObjects.size(), 1u);
       }},
      {"sum wraps", "DW_TAG_variable",
       "    <21>   DW_AT_location    : 7 byte block: \t(DW_OP_addr: ffffffff; DW_OP_plus_uconst: 2)\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<VariableInfo>(p).address, 1u); }},
      {"address beyond 32 bits keeps the low bits", "DW_TAG_variable",
       "    <21>   DW_AT_location    : 9 byte block: \t(DW_OP_addr: 100009884)\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<VariableInfo>(p).address, 0x9884u); }},
      {"constant that does not convert: ignored whole", "DW_TAG_variable",
       "    <21>   DW_AT_location    : 5 byte block: 3 0 4 0 0 \t(DW_OP_addr: 400)\n"
       "    <22>   DW_AT_location    : 9 byte block: \t(DW_OP_addr: 500; DW_OP_plus_uconst: 4294967296)\n",
       [](const Parsed &p) {
         EXPECT_EQ(entryAs<VariableInfo>(p).address, 0x400u);
         EXPECT_EQ(p.db->locatedObjects.size(), 1u);
       }},
      {"frame base", "DW_TAG_variable",
       "    <21>   DW_AT_location    : 2 byte block: 91 6c \t(DW_OP_fbreg: -20)\n",
       [](const Parsed &p) {
         EXPECT_EQ(entryAs<VariableInfo>(p).address, 0u);
         EXPECT_TRUE(p.db->locatedObjects.empty());
       }},
      {"location list", "DW_TAG_formal_parameter", "    <21>   DW_AT_location    : 0x10 (location list)\n",
       [](const Parsed &p) { EXPECT_TRUE(p.db->locatedObjects.empty()); }},
      {"location list of objdump 2.40", "DW_TAG_variable",
       "    <21>   DW_AT_location    : 0xc (location list)\n",
       [](const Parsed &p) { EXPECT_TRUE(p.db->locatedObjects.empty()); }},
      {"address of any class is located", "DW_TAG_lexical_block",
       "    <21>   DW_AT_location    : 5 byte block: 3 0 4 0 0 \t(DW_OP_addr: 400)\n",
       [](const Parsed &p) { EXPECT_EQ(p.db->locatedObjects, ObjectList<BasicObject>{p.entry}); }},
      {"located once per location line", "DW_TAG_variable",
       "    <21>   DW_AT_location    : 5 byte block: \t(DW_OP_addr: 400)\n"
       "    <22>   DW_AT_location    : 5 byte block: \t(DW_OP_addr: 800)\n",
       [](const Parsed &p) {
         EXPECT_EQ(p.db->locatedObjects.size(), 2u);
         EXPECT_EQ(entryAs<VariableInfo>(p).address, 0x800u);
       }},
  });
}

TEST(AttributeValues, MemberLocations) {
  run({
      {"block form", "DW_TAG_member",
       "    <21>   DW_AT_data_member_location: 2 byte block: 23 8 \t(DW_OP_plus_uconst: 8)\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<TypeInfo_Member>(p).dataMemberLocation, 8); }},
      {"constant form of objdump 2.40", "DW_TAG_member", "    <21>   DW_AT_data_member_location: 8\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<TypeInfo_Member>(p).dataMemberLocation, 8); }},
      {"other form gives 0", "DW_TAG_member",
       "    <21>   DW_AT_data_member_location: 8\n"
       "    <22>   DW_AT_data_member_location: 3 byte block: 23 8 6 \t(DW_OP_plus_uconst: 8; DW_OP_deref)\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<TypeInfo_Member>(p).dataMemberLocation, 0); }},
      {"value that does not convert is ignored", "DW_TAG_member",
       "    <21>   DW_AT_data_member_location: 8\n"
       "    <22>   DW_AT_data_member_location: 99999999999\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<TypeInfo_Member>(p).dataMemberLocation, 8); }},
      {"inheritance", "DW_TAG_inheritance", "    <21>   DW_AT_data_member_location: 4\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<TypeInfo_Inheritance>(p).dataMemberLocation, 4); }},
  });
}

TEST(AttributeValues, References) {
  run({
      {"type", "DW_TAG_typedef", "    <21>   DW_AT_type        : <0x2d>\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<TypeInfo_Typedef>(p).typeOffset, 0x2du); }},
      {"no 0x", "DW_TAG_typedef", "    <21>   DW_AT_type        : 45\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<TypeInfo_Typedef>(p).typeOffset, 0u); }},
      {"import, the later line wins", "DW_TAG_variable",
       "    <21>   DW_AT_type        : <0x2d>\n    <22>   DW_AT_import      : <0x3e>\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<VariableInfo>(p).typeOffset, 0x3eu); }},
      {"array", "DW_TAG_array_type", "    <21>   DW_AT_type        : <0x41>\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<TypeInfo_Array>(p).typeOffset, 0x41u); }},
      {"const", "DW_TAG_const_type", "    <21>   DW_AT_type        : <0x41>\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<TypeInfo_Const>(p).typeOffset, 0x41u); }},
      {"const of void", "DW_TAG_const_type", "",
       [](const Parsed &p) { EXPECT_EQ(entryAs<TypeInfo_Const>(p).typeOffset, 0u); }},
      {"volatile", "DW_TAG_volatile_type", "    <21>   DW_AT_type        : <0x41>\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<TypeInfo_Volatile>(p).typeOffset, 0x41u); }},
      {"imported declaration", "DW_TAG_imported_declaration", "    <21>   DW_AT_import      : <0x41>\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<TypeInfo_ImportedDeclaration>(p).typeOffset, 0x41u); }},
      {"inheritance", "DW_TAG_inheritance", "    <21>   DW_AT_type        : <0x41>\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<TypeInfo_Inheritance>(p).typeOffset, 0x41u); }},
      {"member", "DW_TAG_member", "    <21>   DW_AT_type        : <0x41>\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<TypeInfo_Member>(p).typeOffset, 0x41u); }},
      {"subroutine type", "DW_TAG_subroutine_type", "    <21>   DW_AT_type        : <0x41>\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<TypeInfo_Subroutine>(p).typeOffset, 0x41u); }},
      {"inlined subroutine: abstract origin and call place", "DW_TAG_inlined_subroutine",
       "    <21>   DW_AT_abstract_origin: <0x1c3>\n    <25>   DW_AT_call_file   : 2\n"
       "    <26>   DW_AT_call_line   : 31\n",
       [](const Parsed &p) {
         const auto &s = entryAs<TypeInfo_Subroutine>(p);
         EXPECT_EQ(s.typeOffset, 0x1c3u);
         EXPECT_EQ(s.declFile, 2);
         EXPECT_EQ(s.declLine, "31");
       }},
      {"call place only on subroutines", "DW_TAG_variable",
       "    <21>   DW_AT_call_line   : 31\n    <22>   DW_AT_call_file   : 2\n",
       [](const Parsed &p) {
         EXPECT_EQ(p.entry->declLine, "");
         EXPECT_EQ(p.entry->declFile, 0);
       }},
      {"variable specification and origin, the later wins", "DW_TAG_variable",
       "    <21>   DW_AT_specification: <0x228>\n    <25>   DW_AT_abstract_origin: <0x230>\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<VariableInfo>(p).specificationOffset, 0x230u); }},
      {"function specification", "DW_TAG_subprogram", "    <21>   DW_AT_specification: <0x228>\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<FunctionInfo>(p).specificationOffset, 0x228u); }},
      {"function abstract origin", "DW_TAG_subprogram", "    <21>   DW_AT_abstract_origin: <0x228>\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<FunctionInfo>(p).specificationOffset, 0x228u); }},
      {"class specification, not abstract origin", "DW_TAG_class_type",
       "    <21>   DW_AT_specification: <0x228>\n    <25>   DW_AT_abstract_origin: <0x300>\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<TypeInfo_Class>(p).specificationOffset, 0x228u); }},
      {"stmt_list only on units", "DW_TAG_variable", "    <21>   DW_AT_stmt_list   : 0x1a4\n",
       [](const Parsed &p) { EXPECT_EQ(p.entry->stmtListOffset, 0u); }},
  });
}

TEST(AttributeValues, SizesAndEncodings) {
  run({
      {"base", "DW_TAG_base_type",
       "    <21>   DW_AT_byte_size   : 1\n    <22>   DW_AT_encoding    : 8\t(unsigned char)\n",
       [](const Parsed &p) {
         EXPECT_EQ(entryAs<TypeInfo_Base>(p).byteSize, 1);
         const ShortText &encoding = entryAs<TypeInfo_Base>(p).encodingName;
         EXPECT_EQ(encoding, "unsigned char");
         // Every unit names its base types again: the text is kept once.
         ASSERT_TRUE(encoding.isPooled());
         EXPECT_EQ(encoding.view().data(), p.db->textPool.text("unsigned char").view().data());
       }},
      {"encoding without parentheses", "DW_TAG_base_type", "    <22>   DW_AT_encoding    : 8\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<TypeInfo_Base>(p).encodingName, ""); }},
      {"class", "DW_TAG_class_type", "    <21>   DW_AT_byte_size   : 12\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<TypeInfo_Class>(p).byteSize, 12); }},
      {"structure", "DW_TAG_structure_type", "    <21>   DW_AT_byte_size   : 12\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<TypeInfo_Structure>(p).byteSize, 12); }},
      {"union", "DW_TAG_union_type", "    <21>   DW_AT_byte_size   : 4\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<TypeInfo_Union>(p).byteSize, 4); }},
      {"enumeration", "DW_TAG_enumeration_type", "    <21>   DW_AT_byte_size   : 1\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<TypeInfo_Enumeration>(p).byteSize, 1); }},
      {"size that does not convert is ignored", "DW_TAG_structure_type",
       "    <21>   DW_AT_byte_size   : 12\n    <22>   DW_AT_byte_size   : <0x40>\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<TypeInfo_Structure>(p).byteSize, 12); }},
      {"subrange count", "DW_TAG_subrange_type", "    <21>   DW_AT_count       : 10\n",
       [](const Parsed &p) {
         EXPECT_EQ(entryAs<TypeInfo_Subrange>(p).lowerBound, 0);
         EXPECT_EQ(entryAs<TypeInfo_Subrange>(p).upperBound, 9);
       }},
      {"subrange bounds", "DW_TAG_subrange_type",
       "    <21>   DW_AT_lower_bound : 1\n    <22>   DW_AT_upper_bound : 9\n",
       [](const Parsed &p) {
         EXPECT_EQ(entryAs<TypeInfo_Subrange>(p).lowerBound, 1);
         EXPECT_EQ(entryAs<TypeInfo_Subrange>(p).upperBound, 9);
         EXPECT_EQ(p.entry->getSize(), 9u);
       }},
      {"bound given as a reference is ignored", "DW_TAG_subrange_type",
       "    <21>   DW_AT_upper_bound : 3\n    <22>   DW_AT_upper_bound : <0x2a5>\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<TypeInfo_Subrange>(p).upperBound, 3); }},
      {"count that does not convert leaves both bounds", "DW_TAG_subrange_type",
       "    <21>   DW_AT_lower_bound : 1\n    <22>   DW_AT_count       : <0x2a5>\n",
       [](const Parsed &p) {
         EXPECT_EQ(entryAs<TypeInfo_Subrange>(p).lowerBound, 1);
         EXPECT_EQ(entryAs<TypeInfo_Subrange>(p).upperBound, 0);
       }},
      {"declaration place", "DW_TAG_variable",
       "    <21>   DW_AT_decl_file   : 3\n    <22>   DW_AT_decl_line   : 12\n",
       [](const Parsed &p) {
         EXPECT_EQ(p.entry->declFile, 3);
         EXPECT_EQ(p.entry->declLine, "12");
       }},
      {"declaration line kept as text", "DW_TAG_variable", "    <22>   DW_AT_decl_line   : 0x10 (odd)\n",
       [](const Parsed &p) { EXPECT_EQ(p.entry->declLine, "0x10 (odd)"); }},
      {"declaration file that does not convert is ignored", "DW_TAG_variable",
       "    <21>   DW_AT_decl_file   : 3\n    <22>   DW_AT_decl_file   : x\n",
       [](const Parsed &p) { EXPECT_EQ(p.entry->declFile, 3); }},
  });
}

TEST(AttributeValues, PointerSizeWinsOverTheEntrysOwnSize) {
  const Parsed before = parseEntry("DW_TAG_pointer_type", "    <21>   DW_AT_byte_size   : 8\n");
  EXPECT_EQ(entryAs<TypeInfo_Pointer>(before).byteSize, 8);
  const Parsed after =
      parseEntry("DW_TAG_pointer_type", "    <21>   DW_AT_byte_size   : 8\n", "   Pointer Size:  4\n");
  EXPECT_EQ(entryAs<TypeInfo_Pointer>(after).byteSize, 4);
  const Parsed badSize =
      parseEntry("DW_TAG_pointer_type", "", "   Pointer Size:  4\n   Pointer Size:  99999999999\n");
  EXPECT_EQ(entryAs<TypeInfo_Pointer>(badSize).byteSize, 4); // a size that fails keeps the previous
}

TEST(AttributeValues, BitFieldsAndStaticMembers) {
  run({
      {"DWARF 2 bit field", "DW_TAG_member",
       "    <21>   DW_AT_byte_size   : 1\n    <22>   DW_AT_bit_size    : 3\n    <23>   DW_AT_bit_offset  : "
       "3\n",
       [](const Parsed &p) {
         const auto &m = entryAs<TypeInfo_Member>(p);
         EXPECT_EQ(m.byteSize, 1);
         EXPECT_EQ(m.bitSize, 3);
         EXPECT_EQ(m.bitOffset, 3);
         EXPECT_TRUE(m.hasByteSize);
         EXPECT_TRUE(m.hasBitOffset);
         EXPECT_FALSE(m.hasDataBitOffset);
       }},
      {"negative bit offset", "DW_TAG_member", "    <23>   DW_AT_bit_offset  : -1\n",
       [](const Parsed &p) { EXPECT_EQ(entryAs<TypeInfo_Member>(p).bitOffset, -1); }},
      {"DWARF 5 data bit offset", "DW_TAG_member",
       "    <22>   DW_AT_bit_size    : 3\n    <23>   DW_AT_data_bit_offset: 2\n",
       [](const Parsed &p) {
         const auto &m = entryAs<TypeInfo_Member>(p);
         EXPECT_TRUE(m.hasDataBitOffset);
         EXPECT_EQ(m.dataBitOffset, 2);
         EXPECT_FALSE(m.hasByteSize);
       }},
      {"static data member", "DW_TAG_member", "    <21>   DW_AT_declaration : 1\n",
       [](const Parsed &p) { EXPECT_TRUE(entryAs<TypeInfo_Member>(p).isDeclaration); }},
      {"declaration 0 is no declaration", "DW_TAG_member", "    <21>   DW_AT_declaration : 0\n",
       [](const Parsed &p) { EXPECT_FALSE(entryAs<TypeInfo_Member>(p).isDeclaration); }},
      {"ordinary member", "DW_TAG_member", "    <21>   DW_AT_name        : x\n",
       [](const Parsed &p) { EXPECT_FALSE(entryAs<TypeInfo_Member>(p).isDeclaration); }},
  });
}

TEST(AttributeValues, LinesThatAreNoAttributeLines) {
  run({
      {"abbreviation table lines", "DW_TAG_variable",
       "    DW_AT_name         DW_FORM_strp\n    DW_AT_type         DW_FORM_ref4\n",
       [](const Parsed &p) { EXPECT_EQ(p.entry->name, ""); }},
      {"tab only inside the name", "DW_TAG_variable", "    <21>   DW_AT_na\tme : counter\n",
       [](const Parsed &p) { EXPECT_EQ(p.entry->name, ""); }},
      {"unknown attributes change nothing", "DW_TAG_variable",
       "    <21>   DW_AT_producer    : GNU C17\n    <22>   DW_AT_external    : 1\n",
       [](const Parsed &p) { EXPECT_EQ(p.entry->name, ""); }},
  });
}

} // namespace
