// The model of a small C++ object (tests/reader/sources/classes.cpp) compiled
// at DWARF 2, 4 and 5: classes in a namespace, inheritance, a static data
// member, qualifiers, a typedef chain and a function-local static.
#include "TestDumps.h"
#include "model/Model.h"
#include "model/ModelCast.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using namespace Model;

template <class T> const T *child(const BasicObject &parent, std::string_view name) {
  for (const BasicObject *c : parent.children)
    if (const auto *t = as<T>(c); t != nullptr && t->name == name) return t;
  return nullptr;
}

template <class T> const T *only(const DwarfDatabase &db, std::string_view name) {
  const T *found = nullptr;
  for (BasicObject *o : TestDumps::objectsNamed(db, name))
    if (const auto *t = as<T>(o)) {
      if (found != nullptr) throw std::runtime_error(std::string(name) + " found twice");
      found = t;
    }
  if (found == nullptr) throw std::runtime_error(std::string(name) + " not found");
  return found;
}

class ClassesDump : public testing::TestWithParam<int> {
protected:
  void SetUp() override {
    const std::string path = TestDumps::sourceDump("classes", GetParam(), "little");
    REQUIRE_DUMP(path);
    db_ = std::make_unique<DwarfDatabase>(path);
  }
  std::unique_ptr<DwarfDatabase> db_;
};

TEST_P(ClassesDump, ClassesInANamespace) {
  const auto *limits = only<TypeInfo_Class>(*db_, "Limits");
  ASSERT_TRUE(is<TypeInfo_Namespace>(limits->parent));
  EXPECT_EQ(limits->parent->name, "engine");
  EXPECT_EQ(limits->getSize(), 4u); // the static member is not in the instance

  const auto *governor = only<TypeInfo_Class>(*db_, "Governor");
  EXPECT_EQ(governor->getSize(), 28u);
  ASSERT_EQ(db_->inheritances.size(), 1u);
  const TypeInfo_Inheritance *base = db_->inheritances[0];
  EXPECT_EQ(base->parent, governor);
  EXPECT_EQ(base->type, limits);
  EXPECT_EQ(base->dataMemberLocation, 0);
  EXPECT_EQ(base->getSize(), 4u);

  const auto *target = child<TypeInfo_Member>(*governor, "target");
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(target->dataMemberLocation, 4);
  // speed_t -> rpm_t -> uint16_t -> short unsigned int
  const auto *speed = as<TypeInfo_Typedef>(target->type);
  ASSERT_NE(speed, nullptr);
  EXPECT_EQ(speed->name, "speed_t");
  ASSERT_TRUE(is<TypeInfo_Typedef>(speed->type));
  EXPECT_EQ(speed->type->name, "rpm_t");
  EXPECT_EQ(target->getSize(), 2u);

  const auto *table = child<TypeInfo_Member>(*governor, "table");
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->dataMemberLocation, 6);
  const auto *array = as<TypeInfo_Array>(table->type);
  ASSERT_NE(array, nullptr);
  ASSERT_EQ(array->children.size(), 2u);
  EXPECT_EQ(array->children.front()->getSize(), 3u);
  EXPECT_EQ(array->children.back()->getSize(), 4u);
  EXPECT_EQ(array->getSize(), 7u); // dimension counts are added, then times the 1-byte element

  const auto *gain = child<TypeInfo_Member>(*governor, "gain");
  ASSERT_NE(gain, nullptr);
  EXPECT_EQ(gain->dataMemberLocation, 20);
  EXPECT_TRUE(is<TypeInfo_Union>(gain->type));
  EXPECT_EQ(gain->getSize(), 4u);

  const auto *mode = child<TypeInfo_Member>(*governor, "mode");
  ASSERT_NE(mode, nullptr);
  EXPECT_EQ(mode->dataMemberLocation, 24);
  EXPECT_TRUE(is<TypeInfo_Enumeration>(mode->type));
  EXPECT_EQ(mode->type->children.size(), 3u);
}

TEST_P(ClassesDump, StaticDataMember) {
  const auto *limits = only<TypeInfo_Class>(*db_, "Limits");
  const BasicObject *declaration = nullptr;
  if (GetParam() < 5) {
    // DWARF 2 to 4: a member entry with DW_AT_declaration.
    const auto *instances = child<TypeInfo_Member>(*limits, "instances");
    ASSERT_NE(instances, nullptr);
    EXPECT_TRUE(instances->isDeclaration);
    declaration = instances;
  } else {
    // DWARF 5: a variable entry inside the class.
    declaration = child<VariableInfo>(*limits, "instances");
    ASSERT_NE(declaration, nullptr);
  }
  EXPECT_FALSE(child<TypeInfo_Member>(*limits, "minimum")->isDeclaration);
  EXPECT_FALSE(child<TypeInfo_Member>(*limits, "maximum")->isDeclaration);

  // The definition outside the class names the declaration.
  const VariableInfo *definition = nullptr;
  for (const BasicObject *o : db_->locatedObjects)
    if (const auto *v = as<VariableInfo>(o); v != nullptr && v->specification == declaration) definition = v;
  ASSERT_NE(definition, nullptr);
  EXPECT_EQ(definition->typeOffset, 0u);
}

TEST_P(ClassesDump, QualifiedPointerAndLocalStatic) {
  const auto *status = only<VariableInfo>(*db_, "status_register");
  const auto *volatilePointer = as<TypeInfo_Volatile>(status->type);
  ASSERT_NE(volatilePointer, nullptr);
  const auto *pointer = as<TypeInfo_Pointer>(volatilePointer->type);
  ASSERT_NE(pointer, nullptr);
  EXPECT_EQ(pointer->byteSize, 4); // the unit header's pointer size
  EXPECT_EQ(status->getSize(), 4u);
  // The located definition names the declaration in the namespace.
  EXPECT_EQ(std::count_if(db_->locatedObjects.begin(), db_->locatedObjects.end(),
                          [&](const BasicObject *o) {
                            const auto *v = as<VariableInfo>(o);
                            return v != nullptr && v->specification == status;
                          }),
            1);

  const auto *calls = only<VariableInfo>(*db_, "calls");
  ASSERT_TRUE(is<FunctionInfo>(calls->parent));
  EXPECT_EQ(calls->parent->name, "counter_step");
  EXPECT_EQ(calls->getSize(), 4u);
  EXPECT_NE(std::find(db_->locatedObjects.begin(), db_->locatedObjects.end(), calls),
            db_->locatedObjects.end());
}

INSTANTIATE_TEST_SUITE_P(Dwarf, ClassesDump, testing::Values(2, 4, 5),
                         [](const testing::TestParamInfo<int> &info) {
                           return "dwarf" + std::to_string(info.param);
                         });

} // namespace
