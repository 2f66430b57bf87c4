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

namespace {

/// About this many keys share a range of the start table: a lookup then
/// searches 64 to 128 bytes of keys, a cache line or two, and the table
/// takes half a byte per key (it is built while the whole model is held).
constexpr std::size_t kKeysPerRange = 16;

} // namespace

void OffsetIndex::settle() const {
  if (!sorted_) {
    sortKeys();
    rangeStarts_.clear();
  }
  // The table ends with the number of keys it was built for; entries only
  // ever append, so a table of another count is out of date.
  if (!offsets_.empty() && (rangeStarts_.empty() || rangeStarts_.back() != offsets_.size()))
    buildRangeStarts();
}

void OffsetIndex::buildRangeStarts() const {
  // Keys are 32 bits: ranges of 2^shift keys, as few as keep the table at
  // about one element per kKeysPerRange entries.
  const std::uint64_t largest = offsets_.back();
  const std::uint64_t mostRanges = std::max<std::uint64_t>(offsets_.size() / kKeysPerRange, 1);
  unsigned shift = 0;
  while ((largest >> shift) + 1 > mostRanges)
    ++shift;
  const auto ranges = static_cast<std::size_t>((largest >> shift) + 1);
  rangeStarts_.resize(ranges + 1);
  std::size_t at = 0;
  for (std::size_t range = 0; range < ranges; ++range) {
    const std::uint64_t firstKey = std::uint64_t{range} << shift;
    while (at < offsets_.size() && offsets_[at] < firstKey)
      ++at;
    rangeStarts_[range] = at;
  }
  rangeStarts_[ranges] = offsets_.size();
  rangeShift_ = shift;
}

void OffsetIndex::sortKeys() const {
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
  const auto range = static_cast<std::size_t>(std::uint64_t{offset} >> rangeShift_);
  if (range + 1 >= rangeStarts_.size()) return nullptr; // beyond the largest key, or no keys
  const auto begin = offsets_.begin() + rangeStarts_[range];
  const auto end = offsets_.begin() + rangeStarts_[range + 1];
  const auto it = std::lower_bound(begin, end, offset);
  if (it == end || *it != offset) return nullptr;
  return objects_[static_cast<std::size_t>(it - offsets_.begin())];
}

std::size_t OffsetIndex::size() const {
  settle();
  return offsets_.size();
}

void OffsetIndex::clear() {
  // The heap may keep what is freed here; the system gets the pages back.
  Model::releasePages(offsets_.data(), offsets_.capacity() * sizeof(Model::EntryOffset));
  Model::releasePages(objects_.data(), objects_.capacity() * sizeof(Model::BasicObject *));
  rangeStarts_.clear();
  rangeStarts_.shrink_to_fit();
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
