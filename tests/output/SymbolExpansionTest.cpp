// Symbol expansion on hand-made model trees: each test builds the objects a
// dump would give and checks the leaves that come out.
#include "output/SymbolExpansion.h"
#include "model/Model.h"
#include "reader/DwarfDatabase.h"
#include "tests/output/OutputTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace Model;
using OutputTest::namesOf;
using Names = std::vector<std::string>;

namespace {

constexpr std::uint32_t kLineTable = 0x10;

class SymbolExpansionTest : public testing::Test {
protected:
  SymbolExpansionTest() {
    database.root = std::make_unique<BasicObject>(0, nullptr);
    unit = new CompileUnitInfo(1, database.root.get());
    unit->stmtListOffset = kLineTable;
    auto table = std::make_unique<StatementList>(kLineTable);
    table->addFile(0, "main.c");
    table->addFile(0, "io.h");
    database.statementListsByOffset[kLineTable] = table.get();
    database.ownedStatementLists.push_back(std::move(table));
  }

  template <class T> T *make(BasicObject *parent, const char *name = "") {
    auto *object = new T(1, parent);
    object->name = name;
    return object;
  }
  TypeInfo_Base *base(const char *encoding, std::int32_t size) {
    auto *type = make<TypeInfo_Base>(unit, encoding);
    type->encodingName = encoding;
    type->byteSize = size;
    return type;
  }
  TypeInfo_Structure *structure(std::int32_t size, BasicObject *parent = nullptr) {
    auto *type = make<TypeInfo_Structure>(parent != nullptr ? parent : unit);
    type->byteSize = size;
    return type;
  }
  TypeInfo_Member *member(BasicObject *owner, const char *name, std::int32_t offset, BasicObject *type) {
    auto *m = make<TypeInfo_Member>(owner, name);
    m->dataMemberLocation = offset;
    m->type = type;
    return m;
  }
  TypeInfo_Array *array(BasicObject *element, std::int32_t upperBound, std::int32_t lowerBound = 0) {
    auto *type = make<TypeInfo_Array>(unit);
    type->type = element;
    auto *range = make<TypeInfo_Subrange>(type);
    range->upperBound = upperBound;
    range->lowerBound = lowerBound;
    return type;
  }
  template <class Qualifier> Qualifier *qualified(BasicObject *type) {
    auto *q = make<Qualifier>(unit);
    q->type = type;
    return q;
  }
  /// A located variable of the unit, declared in main.c.
  VariableInfo *variable(const char *name, std::uint32_t address, BasicObject *type,
                         BasicObject *parent = nullptr) {
    auto *v = make<VariableInfo>(parent != nullptr ? parent : unit, name);
    v->address = address;
    v->type = type;
    v->declFile = 1;
    v->declLine = "7";
    database.locatedObjects.push_back(v);
    return v;
  }
  std::vector<SymbolRecord> leaves() const { return collectLeafSymbols(database); }
  Names names() const { return namesOf(leaves()); }

