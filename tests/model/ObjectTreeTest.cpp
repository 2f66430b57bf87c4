#include "model/Model.h"
#include "model/ModelCast.h"
#include "model/ObjectArena.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

using namespace Model;

// A kind test asks for a class that names its kind and compares the stored
// kind; every object is a BasicObject, which needs no test. A line table is
// plain data, without a table of virtual functions.
static_assert(NamedKind<TypeInfo_Member> && NamedKind<VariableInfo> && !NamedKind<BasicObject>);
static_assert(!std::is_polymorphic_v<StatementList>);

TEST(ObjectTree, ChildCopiesDeclarationPlaceAndLineTableFromItsParent) {
  auto root = std::make_unique<BasicObject>(0, nullptr);
  auto *unit = new CompileUnitInfo(0xc, root.get());
  unit->stmtListOffset = 0x1a4;
  auto *structure = new TypeInfo_Structure(0x8d, unit);
  structure->declLine = "12";
  structure->declFile = 3;
  auto *member = new TypeInfo_Member(0x98, structure);
  auto *deeper = new BasicObject(0x99, member);

  EXPECT_EQ(member->declLine, "12");
  EXPECT_EQ(member->declFile, 3);
  EXPECT_EQ(member->stmtListOffset, 0x1a4u);
  EXPECT_EQ(deeper->stmtListOffset, 0x1a4u);
  ASSERT_EQ(root->children.size(), 1u);
  EXPECT_EQ(root->children.front(), unit);
  EXPECT_EQ(member->parent, structure);
  EXPECT_EQ(structure->children.front(), member);
}

TEST(ObjectTree, GetNameIsACopyOfTheNameAndPrintsNothing) {
  // The model prints nothing, whatever the name: the reads that are traced
  // are those of output generation.
  BasicObject root(0, nullptr);
  auto *port = new VariableInfo(1, &root);
  port->name = "Rte_RtePortSR_Speed";
  for (int i = 0; i < 3; ++i)
    new BasicObject(10 + i, port);
  auto *plain = new VariableInfo(2, &root);
  plain->name = "counter";

  testing::internal::CaptureStdout();
  EXPECT_EQ(port->getName(), "Rte_RtePortSR_Speed");
  EXPECT_EQ(plain->getName(), "counter");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(ObjectTree, TearsDownA100000LevelChainWithoutRecursion) {
  auto root = std::make_unique<BasicObject>(0, nullptr);
  BasicObject *last = root.get();
  for (EntryOffset i = 1; i <= 100000; ++i)
    last = new TypeInfo_Typedef(i, last);
  root.reset(); // must not overflow the stack; ASan reports any leak
  SUCCEED();
}

TEST(ObjectTree, TearsDownA100000ChildrenWideTreeWithoutRecursion) {
  // The children are chained through their sibling links: a long sibling
  // chain must not turn into a recursion either.
  auto root = std::make_unique<BasicObject>(0, nullptr);
  auto *unit = new CompileUnitInfo(1, root.get());
  for (EntryOffset i = 2; i <= 100001; ++i)
    new TypeInfo_Member(i, unit);
  EXPECT_EQ(unit->children.size(), 100000u);
  EXPECT_EQ(unit->children.back()->offset, 100001u);
  root.reset();
  SUCCEED();
}

namespace {

/// Counts the destructor calls of its instances.
class CountedObject final : public BasicObject {
public:
  CountedObject(EntryOffset offset, BasicObject *parent, int &destroyed)
      : BasicObject(offset, parent), destroyed_(destroyed) {}
  ~CountedObject() override { ++destroyed_; }

private:
  int &destroyed_;
};

} // namespace

TEST(ObjectTree, ArenaAndHeapObjectsAreDestroyedOnceByTheirParent) {
  int destroyed = 0;
  ObjectArena arena;
  {
    BasicObject root(0, nullptr);
    auto *unit = arena.create<CountedObject>(1, &root, destroyed);
    new CountedObject(2, unit, destroyed); // heap memory below arena memory
    auto *deep = arena.create<CountedObject>(3, unit, destroyed);
    arena.create<CountedObject>(4, deep, destroyed);
    new CountedObject(5, &root, destroyed);

    std::vector<EntryOffset> order;
    for (const BasicObject *child : unit->children)
      order.push_back(child->offset);
    EXPECT_EQ(order, (std::vector<EntryOffset>{2, 3}));
    EXPECT_TRUE(unit->inArena);
    EXPECT_FALSE(unit->children.front()->inArena);
    EXPECT_EQ(destroyed, 0);
  }
  // ASan reports a heap object that was not freed or an arena object that was.
  EXPECT_EQ(destroyed, 5);
}

TEST(ObjectTree, ArenaKeepsEveryObjectAlignedAndApart) {
  ObjectArena arena;
  BasicObject root(0, nullptr);
  std::vector<const BasicObject *> objects;
  // Enough objects to span several blocks of growing size.
  for (EntryOffset i = 1; i <= 200000; ++i)
    objects.push_back(i % 3 == 0 ? static_cast<BasicObject *>(arena.create<TypeInfo_Member>(i, &root))
                                 : arena.create<BasicObject>(i, &root));
  EXPECT_GT(arena.reservedBytes(), 200000 * sizeof(BasicObject));
  for (std::size_t i = 0; i < objects.size(); ++i) {
    ASSERT_EQ(reinterpret_cast<std::uintptr_t>(objects[i]) % alignof(TypeInfo_Member), 0u);
    ASSERT_EQ(objects[i]->offset, i + 1); // no object overwrote another
  }
}

TEST(ObjectTree, ArenaAllocatesOnAfterItsUnfilledRestIsReleased) {
  // The database gives back the unfilled rest of the current block after
  // the parse, and objects may still be made there afterwards; releasing
  // all blocks and allocating again must neither lose nor share memory (the
  // sanitizer builds report a leak or a double free).
  constexpr std::size_t kPiece = 4096;
  constexpr std::size_t kPieces = 3000; // about 12 MiB: several largest blocks
  ObjectArena arena;
  std::vector<unsigned char *> pieces;
  const auto fill = [&](std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      auto *piece = static_cast<unsigned char *>(arena.allocate(kPiece, 64));
      std::fill(piece, piece + kPiece, static_cast<unsigned char>(pieces.size() * 7 + 1));
      pieces.push_back(piece);
    }
  };
  fill(kPieces);
  arena.releaseUnfilledRest();
  fill(kPieces);
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const auto expected = static_cast<unsigned char>(i * 7 + 1);
    ASSERT_EQ(pieces[i][0], expected) << i;
    ASSERT_EQ(pieces[i][kPiece - 1], expected) << i;
  }
  arena.release();
  EXPECT_EQ(arena.reservedBytes(), 0u);
  pieces.clear();
  fill(kPieces); // the arena is destroyed with blocks in use
}

