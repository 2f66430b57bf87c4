#include "output/RecordedLeaves.h"

std::uint32_t LeafTypeTable::numberOf(const LeafType &type) {
  // Neighbouring leaves (the elements of an array, the members of a
  // structure) mostly share their type.
  if (!types_.empty() && types_[last_] == type) return last_;
  const auto found = numbers_.find(type);
  if (found != numbers_.end()) return last_ = found->second;
  last_ = static_cast<std::uint32_t>(types_.size());
  types_.push_back(type);
  numbers_.emplace(type, last_);
  return last_;
}

std::size_t LeafTypeTable::Hash::operator()(const LeafType &type) const {
  std::uint64_t h = static_cast<std::uint32_t>(type.byteSize);
  h = h * 0x9E3779B97F4A7C15u + static_cast<std::uint32_t>(type.bitOffset);
  h = h * 0x9E3779B97F4A7C15u + static_cast<std::uint32_t>(type.bitSize);
  h = h * 0x9E3779B97F4A7C15u + (type.isSigned ? 1u : 0u);
  return static_cast<std::size_t>(h ^ (h >> 32));
}

void RecordedLeaves::addLeaf(const SymbolRecord &leaf) {
  // Pieces reached through a const qualifier cannot be calibrated: they go
  // into no file and take no part in the duplicate check.
  if (leaf.isConst) return;
  const LeafType type = LeafType::of(leaf);
  name_.clear();
  appendOutputName(name_, leaf.symbolName, type, littleEndian);
  duplicates.check(name_, leaf.declLocation);
  Model::makeRoomReleasing(leaves, 1);
  leaves.push_back(WrittenLeaf{leaf.address, types.numberOf(type)});
}

void RecordedLeaves::addVariableAtAddressZero(const SymbolRecord &variable) {
  atAddressZero.push_back(LeftOutVariable{variable.symbolName, variable.declLocation});
}
