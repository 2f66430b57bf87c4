// The style warnings log: names that occur more than once.
#include "output/StyleWarnings.h"

#include "model/LargeBlocks.h"
#include "output/FileTexts.h"

#include <algorithm>
#include <functional>
#include <vector>

namespace {

/// A leaf whose name occurs once; and, as a recorded place, one already
/// reported.
constexpr std::uint32_t kUnique = UINT32_MAX;
constexpr std::uint32_t kBlanked = UINT32_MAX;

using PackedLeaves = std::vector<std::uint64_t, Model::LargeBlockAllocator<std::uint64_t>>;

/// Sorts numbers whose low 32 bits ascend (leaf numbers in leaf order) by
/// their high 32 bits (the hashes), keeping the order of equal hashes: the
/// same order as a sort of the whole numbers. Four stable passes of one byte
/// each read and write the numbers in sequence, where a comparison sort of a
/// million numbers took twenty rounds of scattered compares.
void sortByHighHalf(PackedLeaves &packed) {
  PackedLeaves scratch(packed.size());
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

} // namespace

std::string_view rootName(std::string_view name) {
  // The group takes the longest run without "@", "." or ":"; the rest is
  // matched by ".*", which stops at a line break, and giving characters back
  // to the rest cannot remove one, so a break there fails the whole match.
  const std::size_t runEnd = std::min(name.find_first_of("@.:"), name.size());
  if (runEnd == 0) return {};
  if (name.find_first_of("\r\n", runEnd) != std::string_view::npos) return {};
  return name.substr(0, runEnd);
}

void DuplicateCheck::check(std::string_view outputName, const std::string &declLocation) {
  // The leaves of one variable arrive together and share their place.
  if (locations_.empty() || locations_.back() != declLocation) locations_.push_back(declLocation);
  leaves_.push_back(Leaf{static_cast<std::uint32_t>(locations_.size() - 1)});
  names_.append(outputName);
}

std::string_view DuplicateCheck::recordedName(std::size_t leaf) const {
  if (reader_.position() != leaf) reader_.seek(leaf);
  return reader_.next();
}

void DuplicateCheck::finish() {
  const auto count = static_cast<std::uint32_t>(leaves_.size());

  // Leaf numbers in the order of their names' hashes, each packed below its
  // 32-bit hash so that one sort of plain numbers brings equal names
  // together, every name in leaf order.
  PackedLeaves byHash(count);
  const std::hash<std::string_view> hash;
  LeafNameStore::Cursor names(names_);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint64_t h = hash(names.next());
    byHash[i] = (((h >> 32) ^ h) << 32) | i;
  }
  sortByHighHalf(byHash);
  const auto leafOf = [](std::uint64_t packed) { return static_cast<std::uint32_t>(packed); };
  const auto hashOf = [](std::uint64_t packed) { return packed >> 32; };

  // For every leaf whose name repeats, the number of the name's first leaf.
  // The names of a run of equal hashes (rare, and short) are decoded one by
  // one to be compared.
  std::vector<std::uint32_t, Model::LargeBlockAllocator<std::uint32_t>> firstLeafOfName(count, kUnique);
  struct Member {
    std::string name;
    std::uint32_t leaf = 0;
  };
  std::vector<Member> members; // the strings are kept from run to run
  std::vector<const Member *> byNameThenLeaf;
  for (auto run = byHash.begin(); run != byHash.end();) {
    auto runEnd = run + 1;
    while (runEnd != byHash.end() && hashOf(*runEnd) == hashOf(*run))
      ++runEnd;
    const auto runLength = static_cast<std::size_t>(runEnd - run);
    if (runLength > 1) {
      if (members.size() < runLength) members.resize(runLength);
      byNameThenLeaf.clear();
      for (std::size_t m = 0; m < runLength; ++m) {
        members[m].leaf = leafOf(run[static_cast<std::ptrdiff_t>(m)]);
        names_.copyName(members[m].leaf, members[m].name);
        byNameThenLeaf.push_back(&members[m]);
      }
      // One hash may stand for several names.
      std::sort(byNameThenLeaf.begin(), byNameThenLeaf.end(), [](const Member *a, const Member *b) {
        return a->name != b->name ? a->name < b->name : a->leaf < b->leaf;
      });
      for (auto group = byNameThenLeaf.begin(); group != byNameThenLeaf.end();) {
        auto groupEnd = group + 1;
        while (groupEnd != byNameThenLeaf.end() && (*groupEnd)->name == (*group)->name)
          ++groupEnd;
        if (groupEnd - group > 1)
          for (auto member = group; member != groupEnd; ++member)
            firstLeafOfName[(*member)->leaf] = (*group)->leaf;
        group = groupEnd;
      }
    }
    run = runEnd;
  }

  // The repeats in leaf order. The first leaf of a name keeps the place of
  // its first occurrence until a repeat has reported it.
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t first = firstLeafOfName[i];
    if (first != kUnique && first != i) report(i, leaves_[first].location);
  }
}

void DuplicateCheck::report(std::uint32_t repeat, std::uint32_t &firstLocation) {
  foundDuplicate_ = true;
  // A structure variable repeats once per member, all at one place: only a
  // place not reported before adds lines, so such a clash gives one warning.
  const std::string &place = locations_[leaves_[repeat].location];
  if (reportedLocations_.insert(place).second) {
    using namespace FileTexts;
    names_.copyName(repeat, nameBuffer_);
    log_.append(kDuplicateWarning).append(rootName(nameBuffer_)).append(kLineEnd);
    log_.append(kLocationFile).append(place).append(kLineEnd);
    if (firstLocation != kBlanked && !locations_[firstLocation].empty())
      log_.append(kLocationFile).append(locations_[firstLocation]).append(kLineEnd);
  }
  firstLocation = kBlanked;
}
