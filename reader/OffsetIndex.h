#pragma once

#include "model/LargeBlocks.h"

#include "model/BasicObject.h"

#include <cstdint>
#include <utility>
#include <vector>

/// The index from entry offset to model object: unique keys, the first object
/// entered under a key stays. A sorted vector rather than a node-based map,
/// because a large dump has millions of entries and arrives almost sorted.
class OffsetIndex {
public:
  /// Enters \p object under \p offset unless the key is already present.
  void insert(Model::EntryOffset offset, Model::BasicObject *object);
  /// The object under \p offset, or nullptr.
  Model::BasicObject *find(Model::EntryOffset offset) const;
  std::size_t size() const;
  bool empty() const { return size() == 0; }
  void clear();

private:
  void settle() const;

  using Entry = std::pair<Model::EntryOffset, Model::BasicObject *>;
  mutable std::vector<Entry, Model::LargeBlockAllocator<Entry>> entries_;
  mutable bool sorted_ = true;
};
