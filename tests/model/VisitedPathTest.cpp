#include "model/VisitedPath.h"

#include "model/BasicObject.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace Model;

namespace {

/// \p count distinct objects, children of \p root.
std::vector<const BasicObject *> objects(BasicObject &root, int count) {
  std::vector<const BasicObject *> made;
  for (int i = 0; i < count; ++i)
    made.push_back(new BasicObject(static_cast<EntryOffset>(i + 1), &root));
  return made;
}

/// Checks that exactly the first \p onChain of \p all are on \p path.
void expectChain(const VisitedPath &path, const std::vector<const BasicObject *> &all, std::size_t onChain) {
  EXPECT_EQ(path.size(), onChain);
  for (std::size_t i = 0; i < all.size(); ++i)
    ASSERT_EQ(path.contains(all[i]), i < onChain) << "object " << i << " of a chain of " << onChain;
}

TEST(VisitedPath, HoldsExactlyTheObjectsOnTheChainAtEveryLength) {
  // Lengths on both sides of where the short list ends and the set begins;
  // each chain is built, taken down to half, built up again and emptied.
  for (const int length : {0, 1, 31, 32, 33, 34, 64, 1000}) {
    SCOPED_TRACE(length);
    BasicObject root(0, nullptr);
    const std::vector<const BasicObject *> all = objects(root, length + 1);
    VisitedPath path;
    expectChain(path, all, 0);
    for (int i = 0; i < length; ++i)
      path.push(all[i]);
    expectChain(path, all, length);
    for (int i = length; i > length / 2; --i)
      path.pop();
    expectChain(path, all, length / 2);
    for (int i = length / 2; i < length; ++i)
      path.push(all[i]);
    expectChain(path, all, length);
    for (int i = 0; i < length; ++i)
      path.pop();
    expectChain(path, all, 0);
  }
}

TEST(VisitedPath, AChainSwingingAcrossTheEndOfTheShortListStaysExact) {
  BasicObject root(0, nullptr);
  const std::vector<const BasicObject *> all = objects(root, 40);
  VisitedPath path;
  for (int i = 0; i < 31; ++i)
    path.push(all[i]);
  for (int swing = 0; swing < 3; ++swing) {
    for (int i = 31; i < 36; ++i)
      path.push(all[i]);
    expectChain(path, all, 36);
    for (int i = 36; i > 30; --i)
      path.pop();
    expectChain(path, all, 30);
    path.push(all[30]);
  }
}

} // namespace
