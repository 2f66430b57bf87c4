#pragma once

#include "output/LeafNameStore.h"
#include "output/RecordedLeaves.h"
#include "output/TypeClassification.h"

#include <cstddef>
#include <cstdint>
#include <string>

/// Makes the map and CANape lines of the recorded leaves. Each file has a
/// maker of its own, with its own place in the names and its own type
/// texts, so that two files can be made at once; the records are only read.
class LeafLines {
public:
  explicit LeafLines(const RecordedLeaves &recorded)
      : recorded_(recorded), names_(recorded.duplicates.names()) {}

  /// Appends the map line of leaf number \p i.
  void appendM51(std::string &out, std::size_t i);
  /// Appends the CANape line of leaf number \p i.
  void appendCanape(std::string &out, std::size_t i);

private:
  /// Fills classification_ for leaf number \p i; returns its address.
  std::uint32_t classify(std::size_t i);

  static constexpr std::uint32_t kNoType = UINT32_MAX;

  const RecordedLeaves &recorded_;
  LeafNameStore::Cursor names_;
  LeafClassification classification_;
  /// The type whose texts classification_ holds, kNoType before the first.
  std::uint32_t classifiedType_ = kNoType;
};
