// The size rule of every model class, in one place.
//
// The rules follow references (a typedef asks its aliased type, an array its
// element type) and walk children (a plain object sums them). A malformed dump
// can chain 100 000 qualifiers or close a chain into a cycle, so the rules are
// evaluated on an explicit stack instead of by recursion, and an object that
// is already on the chain being sized (a VisitedPath) answers 0.
#include "model/BasicObject.h"
#include "model/ProgramObjects.h"
#include "model/TypeObjects.h"
#include "model/VisitedPath.h"

#include <cstdint>
#include <vector>

namespace Model {

namespace {

enum class Rule {
  Stored,          ///< a value held by the object itself
  FollowType,      ///< the size of the referenced object (0 when null)
  SumChildren,     ///< the sum over the children
  SumTimesElement, ///< (sum over the children) x size of the element type
};

struct SizeRule {
  Rule rule;
  std::uint32_t stored;
  const BasicObject *next;
};

SizeRule stored(std::int32_t value) { return {Rule::Stored, static_cast<std::uint32_t>(value), nullptr}; }
SizeRule follow(const BasicObject *next) { return {Rule::FollowType, 0, next}; }

template <class T> const T &asKind(const BasicObject &o) { return static_cast<const T &>(o); }
template <class T> SizeRule followTypeOf(const BasicObject &o) { return follow(asKind<T>(o).type); }
template <class T> SizeRule storedByteSize(const BasicObject &o) { return stored(asKind<T>(o).byteSize); }

SizeRule ruleFor(const BasicObject &o) {
  switch (o.kind) {
  case ObjectKind::TypeInfo_Typedef:
    return followTypeOf<TypeInfo_Typedef>(o);
  case ObjectKind::TypeInfo_Base:
    return storedByteSize<TypeInfo_Base>(o);
  case ObjectKind::TypeInfo_Member: {
    const auto &member = asKind<TypeInfo_Member>(o);
    return member.bitSize != 0 ? stored(member.byteSize) : follow(member.type);
  }
  case ObjectKind::TypeInfo_Const:
    return followTypeOf<TypeInfo_Const>(o);
  case ObjectKind::TypeInfo_Volatile:
    return followTypeOf<TypeInfo_Volatile>(o);
  case ObjectKind::TypeInfo_Pointer:
    return storedByteSize<TypeInfo_Pointer>(o);
  case ObjectKind::TypeInfo_Structure:
    return storedByteSize<TypeInfo_Structure>(o);
  case ObjectKind::TypeInfo_Class:
    return storedByteSize<TypeInfo_Class>(o);
  case ObjectKind::TypeInfo_Union:
    return storedByteSize<TypeInfo_Union>(o);
  case ObjectKind::TypeInfo_Enumeration:
    return storedByteSize<TypeInfo_Enumeration>(o);
  case ObjectKind::TypeInfo_Array:
    return {Rule::SumTimesElement, 0, asKind<TypeInfo_Array>(o).type};
  case ObjectKind::TypeInfo_Subrange: {
    const auto &range = asKind<TypeInfo_Subrange>(o);
    return {Rule::Stored,
            static_cast<std::uint32_t>(range.upperBound) - static_cast<std::uint32_t>(range.lowerBound) + 1u,
            nullptr};
  }
  case ObjectKind::VariableInfo:
    return followTypeOf<VariableInfo>(o);
  case ObjectKind::TypeInfo_ImportedDeclaration:
    return followTypeOf<TypeInfo_ImportedDeclaration>(o);
  case ObjectKind::TypeInfo_Inheritance:
    return followTypeOf<TypeInfo_Inheritance>(o);
  case ObjectKind::TypeInfo_Subroutine:
    return followTypeOf<TypeInfo_Subroutine>(o);
  case ObjectKind::TypeInfo_Enumerator:
  case ObjectKind::CompileUnitInfo:
  case ObjectKind::FunctionInfo:
    return stored(0);
  case ObjectKind::Plain: // the root, lexical blocks
  case ObjectKind::TypeInfo_Namespace:
    break;
  }
  return {Rule::SumChildren, 0, nullptr};
}

enum class Awaiting { Nothing, Child, Followed, Element };

struct Frame {
  SizeRule rule;
  /// The child to size next; set when the frame is pushed.
  const BasicObject *nextChild = nullptr;
  std::uint32_t value = 0;
  bool referenceAsked = false;
  Awaiting awaiting = Awaiting::Nothing;
};

void deliver(Frame &frame, std::uint32_t size) {
  switch (frame.awaiting) {
  case Awaiting::Child:
    frame.value += size;
    break;
  case Awaiting::Followed:
    frame.value = size;
    break;
  case Awaiting::Element:
    frame.value *= size;
    break;
  case Awaiting::Nothing:
    break;
  }
  frame.awaiting = Awaiting::Nothing;
}

class SizeEvaluator {
public:
  std::uint32_t run(const BasicObject &start) {
    // Most chains are a few frames deep: one block holds them.
    stack_.reserve(8);
    std::uint32_t immediate = 0;
    if (!enter(&start, immediate)) return immediate;
    for (;;) {
      Frame &f = stack_.back();
      const BasicObject *sub = nullptr;
      if (f.rule.rule == Rule::FollowType && !f.referenceAsked) {
        f.referenceAsked = true;
        f.awaiting = Awaiting::Followed;
        sub = f.rule.next;
      } else if (f.rule.rule != Rule::FollowType && f.nextChild != nullptr) {
        f.awaiting = Awaiting::Child;
        sub = f.nextChild;
        f.nextChild = sub->nextSibling();
      } else if (f.rule.rule == Rule::SumTimesElement && !f.referenceAsked) {
        f.referenceAsked = true;
        f.awaiting = Awaiting::Element;
        sub = f.rule.next;
      } else {
        const std::uint32_t done = f.value;
        stack_.pop_back();
        chain_.pop();
        if (stack_.empty()) return done;
        deliver(stack_.back(), done);
        continue;
      }
      if (!enter(sub, immediate)) deliver(stack_.back(), immediate);
    }
  }

private:
  /// Starts sizing \p object: answers at once (returning false) when the size
  /// needs no further step, otherwise pushes a frame.
  bool enter(const BasicObject *object, std::uint32_t &immediate) {
    immediate = 0;
    if (object == nullptr || chain_.contains(object)) return false;
    const SizeRule rule = ruleFor(*object);
    if (rule.rule == Rule::Stored) {
      immediate = rule.stored;
      return false;
    }
    stack_.push_back(Frame{rule, object->children.front()});
    chain_.push(object);
    return true;
  }

  /// One frame per object of the chain.
  std::vector<Frame> stack_;
  VisitedPath chain_;
};

} // namespace

std::uint32_t BasicObject::getSize() const {
  // Most sizes are stored on the object or one reference away (a member, a
  // typedef of a base type); those need no evaluation stack.
  const SizeRule rule = ruleFor(*this);
  if (rule.rule == Rule::Stored) return rule.stored;
  if (rule.rule == Rule::FollowType) {
    if (rule.next == nullptr) return 0;
    if (rule.next != this) {
      const SizeRule next = ruleFor(*rule.next);
      if (next.rule == Rule::Stored) return next.stored;
    }
  }
  SizeEvaluator evaluator;
  return evaluator.run(*this);
}

} // namespace Model
