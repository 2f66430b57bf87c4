// The model built from real dumps of the demo firmware at DWARF 2, 4 and 5,
// -O0 and -Os: addresses against arm-none-eabi-nm, type chains, member
// offsets, bit fields and declaration files of known variables.
#include "TestDumps.h"
#include "model/Model.h"
#include "model/ModelCast.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace Model;

/// The name a located variable is known by: its own, or that of the
/// declaration its specification names.
std::string nameOf(const VariableInfo &v) {
  if (v.name.empty() && v.specification != nullptr) return v.specification->name.str();
  return v.name.str();
}

std::vector<const VariableInfo *> located(const DwarfDatabase &db, const std::string &name) {
  std::vector<const VariableInfo *> found;
  for (const BasicObject *o : db.locatedObjects)
    if (const auto *v = as<VariableInfo>(o); v != nullptr && nameOf(*v) == name) found.push_back(v);
  return found;
}

/// The type of a located variable: its own, or - for a definition that only
/// names its declaration (an extern declared in a header) - the declaration's.
const BasicObject *typeOf(const VariableInfo &v) {
  if (v.type != nullptr) return v.type;
  const auto *declaration = as<VariableInfo>(v.specification);
  return declaration != nullptr ? declaration->type : nullptr;
}

const VariableInfo &onlyLocated(const DwarfDatabase &db, const std::string &name) {
  const auto found = located(db, name);
  if (found.size() != 1)
    throw std::runtime_error(name + " located " + std::to_string(found.size()) + " times");
  return *found[0];
}

const TypeInfo_Member &member(const BasicObject &aggregate, const std::string &name) {
  for (const BasicObject *child : aggregate.children)
    if (const auto *m = as<TypeInfo_Member>(child); m != nullptr && m->name.view() == name) return *m;
  throw std::runtime_error("no member " + name);
}

/// Follows typedefs, const and volatile to the type behind them.
const BasicObject *stripped(const BasicObject *type) {
  for (;;) {
    if (const auto *t = as<TypeInfo_Typedef>(type))
      type = t->type;
    else if (const auto *c = as<TypeInfo_Const>(type))
      type = c->type;
    else if (const auto *v = as<TypeInfo_Volatile>(type))
      type = v->type;
    else
      return type;
  }
}

const CompileUnitInfo *unitOf(const BasicObject *o) {
  while (o != nullptr && !is<CompileUnitInfo>(o))
    o = o->parent;
  return as<CompileUnitInfo>(o);
}

