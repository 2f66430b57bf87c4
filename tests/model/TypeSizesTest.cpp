#include "model/Model.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace Model;

namespace {
struct Tree {
  std::unique_ptr<BasicObject> root = std::make_unique<BasicObject>(0, nullptr);
  EntryOffset next = 1;
  template <class T> T *make(BasicObject *parent = nullptr) {
    return new T(next++, parent ? parent : root.get());
  }
  TypeInfo_Base *base(int size) {
    auto *b = make<TypeInfo_Base>();
    b->byteSize = size;
    return b;
  }
  TypeInfo_Subrange *subrange(BasicObject *array, int lower, int upper) {
    auto *s = make<TypeInfo_Subrange>(array);
    s->lowerBound = lower;
    s->upperBound = upper;
    return s;
  }
};
} // namespace

TEST(TypeSizes, StoredSizes) {
  Tree t;
  EXPECT_EQ(t.base(4)->getSize(), 4u);
  auto *s = t.make<TypeInfo_Structure>();
  s->byteSize = 12;
  t.make<TypeInfo_Member>(s)->bitSize = 0; // members never count
  EXPECT_EQ(s->getSize(), 12u);
  auto *p = t.make<TypeInfo_Pointer>();
  p->byteSize = 4;
  EXPECT_EQ(p->getSize(), 4u);
  EXPECT_EQ(t.make<TypeInfo_Structure>()->getSize(), 0u); // a declaration
  auto *f = t.make<FunctionInfo>();
  t.make<VariableInfo>(f)->type = t.base(4);
  EXPECT_EQ(f->getSize(), 0u);
  EXPECT_EQ(t.make<CompileUnitInfo>()->getSize(), 0u);
  EXPECT_EQ(t.make<TypeInfo_Enumerator>()->getSize(), 0u);
}

TEST(TypeSizes, SubrangeCountsElements) {
  Tree t;
  auto *a = t.make<TypeInfo_Array>();
  EXPECT_EQ(t.subrange(a, 0, 9)->getSize(), 10u);
  EXPECT_EQ(t.subrange(a, 1, 9)->getSize(), 9u);
  EXPECT_EQ(t.subrange(a, 0, -1)->getSize(), 0u); // a flexible array member
}

TEST(TypeSizes, ArrayAddsDimensionCountsBeforeMultiplying) {
  Tree t;
  auto *a = t.make<TypeInfo_Array>();
  a->type = t.base(2);
  t.subrange(a, 0, 2);
  t.subrange(a, 0, 3);
  EXPECT_EQ(a->getSize(), 14u); // (3 + 4) x 2
  auto *empty = t.make<TypeInfo_Array>();
  empty->type = t.base(4);
  EXPECT_EQ(empty->getSize(), 0u);
  auto *unresolved = t.make<TypeInfo_Array>();
  t.subrange(unresolved, 0, 9);
  EXPECT_EQ(unresolved->getSize(), 0u);
}

TEST(TypeSizes, QualifiersAndAliasesFollowTheirType) {
  Tree t;
  auto *td = t.make<TypeInfo_Typedef>();
  td->type = t.base(1);
  auto *c = t.make<TypeInfo_Const>();
  c->type = td;
  auto *v = t.make<TypeInfo_Volatile>();
  v->type = c;
  auto *var = t.make<VariableInfo>();
  var->type = v;
  EXPECT_EQ(var->getSize(), 1u);
  EXPECT_EQ(t.make<TypeInfo_Typedef>()->getSize(), 0u); // null type
  auto *bits = t.make<TypeInfo_Member>();
  bits->bitSize = 3;
  bits->byteSize = 4;
  bits->type = t.base(1);
  EXPECT_EQ(bits->getSize(), 4u);
  auto *plain = t.make<TypeInfo_Member>();
  plain->type = t.base(2);
  EXPECT_EQ(plain->getSize(), 2u);
}

TEST(TypeSizes, NamespaceAndPlainObjectsSumTheirChildren) {
  Tree t;
  auto *ns = t.make<TypeInfo_Namespace>();
  t.make<VariableInfo>(ns)->type = t.base(4);
  t.make<VariableInfo>(ns)->type = t.base(8);
  EXPECT_EQ(ns->getSize(), 12u);
  EXPECT_EQ(BasicObject(0, nullptr).getSize(), 0u);
}

TEST(TypeSizes, CyclesAnswerZeroInsteadOfRecursing) {
  Tree t;
  auto *a = t.make<TypeInfo_Typedef>();
  auto *b = t.make<TypeInfo_Const>();
  a->type = b;
  b->type = a;
  EXPECT_EQ(a->getSize(), 0u);
  auto *arr = t.make<TypeInfo_Array>();
  t.subrange(arr, 0, 3);
  auto *back = t.make<TypeInfo_Typedef>();
  back->type = arr;
  arr->type = back;
  EXPECT_EQ(arr->getSize(), 0u);
  // Asking again gives the same answer: nothing was left marked.
  EXPECT_EQ(a->getSize(), 0u);
  EXPECT_EQ(arr->getSize(), 0u);
}

TEST(TypeSizes, ACycleFarDownAChainAnswersZero) {
  // An array of a chain of typedefs that leads into a ring of a volatile and
  // typedefs: the cycle closes as far down as the chain is long, after as
  // many links as the ring has. Sizes asked after it are not disturbed.
  for (const int lead : {0, 31, 32, 33, 100})
    for (const int ring : {1, 2, 40}) {
      SCOPED_TRACE(std::to_string(lead) + " + " + std::to_string(ring));
      Tree t;
      auto *ringStart = t.make<TypeInfo_Volatile>();
      BasicObject *type = ringStart;
      for (int i = 1; i < ring; ++i) {
        auto *link = t.make<TypeInfo_Typedef>();
        link->type = type;
        type = link;
      }
      ringStart->type = type;
      for (int i = 0; i < lead; ++i) {
        auto *link = t.make<TypeInfo_Typedef>();
        link->type = type;
        type = link;
      }
      auto *array = t.make<TypeInfo_Array>();
      t.subrange(array, 0, 2);
      array->type = type;
      EXPECT_EQ(array->getSize(), 0u);
      EXPECT_EQ(type->getSize(), 0u);
      auto *plain = t.make<TypeInfo_Typedef>();
      plain->type = t.base(4);
      EXPECT_EQ(plain->getSize(), 4u);
    }
}

TEST(TypeSizes, FollowsA100000LinkChainWithoutRecursion) {
  Tree t;
  BasicObject *target = t.base(2);
  for (int i = 0; i < 100000; ++i) {
    auto *td = t.make<TypeInfo_Typedef>();
    td->type = target;
    target = td;
  }
  EXPECT_EQ(target->getSize(), 2u);
}
