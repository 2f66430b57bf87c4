#pragma once

#include "model/ShortText.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>

namespace Model {

/// The identity of a debugging-information entry: its offset as the dump prints
/// it, read as an unsigned 32-bit hexadecimal number.
using EntryOffset = std::uint32_t;

class BasicObject;

/// The concrete class of a model object, stored in the object so that the
/// type tests of the later phases (millions of them) cost one comparison.
enum class ObjectKind : std::uint8_t {
  Plain, ///< a BasicObject itself, or a class the model does not name
  TypeInfo_Array,
  TypeInfo_Base,
  TypeInfo_Class,
  TypeInfo_Const,
  TypeInfo_Enumeration,
  TypeInfo_Enumerator,
  TypeInfo_ImportedDeclaration,
  TypeInfo_Inheritance,
  TypeInfo_Member,
  TypeInfo_Namespace,
  TypeInfo_Pointer,
  TypeInfo_Structure,
  TypeInfo_Subrange,
  TypeInfo_Subroutine,
  TypeInfo_Typedef,
  TypeInfo_Union,
  TypeInfo_Volatile,
  CompileUnitInfo,
  VariableInfo,
  FunctionInfo
};

/// Destroys a model object and frees its memory unless an `ObjectArena` holds
/// that memory.
struct ObjectDeleter {
  void operator()(BasicObject *object) const;
};

/// An owning pointer to a model object.
using OwnedObject = std::unique_ptr<BasicObject, ObjectDeleter>;

/// The children of a model object, in the order they were added.
///
/// A ring through the children themselves: each child owns the next one and
/// the last child owns the first; the list keeps a plain pointer to the last
/// child, from which both ends are one step away. Millions of objects thus
/// need 8 bytes for their children, not a child array of their own (a heap
/// block per parent and unused capacity on each) nor a first and a last
/// pointer. The ring belongs to the parent: the parent's destructor opens it
/// and destroys the children. Iteration gives plain pointers.
class ChildList {
public:
  class const_iterator {
  public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = BasicObject *;
    using difference_type = std::ptrdiff_t;
    using pointer = BasicObject *const *;
    using reference = BasicObject *const &;

    const_iterator() = default;
    const_iterator(BasicObject *at, BasicObject *last) : at_(at), last_(last) {}
    reference operator*() const { return at_; }
    const_iterator &operator++();
    const_iterator operator++(int) {
      const_iterator before = *this;
      ++*this;
      return before;
    }
    friend bool operator==(const_iterator a, const_iterator b) { return a.at_ == b.at_; }
    friend bool operator!=(const_iterator a, const_iterator b) { return a.at_ != b.at_; }

  private:
    BasicObject *at_ = nullptr;
    BasicObject *last_ = nullptr;
  };

  const_iterator begin() const { return const_iterator(front(), last_); }
  const_iterator end() const { return const_iterator(); }
  bool empty() const { return last_ == nullptr; }
  BasicObject *front() const;
  BasicObject *back() const { return last_; }
  /// Counts the children: a walk over the list.
  std::size_t size() const;

private:
  friend class BasicObject;
  BasicObject *last_ = nullptr;
};

/// The common base of every model class: one object per debugging-information
/// entry, forming a tree that mirrors the nesting of the entries.
///
/// A parent owns its children. Every other pointer between model objects
/// (`parent`, `type`, `specification`, the database's lists and indexes) refers
/// without owning.
class BasicObject {
public:
  /// Copies `declLine`, `declFile` and `stmtListOffset` from \p parent and
  /// hands the new object to the parent's `addChild`, which takes ownership.
  /// The root is constructed without a parent and is owned by the database.
  BasicObject(EntryOffset offset, BasicObject *parent) : BasicObject(offset, parent, ObjectKind::Plain) {}
  /// Destroys the whole subtree without recursing once per level or per
  /// sibling, so a dump nested 100 000 levels deep tears down in constant
  /// stack.
  virtual ~BasicObject();

  BasicObject(const BasicObject &) = delete;
  BasicObject &operator=(const BasicObject &) = delete;

  /// Appends \p child at the end of `children` and takes ownership of it.
  void addChild(BasicObject *child);
  /// Appends every child of \p other, in order, at the end of `children`
  /// and becomes their parent and owner; \p other is left without children.
  /// Joining two rings is a swap of two links, whatever their lengths.
  void adoptChildrenOf(BasicObject &other);
  /// The size in bytes of what the object describes (for a subrange, its
  /// element count); the rules of every class live in TypeSizes.cpp.
  std::uint32_t getSize() const;

  /// A copy of `name`.
  std::string getName() const { return name.str(); }

  /// The child added after this one to the same parent, or nullptr.
  BasicObject *nextSibling() const {
    return parent == nullptr || parent->children.last_ == this ? nullptr : nextSibling_.get();
  }

  // The fields are ordered so that the 4-byte ones pair up: a dump has
  // millions of objects, and padding would cost 8 bytes on each.
  const EntryOffset offset;
  std::int32_t declFile = 0;
  BasicObject *parent;
  ShortText declLine;
  /// Set from the dump through the database's `TextPool`, which keeps each
  /// longer name once.
  ShortText name;
  std::uint32_t stmtListOffset = 0;
  /// Set by the `ObjectArena` that holds the object's memory.
  bool inArena = false;
  /// The concrete model class, set by its constructor.
  const ObjectKind kind;
  ChildList children;

protected:
  /// For the model classes, which name their kind.
  BasicObject(EntryOffset offset, BasicObject *parent, ObjectKind kind);

private:
  friend class ChildList;
  /// The next child of the same parent; for the last child, the first one.
  OwnedObject nextSibling_;
};

inline BasicObject *ChildList::front() const {
  return last_ == nullptr ? nullptr : last_->nextSibling_.get();
}

inline ChildList::const_iterator &ChildList::const_iterator::operator++() {
  at_ = at_ == last_ ? nullptr : at_->nextSibling_.get();
  return *this;
}

} // namespace Model
