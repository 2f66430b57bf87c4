// The duplicate check: names that occur more than once.
#include "output/DuplicateCheck.h"

#include "output/StyleWarningLines.h"

#include <algorithm>
#include <functional>
#include <vector>

namespace {

using PackedLeaves = std::vector<std::uint64_t, Model::LargeBlockAllocator<std::uint64_t>>;

/// Sorts numbers whose low 32 bits ascend (leaf numbers in leaf order) by
/// their high 32 bits (the hashes), keeping the order of equal hashes: the
/// same order as a sort of the whole numbers. Four stable passes of one byte
/// each read and write the numbers in sequence, where a comparison sort
/// takes a round of scattered compares per doubling of the leaves.
/// \p scratch is reused from call to call.
void sortByHighHalf(PackedLeaves &packed, PackedLeaves &scratch) {
  scratch.resize(packed.size());
  for (unsigned shift = 32; shift < 64; shift += 8) {
    std::size_t starts[257] = {};
    for (const std::uint64_t value : packed)
      ++starts[((value >> shift) & 0xff) + 1];
    for (std::size_t digit = 1; digit <= 256; ++digit)
      starts[digit] += starts[digit - 1];
    for (const std::uint64_t value : packed)
      scratch[starts[(value >> shift) & 0xff]++] = value;
    packed.swap(scratch);
  }
}

/// The check sorts the leaves whose hashes start with the same three bits
/// together: an eighth of the leaves at a time.
constexpr unsigned kHashRangeBits = 3;

std::uint32_t hashOf(std::string_view name) {
  const std::uint64_t h = std::hash<std::string_view>{}(name);
  return static_cast<std::uint32_t>((h >> 32) ^ h);
}

std::uint32_t leafOf(std::uint64_t packed) { return static_cast<std::uint32_t>(packed); }
std::uint64_t hashIn(std::uint64_t packed) { return packed >> 32; }

/// A leaf whose name repeats, with the number of the name's first leaf.
struct Repeat {
  std::uint32_t leaf;
  std::uint32_t firstLeaf;
};

/// The leaves of a run of equal hashes, with their names decoded to be
/// compared; kept from run to run so that their strings are reused.
struct RunMembers {
  struct Member {
    std::string name;
    std::uint32_t leaf = 0;
  };
  std::vector<Member> members;
  std::vector<const Member *> byNameThenLeaf;
};

/// Adds the repeats among the \p count packed leaves at \p run, which share
/// one hash (rare, and short runs): one hash may stand for several names.
void addRepeatsOfRun(const LeafNameStore &names, const std::uint64_t *run, std::size_t count,
                     RunMembers &scratch, std::vector<Repeat> &repeats) {
  if (scratch.members.size() < count) scratch.members.resize(count);
  scratch.byNameThenLeaf.clear();
  for (std::size_t m = 0; m < count; ++m) {
    scratch.members[m].leaf = leafOf(run[m]);
    names.copyName(scratch.members[m].leaf, scratch.members[m].name);
    scratch.byNameThenLeaf.push_back(&scratch.members[m]);
  }
  auto &sorted = scratch.byNameThenLeaf;
  std::sort(sorted.begin(), sorted.end(), [](const RunMembers::Member *a, const RunMembers::Member *b) {
    return a->name != b->name ? a->name < b->name : a->leaf < b->leaf;
  });
  for (auto group = sorted.begin(); group != sorted.end();) {
    auto groupEnd = group + 1;
    while (groupEnd != sorted.end() && (*groupEnd)->name == (*group)->name)
      ++groupEnd;
    for (auto member = group + 1; member < groupEnd; ++member)
      repeats.push_back(Repeat{(*member)->leaf, (*group)->leaf});
    group = groupEnd;
  }
}

} // namespace

void DuplicateCheck::check(std::string_view outputName, const std::string &declLocation) {
  // The leaves of one variable arrive together and share their place.
  if (locations_.empty() || locations_.back() != declLocation) {
    locations_.push_back(declLocation);
    locationStarts_.push_back(static_cast<std::uint32_t>(nameHashes_.size()));
  }
  Model::makeRoomReleasing(nameHashes_, 1);
  nameHashes_.push_back(hashOf(outputName));
  names_.append(outputName);
}

void DuplicateCheck::finish() {
  const auto count = static_cast<std::uint32_t>(nameHashes_.size());
  std::vector<Repeat> repeats;
  RunMembers runMembers;
  PackedLeaves byHash;
  PackedLeaves scratch;
  for (std::uint32_t range = 0; range < (1U << kHashRangeBits); ++range) {
    // The leaf numbers of this range of hashes in the order of their hashes,
    // each packed below its hash so that one sort of plain numbers brings
    // equal names together, every name in leaf order.
    byHash.clear();
    for (std::uint32_t leaf = 0; leaf < count; ++leaf)
      if (nameHashes_[leaf] >> (32 - kHashRangeBits) == range)
        byHash.push_back(std::uint64_t{nameHashes_[leaf]} << 32 | leaf);
    sortByHighHalf(byHash, scratch);
    for (std::size_t run = 0; run < byHash.size();) {
      std::size_t runEnd = run + 1;
      while (runEnd < byHash.size() && hashIn(byHash[runEnd]) == hashIn(byHash[run]))
        ++runEnd;
      if (runEnd - run > 1) addRepeatsOfRun(names_, byHash.data() + run, runEnd - run, runMembers, repeats);
      run = runEnd;
    }
  }

  // The repeats in leaf order. The first leaf of a name shows the place of
  // its first occurrence with the first repeat only.
  std::sort(repeats.begin(), repeats.end(), [](const Repeat &a, const Repeat &b) { return a.leaf < b.leaf; });
  std::vector<bool> firstShown(count, false);
  for (const Repeat &repeat : repeats) {
    report(repeat.leaf, repeat.firstLeaf, !firstShown[repeat.firstLeaf]);
    firstShown[repeat.firstLeaf] = true;
  }
}

const std::string &DuplicateCheck::locationOf(std::uint32_t leaf) const {
  const auto next = std::upper_bound(locationStarts_.begin(), locationStarts_.end(), leaf);
  return locations_[static_cast<std::size_t>(next - locationStarts_.begin()) - 1];
}

void DuplicateCheck::report(std::uint32_t repeat, std::uint32_t firstLeaf, bool showFirst) {
  foundDuplicate_ = true;
  // A structure variable repeats once per member, all at one place: only a
  // place not reported before adds lines, so such a clash gives one warning.
  const std::string &place = locationOf(repeat);
  if (reportedLocations_.insert(place).second) {
    names_.copyName(repeat, nameBuffer_);
    appendDuplicateWarning(log_, nameBuffer_, place, showFirst ? locationOf(firstLeaf) : std::string_view());
  }
}
