#include "model/BasicObject.h"

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
  for (auto it = begin(); it != end(); ++it)
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
  // Everything this object owns goes onto one stack linked through the
  // objects' own sibling links: the ring of its children, opened after the
  // last child. (A child is destroyed only this way, with its parent's ring
  // open, so its own sibling link never leads back to it.) Each object
  // popped from the stack hands its children to the stack and then dies
  // with nothing left to own, so neither depth nor breadth turns into
  // recursion.
  OwnedObject pending = std::move(nextSibling_);
  if (children.last_ != nullptr) {
    // Taking the first child from the last opens the ring into a chain.
    OwnedObject first = std::move(children.last_->nextSibling_);
    children.last_->nextSibling_ = std::move(pending);
    pending = std::move(first);
    children.last_ = nullptr;
  }
  while (pending != nullptr) {
    OwnedObject next = std::move(pending);
    pending = std::move(next->nextSibling_);
    if (next->children.last_ != nullptr) {
      OwnedObject first = std::move(next->children.last_->nextSibling_);
      next->children.last_->nextSibling_ = std::move(pending);
      pending = std::move(first);
      next->children.last_ = nullptr;
    }
  }
}

void BasicObject::addChild(BasicObject *child) {
  if (children.last_ == nullptr) {
    // A ring of one: the only child is its own first.
    child->nextSibling_.reset(child);
  } else {
    child->nextSibling_ = std::move(children.last_->nextSibling_);
    children.last_->nextSibling_.reset(child);
  }
  children.last_ = child;
}

void BasicObject::adoptChildrenOf(BasicObject &other) {
  BasicObject *theirLast = other.children.last_;
  if (theirLast == nullptr || &other == this) return;
  for (BasicObject *child : other.children)
    child->parent = this;
  if (children.last_ != nullptr) {
    // Our last child now leads to their first, their last back to our first.
    std::swap(children.last_->nextSibling_, theirLast->nextSibling_);
  }
  children.last_ = theirLast;
  other.children.last_ = nullptr;
}

} // namespace Model
