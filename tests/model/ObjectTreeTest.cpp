#include "model/Model.h"

#include <gtest/gtest.h>

#include <memory>

using namespace Model;

TEST(ObjectTree, ChildCopiesDeclarationPlaceAndLineTableFromItsParent) {
  auto root = std::make_unique<BasicObject>(0, nullptr);
  auto* unit = new CompileUnitInfo(0xc, root.get());
  unit->stmtListOffset = 0x1a4;
  auto* structure = new TypeInfo_Structure(0x8d, unit);
  structure->declLine = "12";
  structure->declFile = 3;
  auto* member = new TypeInfo_Member(0x98, structure);
  auto* deeper = new BasicObject(0x99, member);

  EXPECT_EQ(member->declLine, "12");
  EXPECT_EQ(member->declFile, 3);
  EXPECT_EQ(member->stmtListOffset, 0x1a4u);
  EXPECT_EQ(deeper->stmtListOffset, 0x1a4u);
  ASSERT_EQ(root->children.size(), 1u);
  EXPECT_EQ(root->children[0].get(), unit);
  EXPECT_EQ(member->parent, structure);
  EXPECT_EQ(structure->children[0].get(), member);
}

TEST(ObjectTree, GetNameTracesOnlyRtePortSrNames) {
  BasicObject root(0, nullptr);
  auto* port = new VariableInfo(1, &root);
  port->name = "Rte_RtePortSR_Speed";
  for (int i = 0; i < 3; ++i)
    new BasicObject(10 + i, port);
  auto* plain = new VariableInfo(2, &root);
  plain->name = "counter";

  testing::internal::CaptureStdout();
  EXPECT_EQ(port->getName(), "Rte_RtePortSR_Speed");
  EXPECT_EQ(plain->getName(), "counter");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "getName: Rte_RtePortSR_Speed\nchildren.size(): 3\n");
}

TEST(ObjectTree, TearsDownA100000LevelChainWithoutRecursion) {
  auto root = std::make_unique<BasicObject>(0, nullptr);
  BasicObject* last = root.get();
  for (EntryOffset i = 1; i <= 100000; ++i)
    last = new TypeInfo_Typedef(i, last);
  root.reset(); // must not overflow the stack; ASan reports any leak
  SUCCEED();
}