TEST(ObjectTree, PartsFillOneThreadsArenaOneAfterAnother) {
  // The parts a thread parses fill its arena's blocks in turn: each part
  // goes on right where the one before stopped, a part that is dropped
  // leaves its memory to the arena, and the arena, kept by the database's
  // own, outlives them all (the sanitizer builds report a leak, a double
  // free or a use after free).
  constexpr std::size_t kPiece = 4096;
  ObjectArena keeper;
  auto threadArena = std::make_unique<ObjectArena>();
  threadArena->startWithLargeBlocks();
  std::vector<unsigned char *> pieces;
  for (const std::size_t count : {100, 1, 900, 50}) { // 900: past one block of 2 MiB
    ObjectArena part;
    part.fillFor(*threadArena);
    for (std::size_t i = 0; i < count; ++i) {
      auto *piece = static_cast<unsigned char *>(part.allocate(kPiece, 64));
      if (i == 0 && !pieces.empty() && count < 900) {
        EXPECT_EQ(piece, pieces.back() + kPiece) << "a part goes on where the one before stopped";
      }
      std::fill(piece, piece + kPiece, static_cast<unsigned char>(pieces.size() * 7 + 1));
      pieces.push_back(piece);
    }
    part.handBack();
    EXPECT_EQ(part.reservedBytes(), 0u); // the blocks are the thread arena's
  }
  EXPECT_GE(threadArena->reservedBytes(), pieces.size() * kPiece);
  keeper.keep(std::move(threadArena));
  keeper.keep(std::make_unique<ObjectArena>()); // a thread that made nothing
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const auto expected = static_cast<unsigned char>(i * 7 + 1);
    ASSERT_EQ(pieces[i][0], expected) << i;
    ASSERT_EQ(pieces[i][kPiece - 1], expected) << i;
  }
}

