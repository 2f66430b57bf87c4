// Entry header lines in, model objects out: the tag table, the tree, the
// nesting guard and the lists and index the objects are filed in.
#include "TestDumps.h"
#include "model/Model.h"
#include "model/ModelCast.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <typeinfo>
#include <vector>

namespace {

using namespace Model;

std::string header(int level, unsigned offset, const std::string &tag) {
  char text[128];
  std::snprintf(text, sizeof text, " <%d><%x>: Abbrev Number: 3 (%s)\n", level, offset, tag.c_str());
  return text;
}

/// Sizes of the per-kind lists, in the order of DwarfDatabase's members.
std::array<std::size_t, 11> listSizes(const DwarfDatabase &db) {
  return {db.arrayTypes.size(),      db.classTypes.size(),
          db.constTypes.size(),      db.importedDeclarations.size(),
          db.inheritances.size(),    db.members.size(),
          db.subroutineTypes.size(), db.typedefs.size(),
          db.volatileTypes.size(),   db.functions.size(),
          db.variables.size()};
}

enum List {
  Arrays,
  Classes,
  Consts,
  Imports,
  Inheritances,
  Members,
  Subroutines,
  Typedefs,
  Volatiles,
  Functions,
  Variables,
  NoList
};

struct TagCase {
  const char *tag;
  bool (*isClass)(const BasicObject *);
  List list;
};

template <class T> bool isExactly(const BasicObject *o) { return typeid(*o) == typeid(T); }

TEST(EntryBuilder, TagTable) {
  const TagCase cases[] = {
      {"DW_TAG_array_type", isExactly<TypeInfo_Array>, Arrays},
      {"DW_TAG_base_type", isExactly<TypeInfo_Base>, NoList},
      {"DW_TAG_class_type", isExactly<TypeInfo_Class>, Classes},
      {"DW_TAG_const_type", isExactly<TypeInfo_Const>, Consts},
      {"DW_TAG_enumeration_type", isExactly<TypeInfo_Enumeration>, NoList},
      {"DW_TAG_enumerator", isExactly<TypeInfo_Enumerator>, NoList},
      {"DW_TAG_imported_declaration", isExactly<TypeInfo_ImportedDeclaration>, Imports},
      {"DW_TAG_inheritance", isExactly<TypeInfo_Inheritance>, Inheritances},
      {"DW_TAG_member", isExactly<TypeInfo_Member>, Members},
      {"DW_TAG_namespace", isExactly<TypeInfo_Namespace>, NoList},
      {"DW_TAG_pointer_type", isExactly<TypeInfo_Pointer>, NoList},
      {"DW_TAG_structure_type", isExactly<TypeInfo_Structure>, NoList},
      {"DW_TAG_subrange_type", isExactly<TypeInfo_Subrange>, NoList},
      {"DW_TAG_subroutine_type", isExactly<TypeInfo_Subroutine>, Subroutines},
      {"DW_TAG_inlined_subroutine", isExactly<TypeInfo_Subroutine>, Subroutines},
      {"DW_TAG_typedef", isExactly<TypeInfo_Typedef>, Typedefs},
      {"DW_TAG_union_type", isExactly<TypeInfo_Union>, NoList},
      {"DW_TAG_volatile_type", isExactly<TypeInfo_Volatile>, Volatiles},
      {"DW_TAG_subprogram", isExactly<FunctionInfo>, Functions},
      {"DW_TAG_compile_unit", isExactly<CompileUnitInfo>, NoList},
      {"DW_TAG_variable", isExactly<VariableInfo>, Variables},
      {"DW_TAG_formal_parameter", isExactly<VariableInfo>, Variables},
      {"DW_TAG_lexical_block", isExactly<BasicObject>, NoList},
      {"DW_TAG_restrict_type", isExactly<BasicObject>, NoList},
      {"DW_TAG_variable_x", isExactly<BasicObject>, NoList}, // compared whole
      {"DW_TAG_Variable", isExactly<BasicObject>, NoList},   // and case-sensitive
  };
  for (const TagCase &c : cases) {
    SCOPED_TRACE(c.tag);
    const auto db = TestDumps::parse(header(0, 0xb, "DW_TAG_compile_unit") + header(1, 0x20, c.tag));
    BasicObject *object = db->objectsByOffset.find(0x20);
    ASSERT_NE(object, nullptr);
    EXPECT_TRUE(c.isClass(object));
    std::array<std::size_t, 11> expected{};
    if (c.list != NoList) expected[c.list] = 1;
    EXPECT_EQ(listSizes(*db), expected);
  }
}

/// The offsets of the parents of the objects created for the headers, in
/// dump order ("-" for a skipped header).
std::vector<std::string> parentsOf(const std::vector<int> &levels) {
  std::string dump;
  unsigned offset = 0x10;
  for (int level : levels)
    dump += header(level, offset++, "DW_TAG_variable");
  const auto db = TestDumps::parse(dump);
  std::vector<std::string> parents;
  for (unsigned o = 0x10; o < offset; ++o) {
    const BasicObject *object = db->objectsByOffset.find(o);
    if (object == nullptr)
      parents.push_back("-");
    else if (object->parent == db->root.get())
      parents.push_back("root");
    else
      parents.push_back(std::to_string(object->parent->offset - 0x10));
  }
  return parents;
}

using Parents = std::vector<std::string>;

TEST(EntryBuilder, NestingGuard) {
  // Each result names the parent by the index of its header.
  EXPECT_EQ(parentsOf({0, 1, 2, 1, 2}), (Parents{"root", "0", "1", "0", "3"}));
  EXPECT_EQ(parentsOf({0, 1, 3, 3, 2, 1}), (Parents{"root", "0", "-", "-", "1", "0"}));
  EXPECT_EQ(parentsOf({1, 0, 1}), (Parents{"-", "root", "1"})); // only level 0 first
  EXPECT_EQ(parentsOf({0, 1, 2, 0, 2, 1, 2}), (Parents{"root", "0", "1", "root", "-", "3", "5"}));
  EXPECT_EQ(parentsOf({0, 0, 1}), (Parents{"root", "root", "1"}));
}

TEST(EntryBuilder, SkippedHeadersLeaveTheCurrentEntry) {
  const auto db = TestDumps::parse(" <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)\n"
                                   " <1><c>: Abbrev Number: 2 (DW_TAG_variable)\n"
                                   "    <d>   DW_AT_name        : first\n"
                                   // a null entry: no tag
                                   " <1><e>: Abbrev Number: 0\n"
                                   "    <f>   DW_AT_decl_line   : 11\n"
                                   // a tag that is no DW_TAG_
                                   " <1><10>: Abbrev Number: 7 (User TAG value: 0x4109)\n"
                                   "    <11>   DW_AT_decl_file   : 2\n"
                                   // a level that does not convert
                                   " <a><12>: Abbrev Number: 3 (DW_TAG_variable)\n"
                                   "    <13>   DW_AT_name        : second\n"
                                   // too deep
                                   " <3><14>: Abbrev Number: 3 (DW_TAG_variable)\n"
                                   "    <15>   DW_AT_type        : <0x40>\n");
  EXPECT_EQ(db->objectsByOffset.size(), 2u);
  auto *variable = as<VariableInfo>(db->objectsByOffset.find(0xc));
  ASSERT_NE(variable, nullptr);
  EXPECT_EQ(variable->name, "second"); // after the header whose level failed
  EXPECT_EQ(variable->declLine, "11");
  EXPECT_EQ(variable->declFile, 2);
  EXPECT_EQ(variable->typeOffset, 0u); // the too-deep entry's lines are dropped
}

TEST(EntryBuilder, AttributesBeforeTheFirstEntryAreNoAttributes) {
  const auto db = TestDumps::parse("    <d>   DW_AT_name        : nobody\n"
                                   " <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)\n");
  ASSERT_NE(db->root, nullptr);
  EXPECT_EQ(db->root->name, "");
  EXPECT_EQ(db->objectsByOffset.find(0xb)->name, "");
}

TEST(EntryBuilder, RepeatedOffsetKeepsTheFirstInTheIndex) {
  const auto db = TestDumps::parse(header(0, 0xb, "DW_TAG_compile_unit") + header(1, 0x20, "DW_TAG_member") +
                                   "    <21>   DW_AT_name        : one\n" + header(1, 0x20, "DW_TAG_member") +
                                   "    <21>   DW_AT_name        : two\n");
  ASSERT_EQ(db->members.size(), 2u);
  EXPECT_EQ(db->objectsByOffset.find(0x20), db->members[0]);
  EXPECT_EQ(db->members[0]->name, "one");
  EXPECT_EQ(db->members[1]->name, "two");
  EXPECT_EQ(db->root->children.front()->children.size(), 2u);
}

TEST(EntryBuilder, ChildrenInheritTheDeclarationPlaceAndLineTable) {
  const auto db = TestDumps::parse(" <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)\n"
                                   "    <c>   DW_AT_stmt_list   : 0x1a4\n"
                                   " <1><d>: Abbrev Number: 2 (DW_TAG_structure_type)\n"
                                   "    <e>   DW_AT_decl_file   : 3\n"
                                   "    <f>   DW_AT_decl_line   : 12\n"
                                   " <2><10>: Abbrev Number: 3 (DW_TAG_member)\n"
                                   " <2><11>: Abbrev Number: 3 (DW_TAG_member)\n"
                                   "    <12>   DW_AT_decl_line   : 14\n"
                                   " <1><13>: Abbrev Number: 4 (DW_TAG_lexical_block)\n"
                                   " <2><14>: Abbrev Number: 5 (DW_TAG_variable)\n");
  const BasicObject *plainMember = db->objectsByOffset.find(0x10);
  EXPECT_EQ(plainMember->declLine, "12");
  EXPECT_EQ(plainMember->declFile, 3);
  EXPECT_EQ(db->objectsByOffset.find(0x11)->declLine, "14");
  const BasicObject *block = db->objectsByOffset.find(0x13);
  EXPECT_TRUE(isExactly<BasicObject>(block));
  const BasicObject *local = db->objectsByOffset.find(0x14);
  EXPECT_EQ(local->parent, block);
  EXPECT_EQ(local->stmtListOffset, 0x1a4u);
  EXPECT_EQ(db->variables.size(), 1u);
}

TEST(EntryBuilder, PointerTakesThePointerSizeOfTheUnitHeader) {
  const auto db = TestDumps::parse(" <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)\n"
                                   " <1><c>: Abbrev Number: 2 (DW_TAG_pointer_type)\n"
                                   "  Compilation Unit @ offset 0x24:\n"
                                   "   Pointer Size:  4\n"
                                   " <0><30>: Abbrev Number: 1 (DW_TAG_compile_unit)\n"
                                   " <1><31>: Abbrev Number: 2 (DW_TAG_pointer_type)\n");
  EXPECT_EQ(as<TypeInfo_Pointer>(db->objectsByOffset.find(0xc))->byteSize, 0);
  EXPECT_EQ(as<TypeInfo_Pointer>(db->objectsByOffset.find(0x31))->byteSize, 4);
}

TEST(EntryBuilder, DumpNested100000LevelsDeep) {
  // The guard admits one level deeper at a time, so the chain grows by one
  // level per entry; the parse, the sizes and the teardown must not recurse
  // once per level.
  constexpr int kDepth = 100000;
  std::string dump = header(0, 0x10, "DW_TAG_compile_unit");
  for (int level = 1; level < kDepth; ++level)
    dump += header(level, 0x10 + static_cast<unsigned>(level),
                   level % 2 == 0 ? "DW_TAG_lexical_block" : "DW_TAG_namespace");
  auto db = TestDumps::parse(dump);
  ASSERT_EQ(db->objectsByOffset.size(), static_cast<std::size_t>(kDepth));
  const BasicObject *deepest = db->objectsByOffset.find(0x10 + kDepth - 1);
  ASSERT_NE(deepest, nullptr);
  EXPECT_EQ(deepest->parent->offset, 0x10u + kDepth - 2);
  EXPECT_EQ(db->root->getSize(), 0u);
  db.reset(); // teardown
}

} // namespace
