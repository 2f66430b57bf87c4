// Scoped names on hand-made model trees: the shapes C and C++ compilers give
// to file-scope variables, static locals and static data members.
#include "output/ScopedName.h"
#include "model/Model.h"
#include "tests/output/OutputTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

using namespace Model;

namespace {

/// A named object under \p parent, which owns it. Naming never looks at the
/// entry offsets.
template <class T> T *make(BasicObject *parent, const char *name) {
  auto *object = new T(1, parent);
  object->name = name;
  return object;
}

class ScopedNameTest : public testing::Test {
protected:
  BasicObject root{0, nullptr};
  CompileUnitInfo *unit = make<CompileUnitInfo>(&root, "main.c");
};

TEST_F(ScopedNameTest, ClassWithSpecificationTakesTheDeclarationsNameAndScope) {
  auto *outer = make<TypeInfo_Namespace>(unit, "outer");
  auto *declared = make<TypeInfo_Class>(outer, "Declared");
  auto *defined = make<TypeInfo_Class>(unit, "ignored");
  defined->specification = declared;
  EXPECT_EQ(scopedName(make<TypeInfo_Member>(defined, "m"), ""), "outer::Declared->m");
}

TEST_F(ScopedNameTest, EnumeratorsAndSuffixes) {
  auto *mode = make<TypeInfo_Enumeration>(unit, "Mode");
  EXPECT_EQ(scopedName(make<TypeInfo_Enumerator>(mode, "MODE_RUN"), ""), "Mode.MODE_RUN");
  EXPECT_EQ(scopedName(make<TypeInfo_Namespace>(unit, "drive"), "limit"), "drive::limit");
  EXPECT_EQ(scopedName(nullptr, "alone"), "alone");
}

TEST_F(ScopedNameTest, SeparatorOnlyInFrontOfSomething) {
  auto *tick = make<FunctionInfo>(unit, "tick");
  EXPECT_EQ(scopedName(make<VariableInfo>(tick, ""), ""), "tick");
  // The separator goes with the scope being prepended, named or not.
  auto *unnamed = make<FunctionInfo>(unit, "");
  EXPECT_EQ(scopedName(make<VariableInfo>(unnamed, "count"), ""), "@count");
}

TEST_F(ScopedNameTest, SpecificationLoopStopsAtAnObjectAlreadyPassed) {
  // The class's declaration sits inside the class itself: the climb would
  // come back to the class for ever.
  auto *outer = make<TypeInfo_Class>(unit, "Outer");
  auto *inner = make<TypeInfo_Class>(outer, "Inner");
  outer->specification = inner;
  EXPECT_EQ(scopedName(make<VariableInfo>(outer, "v"), ""), "Inner->v");

  auto *self = make<VariableInfo>(unit, "self");
  self->specification = self;
  EXPECT_EQ(scopedName(self, ""), "self");
}

TEST_F(ScopedNameTest, ASpecificationLoopFarUpTheClimbStopsWhereItCloses) {
  // class A { namespace n { ... namespace n { v } } class B; }, where A's
  // declaration is B inside A: the climb from v passes the namespaces, takes
  // B's name for A and comes back to A from B, as far up as A is.
  for (const int levels : {0, 30, 31, 32, 100}) {
    SCOPED_TRACE(levels);
    auto *a = make<TypeInfo_Class>(unit, "A");
    a->specification = make<TypeInfo_Class>(a, "B");
    BasicObject *scope = a;
    std::string expected = "B->";
    for (int i = 0; i < levels; ++i) {
      scope = make<TypeInfo_Namespace>(scope, "n");
      expected += "n::";
    }
    EXPECT_EQ(scopedName(make<VariableInfo>(scope, "v"), ""), expected + "v");
  }
}

TEST_F(ScopedNameTest, DeepNestingNeedsNoRecursion) {
  BasicObject *scope = unit;
  for (int i = 0; i < 100000; ++i)
    scope = make<TypeInfo_Namespace>(scope, "n");
  const std::string name = scopedName(make<VariableInfo>(scope, "v"), "");
  EXPECT_EQ(name.size(), 100000u * 3 + 1);
  EXPECT_EQ(name.substr(0, 6), "n::n::");
  EXPECT_EQ(name.substr(name.size() - 4), "n::v");
}

TEST_F(ScopedNameTest, RtePortSrNamesAreTracedWhileNaming) {
  // Each name the climb reads goes through the trace; the walk prints
  // nothing itself.
  auto *ns = make<TypeInfo_Namespace>(unit, "Rte_RtePortSR_Ports");
  auto *function = make<FunctionInfo>(ns, "Rte_RtePortSR_Task");
  auto *variable = make<VariableInfo>(function, "state");
  make<VariableInfo>(function, "other");
  OutputTest::HeardReads heard;
  testing::internal::CaptureStdout();
  EXPECT_EQ(scopedName(variable, "", heard.trace()), "Rte_RtePortSR_Ports::Rte_RtePortSR_Task@state");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(heard.reads, (std::vector<std::string>{"Rte_RtePortSR_Task / 2", "Rte_RtePortSR_Ports / 1"}));
  // Without a trace the name is the same.
  EXPECT_EQ(scopedName(variable, ""), "Rte_RtePortSR_Ports::Rte_RtePortSR_Task@state");
}

} // namespace
