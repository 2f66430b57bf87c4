#include "output/LeafLines.h"

#include "output/CanapeDatabase.h"
#include "output/M51Map.h"

void LeafLines::appendM51(std::string &out, std::size_t i) {
  appendM51Line(out, classify(i), classification_);
}

void LeafLines::appendCanape(std::string &out, std::size_t i) {
  appendCanapeLine(out, classify(i), classification_);
}

std::uint32_t LeafLines::classify(std::size_t i) {
  const WrittenLeaf &leaf = recorded_.leaves[i];
  // Neighbouring leaves mostly share their type texts.
  if (leaf.type != classifiedType_) {
    classifyType(recorded_.types[leaf.type], recorded_.littleEndian, classification_);
    classifiedType_ = leaf.type;
  }
  // The lines are made in leaf order: each name is one step on.
  if (names_.position() != i) names_.seek(i);
  classification_.outputName.assign(names_.next());
  return leaf.address;
}
