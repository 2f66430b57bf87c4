// The line tables, dump lines in, StatementLists out: the older objdump
// layout, that of objdump 2.40 for DWARF 2 to 4, and DWARF 5 tables; and the
// table reader's states.
#include "TestDumps.h"
#include "model/Model.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Texts = std::vector<Model::ShortText>;

const Model::StatementList &table(const DwarfDatabase &db, std::uint32_t offset) {
  const Model::StatementList *list = db.findStatementList(offset);
  if (list == nullptr) throw std::runtime_error("no line table at offset " + std::to_string(offset));
  return *list;
}

TEST(LineTableReader, OlderLayout) {
  const auto db = TestDumps::parse("Raw dump of debug contents of section .debug_line:\n"
                                   "\n"
                                   "  Offset:                      0x0\n"
                                   "  Length:                      269\n"
                                   "  DWARF Version:               2\n"
                                   "\n"
                                   " The Directory Table:\n"
                                   "  /work/src\n"
                                   "  /usr/include\n"
                                   "\n"
                                   " The File Name Table:\n"
                                   "  Entry\tDir\tTime\tSize\tName\n"
                                   "  1\t1\t0\t0\tmain.c\n"
                                   "  2\t2\t0\t0\tstdint.h\n"
                                   "  3\t0\t0\t0\tlocal.h\n"
                                   "\n"
                                   " Line Number Statements:\n"
                                   "  Extended opcode 2: set Address to 0x8118\n");
  const Model::StatementList &t = table(*db, 0);
  EXPECT_EQ(t.directories, (Texts{"/work/src", "/usr/include"}));
  EXPECT_EQ(t.files, (Texts{"/work/src/main.c", "/usr/include/stdint.h", "/local.h"}));
  EXPECT_FALSE(t.filesNumberedFromZero);
  ASSERT_NE(t.fileForNumber(1), nullptr);
  EXPECT_EQ(*t.fileForNumber(1), "/work/src/main.c");
  EXPECT_EQ(t.fileForNumber(0), nullptr);
}

TEST(LineTableReader, Objdump240LayoutOfDwarf2To4) {
  // The first table's offset without "0x", numbered directory lines.
  const auto db = TestDumps::parse("  Offset:                      0\n"
                                   " The Directory Table (offset 0x1b):\n"
                                   "  1\t/work/main/examples/demo\n"
                                   "  2\t/usr/lib/gcc/arm-none-eabi/12.2.1/include\n"
                                   "\n"
                                   " The File Name Table (offset 0x5f):\n"
                                   "  Entry\tDir\tTime\tSize\tName\n"
                                   "  1\t1\t0\t0\tmain.c\n"
                                   "  2\t2\t0\t0\tstdint.h\n"
                                   "\n"
                                   "  Offset:                      0x75\n"
                                   " The Directory Table (offset 0x90):\n"
                                   "  1\t/work/main/examples/demo\n"
                                   "\n"
                                   " The File Name Table (offset 0xd4):\n"
                                   "  Entry\tDir\tTime\tSize\tName\n"
                                   "  1\t1\t0\t0\tsensors.c\n"
                                   "\n");
  EXPECT_EQ(table(*db, 0).files,
            (Texts{"/work/main/examples/demo/main.c", "/usr/lib/gcc/arm-none-eabi/12.2.1/include/stdint.h"}));
  EXPECT_EQ(table(*db, 0x75).files, (Texts{"/work/main/examples/demo/sensors.c"}));
  EXPECT_EQ(db->statementListsByOffset.size(), 2u);
}

TEST(LineTableReader, Dwarf5TablesAreNumberedFromZero) {
  const auto db = TestDumps::parse("  Offset:                      0x263\n"
                                   " The Directory Table (offset 0x285, lines 2, columns 1):\n"
                                   "  Entry\tName\n"
                                   "  0\t(indirect line string, offset: 0x83): /build/libgcc\n"
                                   "  1\t(indirect line string, offset: 0xeb): ../config/arm\n"
                                   "\n"
                                   " The File Name Table (offset 0x293, lines 3, columns 2):\n"
                                   "  Entry\tDir\tName\n"
                                   "  0\t0\t(indirect line string, offset: 0x10f): lib1funcs.S\n"
                                   "  1\t1\t(indirect line string, offset: 0x10f): ieee754-sf.S\n"
                                   "  2\t1\t(indirect string, offset: 0x0): a): b.h\n"
                                   "  3\t7\tplain.c\n"
                                   "\n");
  const Model::StatementList &t = table(*db, 0x263);
  EXPECT_EQ(t.directories, (Texts{"/build/libgcc", "../config/arm"}));
  EXPECT_EQ(t.files, (Texts{"/build/libgcc/lib1funcs.S", "../config/arm/ieee754-sf.S", "../config/arm/b.h",
                            "/plain.c"}));
  EXPECT_TRUE(t.filesNumberedFromZero);
  ASSERT_NE(t.fileForNumber(0), nullptr);
  EXPECT_EQ(*t.fileForNumber(0), "/build/libgcc/lib1funcs.S");
}

