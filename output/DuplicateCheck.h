#pragma once

#include "model/LargeBlocks.h"
#include "output/LeafNameStore.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

/// The duplicate check behind the style warnings log. A measurement tool
/// cannot tell two symbols of one name apart (typically file-local statics
/// of the same name in two source files); each repeat is reported with the
/// declaration places involved. The check only reports: both leaves are
/// still written.
///
/// The leaves are recorded during the pass and checked in finish(). Looking
/// each name up in a hash table as it comes costs a cache miss per leaf, the
/// largest cost of a run with millions of leaves; sorting the recorded
/// leaves by the hashes of their names finds the same repeats with
/// sequential memory access, and the repeats are then reported in leaf
/// order, exactly as a lookup per leaf would report them. The sort takes one
/// range of hashes at a time, so that it needs a small fraction of the
/// leaves' memory at a time, not a copy of all of them.
///
/// The names are kept front-coded (LeafNameStore): the output pass reads
/// them back in order to write its files, so each is kept once and small.
class DuplicateCheck {
public:
  DuplicateCheck() = default;
  /// Holds every name of a pass; never copied.
  DuplicateCheck(const DuplicateCheck &) = delete;
  DuplicateCheck &operator=(const DuplicateCheck &) = delete;

  /// Records one written leaf, in leaf order.
  void check(std::string_view outputName, const std::string &declLocation);
  /// Finds the repeats among the recorded leaves and builds the log.
  void finish();

  /// The names recorded, in leaf order. The output pass writes its files
  /// with these names, reading each file's names in order with a cursor of
  /// its own.
  const LeafNameStore &names() const { return names_; }

  /// After finish(): whether any name repeated.
  bool foundDuplicate() const { return foundDuplicate_; }
  /// After finish(): the log lines, each ended by CR LF.
  const std::string &log() const { return log_; }

private:
  /// The place of leaf number \p leaf.
  const std::string &locationOf(std::uint32_t leaf) const;
  /// Reports \p repeat; the place of \p firstLeaf is shown unless
  /// \p showFirst is false.
  void report(std::uint32_t repeat, std::uint32_t firstLeaf, bool showFirst);

  /// The name of a leaf is in names_, its hash in nameHashes_ (taken while
  /// the name is at hand), both under the leaf's number.
  LeafNameStore names_;
  std::vector<std::uint32_t, Model::LargeBlockAllocator<std::uint32_t>> nameHashes_;
  /// Reused for the names that finish() decodes one by one.
  std::string nameBuffer_;
  /// The places met so far; the leaves of one variable share one entry,
  /// which begins at leaf number locationStarts_[i].
  std::vector<std::string> locations_;
  std::vector<std::uint32_t> locationStarts_;
  /// The places already reported, under any name (indexes into locations_
  /// are not enough: two variables may share a place text).
  std::set<std::string> reportedLocations_;
  std::string log_;
  bool foundDuplicate_ = false;
};