bool endsWith(const std::string &text, const std::string &tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class DemoFirmware : public testing::TestWithParam<std::string> {
protected:
  void SetUp() override {
    REQUIRE_DUMP(TestDumps::demoDump(GetParam()));
    db_ = std::make_unique<DwarfDatabase>(TestDumps::demoDump(GetParam()));
    ASSERT_TRUE(db_->dumpOpened());
  }
  std::unique_ptr<DwarfDatabase> db_;
};

TEST_P(DemoFirmware, AddressesAreThoseOfTheSymbolTable) {
  const std::string symbolsPath = TestDumps::demoSymbols(GetParam());
  REQUIRE_DUMP(symbolsPath);
  const auto symbols = TestDumps::readNmSymbols(symbolsPath);
  std::vector<std::string> checked;
  for (const BasicObject *o : db_->locatedObjects) {
    const auto *v = as<VariableInfo>(o);
    ASSERT_NE(v, nullptr);
    const auto [first, last] = symbols.equal_range(nameOf(*v));
    if (first == last) continue; // not in the image (g_calibration was folded away)
    bool found = false;
    for (auto it = first; it != last; ++it)
      found = found || it->second == v->address;
    EXPECT_TRUE(found) << nameOf(*v) << " at " << std::hex << v->address;
    checked.push_back(nameOf(*v));
  }
  for (const char *name :
       {"g_engine", "g_tick_ms", "tasks", "count", "steps", "coolant_ring", "adc_raw", "sample_total"})
    EXPECT_NE(std::find(checked.begin(), checked.end(), name), checked.end()) << name;
}

TEST_P(DemoFirmware, EngineSignals) {
  const VariableInfo &engine = onlyLocated(*db_, "g_engine");
  // The definition in main.c names the extern declaration of engine.h.
  EXPECT_EQ(engine.type, nullptr);
  ASSERT_TRUE(is<VariableInfo>(engine.specification));
  const auto *typedefType = as<TypeInfo_Typedef>(typeOf(engine));
  ASSERT_NE(typedefType, nullptr);
  EXPECT_EQ(typedefType->name, "engine_signals_t");
  const auto *signals = as<TypeInfo_Structure>(typedefType->type);
  ASSERT_NE(signals, nullptr);
  EXPECT_EQ(engine.specification->getSize(), 12u);
  const struct {
    const char *name;
    int offset;
    unsigned size;
  } members[] = {{"speed", 0, 2}, {"coolant", 2, 2}, {"torque_nm", 4, 4}, {"state", 8, 1}, {"flags", 9, 1}};
  for (const auto &expected : members) {
    const TypeInfo_Member &m = member(*signals, expected.name);
    EXPECT_EQ(m.dataMemberLocation, expected.offset) << expected.name;
    EXPECT_EQ(m.getSize(), expected.size) << expected.name;
  }
  EXPECT_EQ(as<TypeInfo_Typedef>(member(*signals, "speed").type)->name, "rpm_t");
  EXPECT_TRUE(is<TypeInfo_Enumeration>(stripped(member(*signals, "state").type)));

  // The bit fields, as gcc writes them in DWARF 2 (the mend gives DWARF 5 the
  // same values): ready is the least significant bit of the byte.
  const BasicObject *flags = stripped(member(*signals, "flags").type);
  ASSERT_TRUE(is<TypeInfo_Structure>(flags));
  const struct {
    const char *name;
    int bitSize, bitOffset;
  } bits[] = {{"ready", 1, 7}, {"fault", 1, 6}, {"mode", 3, 3}, {"reserved", 3, 0}};
  for (const auto &expected : bits) {
    const TypeInfo_Member &m = member(*flags, expected.name);
    EXPECT_EQ(m.dataMemberLocation, 0) << expected.name;
    EXPECT_EQ(m.bitSize, expected.bitSize) << expected.name;
    EXPECT_EQ(m.bitOffset, expected.bitOffset) << expected.name;
    EXPECT_EQ(m.byteSize, 1) << expected.name;
  }

  // Declared in main.c, line 4 (through the unit's line table).
  const Model::StatementList *table = db_->findStatementList(engine.stmtListOffset);
  ASSERT_NE(table, nullptr);
  const Model::ShortText *file = table->fileForNumber(engine.declFile);
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(endsWith(file->str(), "examples/demo/main.c")) << file->view();
  EXPECT_EQ(engine.declLine, "4");
}

TEST_P(DemoFirmware, QualifiersArraysAndStatics) {
  const VariableInfo &tick = onlyLocated(*db_, "g_tick_ms");
  const auto *volatileType = as<TypeInfo_Volatile>(typeOf(tick));
  ASSERT_NE(volatileType, nullptr);
  const auto *uint32 = as<TypeInfo_Typedef>(volatileType->type);
  ASSERT_NE(uint32, nullptr);
  EXPECT_EQ(uint32->name, "uint32_t");
  const auto *base = as<TypeInfo_Base>(stripped(uint32));
  ASSERT_NE(base, nullptr);
  EXPECT_EQ(base->encodingName, "unsigned");
  EXPECT_EQ(volatileType->getSize(), 4u);

  const VariableInfo &adc = onlyLocated(*db_, "adc_raw");
  const auto *array = as<TypeInfo_Array>(adc.type);
  ASSERT_NE(array, nullptr);
  ASSERT_EQ(array->children.size(), 1u);
  const auto *subrange = as<TypeInfo_Subrange>(array->children.front());
  ASSERT_NE(subrange, nullptr);
  EXPECT_EQ(subrange->lowerBound, 0);
  EXPECT_EQ(subrange->upperBound, 3);
  EXPECT_EQ(adc.getSize(), 16u);

  const VariableInfo &ring = onlyLocated(*db_, "coolant_ring");
  EXPECT_EQ(ring.getSize(), 12u);
  const BasicObject *ringType = stripped(ring.type);
  EXPECT_EQ(member(*ringType, "samples").getSize(), 10u);
  EXPECT_EQ(member(*ringType, "head").dataMemberLocation, 10);
  EXPECT_EQ(member(*ringType, "fill").dataMemberLocation, 11);

  EXPECT_EQ(onlyLocated(*db_, "sample_total").getSize(), 8u);
  EXPECT_EQ(onlyLocated(*db_, "tasks").getSize(), 16u);

  // A function-local static hangs under its function.
  const VariableInfo &steps = onlyLocated(*db_, "steps");
  ASSERT_TRUE(is<FunctionInfo>(steps.parent));
  EXPECT_EQ(steps.parent->name, "engine_step");

  // The two file-local counters, each in its own unit.
  const auto counters = located(*db_, "count");
  ASSERT_EQ(counters.size(), 2u);
  EXPECT_TRUE(endsWith(unitOf(counters[0])->name.str(), "main.c"));
  EXPECT_EQ(counters[0]->getSize(), 1u);
  EXPECT_TRUE(endsWith(unitOf(counters[1])->name.str(), "sensors.c"));
  EXPECT_EQ(counters[1]->getSize(), 2u);
}

INSTANTIATE_TEST_SUITE_P(AllVariants, DemoFirmware, testing::ValuesIn(TestDumps::firmwareVariants()),
                         [](const testing::TestParamInfo<std::string> &info) {
                           std::string name = info.param;
                           for (char &c : name)
                             if (c == '-') c = '_';
                           return name;
                         });

} // namespace
