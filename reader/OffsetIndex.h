#pragma once

#include "model/BasicObject.h"
#include "model/LargeBlocks.h"

#include <cstddef>
#include <cstdint>
#include <vector>

/// The index from entry offset to model object: unique keys, the first object
/// entered under a key stays. Sorted arrays rather than a node-based map,
/// because a large dump has millions of entries and arrives almost sorted.
///
/// Keys and objects are kept in two arrays: 12 bytes per entry instead of a
/// padded 16-byte pair, and a lookup searches densely packed keys. Once the
/// parse is over, a table of where each range of keys starts narrows every
/// lookup to a cache line or two of keys: the link pass looks up millions of
/// offsets, and a binary search over all keys missed the cache at most of
/// its twenty-odd steps. (An entry after a lookup makes the next lookup
/// build the table anew: the parse only enters, the link pass only looks
/// up.)
class OffsetIndex {
public:
  /// Enters \p object under \p offset unless the key is already present.
  void insert(Model::EntryOffset offset, Model::BasicObject *object);
  /// The object under \p offset, or nullptr.
  Model::BasicObject *find(Model::EntryOffset offset) const;
  std::size_t size() const;
  bool empty() const { return size() == 0; }
  void clear();
  /// Makes room for \p entries without growing step by step: each step
  /// would copy the whole index and touch its memory anew.
  void reserve(std::size_t entries);

  /// Sorts the keys entered out of order and builds the start table; the
  /// first lookup after an entry does it. Lookups from several threads at
  /// once need it done before.
  void settle() const;

private:
  void sortKeys() const;
  void buildRangeStarts() const;

  mutable std::vector<Model::EntryOffset, Model::LargeBlockAllocator<Model::EntryOffset>> offsets_;
  mutable std::vector<Model::BasicObject *, Model::LargeBlockAllocator<Model::BasicObject *>> objects_;
  mutable bool sorted_ = true;
  /// rangeStarts_[r] is the position of the first key >= r << rangeShift_;
  /// one more element holds the end, the number of keys it was built for.
  /// Empty until the first lookup.
  mutable std::vector<std::size_t> rangeStarts_;
  mutable unsigned rangeShift_ = 0;
};
