#include "reader/OffsetIndex.h"

#include <algorithm>
#include <numeric>

void OffsetIndex::insert(Model::EntryOffset offset, Model::BasicObject *object) {
  if (sorted_ && !offsets_.empty() && offset <= offsets_.back()) {
    // A repeat of the last key keeps the first object at once; any other key
    // out of order is settled at the first lookup.
    if (offset == offsets_.back()) return;
    sorted_ = false;
  }
  offsets_.push_back(offset);
  objects_.push_back(object);
}

void OffsetIndex::settle() const {
  if (sorted_) return;
  // A stable sort of the positions keeps the objects of one key in the
  // order they were entered, so keeping the first of each run keeps the
  // first object entered.
  std::vector<std::size_t> order(offsets_.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [this](std::size_t a, std::size_t b) { return offsets_[a] < offsets_[b]; });
  decltype(offsets_) offsets;
  decltype(objects_) objects;
  offsets.reserve(order.size());
  objects.reserve(order.size());
  for (const std::size_t at : order) {
    if (!offsets.empty() && offsets.back() == offsets_[at]) continue;
    offsets.push_back(offsets_[at]);
    objects.push_back(objects_[at]);
  }
  offsets_.swap(offsets);
  objects_.swap(objects);
  sorted_ = true;
}

Model::BasicObject *OffsetIndex::find(Model::EntryOffset offset) const {
  settle();
  const auto it = std::lower_bound(offsets_.begin(), offsets_.end(), offset);
  if (it == offsets_.end() || *it != offset) return nullptr;
  return objects_[static_cast<std::size_t>(it - offsets_.begin())];
}

std::size_t OffsetIndex::size() const {
  settle();
  return offsets_.size();
}

void OffsetIndex::clear() {
  offsets_.clear();
  offsets_.shrink_to_fit();
  objects_.clear();
  objects_.shrink_to_fit();
  sorted_ = true;
}

void OffsetIndex::reserve(std::size_t entries) {
  offsets_.reserve(entries);
  objects_.reserve(entries);
}