TEST(LineTableReader, TableStates) {
  const auto db = TestDumps::parse(
      // Headers before any offset line: closed by the next line, nothing kept.
      " The Directory Table:\n"
      "  /lost\n"
      " The File Name Table:\n"
      "  Entry\tDir\tTime\tSize\tName\n"
      "  1\t0\t0\t0\tlost.c\n"
      "   Pointer Size:  4\n"
      "  Offset:                      0x10\n"
      " The Directory Table:\n"
      "  /a\n"
      "  /b\rx\n"                             // a line that matches no entry pattern (CR) is skipped
      "  Offset:                      0x20\n" // an offset line is seen mid-table
      "  /c\n"                                // ... and the table goes on into the new list
      "   Pointer Size:  8\n"                 // not a pointer size inside a table
      "\n"
      " The File Name Table:\n"
      "  Entry\tDir\tTime\tSize\tName\n"
      "  1\t1\t0\t0\tc.c\n"
      "  2\t99999999999\t0\t0\tskipped.c\n" // a directory index that does not convert
      "  3\t5\t0\t0\tnodir.c\n"             // a directory index past the list
      "  not a file\n"
      "  4\t1\t0\t0\tafter.c\n"
      "\n"
      "  Offset:                      0x10\n" // an offset already indexed
      " The Directory Table:\n"
      "  /hidden\n"
      "\n"
      " <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)\n"
      " <1><c>: Abbrev Number: 2 (DW_TAG_pointer_type)\n");
  const Model::StatementList &first = table(*db, 0x10);
  EXPECT_EQ(first.directories, (Texts{"/a"}));
  EXPECT_TRUE(first.files.empty());
  const Model::StatementList &second = table(*db, 0x20);
  EXPECT_EQ(second.directories, (Texts{"/c", "Pointer Size:  8"}));
  EXPECT_EQ(second.files, (Texts{"/c/c.c", "/nodir.c", "/c/after.c"}));
  // The repeated offset made a third list: owned, current, not indexed.
  EXPECT_EQ(db->ownedStatementLists.size(), 3u);
  EXPECT_EQ(db->statementListsByOffset.size(), 2u);
  EXPECT_EQ(db->ownedStatementLists.back()->directories, (Texts{"/hidden"}));
  // The pointer-size line outside the tables counted, the one inside did not.
  auto *pointer = dynamic_cast<Model::TypeInfo_Pointer *>(db->objectsByOffset.find(0xc));
  ASSERT_NE(pointer, nullptr);
  EXPECT_EQ(pointer->byteSize, 4);
}

TEST(LineTableReader, PointerSizeLineInsideATableIsNoPointerSize) {
  const auto db = TestDumps::parse("  Offset:                      0x0\n"
                                   " The Directory Table:\n"
                                   "   Pointer Size:  4\n"
                                   "\n"
                                   " <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)\n"
                                   " <1><c>: Abbrev Number: 2 (DW_TAG_pointer_type)\n"
                                   "    <d>   DW_AT_byte_size   : 8\n");
  auto *pointer = dynamic_cast<Model::TypeInfo_Pointer *>(db->objectsByOffset.find(0xc));
  ASSERT_NE(pointer, nullptr);
  EXPECT_EQ(pointer->byteSize, 8); // no pointer size was seen
}

TEST(LineTableReader, EntryHeadersAndAttributesComeBeforeTableLines) {
  const auto db = TestDumps::parse("  Offset:                      0x0\n"
                                   " The Directory Table:\n"
                                   " <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)\n"
                                   "    <c>   DW_AT_name        : unit.c\n"
                                   "  /dir\n"
                                   "\n");
  EXPECT_EQ(table(*db, 0).directories, (Texts{"/dir"}));
  ASSERT_NE(db->objectsByOffset.find(0xb), nullptr);
  EXPECT_EQ(db->objectsByOffset.find(0xb)->name, "unit.c");
}

TEST(LineTableReader, CompileUnitFindsItsTable) {
  const auto db = TestDumps::parse(" <0><b>: Abbrev Number: 1 (DW_TAG_compile_unit)\n"
                                   "    <c>   DW_AT_stmt_list   : 0x1a4\n"
                                   " <1><d>: Abbrev Number: 2 (DW_TAG_variable)\n"
                                   "  Offset:                      0x1a4\n"
                                   " The Directory Table:\n"
                                   "  /src\n"
                                   "\n");
  const Model::BasicObject *variable = db->objectsByOffset.find(0xd);
  ASSERT_NE(variable, nullptr);
  EXPECT_EQ(variable->stmtListOffset, 0x1a4u);
  ASSERT_NE(db->findStatementList(variable->stmtListOffset), nullptr);
  EXPECT_EQ(db->findStatementList(variable->stmtListOffset)->directories, (Texts{"/src"}));
}

} // namespace
