#pragma once

#include "model/Text.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Model {

/// The identity of a debugging-information entry: its offset as the dump prints
/// it, read as an unsigned 32-bit hexadecimal number.
using EntryOffset = std::uint32_t;

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
  BasicObject(EntryOffset offset, BasicObject* parent);
  /// Destroys the whole subtree without recursing once per level, so a dump
  /// nested 100 000 levels deep tears down in constant stack.
  virtual ~BasicObject();

  BasicObject(const BasicObject&) = delete;
  BasicObject& operator=(const BasicObject&) = delete;

  /// Appends \p child at the end of `children` and takes ownership of it.
  virtual void addChild(BasicObject* child);
  /// The size in bytes of what the object describes (for a subrange, its
  /// element count); the rules of every class live in TypeSizes.cpp.
  virtual std::uint32_t getSize() const;

  /// A copy of `name`; names containing "RtePortSR" leave a trace on stdout.
  std::string getName() const;

  // The fields are ordered so that the 4-byte ones pair up: a dump has
  // millions of objects, and padding would cost 8 bytes on each.
  const EntryOffset offset;
  std::int32_t declFile = 0;
  BasicObject* parent;
  Text declLine;
  Text name;
  std::uint32_t stmtListOffset = 0;
  /// Set only while getSize() is working on this object; marks the object as
  /// "further up the current chain" so that reference cycles answer 0.
  mutable bool sizeInProgress = false;
  std::vector<std::unique_ptr<BasicObject>> children;
};

} // namespace Model
