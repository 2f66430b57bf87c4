#include "reader/OffsetIndex.h"

#include <algorithm>

void OffsetIndex::insert(Model::EntryOffset offset, Model::BasicObject *object) {
  if (sorted_ && !entries_.empty() && offset <= entries_.back().first) {
    // A repeat of the last key keeps the first object at once; any other key
    // out of order is settled at the first lookup.
    if (offset == entries_.back().first) return;
    sorted_ = false;
  }
  entries_.emplace_back(offset, object);
}

void OffsetIndex::settle() const {
  if (sorted_) return;
  // A stable sort keeps the objects of one key in the order they were
  // entered, so dropping all but the first of each run keeps the first.
  std::stable_sort(entries_.begin(), entries_.end(),
                   [](const auto &a, const auto &b) { return a.first < b.first; });
  entries_.erase(std::unique(entries_.begin(), entries_.end(),
                             [](const auto &a, const auto &b) { return a.first == b.first; }),
                 entries_.end());
  sorted_ = true;
}

Model::BasicObject *OffsetIndex::find(Model::EntryOffset offset) const {
  settle();
  const auto it =
      std::lower_bound(entries_.begin(), entries_.end(), offset,
                       [](const auto &entry, Model::EntryOffset key) { return entry.first < key; });
  if (it == entries_.end() || it->first != offset) return nullptr;
  return it->second;
}

std::size_t OffsetIndex::size() const {
  settle();
  return entries_.size();
}

void OffsetIndex::clear() {
  entries_.clear();
  entries_.shrink_to_fit();
  sorted_ = true;
}