  DwarfDatabase database;
  CompileUnitInfo *unit = nullptr;
};

TEST_F(SymbolExpansionTest, ArrayElementsWithIndexWidthFromTheCount) {
  auto *byte = base("unsigned char", 1);
  variable("buf", 0x200, array(byte, 9));
  variable("one", 0x300, array(byte, 0));
  variable("wide", 0x400, array(byte, 31));
  variable("ranged", 0x500, array(byte, 3, 1));
  const std::vector<SymbolRecord> result = leaves();
  Names expected = {"buf_00", "buf_01", "buf_02", "buf_03", "buf_04", "buf_05",
                    "buf_06", "buf_07", "buf_08", "buf_09", "one_0"};
  for (int i = 0; i < 32; ++i)
    expected.push_back(std::string("wide_0") + (i < 10 ? "0" : "") + std::to_string(i));
  expected.insert(expected.end(), {"ranged_01", "ranged_02", "ranged_03"}); // four counted, three listed
  EXPECT_EQ(namesOf(result), expected);
  ASSERT_EQ(result.size(), expected.size());
  for (std::uint32_t i = 0; i < 10; ++i)
    EXPECT_EQ(result[i].address, 0x200u + i);
  // The first listed element sits at the variable's own address.
  EXPECT_EQ(result[43].address, 0x500u);
  EXPECT_EQ(result[45].address, 0x502u);
}

TEST_F(SymbolExpansionTest, ArraysWithoutElements) {
  auto *byte = base("unsigned char", 1);
  auto *noRange = make<TypeInfo_Array>(unit);
  noRange->type = byte;
  make<BasicObject>(noRange); // first child is no subrange
  variable("noRange", 0x10, noRange);
  variable("noElementType", 0x20, array(nullptr, 9));
  variable("empty", 0x30, array(byte, -1));
  variable("after", 0x40, byte);
  EXPECT_EQ(names(), (Names{"after"}));
}

TEST_F(SymbolExpansionTest, ArrayChildrenSeeTheRecordAfterTheLoop) {
  // Malformed: an entry nested in a subrange. The walk of the array's
  // children gets the record as the element loop left it, whether the loop
  // ran through or stopped early at elements without leaves.
  auto *i32 = base("int", 4);
  auto *ints = array(i32, 2);
  make<VariableInfo>(ints->children.front(), "odd")->type = i32;
  variable("ints", 0x100, ints);
  auto *empty = structure(4);
  auto *empties = array(empty, 2);
  make<VariableInfo>(empties->children.front(), "odd")->type = i32;
  variable("empties", 0x200, empties);
  const std::vector<SymbolRecord> result = leaves();
  EXPECT_EQ(namesOf(result), (Names{"ints_00", "ints_01", "ints_02", "ints_02.odd", "empties_02.odd"}));
  ASSERT_EQ(result.size(), 5u);
  EXPECT_EQ(result[3].address, 0x10cu);
  EXPECT_EQ(result[4].address, 0x20cu);
}

TEST_F(SymbolExpansionTest, BitFieldLeafKeepsItsBitsAndTakesItsTypesSize) {
  auto *s = structure(4);
  auto *ready = member(s, "ready", 0, base("unsigned char", 1));
  ready->bitSize = 1;
  ready->bitOffset = 5;
  ready->byteSize = 4;
  member(s, "plain", 1, base("unsigned char", 1));
  variable("flags", 0x40, s);
  const std::vector<SymbolRecord> result = leaves();
  ASSERT_EQ(result.size(), 2u);
  EXPECT_EQ(result[0].bitSize, 1);
  EXPECT_EQ(result[0].bitOffset, 5);
  EXPECT_EQ(result[0].byteSize, 1);
  EXPECT_EQ(result[1].bitSize, 0);
  EXPECT_EQ(result[1].bitOffset, 0);
}

TEST_F(SymbolExpansionTest, ConstQualifierMarksEveryPieceButNotAPointee) {
  auto *s = structure(8);
  member(s, "a", 0, base("int", 4));
  member(s, "b", 4, base("int", 4));
  variable("calibration", 0x100, qualified<TypeInfo_Const>(s));
  auto *pointer = make<TypeInfo_Pointer>(unit);
  pointer->byteSize = 4; // to const data: the pointee is never walked
  variable("source", 0x200, pointer);
  variable("voidConst", 0x300, qualified<TypeInfo_Const>(nullptr));
  const std::vector<SymbolRecord> result = leaves();
  ASSERT_EQ(result.size(), 3u);
  EXPECT_TRUE(result[0].isConst);
  EXPECT_TRUE(result[1].isConst);
  EXPECT_FALSE(result[2].isConst);
  EXPECT_EQ(result[2].symbolName, "source");
}

TEST_F(SymbolExpansionTest, StaticDataMembersInsideAStructure) {
  auto *i32 = base("int", 4);
  auto *s = structure(4);
  member(s, "value", 0, i32);
  make<VariableInfo>(s, "shared")->type = i32; // static member as a variable entry
  auto *declared = member(s, "declared", 0, i32);
  declared->isDeclaration = true; // static member as a member entry
  member(s, "listed", 0, i32);    // a member entry without the flag counts
  auto *method = make<FunctionInfo>(s, "method");
  make<VariableInfo>(method, "this")->type = i32;
  variable("a", 0x100, s);
  variable("b", 0x200, s);
  EXPECT_EQ(names(), (Names{"a.value", "a.listed", "b.value", "b.listed"}));
}

TEST_F(SymbolExpansionTest, BaseClassMembersAppearWhereTheInheritanceStands) {
  auto *i32 = base("int", 4);
  auto *baseClass = make<TypeInfo_Class>(unit, "Base");
  baseClass->byteSize = 4;
  member(baseClass, "id", 0, i32);
  auto *derived = make<TypeInfo_Class>(unit, "Derived");
  derived->byteSize = 12;
  member(derived, "first", 0, i32);
  auto *inheritance = make<TypeInfo_Inheritance>(derived);
  inheritance->type = baseClass;
  inheritance->dataMemberLocation = 4;
  make<TypeInfo_Inheritance>(derived); // without a type: nothing
  member(derived, "last", 8, i32);
  make<FunctionInfo>(derived, "run");
  variable("d", 0x1000, derived);
  const std::vector<SymbolRecord> result = leaves();
  EXPECT_EQ(namesOf(result), (Names{"d.first", "d.id", "d.last"}));
  ASSERT_EQ(result.size(), 3u);
  EXPECT_EQ(result[1].address, 0x1004u);
}

TEST_F(SymbolExpansionTest, FunctionInsideAUnionIsAFunctionLeafAndItsParametersFollow) {
  auto *u = make<TypeInfo_Union>(unit);
  u->byteSize = 4;
  auto *callback = make<FunctionInfo>(u, "callback");
  make<VariableInfo>(callback, "arg")->type = base("int", 4);
  member(u, "raw", 0, base("unsigned int", 4));
  variable("hook", 0x40, u);
  const std::vector<SymbolRecord> result = leaves();
  EXPECT_EQ(namesOf(result), (Names{"hook.callback", "hook.callback.arg", "hook.raw"}));
  ASSERT_EQ(result.size(), 3u);
  EXPECT_EQ(result[0].typeText, "function");
  EXPECT_EQ(result[0].byteSize, 0);
  EXPECT_EQ(result[1].typeText, "int");
  EXPECT_EQ(result[2].typeText, "unsigned int");
}

TEST_F(SymbolExpansionTest, NamespaceReachedThroughAnImportAddsItsName) {
  auto *ns = make<TypeInfo_Namespace>(unit, "cfg");
  variable("inner", 0x10, base("int", 4), ns); // located, and named cfg::inner
  auto *imported = make<TypeInfo_ImportedDeclaration>(unit);
  imported->type = ns;
  variable("alias", 0x20, imported);
  EXPECT_EQ(names(), (Names{"cfg::inner", "alias::cfg.inner"}));
}

TEST_F(SymbolExpansionTest, DefinitionWithoutTypeExpandsThroughItsDeclaration) {
  auto *ns = make<TypeInfo_Namespace>(unit, "drive");
  auto *motor = make<TypeInfo_Class>(ns, "Motor");
  auto *limitDeclaration = member(motor, "limit", 0, base("int", 4));
  limitDeclaration->isDeclaration = true;
  limitDeclaration->declLine = "4";
  limitDeclaration->declFile = 2;
  auto *limit = variable("", 0x100, nullptr);
  limit->specification = limitDeclaration;

  auto *externDeclaration = make<VariableInfo>(unit, "g_x");
  externDeclaration->type = base("short int", 2);
  auto *gx = variable("", 0x200, nullptr);
  gx->specification = externDeclaration;

  auto *ownType = variable("", 0x300, base("unsigned char", 1));
  ownType->specification = externDeclaration;

  auto *typeless = make<VariableInfo>(unit, "typeless");
  auto *nothing = variable("", 0x400, nullptr);
  nothing->specification = typeless;

  const std::vector<SymbolRecord> result = leaves();
  EXPECT_EQ(namesOf(result), (Names{"drive::Motor->limit", "g_x", "g_x"}));
  ASSERT_EQ(result.size(), 3u);
  EXPECT_EQ(result[0].byteSize, 4);
  EXPECT_EQ(result[0].declLocation, "/io.h(4)"); // the declaration's place
  EXPECT_EQ(result[1].byteSize, 2);
  EXPECT_EQ(result[2].byteSize, 1); // a definition with a type keeps it
}

TEST_F(SymbolExpansionTest, DeclarationPlaces) {
  auto *byte = base("unsigned char", 1);
  variable("inHeader", 0x10, byte)->declFile = 2;
  variable("fileZero", 0x11, byte)->declFile = 0;
  variable("fileBeyond", 0x12, byte)->declFile = 3;
  auto *otherUnit = new CompileUnitInfo(2, database.root.get());
  otherUnit->stmtListOffset = 0x99; // no such line table
  variable("noTable", 0x13, byte, otherUnit);
  const std::vector<SymbolRecord> result = leaves();
  ASSERT_EQ(result.size(), 4u);
  EXPECT_EQ(result[0].declLocation, "/io.h(7)");
  EXPECT_EQ(result[1].declLocation, "unknown(7)");
  EXPECT_EQ(result[2].declLocation, "unknown(7)");
  EXPECT_EQ(result[3].declLocation, "");
}

TEST_F(SymbolExpansionTest, OnlyLocatedVariablesInListOrderAndUnresolvedTypesSilently) {
  auto *byte = base("unsigned char", 1);
  variable("second", 0x20, byte);
  variable("unresolved", 0x24, nullptr);
  variable("first", 0x10, byte);
  database.locatedObjects.push_back(byte); // not a variable
  EXPECT_EQ(names(), (Names{"second", "first"}));
}

/// Keeps the names of the leaves and the variables left out at address 0.
class LeftOutSink final : public LeafSink {
public:
  void addLeaf(const SymbolRecord &leaf) override { leaves.push_back(leaf.symbolName); }
  void addVariableAtAddressZero(const SymbolRecord &variable) override {
    leftOut.push_back(variable.symbolName + " " + variable.declLocation);
  }
  Names leaves;
  Names leftOut;
};

TEST_F(SymbolExpansionTest, VariablesAtAddressZeroAreLeftOutOnceEachUnlessAllConst) {
  auto *byte = base("unsigned char", 1);
  auto *pair = structure(2);
  member(pair, "a", 0, byte);
  member(pair, "b", 1, byte);
  auto *halfConst = structure(2);
  member(halfConst, "fixed", 0, qualified<TypeInfo_Const>(byte));
  member(halfConst, "trim", 1, byte);
  auto *tick = make<FunctionInfo>(unit, "tick");

  variable("kept", 0x10, byte);
  variable("pairs", 0, array(pair, 1))->declLine = "3";            // four leaves, left out once
  variable("table", 0, qualified<TypeInfo_Const>(array(byte, 2))); // const only: silent
  variable("mixed", 0, halfConst);
  variable("count", 0, byte, tick);
  variable("empty", 0, structure(0));          // no leaves: silent
  variable("unresolved", 0, nullptr);          // no type: silent
  variable("offset", 0x1, pair)->declFile = 2; // the variable's own address is not 0

  LeftOutSink sink;
  EXPECT_TRUE(expandLocatedVariables(database, sink));
  EXPECT_EQ(sink.leaves, (Names{"kept", "offset.a", "offset.b"}));
  EXPECT_EQ(sink.leftOut, (Names{"pairs /main.c(3)", "mixed /main.c(7)", "tick@count /main.c(7)"}));
  EXPECT_EQ(names(), (Names{"kept", "offset.a", "offset.b"}));

  // Their leaves still count towards the cap: kept, 4 + 3 + 2 + 1 left out,
  // then the two of offset.
  LeftOutSink atCap;
  EXPECT_TRUE(expandLocatedVariables(database, atCap, 13));
  LeftOutSink beyondCap;
  EXPECT_FALSE(expandLocatedVariables(database, beyondCap, 12));
  EXPECT_EQ(beyondCap.leaves, (Names{"kept", "offset.a"}));
}

TEST_F(SymbolExpansionTest, RtePortSrNamesAreTracedOncePerRead) {
  // The member's name is read once per element; a variable met inside a
  // union reads its own name before it takes its declaration's scoped name.
  auto *s = structure(2);
  auto *m = member(s, "Rte_RtePortSR_Speed", 0, base("short int", 2));
  make<BasicObject>(m); // one child, so the trace counts it
  variable("port", 0x10, array(s, 1));
  auto *ns = make<TypeInfo_Namespace>(unit, "Rte_RtePortSR_Ports");
  auto *declaration = make<VariableInfo>(ns, "limit");
  declaration->type = base("unsigned int", 4);
  auto *u = make<TypeInfo_Union>(unit);
  u->byteSize = 4;
  make<VariableInfo>(u, "Rte_RtePortSR_Alias")->specification = declaration;
  variable("overlay", 0x20, u);

  OutputTest::HeardReads heard;
  testing::internal::CaptureStdout();
  EXPECT_EQ(namesOf(collectLeafSymbols(database, heard.trace())),
            (Names{"port_00.Rte_RtePortSR_Speed", "port_01.Rte_RtePortSR_Speed",
                   "Rte_RtePortSR_Ports::limit.limit"}));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(heard.reads, (Names{"Rte_RtePortSR_Speed / 1", "Rte_RtePortSR_Speed / 1",
                                "Rte_RtePortSR_Alias / 0", "Rte_RtePortSR_Ports / 1"}));
}

// ---- Records travel by value ------------------------------------------------

TEST_F(SymbolExpansionTest, NothingAMemberChangesReachesItsSibling) {
  auto *s = structure(12);
  auto *flags = member(s, "flags", 4, qualified<TypeInfo_Const>(base("signed", 4)));
  flags->bitSize = 3;
  flags->bitOffset = 2;
  flags->byteSize = 4;
  member(s, "after", 8, base("unsigned int", 4));
  SymbolRecord start;
  start.address = 0x100;
  start.symbolName = "v";
  start.declLocation = "/main.c(7)";
  std::vector<SymbolRecord> result;
  expandSymbol(s, start, false, result);
  ASSERT_EQ(result.size(), 2u);
  EXPECT_EQ(result[0].symbolName, "v.flags");
  EXPECT_TRUE(result[0].isConst);
  EXPECT_TRUE(result[0].isSigned);
  EXPECT_EQ(result[1].symbolName, "v.after");
  EXPECT_EQ(result[1].address, 0x108u);
  EXPECT_FALSE(result[1].isConst);
  EXPECT_FALSE(result[1].isSigned);
  EXPECT_EQ(result[1].bitSize, 0);
  EXPECT_EQ(result[1].bitOffset, 0);
  EXPECT_EQ(result[1].declLocation, "/main.c(7)");
}

TEST_F(SymbolExpansionTest, ANameReplacedBelowIsPutBackForTheSiblings) {
  // A function with a specification takes its declaration's full name; the
  // member after it must still be named after the variable.
  auto *ns = make<TypeInfo_Namespace>(unit, "io");
  auto *declaration = make<FunctionInfo>(ns, "read");
  auto *u = make<TypeInfo_Union>(unit);
  u->byteSize = 4;
  auto *handler = make<FunctionInfo>(u, "handler");
  handler->specification = declaration;
  member(u, "raw", 0, base("unsigned int", 4));
  auto *elements = array(u, 1);
  variable("table", 0x40, elements);
  const std::vector<SymbolRecord> result = leaves();
  EXPECT_EQ(namesOf(result), (Names{"io::read.read", "io::read", "table_00.raw", "io::read.read", "io::read",
                                    "table_01.raw"}));
  ASSERT_EQ(result.size(), 6u);
  EXPECT_EQ(result[5].address, 0x44u);
  EXPECT_EQ(result[5].typeText, "unsigned int");
}

TEST_F(SymbolExpansionTest, ExpandSymbolAppendsToWhatIsThere) {
  std::vector<SymbolRecord> result(1);
  result[0].symbolName = "earlier";
  SymbolRecord start;
  start.symbolName = "x";
  expandSymbol(base("int", 4), start, false, result);
  EXPECT_EQ(namesOf(result), (Names{"earlier", "x"}));
  // Members-only: a base type is no member and yields nothing.
  expandSymbol(base("int", 4), start, true, result);
  EXPECT_EQ(result.size(), 2u);
}

// ---- Malformed input: cycles, depth, size ----------------------------------

TEST_F(SymbolExpansionTest, TypeCyclesYieldNothingTheSecondTime) {
  auto *loop = make<TypeInfo_Typedef>(unit, "loop");
  loop->type = loop;
  variable("selfTypedef", 0x10, loop);

  // A structure that contains itself: its other members still come out.
  auto *s = structure(8);
  auto *alias = make<TypeInfo_Typedef>(unit, "S");
  alias->type = s;
  member(s, "x", 0, base("int", 4));
  member(s, "self", 4, alias);
  member(s, "y", 4, base("int", 4));
  variable("s", 0x20, alias);

  // An import that leads back into the namespace being expanded.
  auto *ns = make<TypeInfo_Namespace>(unit, "ns");
  auto *back = make<TypeInfo_ImportedDeclaration>(ns);
  back->type = ns;
  auto *into = make<TypeInfo_ImportedDeclaration>(unit);
  into->type = ns;
  variable("imported", 0x30, into);

  EXPECT_EQ(names(), (Names{"s.x", "s.y"}));
}

TEST_F(SymbolExpansionTest, DepthLimitCountsTheVariablesTypeAsTheFirstStep) {
  const auto chainTo = [&](BasicObject *leafType, int typedefs) {
    BasicObject *type = leafType;
    for (int i = 0; i < typedefs; ++i) {
      auto *t = make<TypeInfo_Typedef>(unit, "t");
      t->type = type;
      type = t;
    }
    return type;
  };
  auto *byte = base("unsigned char", 1);
  variable("deepest", 0x10, chainTo(byte, kMaxExpansionDepth - 1)); // base type at step 1000
  variable("tooDeep", 0x20, chainTo(byte, kMaxExpansionDepth));     // base type at step 1001
  EXPECT_EQ(names(), (Names{"deepest"}));
}

TEST_F(SymbolExpansionTest, ThousandNestedStructuresFitOnTheStack) {
  BasicObject *type = base("unsigned char", 1);
  // Structure, member, structure, member ...: two steps per level.
  for (int i = 0; i < kMaxExpansionDepth / 2 - 1; ++i) {
    auto *s = structure(1);
    member(s, "m", 0, type);
    type = s;
  }
  variable("nest", 0x10, type);
  const std::vector<SymbolRecord> result = leaves();
  ASSERT_EQ(result.size(), 1u);
  EXPECT_EQ(result[0].symbolName.size(), 4 + 2 * static_cast<std::size_t>(kMaxExpansionDepth / 2 - 1));
}

TEST_F(SymbolExpansionTest, ElementsWithoutLeavesEndTheLoopEarly) {
  // Two thousand million empty elements must not take two thousand million
  // steps; the member after them still gets its address.
  auto *empty = structure(0);
  auto *s = structure(8);
  member(s, "nothing", 0, array(empty, 2147483646));
  member(s, "after", 4, base("int", 4));
  variable("s", 0x100, s);
  const std::vector<SymbolRecord> result = leaves();
  ASSERT_EQ(result.size(), 1u);
  EXPECT_EQ(result[0].symbolName, "s.after");
  EXPECT_EQ(result[0].address, 0x104u);
}

class CountingSink final : public LeafSink {
public:
  explicit CountingSink(bool takesConst = true) : takesConst_(takesConst) {}
  void addLeaf(const SymbolRecord &leaf) override {
    ++count;
    last = leaf.symbolName;
  }
  bool takesConstLeaves() const override { return takesConst_; }
  std::size_t count = 0;
  std::string last;

private:
  bool takesConst_;
};

TEST_F(SymbolExpansionTest, LeafListIsCutAtTheCap) {
  auto *byte = base("unsigned char", 1);
  variable("before", 0x10, byte);
  variable("huge", 0x20, array(byte, 2147483646));
  variable("after", 0x30, byte);
  CountingSink sink;
  EXPECT_FALSE(expandLocatedVariables(database, sink, 1000));
  EXPECT_EQ(sink.count, 1000u);
  EXPECT_EQ(sink.last, "huge_00000000998");
}

TEST_F(SymbolExpansionTest, ExactlyTheCapIsAWholeListOneMoreIsCut) {
  // before (1 leaf), table (10 const leaves), after (1 leaf): 12 leaves. The
  // table's elements are walked for a sink that takes const leaves and only
  // counted for one that drops them; the boundary is the same for both.
  auto *byte = base("unsigned char", 1);
  variable("before", 0x10, byte);
  variable("table", 0x20, array(qualified<TypeInfo_Const>(byte), 9));
  variable("after", 0x30, byte);
  struct Case {
    std::size_t cap;
    bool whole;
    std::size_t leavesSeen; ///< by a sink that takes const leaves
    const char *lastWritten;
  };
  for (const Case c : {Case{12, true, 12, "after"}, Case{13, true, 12, "after"},
                       Case{11, false, 11, "before"}, Case{1, false, 1, "before"}}) {
    CountingSink all(true);
    EXPECT_EQ(expandLocatedVariables(database, all, c.cap), c.whole) << c.cap;
    EXPECT_EQ(all.count, c.leavesSeen) << c.cap;
    CountingSink written(false);
    EXPECT_EQ(expandLocatedVariables(database, written, c.cap), c.whole) << c.cap;
    EXPECT_EQ(written.last, c.lastWritten) << c.cap;
  }
}

TEST_F(SymbolExpansionTest, ACapReachedByCountedElementsIsAWholeList) {
  // For a sink that drops const leaves only the first element is walked;
  // the other nine are counted at once. A cap that the last of them reaches
  // cuts nothing.
  variable("table", 0x20, array(qualified<TypeInfo_Const>(base("unsigned char", 1)), 9));
  CountingSink atCap(false);
  EXPECT_TRUE(expandLocatedVariables(database, atCap, 10));
  CountingSink belowCap(false);
  EXPECT_FALSE(expandLocatedVariables(database, belowCap, 9));
}

TEST_F(SymbolExpansionTest, ConstElementsASinkDropsAreCountedNotWalked) {
  // Three const leaves per element: the first element is walked, the rest
  // only counted, and the cap still falls where walking would put it.
  auto *s = structure(3);
  for (const char *name : {"a", "b", "c"})
    member(s, name, 0, base("unsigned char", 1));
  auto *constS = qualified<TypeInfo_Const>(s);
  variable("before", 0x10, base("int", 4));
  variable("table", 0x100, array(constS, 332)); // 333 elements: 999 leaves
  variable("after", 0x200, base("int", 4));
  CountingSink fits(false);
  EXPECT_TRUE(expandLocatedVariables(database, fits, 1002));
  EXPECT_EQ(fits.count, 2u);
  EXPECT_EQ(fits.last, "after");

  CountingSink reaches(false); // the cap falls inside the table
  EXPECT_FALSE(expandLocatedVariables(database, reaches, 1000));
  EXPECT_EQ(reaches.count, 1u);
  EXPECT_EQ(reaches.last, "before");

  CountingSink takesAll(true);
  EXPECT_TRUE(expandLocatedVariables(database, takesAll, 1002));
  EXPECT_EQ(takesAll.count, 1001u);
}

TEST_F(SymbolExpansionTest, TheRealCapHoldsSixteenMillionLeaves) {
  // 16777216 leaves are a whole list; the 16777217th cuts it.
  auto *constByte = qualified<TypeInfo_Const>(base("unsigned char", 1));
  const auto cap = static_cast<std::int32_t>(kLeafCap);
  auto *table = variable("table", 0x20000000, array(constByte, cap - 3)); // 16777214 leaves
  variable("after", 0x30000000, base("int", 4));
  CountingSink below(false);
  EXPECT_TRUE(expandLocatedVariables(database, below));
  EXPECT_EQ(below.last, "after");

  table->type = array(constByte, cap - 2); // "after" is leaf 16777216
  CountingSink reaches(false);
  EXPECT_TRUE(expandLocatedVariables(database, reaches));
  EXPECT_EQ(reaches.last, "after");

  table->type = array(constByte, cap - 1); // the table alone fills the list
  CountingSink beyond(false);
  EXPECT_FALSE(expandLocatedVariables(database, beyond));
  EXPECT_EQ(beyond.count, 0u);
}

} // namespace
