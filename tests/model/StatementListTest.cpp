#include "model/StatementList.h"

#include <gtest/gtest.h>

using Model::StatementList;

TEST(StatementList, BuildsPathsFromDirectoryIndexCountedFromOne) {
  StatementList list(0);
  list.addFile(0, "main.c");
  list.addDirectory("src");
  list.addFile(1, "main.c");
  list.addFile(2, "beyond.c"); // no second directory: empty directory text
  list.addFile(0xFFFFFFFFu, "far.c");
  EXPECT_EQ(list.files, (std::vector<std::string>{"/main.c", "src/main.c", "/beyond.c", "/far.c"}));
  EXPECT_EQ(*list.fileForNumber(1), "/main.c");
  EXPECT_EQ(*list.fileForNumber(4), "/far.c");
  EXPECT_EQ(list.fileForNumber(0), nullptr);
  EXPECT_EQ(list.fileForNumber(5), nullptr);
  EXPECT_EQ(list.fileForNumber(-1), nullptr);
}

TEST(StatementList, Dwarf5TablesNumberDirectoriesAndFilesFromZero) {
  StatementList list(0x22);
  list.filesNumberedFromZero = true;
  list.addDirectory("/build");
  list.addDirectory("inc");
  list.addFileZeroBased(0, "x.c");
  list.addFileZeroBased(1, "x.h");
  list.addFileZeroBased(7, "y.h");
  EXPECT_EQ(*list.fileForNumber(0), "/build/x.c");
  EXPECT_EQ(*list.fileForNumber(1), "inc/x.h");
  EXPECT_EQ(*list.fileForNumber(2), "/y.h");
  EXPECT_EQ(list.fileForNumber(3), nullptr);
}
