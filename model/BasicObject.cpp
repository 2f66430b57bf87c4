#include "model/BasicObject.h"

#include "app/ConsoleTexts.h"

#include <iostream>
#include <utility>

namespace Model {

void ObjectDeleter::operator()(BasicObject *object) const {
  if (object->inArena)
    object->~BasicObject();
  else
    delete object;
}

std::size_t ChildList::size() const {
  std::size_t count = 0;
  for (const BasicObject *child = first_.get(); child != nullptr; child = child->nextSibling())
    ++count;
  return count;
}

BasicObject::BasicObject(EntryOffset offset, BasicObject *parent, ObjectKind kind)
    : offset(offset), parent(parent), kind(kind) {
  if (parent != nullptr) {
    declLine = parent->declLine;
    declFile = parent->declFile;
    stmtListOffset = parent->stmtListOffset;
    parent->addChild(this);
  }
}

BasicObject::~BasicObject() {
  // Everything this object owns, its children and (as a member of a child
  // list) the siblings after it, goes onto one stack linked through the
  // objects' own sibling links. Each object popped from it hands its
  // children to the stack and then dies with nothing left to own, so neither
  // depth nor breadth turns into recursion.
  OwnedObject pending = std::move(nextSibling_);
  if (children.first_ != nullptr) {
    children.last_->nextSibling_ = std::move(pending);
    pending = std::move(children.first_);
    children.last_ = nullptr;
  }
  while (pending != nullptr) {
    OwnedObject next = std::move(pending);
    pending = std::move(next->nextSibling_);
    if (next->children.first_ != nullptr) {
      next->children.last_->nextSibling_ = std::move(pending);
      pending = std::move(next->children.first_);
      next->children.last_ = nullptr;
    }
  }
}

void BasicObject::addChild(BasicObject *child) {
  OwnedObject &slot = children.last_ == nullptr ? children.first_ : children.last_->nextSibling_;
  slot.reset(child);
  children.last_ = child;
}

std::string BasicObject::getName() const { return std::string(tracedName()); }

std::string_view BasicObject::tracedName() const {
  const std::string_view result = name.view();
  if (result.find(ConsoleTexts::kRtePortSrMarker) != std::string_view::npos) {
    std::cout << ConsoleTexts::kGetNameTrace << result << '\n' << std::flush;
    std::cout << ConsoleTexts::kChildrenSizeTrace << children.size() << '\n' << std::flush;
  }
  return result;
}

} // namespace Model
