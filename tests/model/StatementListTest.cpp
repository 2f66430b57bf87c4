#include "model/StatementList.h"
#include "model/TextPool.h"

#include <gtest/gtest.h>

using Model::StatementList;

TEST(StatementList, BuildsPathsFromDirectoryIndexCountedFromOne) {
  StatementList list(0);
  list.addFile(0, "main.c");
  list.addDirectory("src");
  list.addFile(1, "main.c");
  list.addFile(2, "beyond.c"); // no second directory: empty directory text
  list.addFile(0xFFFFFFFFu, "far.c");
  EXPECT_EQ(list.files, (std::vector<Model::ShortText>{"/main.c", "src/main.c", "/beyond.c", "/far.c"}));
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

TEST(StatementList, TablesSharingAPoolReferToOneCopyOfEachPath) {
  Model::TextPool pool;
  StatementList first(0, &pool);
  StatementList second(0x40, &pool);
  for (StatementList *list : {&first, &second}) {
    list->addDirectory("/usr/lib/gcc/arm-none-eabi/12.2.1/include");
    list->addFile(1, "stdint.h");
    list->addFile(0, "a.c"); // short enough to stay inside
  }
  EXPECT_EQ(*second.fileForNumber(1), "/usr/lib/gcc/arm-none-eabi/12.2.1/include/stdint.h");
  EXPECT_EQ(first.fileForNumber(1)->view().data(), second.fileForNumber(1)->view().data());
  EXPECT_EQ(first.directories[0].view().data(), second.directories[0].view().data());
  EXPECT_EQ(*second.fileForNumber(2), "/a.c");
  EXPECT_EQ(pool.size(), 2u);
}