TEST(ObjectTree, ChildrenComeInTheOrderAddedWhileParentsInterleave) {
  // Children are added to two parents in turn; each parent lists its own in
  // order, both ends and the sibling links agree, and every object is
  // destroyed once.
  for (int count : {0, 1, 2, 3, 7}) {
    SCOPED_TRACE(count);
    int destroyed = 0;
    {
      BasicObject root(0, nullptr);
      auto *left = new CountedObject(1, &root, destroyed);
      auto *right = new CountedObject(2, &root, destroyed);
      std::vector<EntryOffset> expected;
      for (int i = 0; i < count; ++i) {
        new CountedObject(100 + i, left, destroyed);
        new CountedObject(200 + i, right, destroyed);
        expected.push_back(100 + i);
      }
      std::vector<EntryOffset> order;
      for (const BasicObject *child : left->children)
        order.push_back(child->offset);
      EXPECT_EQ(order, expected);
      order.clear();
      for (const BasicObject *child = left->children.front(); child != nullptr; child = child->nextSibling())
        order.push_back(child->offset);
      EXPECT_EQ(order, expected);
      EXPECT_EQ(left->children.size(), static_cast<std::size_t>(count));
      EXPECT_EQ(left->children.empty(), count == 0);
      if (count > 0) {
        EXPECT_EQ(left->children.front()->offset, 100u);
        EXPECT_EQ(right->children.back()->offset, 200u + count - 1);
        EXPECT_EQ(right->children.back()->nextSibling(), nullptr);
      }
      EXPECT_EQ(right->nextSibling(), nullptr);
      EXPECT_EQ(left->nextSibling(), right);
    }
    EXPECT_EQ(destroyed, 2 + 2 * count);
  }
}

namespace {

TEST(ObjectTree, AdoptedChildrenFollowTheOwnInOrderAndDieOnce) {
  // A second tree's children join the end of the first tree's list, in
  // order, with the new parent; the second root is left empty. Every
  // combination of empty and filled lists.
  for (const int mine : {0, 1, 3})
    for (const int theirs : {0, 1, 4}) {
      SCOPED_TRACE(std::to_string(mine) + " + " + std::to_string(theirs));
      int destroyed = 0;
      ObjectArena arena;
      {
        BasicObject root(0, nullptr);
        BasicObject other(0, nullptr);
        for (int i = 0; i < mine; ++i)
          arena.create<CountedObject>(EntryOffset(1 + i), &root, destroyed);
        for (int i = 0; i < theirs; ++i) {
          auto *unit = arena.create<CountedObject>(EntryOffset(100 + i), &other, destroyed);
          arena.create<CountedObject>(EntryOffset(200 + i), unit, destroyed);
        }
        root.adoptChildrenOf(other);
        EXPECT_TRUE(other.children.empty());
        std::vector<EntryOffset> order;
        for (const BasicObject *child : root.children) {
          order.push_back(child->offset);
          EXPECT_EQ(child->parent, &root);
        }
        std::vector<EntryOffset> expected;
        for (int i = 0; i < mine; ++i)
          expected.push_back(EntryOffset(1 + i));
        for (int i = 0; i < theirs; ++i)
          expected.push_back(EntryOffset(100 + i));
        EXPECT_EQ(order, expected);
        if (!expected.empty()) {
          EXPECT_EQ(root.children.back()->offset, expected.back());
          EXPECT_EQ(root.children.back()->nextSibling(), nullptr);
        }
      }
      EXPECT_EQ(destroyed, mine + 2 * theirs);
    }
}

TEST(ObjectTree, ArenaTakesOverTheBlocksOfAnother) {
  // The objects of the other arena live on in this one's blocks after the
  // other is gone; the sanitizer build reports a use after free.
  ObjectArena arena;
  BasicObject root(0, nullptr);
  {
    ObjectArena other;
    for (EntryOffset i = 1; i <= 50000; ++i)
      other.create<BasicObject>(i, &root);
    const std::size_t theirs = other.reservedBytes();
    arena.create<BasicObject>(0x100000, &root);
    const std::size_t mine = arena.reservedBytes();
    arena.adopt(other);
    EXPECT_EQ(arena.reservedBytes(), mine + theirs);
    EXPECT_EQ(other.reservedBytes(), 0u);
  }
  EntryOffset expected = 1;
  for (const BasicObject *child : root.children)
    if (child->offset != 0x100000) {
      ASSERT_EQ(child->offset, expected++);
    }
  EXPECT_EQ(expected, 50001u);
  arena.create<BasicObject>(0x100001, &root); // the own block goes on
  EXPECT_EQ(root.children.back()->offset, 0x100001u);
}

} // namespace
