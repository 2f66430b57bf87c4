#pragma once

#include "model/LargeBlocks.h"
#include "output/DuplicateCheck.h"
#include "output/SymbolExpansion.h"
#include "output/TypeClassification.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

/// What the files need of one written leaf besides its output name, which
/// the duplicate check keeps. A CANape line is about 240 bytes and a map line
/// about 70; this entry is 8, so a dump with millions of leaves does not hold
/// its whole files in memory.
struct WrittenLeaf {
  std::uint32_t address;
  /// The leaf's type in the pass's table of distinct types.
  std::uint32_t type;
};

/// The distinct leaf types of a pass, numbered in the order they first
/// occur. A dump has a few dozen of them (byte sizes, signedness, bit-field
/// shapes) against millions of leaves.
class LeafTypeTable {
public:
  std::uint32_t numberOf(const LeafType &type);
  const LeafType &operator[](std::uint32_t number) const { return types_[number]; }

private:
  struct Hash {
    std::size_t operator()(const LeafType &type) const;
  };
  std::vector<LeafType> types_;
  std::unordered_map<LeafType, std::uint32_t, Hash> numbers_;
  std::uint32_t last_ = 0;
};

/// Records each leaf as it comes out of the expansion: its entry for the
/// files and one step of the duplicate check. The files are made from these
/// records once the expansion is done.
class RecordedLeaves final : public LeafSink {
public:
  explicit RecordedLeaves(bool littleEndian) : littleEndian(littleEndian) {}

  void addLeaf(const SymbolRecord &leaf) override;
  bool takesConstLeaves() const override { return false; }
  void addVariableAtAddressZero(const SymbolRecord &variable) override;

  /// Whether the pass has a log to write; only after duplicates.finish().
  bool hasStyleWarnings() const { return duplicates.foundDuplicate() || !atAddressZero.empty(); }

  const bool littleEndian;
  /// Grows to millions: its old pages go back as it moves.
  std::vector<WrittenLeaf, Model::LargeBlockAllocator<WrittenLeaf>> leaves;
  LeafTypeTable types;
  /// Also keeps the output names, in leaf order.
  DuplicateCheck duplicates;
  struct LeftOutVariable {
    std::string name;
    std::string place;
  };
  /// The variables at address 0, in the order they were met.
  std::vector<LeftOutVariable> atAddressZero;

private:
  /// Reused from leaf to leaf.
  std::string name_;
};
