#include "model/BasicObject.h"

#include "app/ConsoleTexts.h"

#include <iostream>
#include <utility>

namespace Model {

BasicObject::BasicObject(EntryOffset offset, BasicObject* parent) : offset(offset), parent(parent) {
  if (parent != nullptr) {
    declLine = parent->declLine;
    declFile = parent->declFile;
    stmtListOffset = parent->stmtListOffset;
    parent->addChild(this);
  }
}

BasicObject::~BasicObject() {
  // Move every descendant into one flat list and destroy them there: each
  // object reaches its own destructor with an empty child list, so depth
  // never turns into recursion.
  std::vector<std::unique_ptr<BasicObject>> pending = std::move(children);
  children.clear();
  while (!pending.empty()) {
    std::unique_ptr<BasicObject> next = std::move(pending.back());
    pending.pop_back();
    for (auto& grandChild : next->children)
      pending.push_back(std::move(grandChild));
    next->children.clear();
  }
}

void BasicObject::addChild(BasicObject* child) { children.emplace_back(child); }

std::string BasicObject::getName() const {
  std::string result(name.view());
  if (result.find(ConsoleTexts::kRtePortSrMarker) != std::string::npos) {
    std::cout << ConsoleTexts::kGetNameTrace << result << '\n' << std::flush;
    std::cout << ConsoleTexts::kChildrenSizeTrace << children.size() << '\n' << std::flush;
  }
  return result;
}

} // namespace Model
